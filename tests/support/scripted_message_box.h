#pragma once
// A message box view for tests: records every box shown and answers from a
// script (queue of button ids); an empty script answers Cancel.
#include <deque>
#include <string>
#include <vector>

#include "ui/message_box.h"

namespace kestrove::testing {

struct ShownBox {
  std::string text;
  std::string caption;
  std::uint32_t flags = 0;
};

class ScriptedMessageBox : public ui::MessageBoxView {
 public:
  std::deque<int> answers;
  std::vector<ShownBox> shown;

  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    shown.push_back({text, caption, flags});
    if (answers.empty()) return ui::answer::cancel;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace kestrove::testing
