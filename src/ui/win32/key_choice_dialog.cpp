#include "ui/win32/key_choice_dialog.h"

#include <cstdint>

#include "keys/key_selection.h"
#include "resource.h"
#include "ui/win32/handles.h"

namespace kestrove::ui::win32 {
namespace {

constexpr int kExtentMargin = 50;

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

int Win32KeyChoiceDialog::choose(const KeyChoiceList& list) {
  opening_ = &list;
  const bool open =
      open_prompt(list.dialog == KeyChoiceDialog::before_encryption ? IDD_KEY_CHOICE : IDD_KEY_CHOICE_REENCRYPT);
  opening_ = nullptr;
  if (!open) return kKeyChoiceCancelled;
  if (wait_for_answer() != Outcome::ok) return kKeyChoiceCancelled;
  const auto line = static_cast<int>(SendDlgItemMessageA(window(), IDC_KEY_LIST, LB_GETCURSEL, 0, 0));
  return line < 0 ? kNoKeySelected : line;
}

void Win32KeyChoiceDialog::close(int) { close_prompt(); }

void Win32KeyChoiceDialog::fill_list() {
  const HWND list = GetDlgItem(window(), IDC_KEY_LIST);
  const std::vector<std::string>& lines = opening_->lines;
  // Inserted at the top from the last line up, so the list ends in key-set
  // order whatever its sort style.
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(it->c_str()));
  }
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(opening_->selected), 0);

  const int result = fit_horizontal_extent(list, opening_->names, kExtentMargin);
  if (result != 1) {
    Win32MessageBox(window()).show(keys::horizontal_extent_failure_text(result), kCaptionNotice, mb::error_box);
  }
}

INT_PTR Win32KeyChoiceDialog::handle_message(UINT message, WPARAM wparam, LPARAM) {
  if (handled_as_answer(message, wparam)) return TRUE;  // Escape cancels dialog 128 too
  if (message != WM_INITDIALOG) return FALSE;
  bring_to_front(window());
  make_topmost(window());
  if (opening_ != nullptr) fill_list();
  return TRUE;
}

}  // namespace kestrove::ui::win32
