#pragma once
#include "ui/message_box.h"

namespace kestrove::ui::terminal {

// A message box printed with its caption; a box with one button is shown
// and passed, one with a choice waits for the answer (end of input answers
// キャンセル, or いいえ where there is no キャンセル).
class TerminalMessageBox : public MessageBoxView {
 public:
  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override;
};

}  // namespace kestrove::ui::terminal
