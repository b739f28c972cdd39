// The terminal views answer from standard input line by line; the end of
// input answers キャンセル, and Ctrl-C is the stop button.
#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <sstream>

#include "ui/terminal/terminal_message_box.h"
#include "ui/terminal/terminal_run_view.h"

namespace kestrove::ui::terminal {
namespace {

// Standard input replaced by `text` while alive.
class ScriptedInput {
 public:
  explicit ScriptedInput(const std::string& text) : input_(text), old_(std::cin.rdbuf(input_.rdbuf())) {}
  ~ScriptedInput() {
    std::cin.rdbuf(old_);
    std::cin.clear();
  }

 private:
  std::istringstream input_;
  std::streambuf* old_;
};

TEST(TerminalMessageBox, AnswersByNumberOrLabelAndCancelsAtTheEndOfInput) {
  struct Case {
    std::string input;
    std::uint32_t flags;
    int answer;
  } cases[] = {
      {"1\n", mb::question_box, answer::ok},
      {"2\n", mb::question_box, answer::cancel},
      {"キャンセル\n", mb::question_box, answer::cancel},
      {"x\n1\n", mb::question_box, answer::ok},  // asked again until it is one of the buttons
      {"", mb::question_box, answer::cancel},
      {"", mb::yes_no, answer::no},
      {"はい\n", mb::yes_no, answer::yes},
      {"", mb::retry_cancel | mb::icon_hand, answer::cancel},
      {"", mb::error_box, answer::ok},  // one button: shown, nothing to answer
  };
  for (const auto& c : cases) {
    ScriptedInput input(c.input);
    TerminalMessageBox box;
    EXPECT_EQ(box.show("text", kCaptionConfirm, c.flags), c.answer) << c.input;
  }
}

TEST(TerminalRunView, InterruptIsTheStopButtonAndOverwriteHasFourAnswers) {
  TerminalRunView view("heading");
  EXPECT_FALSE(view.stop_requested());
  std::raise(SIGINT);  // handled: the process goes on
  EXPECT_TRUE(view.stop_requested());
  {
    ScriptedInput input("2\n");
    EXPECT_EQ(view.ask_overwrite("a.txt"), overwrite::yes_to_all);
  }
  {
    ScriptedInput input("いいえ\n");
    EXPECT_EQ(view.ask_overwrite("a.txt"), overwrite::no);
  }
  {
    ScriptedInput input("");
    EXPECT_EQ(view.ask_overwrite("a.txt"), overwrite::cancel);
  }
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace kestrove::ui::terminal
