#include "app/program.h"

#include "app/main_window.h"
#include "app/startup.h"

namespace kestrove::app {
namespace {

// Passes everything on and keeps the signal the worker ended with.
class SignalRecordingView final : public ui::RunView {
 public:
  explicit SignalRecordingView(ui::RunView& target) : target_(target) {}
  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    return target_.show(text, caption, flags);
  }
  void show_status(const std::string& text) override { target_.show_status(text); }
  void show_file_name(const std::string& name) override { target_.show_file_name(name); }
  void show_progress(int percent) override { target_.show_progress(percent); }
  bool stop_requested() override { return target_.stop_requested(); }
  int ask_overwrite(const std::string& name) override { return target_.ask_overwrite(name); }
  void end_run(const ui::RunEnding& ending) override {
    signal = ending.signal;
    target_.end_run(ending);
  }

  ui::RunSignal signal = ui::RunSignal::none;

 private:
  ui::RunView& target_;
};

}  // namespace

std::string switch_of(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return {};
  const std::string& first = arguments[0];
  return (first == "-E" || first == "-D" || first == "-F") ? first : std::string();
}

int run_in_view(ui::RunView& view, const RunWorker& worker) {
  SignalRecordingView recording(view);
  worker(recording);
  return recording.signal == ui::RunSignal::done ? 1 : 0;
}

int run_program(const std::vector<std::string>& arguments, ProgramState& state, ProgramServices& services,
                ProgramViews& views) {
  if (const std::optional<int> early = start_up(arguments, state, services, views)) return *early;

  MainWindow window(state, services, views);
  if (!window.open()) return kEarlyEnd;
  if (!state.run.command_line_run) {
    if (views.show_idle) views.show_idle(state);
    window.end();
    return 0;
  }
  // A run that was declined or did not complete closes the window at once,
  // without writing the settings back; a completed one ends in order.
  if (!window.start_command_line_run()) return kEarlyEnd;
  window.end();
  return 0;
}

}  // namespace kestrove::app
