#include "ui/terminal/terminal_run_view.h"

#include <vector>

#include "ui/terminal/terminal_io.h"

namespace kestrove::ui::terminal {

TerminalRunView::TerminalRunView(std::string heading) {
  clear_interrupt();
  install_interrupt_as_stop();
  print(heading + "（Ctrl-C で停止します）\n");
}

TerminalRunView::~TerminalRunView() { finish_line(); }

void TerminalRunView::finish_line() {
  if (!line_open_) return;
  print("\n");
  line_open_ = false;
}

void TerminalRunView::draw() {
  const std::string percent = percent_ < 0 ? "" : "  " + std::to_string(percent_) + "%";
  print("\r" + status_ + "  " + file_name_ + percent + "\x1b[K");
  line_open_ = true;
}

int TerminalRunView::show(const std::string& text, const std::string& caption, std::uint32_t flags) {
  finish_line();
  return boxes_.show(text, caption, flags);
}

void TerminalRunView::show_status(const std::string& text) { status_ = text; }

void TerminalRunView::show_file_name(const std::string& name) {
  if (name == file_name_ && line_open_) return;
  finish_line();
  file_name_ = name;
  percent_ = -1;
  if (output_is_terminal()) draw();
  else print(status_ + "  " + file_name_ + "\n");
}

void TerminalRunView::show_progress(int percent) {
  if (percent == percent_) return;
  percent_ = percent;
  if (output_is_terminal() && !file_name_.empty()) draw();
}

bool TerminalRunView::stop_requested() { return interrupt_requested(); }

int TerminalRunView::ask_overwrite(const std::string& file_name) {
  finish_line();
  print("\n[上書き確認　-ケストローブ]\n" + file_name +
        "\n同名のファイルが存在します。上書きしますか。\n※「キャンセル」を選択するとすべての処理を中断します。\n");
  const int chosen = choose({"はい", "はい(すべて)", "いいえ", "キャンセル"});
  switch (chosen) {
    case 0: return overwrite::yes;
    case 1: return overwrite::yes_to_all;
    case 2: return overwrite::no;
    default: return overwrite::cancel;
  }
}

void TerminalRunView::end_run(const RunEnding& ending) {
  if (percent_ >= 0 && output_is_terminal()) draw();
  finish_line();
  signal_ = ending.signal;
  if (ending.show_end && !ending.status.empty()) print(ending.status + "\n");
}

}  // namespace kestrove::ui::terminal
