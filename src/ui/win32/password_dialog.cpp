#include "ui/win32/password_dialog.h"

#include "resource.h"

namespace kestrove::ui::win32 {
namespace {

constexpr int kPasswordLength = 6;
constexpr int kFieldRoom = 30;  // what is read of the field, terminator included

}  // namespace

Win32PasswordDialog::~Win32PasswordDialog() { close(0); }

PasswordAnswer Win32PasswordDialog::ask(const PasswordPrompt& prompt) {
  if (!is_open()) {
    const int template_id = prompt.dialog == PasswordDialog::key_creation ? IDD_KEY_CREATION : IDD_UNLOCK;
    opening_ = &prompt;
    const bool opened = open_prompt(instance_, template_id, owner_);
    opening_ = nullptr;
    if (!opened) return {};
    boxes_.set_owner(window());
  }
  if (wait_for_answer() != Outcome::ok) return {};
  char text[kFieldRoom] = {};
  GetDlgItemTextA(window(), IDC_PASSWORD, text, kFieldRoom);
  return {true, text};
}

void Win32PasswordDialog::set_password_text(const std::string& text) {
  if (is_open()) SetDlgItemTextA(window(), IDC_PASSWORD, text.c_str());
}

void Win32PasswordDialog::close(int) {
  close_prompt();
  boxes_.set_owner(owner_);
}

INT_PTR Win32PasswordDialog::handle_message(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      make_topmost(window());
      SendDlgItemMessageA(window(), IDC_PASSWORD, EM_LIMITTEXT, kPasswordLength, 0);
      if (opening_ != nullptr && opening_->dialog == PasswordDialog::key_creation) {
        SetDlgItemTextA(window(), IDC_DRIVE_TEXT, opening_->drive_text.c_str());
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK: finish(Outcome::ok); return TRUE;
        case IDCANCEL: finish(Outcome::cancel); return TRUE;
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
