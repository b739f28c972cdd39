#include "ui/terminal/terminal_message_box.h"

#include <vector>

#include "ui/terminal/terminal_io.h"

namespace kestrove::ui::terminal {
namespace {

struct Button {
  const char* label;
  int id;
};

std::vector<Button> buttons_of(std::uint32_t flags) {
  switch (flags & 0xF) {
    case mb::ok_cancel: return {{"OK", answer::ok}, {"キャンセル", answer::cancel}};
    case mb::yes_no_cancel: return {{"はい", answer::yes}, {"いいえ", answer::no}, {"キャンセル", answer::cancel}};
    case mb::yes_no: return {{"はい", answer::yes}, {"いいえ", answer::no}};
    case mb::retry_cancel: return {{"再試行", answer::retry}, {"キャンセル", answer::cancel}};
    default: return {{"OK", answer::ok}};
  }
}

}  // namespace

int TerminalMessageBox::show(const std::string& text, const std::string& caption, std::uint32_t flags) {
  print("\n[" + caption + "]\n" + text + "\n");
  const std::vector<Button> buttons = buttons_of(flags);
  if (buttons.size() == 1) return buttons[0].id;
  std::vector<std::string> labels;
  for (const Button& b : buttons) labels.emplace_back(b.label);
  const int chosen = choose(labels);
  if (chosen >= 0) return buttons[static_cast<std::size_t>(chosen)].id;
  return buttons.back().id == answer::no ? answer::no : answer::cancel;
}

}  // namespace kestrove::ui::terminal
