#pragma once
// Scripted views of the key dialogs and the main window's key lines: they
// record what was shown and answer from a script. Message boxes of the
// dialogs go to a shared ScriptedMessageBox, so that one list holds every
// box in the order shown. An empty script answers Cancel.
#include <deque>
#include <string>
#include <vector>

#include "support/scripted_message_box.h"
#include "ui/key_views.h"

namespace kestrove::testing {

class ScriptedPasswordPrompt : public ui::PasswordPromptView {
 public:
  explicit ScriptedPasswordPrompt(ScriptedMessageBox& boxes) : boxes_(boxes) {}

  std::deque<ui::PasswordAnswer> answers;  // {true, "abc123"} is OK with that text; {} is Cancel
  std::vector<ui::PasswordPrompt> prompts;  // one per OK or Cancel asked for
  std::vector<std::string> field_texts;     // what the field was set to
  std::vector<int> closes;                  // the result of every close

  // Queues OK with each text in turn.
  void type(std::initializer_list<const char*> texts) {
    for (const char* t : texts) answers.push_back({true, t});
  }

  ui::PasswordAnswer ask(const ui::PasswordPrompt& prompt) override {
    prompts.push_back(prompt);
    if (answers.empty()) return {};
    ui::PasswordAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  void set_password_text(const std::string& text) override { field_texts.push_back(text); }
  ui::MessageBoxView& boxes() override { return boxes_; }
  void close(int result) override { closes.push_back(result); }

 private:
  ScriptedMessageBox& boxes_;
};

class ScriptedKeyChoice : public ui::KeyChoiceView {
 public:
  explicit ScriptedKeyChoice(ScriptedMessageBox& boxes) : boxes_(boxes) {}

  std::deque<int> answers;  // a line, ui::kNoKeySelected or ui::kKeyChoiceCancelled
  std::vector<ui::KeyChoiceList> lists;
  std::vector<int> closes;

  int choose(const ui::KeyChoiceList& list) override {
    lists.push_back(list);
    if (answers.empty()) return ui::kKeyChoiceCancelled;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  ui::MessageBoxView& boxes() override { return boxes_; }
  void close(int result) override { closes.push_back(result); }

 private:
  ScriptedMessageBox& boxes_;
};

class RecordingKeyStatus : public ui::KeyStatusView {
 public:
  std::vector<std::string> status_lines;
  std::vector<std::string> lock_displays;
  std::string last_access_line;
  std::string drive_line;

  void set_status_line(const std::string& text) override { status_lines.push_back(text); }
  void set_lock_display(const std::string& text) override { lock_displays.push_back(text); }
  void set_last_access_line(const std::string& text) override { last_access_line = text; }
  void set_drive_line(const std::string& text) override { drive_line = text; }
};

}  // namespace kestrove::testing
