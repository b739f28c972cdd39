#include "ui/win32/dialog.h"

namespace kestrove::ui::win32 {

void make_topmost(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void pump_pending_messages(int at_most) {
  MSG message;
  for (int i = 0; i < at_most; ++i) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

BOOL bring_to_front(HWND window) {
  const DWORD own_thread = GetCurrentThreadId();
  const HWND foreground = GetForegroundWindow();
  const DWORD foreground_thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  const bool attach = foreground_thread != 0 && foreground_thread != own_thread;
  if (attach) AttachThreadInput(own_thread, foreground_thread, TRUE);
  const BOOL result = SetForegroundWindow(window);
  if (attach) AttachThreadInput(own_thread, foreground_thread, FALSE);
  return result;
}

// ---- Dialog -------------------------------------------------------------------

Dialog::~Dialog() { destroy_modeless(); }

INT_PTR Dialog::run_modal(HINSTANCE instance, int template_id, HWND owner) {
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(template_id), owner, &Dialog::procedure,
                         reinterpret_cast<LPARAM>(this));
}

HWND Dialog::create_modeless(HINSTANCE instance, int template_id, HWND owner) {
  return CreateDialogParamA(instance, MAKEINTRESOURCEA(template_id), owner, &Dialog::procedure,
                            reinterpret_cast<LPARAM>(this));
}

void Dialog::detach() {
  if (window_ == nullptr) return;
  SetWindowLongPtrA(window_, DWLP_USER, 0);
  window_ = nullptr;
}

void Dialog::destroy_modeless() {
  const HWND window = window_;
  detach();
  if (window != nullptr) DestroyWindow(window);
}

INT_PTR CALLBACK Dialog::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (self == nullptr) return FALSE;  // before WM_INITDIALOG, or after the object let go
  const INT_PTR result = self->handle_message(message, wparam, lparam);
  if (message == WM_NCDESTROY) self->detach();
  return result;
}

// ---- PromptDialog ---------------------------------------------------------------

PromptDialog::~PromptDialog() { close_prompt(); }

void PromptDialog::set_owner(HWND owner) {
  owner_ = owner;
  if (!is_open()) boxes_.set_owner(owner);
}

bool PromptDialog::open_prompt(int template_id) {
  if (is_open()) return true;
  if (create_modeless(instance_, template_id, owner_) == nullptr) return false;
  // As a modal dialog does: the owner takes no input while the dialog is open.
  owner_disabled_ = owner_ != nullptr && IsWindowEnabled(owner_);
  if (owner_disabled_) EnableWindow(owner_, FALSE);
  boxes_.set_owner(window());
  ShowWindow(window(), SW_SHOW);
  return true;
}

bool PromptDialog::handled_as_answer(UINT message, WPARAM wparam) {
  if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL)) {
    finish(Outcome::cancel);
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    finish(Outcome::ok);
    return true;
  }
  return false;
}

PromptDialog::Outcome PromptDialog::wait_for_answer() {
  outcome_ = Outcome::pending;
  MSG message;
  while (outcome_ == Outcome::pending) {
    if (window() == nullptr) return Outcome::cancel;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) return Outcome::cancel;
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // the outer loop ends too
      return Outcome::cancel;
    }
    if (window() != nullptr && IsDialogMessageA(window(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return outcome_;
}

void PromptDialog::close_prompt() {
  if (window() == nullptr) return;
  // Enabled before the dialog goes, so that the owner is activated again.
  if (owner_disabled_) EnableWindow(owner_, TRUE);
  owner_disabled_ = false;
  destroy_modeless();
  boxes_.set_owner(owner_);
}

}  // namespace kestrove::ui::win32
