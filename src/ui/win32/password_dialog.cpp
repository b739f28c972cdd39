#include "ui/win32/password_dialog.h"

#include "resource.h"

namespace kestrove::ui::win32 {
namespace {

constexpr int kPasswordLength = 6;
constexpr int kFieldRoom = 30;  // what is read of the field, terminator included

}  // namespace

PasswordAnswer Win32PasswordDialog::ask(const PasswordPrompt& prompt) {
  opening_ = &prompt;
  const bool open = open_prompt(prompt.dialog == PasswordDialog::key_creation ? IDD_KEY_CREATION : IDD_UNLOCK);
  opening_ = nullptr;
  if (!open) return {};
  if (wait_for_answer() != Outcome::ok) return {};
  char text[kFieldRoom] = {};
  GetDlgItemTextA(window(), IDC_PASSWORD, text, kFieldRoom);
  return {true, text};
}

void Win32PasswordDialog::set_password_text(const std::string& text) {
  if (is_open()) SetDlgItemTextA(window(), IDC_PASSWORD, text.c_str());
}

void Win32PasswordDialog::close(int) { close_prompt(); }

INT_PTR Win32PasswordDialog::handle_message(UINT message, WPARAM wparam, LPARAM) {
  if (handled_as_answer(message, wparam)) return TRUE;
  if (message != WM_INITDIALOG) return FALSE;
  make_topmost(window());
  SendDlgItemMessageA(window(), IDC_PASSWORD, EM_LIMITTEXT, kPasswordLength, 0);
  if (opening_ != nullptr && opening_->dialog == PasswordDialog::key_creation) {
    SetDlgItemTextA(window(), IDC_DRIVE_TEXT, opening_->drive_text.c_str());
  }
  return TRUE;
}

}  // namespace kestrove::ui::win32
