#pragma once
// What every dialog of the program shares: one dialog procedure that finds
// the C++ object of its window and hands it each message, the topmost and
// foreground helpers, message pumping, and the nested message loop of the
// dialogs that the logic asks again and again while they stay open.
#include <windows.h>

#include "ui/win32/message_box.h"

namespace kestrove::ui::win32 {

// On top of all windows, without moving, sizing or activating it.
void make_topmost(HWND window);

// Takes up to `at_most` waiting messages of this thread's queue (peek with
// removal), translates and dispatches each.
void pump_pending_messages(int at_most);

// Makes `window` the foreground window even when another process owns the
// foreground: this thread's input is attached to the foreground window's
// thread for the call. The result of SetForegroundWindow.
BOOL bring_to_front(HWND window);

// A dialog from a resource template. The object is the dialog parameter; at
// WM_INITDIALOG it is stored in the window (DWLP_USER) and from then on
// every message reaches handle_message until the window is destroyed.
class Dialog {
 public:
  Dialog() = default;
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  HWND window() const { return window_; }

 protected:
  // DialogBoxParamA: the dialog's result, -1 when it could not be created.
  INT_PTR run_modal(HINSTANCE instance, int template_id, HWND owner);
  // CreateDialogParamA: the window, or null.
  HWND create_modeless(HINSTANCE instance, int template_id, HWND owner);
  // Destroys a modeless dialog; the object lets go of the window first, so
  // no message of the destruction reaches handle_message.
  void destroy_modeless();

  // As a dialog procedure: TRUE when the message was handled.
  virtual INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam) = 0;

 private:
  static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void detach();

  HWND window_ = nullptr;
};

// A modeless dialog that behaves like a modal one while it is open (its
// owner is disabled) and answers one question at a time: wait_for_answer
// runs a nested message loop until the dialog reports OK or a cancel, and
// the dialog stays open, with what the user typed, until close_prompt. Its
// message boxes are owned by the dialog while it is open, else by its owner.
class PromptDialog : public Dialog {
 public:
  enum class Outcome { pending, ok, cancel };

  ~PromptDialog() override;
  bool is_open() const { return window() != nullptr; }
  // The window that owns the dialog from its next opening (the main window
  // once it exists).
  void set_owner(HWND owner);

 protected:
  PromptDialog(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner), boxes_(owner) {}

  // Creates and shows the dialog unless it is open, and disables the owner;
  // false when the dialog could not be created.
  bool open_prompt(int template_id);
  // The answer: ok or cancel (also when the window went away, or when
  // WM_QUIT arrived, which is posted again for the outer loop).
  Outcome wait_for_answer();
  // Called by the dialog's handlers: ends the current wait.
  void finish(Outcome outcome) { outcome_ = outcome; }
  // OK, キャンセル (and Escape) and the close command end the current wait;
  // true when `message` was one of them.
  bool handled_as_answer(UINT message, WPARAM wparam);
  // Re-enables the owner, then destroys the dialog.
  void close_prompt();
  Win32MessageBox& prompt_boxes() { return boxes_; }

 private:
  HINSTANCE instance_;
  HWND owner_;
  Win32MessageBox boxes_;
  bool owner_disabled_ = false;
  Outcome outcome_ = Outcome::pending;
};

}  // namespace kestrove::ui::win32
