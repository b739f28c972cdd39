#include "ui/win32/key_choice_dialog.h"

#include <cstdint>

#include "keys/key_selection.h"
#include "resource.h"
#include "ui/win32/handles.h"

namespace kestrove::ui::win32 {
namespace {

constexpr int kExtentMargin = 50;
constexpr const char kGroupSuffix[] = "(グループ)";

// The key's name as measured: its line without the group mark.
std::string name_of_line(const std::string& line) {
  const std::string suffix = kGroupSuffix;
  if (line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return line.substr(0, line.size() - suffix.size());
  }
  return line;
}

}  // namespace

int fit_horizontal_extent(HWND list, const std::vector<std::string>& names, int margin) {
  WindowDC dc(list);
  if (!dc) return static_cast<int>(GetLastError());
  SavedDCState saved(dc.get());
  if (!saved) {
    const DWORD error = GetLastError();
    dc.release();
    return static_cast<int>(error);
  }
  const auto font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
  if (font == nullptr) {
    const DWORD error = GetLastError();
    saved.restore();
    dc.release();
    return static_cast<int>(error);
  }
  SelectObject(dc.get(), font);

  std::vector<std::int32_t> widths;
  for (const std::string& name : names) {
    SIZE size{};
    const bool measured = GetTextExtentPoint32A(dc.get(), name.c_str(), static_cast<int>(name.size()), &size) != FALSE;
    widths.push_back(measured ? size.cx : -1);  // a failed measurement is skipped
  }
  const std::int32_t extent = keys::fitted_horizontal_extent(widths, GetSystemMetrics(SM_CXVSCROLL), margin);
  if (extent > 0) SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);

  const bool restored = saved.restore();
  const bool released = dc.release();
  return restored && released ? 1 : static_cast<int>(GetLastError());
}

Win32KeyChoiceDialog::~Win32KeyChoiceDialog() { close(0); }

int Win32KeyChoiceDialog::choose(const KeyChoiceList& list) {
  if (!is_open()) {
    const int template_id = list.dialog == KeyChoiceDialog::before_encryption ? IDD_KEY_CHOICE : IDD_KEY_CHOICE_REENCRYPT;
    opening_ = &list;
    const bool opened = open_prompt(instance_, template_id, owner_);
    opening_ = nullptr;
    if (!opened) return kKeyChoiceCancelled;
    boxes_.set_owner(window());
  }
  if (wait_for_answer() != Outcome::ok) return kKeyChoiceCancelled;
  const auto line = static_cast<int>(SendDlgItemMessageA(window(), IDC_KEY_LIST, LB_GETCURSEL, 0, 0));
  return line < 0 ? kNoKeySelected : line;
}

void Win32KeyChoiceDialog::close(int) {
  close_prompt();
  boxes_.set_owner(owner_);
}

void Win32KeyChoiceDialog::fill_list() {
  const HWND list = GetDlgItem(window(), IDC_KEY_LIST);
  const std::vector<std::string>& lines = opening_->lines;
  // Inserted at the top from the last line up, so the list ends in key-set
  // order whatever its sort style.
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(it->c_str()));
  }
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(opening_->selected), 0);

  std::vector<std::string> names;
  for (std::size_t i = 0; i < lines.size(); ++i) names.push_back(i == 0 ? lines[i] : name_of_line(lines[i]));
  const int result = fit_horizontal_extent(list, names, kExtentMargin);
  if (result != 1) {
    Win32MessageBox(window()).show(keys::horizontal_extent_failure_text(result), kCaptionNotice, mb::error_box);
  }
}

INT_PTR Win32KeyChoiceDialog::handle_message(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      bring_to_front(window());
      make_topmost(window());
      if (opening_ != nullptr) fill_list();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK: finish(Outcome::ok); return TRUE;
        case IDCANCEL: finish(Outcome::cancel); return TRUE;  // also Escape in dialog 128
        default: return FALSE;
      }
    case WM_CLOSE:
      finish(Outcome::cancel);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace kestrove::ui::win32
