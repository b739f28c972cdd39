#pragma once
// What a conversion run shows and asks while it works: the progress dialog
// with its status line, file name and progress bar, the stop button, the
// overwrite question, message boxes owned by the dialog, and the end of the
// run. The Win32 progress dialog, the terminal and the tests' scripted view
// all implement it; the workers call it from their own thread.
#include <string>

#include "ui/message_box.h"

namespace kestrove::ui {

// Answers of the overwrite question, as the worker keeps them.
namespace overwrite {
inline constexpr int yes = 0;         // "はい"
inline constexpr int yes_to_all = 1;  // "はい(すべて)"
inline constexpr int no = 2;          // "いいえ"
inline constexpr int cancel = 3;      // "キャンセル", or the dialog closed
}  // namespace overwrite

// The message a finished worker posts to its progress dialog.
enum class RunSignal {
  none,     // nothing is posted; the dialog waits for the user
  done,     // MSG_RUN_DONE
  stopped,  // MSG_RUN_STOPPED
  failed,   // MSG_RUN_FAILED
};

// What a progress dialog does when its worker's end message arrives.
struct RunEndAction {
  std::string main_status;  // the main window's status line (1022), when not empty
  bool end_dialog = false;  // the dialog closes itself, with `result`
  int result = 0;
  bool post_run_finished = false;  // the main window is told to close and end
};

struct RunEnding {
  RunSignal signal = RunSignal::none;
  // When set, the dialog shows the end: the close button enabled and made
  // the default, the stop button disabled, the status line set to `status`
  // and the stop hint cleared. When clear, only the signal is posted.
  bool show_end = true;
  std::string status;
  bool clear_file_name = false;  // the file name line becomes three blanks
};

class RunView : public MessageBoxView {
 public:
  virtual void show_status(const std::string& text) = 0;     // the status line
  virtual void show_file_name(const std::string& name) = 0;  // the file in hand
  virtual void show_progress(int percent) = 0;               // 0 .. 100, once per chunk
  // Polled before every chunk; true once the user pressed the stop button.
  virtual bool stop_requested() = 0;
  // The overwrite question for an existing output (its name after the last
  // "\"); one of the overwrite:: answers.
  virtual int ask_overwrite(const std::string& file_name) = 0;
  // Called once, when the worker has finished.
  virtual void end_run(const RunEnding& ending) = 0;
};

}  // namespace kestrove::ui
