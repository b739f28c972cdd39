#pragma once
// A run view for tests: records what the worker showed and asked, answers
// the overwrite question from a script (an empty script answers Cancel),
// presses the stop button at a chosen poll, and answers message boxes as
// ScriptedMessageBox does.
#include <deque>
#include <string>
#include <vector>

#include "support/scripted_message_box.h"
#include "ui/run_view.h"

namespace kestrove::testing {

class ScriptedRunView final : public ui::RunView {
 public:
  std::vector<std::string> statuses;
  std::vector<std::string> file_names;
  std::vector<int> progress;
  std::deque<int> overwrite_answers;
  std::vector<std::string> overwrite_questions;  // the file names asked about
  int stop_at_poll = 0;                          // 0: never; n: the nth poll answers stop
  int polls = 0;
  std::vector<ShownBox> boxes;
  std::vector<ui::RunEnding> endings;

  void show_status(const std::string& text) override { statuses.push_back(text); }
  void show_file_name(const std::string& name) override { file_names.push_back(name); }
  void show_progress(int percent) override { progress.push_back(percent); }
  bool stop_requested() override {
    ++polls;
    return stop_at_poll != 0 && polls >= stop_at_poll;
  }
  int ask_overwrite(const std::string& file_name) override {
    overwrite_questions.push_back(file_name);
    if (overwrite_answers.empty()) return ui::overwrite::cancel;
    const int answer = overwrite_answers.front();
    overwrite_answers.pop_front();
    return answer;
  }
  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    boxes.push_back({text, caption, flags});
    return ui::answer::ok;
  }
  void end_run(const ui::RunEnding& ending) override { endings.push_back(ending); }

  // The status line the run ended with ("" when the end showed nothing).
  std::string end_status() const { return endings.empty() ? std::string() : endings.back().status; }
};

}  // namespace kestrove::testing
