#pragma once
// The password dialogs: key creation on this PC (104) and unlock (108).
// The logic asks again after each refused password; the dialog stays open
// with the field as the user left it until the logic closes it.
#include <windows.h>

#include "ui/key_views.h"
#include "ui/win32/dialog.h"

namespace kestrove::ui::win32 {

class Win32PasswordDialog final : public PasswordPromptView, private PromptDialog {
 public:
  Win32PasswordDialog(HINSTANCE instance, HWND owner) : PromptDialog(instance, owner) {}
  using PromptDialog::set_owner;

  PasswordAnswer ask(const PasswordPrompt& prompt) override;
  void set_password_text(const std::string& text) override;
  // Owned by the dialog while it is open, else by the dialog's owner.
  MessageBoxView& boxes() override { return prompt_boxes(); }
  void close(int result) override;

 private:
  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;

  const PasswordPrompt* opening_ = nullptr;  // the prompt the dialog opens with
};

}  // namespace kestrove::ui::win32
