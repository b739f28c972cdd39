#pragma once
// The progress dialog of a conversion run (9). It starts the run's worker
// thread, shows what the worker writes into its controls, offers the stop
// button, and when the worker posts the end lets the caller decide what
// follows (the main window's status line, closing, ending the program).
#include <windows.h>

#include <functional>
#include <string>

#include "ui/run_view.h"

namespace kestrove::ui::win32 {

struct ProgressDialogRequest {
  HINSTANCE instance = nullptr;
  HWND owner = nullptr;            // the main window or the window that chose the file
  HWND main_window = nullptr;      // may be null: nothing is then set or posted there
  bool encryption = true;          // the heading and hint: encryption or decryption
  bool command_line_run = false;   // 終了 then posts MSG_RUN_FINISHED to main_window
  std::function<void(RunView&)> worker;           // runs on the worker thread
  std::function<RunEndAction(RunSignal)> on_end;  // when an end message arrives
};

// Runs the dialog modally; returns once it has ended and the worker thread
// has finished. The dialog's result: 1 completed, 0 otherwise.
int run_progress_dialog(const ProgressDialogRequest& request);

}  // namespace kestrove::ui::win32
