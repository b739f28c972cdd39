#pragma once
#include <string>

#include "ui/run_view.h"
#include "ui/terminal/terminal_message_box.h"

namespace kestrove::ui::terminal {

// The progress dialog in a terminal: one line per file with its percentage
// (rewritten in place on a terminal), Ctrl-C as the stop button, the
// overwrite question as a choice of four answers.
class TerminalRunView : public RunView {
 public:
  explicit TerminalRunView(std::string heading);
  ~TerminalRunView() override;

  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override;
  void show_status(const std::string& text) override;
  void show_file_name(const std::string& name) override;
  void show_progress(int percent) override;
  bool stop_requested() override;
  int ask_overwrite(const std::string& file_name) override;
  void end_run(const RunEnding& ending) override;

  RunSignal signal() const { return signal_; }

 private:
  void finish_line();
  void draw();

  std::string status_;
  std::string file_name_;
  int percent_ = -1;
  bool line_open_ = false;
  RunSignal signal_ = RunSignal::none;
  TerminalMessageBox boxes_;
};

}  // namespace kestrove::ui::terminal
