#include "app/kestrove/win32/main_window_dialog.h"

#include <shellapi.h>
#include <windowsx.h>

#include <vector>

#include "resource.h"

namespace kestrove::app::win32 {
namespace {

constexpr UINT kStartRun = WM_APP + MSG_START_RUN_OFFSET;
constexpr UINT kRunFinished = WM_APP + MSG_RUN_FINISHED_OFFSET;

struct BoxControl {
  int id;
  SettingBox box;
};
constexpr BoxControl kBoxes[] = {
    {IDC_CONFIRM_OVERWRITE, SettingBox::confirm_overwrite},
    {IDC_INCLUDE_SUBFOLDERS, SettingBox::include_subfolders},
    {IDC_DELETE_ORIGINAL, SettingBox::delete_original},
    {IDC_CHOOSE_DESTINATION, SettingBox::choose_destination},
    {IDC_USE_GROUP_KEY, SettingBox::use_group_key},
};

}  // namespace

INT_PTR MainWindowDialog::run() { return run_modal(instance_, IDD_MAIN, nullptr); }

void MainWindowDialog::set_text(int id, const std::string& text) {
  if (window() != nullptr) SetDlgItemTextA(window(), id, text.c_str());
}

void MainWindowDialog::set_status_line(const std::string& text) {
  if (text == hint_) return;  // the mouse moves often; the line changes seldom
  hint_ = text;
  set_text(IDC_HINT_LINE, text);
}
void MainWindowDialog::set_lock_display(const std::string& text) { set_text(IDC_STATUS_LINE, text); }
void MainWindowDialog::set_last_access_line(const std::string& text) { set_text(IDC_LAST_ACCESS, text); }
void MainWindowDialog::set_drive_line(const std::string& text) { set_text(IDC_DRIVE_LINE, text); }

void MainWindowDialog::show_checkboxes() {
  for (const BoxControl& b : kBoxes)
    CheckDlgButton(window(), b.id, logic_.box_checked(b.box) ? BST_CHECKED : BST_UNCHECKED);
}

void MainWindowDialog::initialise() {
  end_message_ = RegisterWindowMessageA("Kestrove_End");
  SetWindowTextA(window(), kCaption);
  // The two big buttons show hints and take dropped files and folders.
  HWND encrypt = GetDlgItem(window(), IDC_ENCRYPT);
  HWND decrypt = GetDlgItem(window(), IDC_DECRYPT);
  encrypt_procedure_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(encrypt, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&button_procedure)));
  decrypt_procedure_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(decrypt, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&button_procedure)));
  DragAcceptFiles(encrypt, TRUE);
  DragAcceptFiles(decrypt, TRUE);
  ui::win32::make_topmost(window());
  if (on_open_) on_open_(window());

  if (!logic_.open()) {
    PostMessageA(HWND_BROADCAST, end_message_, 0, 0);
    EndDialog(window(), 0);
    return;
  }
  show_checkboxes();
  PostMessageA(window(), kStartRun, 0, 0);
}

void MainWindowDialog::end(INT_PTR result) {
  if (logic_.end()) PostMessageA(HWND_BROADCAST, end_message_, 0, 0);
  else result = 0;
  EndDialog(window(), result);
}

void MainWindowDialog::popup_menu(POINT screen_point) {
  HMENU menu = LoadMenuA(instance_, MAKEINTRESOURCEA(IDM_MAIN_POPUP));
  if (menu == nullptr) return;
  const int chosen = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON,
                                    screen_point.x, screen_point.y, 0, window(), nullptr);
  DestroyMenu(menu);
  if (chosen == IDM_OPTIONS_ITEM) logic_.options_command();
}

void MainWindowDialog::command(int id) {
  for (const BoxControl& b : kBoxes) {
    if (b.id != id) continue;
    const bool checked = IsDlgButtonChecked(window(), id) == BST_CHECKED;
    const bool shows = logic_.box_clicked(b.box, checked);
    if (shows != checked) CheckDlgButton(window(), id, shows ? BST_CHECKED : BST_UNCHECKED);
    return;
  }
  switch (id) {
    case IDC_ENCRYPT: logic_.button_clicked(Operation::encrypt); break;
    case IDC_DECRYPT: logic_.button_clicked(Operation::decrypt); break;
    case IDC_LOCK:
      if (logic_.lock_button()) EndDialog(window(), 0);
      break;
    case IDC_OPTIONS:
    case IDM_OPTIONS_ITEM: logic_.options_command(); break;
    case IDC_EXIT:
    case IDCANCEL: end(0); break;
    default: break;
  }
}

INT_PTR MainWindowDialog::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      initialise();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED || lparam == 0) command(LOWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      end(0);
      return TRUE;
    case WM_MOUSEMOVE:
      set_status_line("  ");
      return TRUE;
    case WM_CONTEXTMENU: {
      POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (point.x == -1 && point.y == -1) GetCursorPos(&point);
      popup_menu(point);
      return TRUE;
    }
    case kStartRun:
      if (state_.run.command_line_run && !logic_.start_command_line_run()) EndDialog(window(), 0);
      return TRUE;
    case kRunFinished:
      end(1);
      return TRUE;
    default:
      return FALSE;
  }
}

void MainWindowDialog::files_dropped(HWND button, HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[512] = {};
    if (DragQueryFileA(drop, i, path, sizeof path) > 0) paths.emplace_back(path);
  }
  DragFinish(drop);
  logic_.files_dropped(GetDlgCtrlID(button) == IDC_ENCRYPT ? Operation::encrypt : Operation::decrypt, paths);
}

LRESULT CALLBACK MainWindowDialog::button_procedure(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* dialog = reinterpret_cast<ui::win32::Dialog*>(GetWindowLongPtrA(GetParent(button), DWLP_USER));
  auto* self = dynamic_cast<MainWindowDialog*>(dialog);
  const bool encrypt = GetDlgCtrlID(button) == IDC_ENCRYPT;
  WNDPROC original = self == nullptr ? nullptr : (encrypt ? self->encrypt_procedure_ : self->decrypt_procedure_);
  if (self != nullptr) {
    if (message == WM_MOUSEMOVE) self->set_status_line(encrypt ? "　暗号化を行います。" : "　復号化を行います。");
    if (message == WM_DROPFILES) {
      self->files_dropped(button, reinterpret_cast<HDROP>(wparam));
      return 0;
    }
  }
  return original != nullptr ? CallWindowProcA(original, button, message, wparam, lparam)
                             : DefWindowProcA(button, message, wparam, lparam);
}

}  // namespace kestrove::app::win32
