#pragma once
// The views through which the key subsystem talks to the user: the password
// dialogs (key creation on this PC, unlock), the key choice before an
// encryption, and the main window's status and lock lines. A Win32 dialog, a
// terminal prompt and a scripted test view implement them alike; what OK
// does, the counters and which message follows are decided by the caller.
#include <string>
#include <vector>

#include "ui/message_box.h"

namespace kestrove::ui {

// ---- Password dialogs ------------------------------------------------------

enum class PasswordDialog {
  key_creation,  // dialog 104, "キー作成　- ケストローブ"
  unlock,        // dialog 108, "ロックの解除　- ケストローブ"
};

struct PasswordPrompt {
  PasswordDialog dialog = PasswordDialog::key_creation;
  std::string caption;
  std::string message;     // the fixed two-line text above the field
  std::string drive_text;  // control 1064: "（Eドライブを使用しています。）"; empty in the unlock dialog
  int attempt = 1;         // the number this try will have in the run, from 1
};

struct PasswordAnswer {
  bool ok = false;   // OK; false for キャンセル, the close box or the end of input
  std::string text;  // the password field (control 1007), limited to 6 characters
};

class PasswordPromptView {
 public:
  virtual ~PasswordPromptView() = default;
  // Opens the dialog when it is not open, then waits for OK or a cancel. The
  // dialog stays open, with what the user typed, until close().
  virtual PasswordAnswer ask(const PasswordPrompt& prompt) = 0;
  // A refused entry: the field's text becomes `text` (a single blank).
  virtual void set_password_text(const std::string& text) = 0;
  // Message boxes owned by the open dialog.
  virtual MessageBoxView& boxes() = 0;
  // Closes the dialog with its result (1 or 0).
  virtual void close(int result) = 0;
};

// ---- Key choice ------------------------------------------------------------

enum class KeyChoiceDialog {
  before_encryption,  // dialog 109: 選択 and キャンセル, a close box
  reencryption,       // dialog 128: 選択 only; Escape still cancels
};

inline constexpr int kNoKeySelected = -1;       // 選択 with no line selected
inline constexpr int kKeyChoiceCancelled = -2;  // キャンセル, the close box or Escape

struct KeyChoiceList {
  KeyChoiceDialog dialog = KeyChoiceDialog::before_encryption;
  std::vector<std::string> lines;  // in key-set order: "個人キー", "営業(グループ)", ...
  std::vector<std::string> names;  // the keys' names alone, as the list's width is measured
  int selected = 0;                // the line selected when the dialog opens
};

class KeyChoiceView {
 public:
  virtual ~KeyChoiceView() = default;
  // Opens the dialog (caption "暗号化キーの選択　- ケストローブ", text
  // "暗号化に使用するキーを選択してください。", list 1037) when it is not
  // open, then waits for 選択 (the selected line, or kNoKeySelected) or a
  // cancel (kKeyChoiceCancelled).
  virtual int choose(const KeyChoiceList& list) = 0;
  virtual MessageBoxView& boxes() = 0;
  virtual void close(int result) = 0;
};

// ---- Main window -----------------------------------------------------------

class KeyStatusView {
 public:
  virtual ~KeyStatusView() = default;
  virtual void set_status_line(const std::string& text) = 0;   // control 1062, the hint line
  virtual void set_lock_display(const std::string& text) = 0;  // control 1022
  virtual void set_last_access_line(const std::string& text) = 0;  // control 1052
  virtual void set_drive_line(const std::string& text) = 0;        // control 1063
};

// What key loading and the lock button need: the owner's message boxes (the
// main window's, or ownerless and topmost before it exists), the password
// dialog, and the main window itself when there is one.
struct KeyViews {
  MessageBoxView& boxes;
  PasswordPromptView& password;
  KeyStatusView* main_window = nullptr;
};

}  // namespace kestrove::ui
