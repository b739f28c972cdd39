#include "ui/win32/folder_dialog.h"

#include <shlobj.h>

#include "resource.h"

namespace kestrove::ui::win32 {
namespace {

constexpr int kFolderTextLength = 512;

int CALLBACK ignore_browser_events(HWND, UINT, LPARAM, LPARAM) { return 0; }

}  // namespace

bool browse_for_folder(HWND owner, std::string& out) {
  char display_name[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = display_name;
  info.lpszTitle = "変換先のフォルダの指定　- ケストローブ";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = &ignore_browser_events;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
  if (item == nullptr) return false;
  char path[MAX_PATH] = {};
  const bool converted = SHGetPathFromIDListA(item, path) != FALSE;
  CoTaskMemFree(item);
  if (!converted) return false;
  out = path;
  return true;
}

bool Win32FolderDialog::ask(std::string& folder_text) {
  if (!open_prompt(IDD_DESTINATION)) return false;
  if (wait_for_answer() != Outcome::ok) return false;
  char text[kFolderTextLength + 1] = {};
  GetDlgItemTextA(window(), IDC_FOLDER_EDIT, text, sizeof text);
  folder_text = text;
  return true;
}

void Win32FolderDialog::close(int) { close_prompt(); }

INT_PTR Win32FolderDialog::handle_message(UINT message, WPARAM wparam, LPARAM) {
  if (handled_as_answer(message, wparam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      bring_to_front(window());
      make_topmost(window());
      SetDlgItemTextA(window(), IDC_FOLDER_EDIT, "");  // never the folder of the last run
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) != IDC_BROWSE) return FALSE;
      if (std::string folder; browse_for_folder(window(), folder))
        SetDlgItemTextA(window(), IDC_FOLDER_EDIT, folder.c_str());
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace kestrove::ui::win32
