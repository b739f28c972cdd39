#pragma once
// The password, key choice and destination folder dialogs in a terminal.
#include "ui/folder_prompt_view.h"
#include "ui/key_views.h"
#include "ui/terminal/terminal_message_box.h"

namespace kestrove::ui::terminal {

class TerminalPasswordPrompt : public PasswordPromptView {
 public:
  PasswordAnswer ask(const PasswordPrompt& prompt) override;
  void set_password_text(const std::string&) override {}
  MessageBoxView& boxes() override { return boxes_; }
  void close(int) override {}

 private:
  TerminalMessageBox boxes_;
};

class TerminalKeyChoice : public KeyChoiceView {
 public:
  int choose(const KeyChoiceList& list) override;
  MessageBoxView& boxes() override { return boxes_; }
  void close(int) override {}

 private:
  TerminalMessageBox boxes_;
};

class TerminalKeyStatus : public KeyStatusView {
 public:
  void set_status_line(const std::string& text) override;
  void set_lock_display(const std::string& text) override;
  void set_last_access_line(const std::string& text) override { set_status_line(text); }
  void set_drive_line(const std::string& text) override { set_status_line(text); }
};

// A folder typed as a Linux path (/media/usb/out) is taken in the program's
// Windows form; a Windows-form path is taken as typed.
class TerminalFolderPrompt : public FolderPromptView {
 public:
  bool ask(std::string& folder_text) override;
  MessageBoxView& boxes() override { return boxes_; }
  void close(int) override {}

 private:
  TerminalMessageBox boxes_;
};

}  // namespace kestrove::ui::terminal
