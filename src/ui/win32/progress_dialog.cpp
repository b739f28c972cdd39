#include "ui/win32/progress_dialog.h"

#include <commctrl.h>
#include <process.h>

#include <atomic>

#include "resource.h"
#include "ui/win32/dialog.h"
#include "ui/win32/handles.h"
#include "ui/win32/overwrite_dialog.h"

namespace kestrove::ui::win32 {
namespace {

constexpr UINT kRunDone = WM_APP + MSG_RUN_DONE_OFFSET;
constexpr UINT kRunStopped = WM_APP + MSG_RUN_STOPPED_OFFSET;
constexpr UINT kRunFailed = WM_APP + MSG_RUN_FAILED_OFFSET;
constexpr UINT kRunFinished = WM_APP + MSG_RUN_FINISHED_OFFSET;
constexpr const char* kThreeBlanks = "   ";

UINT end_message(RunSignal signal) {
  switch (signal) {
    case RunSignal::done: return kRunDone;
    case RunSignal::stopped: return kRunStopped;
    case RunSignal::failed: return kRunFailed;
    case RunSignal::none: break;
  }
  return 0;
}

// The dialog as the worker thread sees it: only its controls and the one
// end message. Everything here runs on the worker thread.
class DialogRunView final : public RunView {
 public:
  DialogRunView(HINSTANCE instance, std::atomic<int>& stop, std::atomic<bool>& closable)
      : instance_(instance), stop_(stop), closable_(closable) {}
  void bind(HWND dialog) { dialog_ = dialog; }

  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    return MessageBoxA(dialog_, text.c_str(), caption.c_str(), flags);
  }
  void show_status(const std::string& text) override { SetDlgItemTextA(dialog_, IDC_PROGRESS_STATUS, text.c_str()); }
  void show_file_name(const std::string& name) override { SetDlgItemTextA(dialog_, IDC_PROGRESS_FILE, name.c_str()); }
  void show_progress(int percent) override {
    SendDlgItemMessageA(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  }
  bool stop_requested() override { return stop_.load() == 1; }
  int ask_overwrite(const std::string& file_name) override {
    return ask_overwrite_question(instance_, dialog_, file_name);
  }

  void end_run(const RunEnding& ending) override {
    end_called_ = true;
    // With an end message the dialog may close once that message has been
    // handled; without one, as soon as the end is shown.
    if (ending.signal == RunSignal::none) closable_.store(true);
    if (ending.show_end) {
      SetDlgItemTextA(dialog_, IDC_PROGRESS_STATUS, ending.status.c_str());
      SetDlgItemTextA(dialog_, IDC_STOP_HINT, kThreeBlanks);
      if (ending.clear_file_name) SetDlgItemTextA(dialog_, IDC_PROGRESS_FILE, kThreeBlanks);
      offer_close();
    }
    const UINT message = end_message(ending.signal);
    if (message != 0) PostMessageA(dialog_, message, 0, 0);
  }

  // A worker that returned without end_run still lets the user close.
  void worker_returned() {
    if (end_called_) return;
    closable_.store(true);
    offer_close();
  }

 private:
  // 終了 enabled and made the default (with the focus), 停止 disabled.
  void offer_close() {
    const HWND close_button = GetDlgItem(dialog_, IDCANCEL);
    EnableWindow(close_button, TRUE);
    SendMessageA(dialog_, DM_SETDEFID, IDCANCEL, 0);
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close_button), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_STOP), FALSE);
  }

  HINSTANCE instance_;
  std::atomic<int>& stop_;
  std::atomic<bool>& closable_;
  HWND dialog_ = nullptr;
  bool end_called_ = false;  // worker thread only
};

class ProgressDialog final : public Dialog {
 public:
  explicit ProgressDialog(const ProgressDialogRequest& request)
      : request_(request), view_(request.instance, stop_, closable_) {}

  int run() {
    const INT_PTR result = run_modal(request_.instance, IDD_PROGRESS, request_.owner);
    // Only a quit message ends the dialog under a running worker: let it
    // stop at its next chunk instead of finishing the whole run unseen.
    if (!closable_.load()) stop_.store(1);
    wait_for_worker();
    return result == 1 ? 1 : 0;
  }

 private:
  // The start record: the thread copies what it needs and then sets `taken`,
  // after which the starter may let the record go.
  struct ThreadStart {
    ProgressDialog* dialog;
    std::atomic<int> taken{0};
  };

  static unsigned __stdcall worker_thread(void* argument) {
    auto* start = static_cast<ThreadStart*>(argument);
    ProgressDialog* const dialog = start->dialog;
    start->taken.store(1);
    if (dialog->request_.worker) dialog->request_.worker(dialog->view_);
    dialog->view_.worker_returned();
    return 0;
  }

  void start_worker() {
    ThreadStart start{this};
    const uintptr_t thread = _beginthreadex(nullptr, 0, &ProgressDialog::worker_thread, &start, 0, nullptr);
    if (thread == 0) {
      // No worker: the run failed before it began, and the user can close.
      view_.worker_returned();
      PostMessageA(window(), kRunFailed, 0, 0);
      return;
    }
    thread_.reset(reinterpret_cast<HANDLE>(thread));
    Sleep(10);
    while (start.taken.load() != 1) {
      pump_pending_messages(1);
      Sleep(10);
    }
  }

  // The worker never outlives what it works on: the caller's records and the
  // run view live until run_progress_dialog returns. Messages sent to this
  // thread are still answered while it waits.
  void wait_for_worker() {
    if (!thread_) return;
    const HANDLE thread = thread_.get();
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
  }

  // The close button and the close command end the dialog only once the
  // worker has ended: until then it still writes into the dialog and into
  // the caller's records, and the stop button is the way out.
  bool may_close() const { return closable_.load(); }

  void close_by_user() {
    if (!may_close()) return;
    if (request_.command_line_run && request_.main_window != nullptr) {
      PostMessageA(request_.main_window, kRunFinished, 0, 0);
    }
    EndDialog(window(), 0);
  }

  void on_end_message(RunSignal signal) {
    closable_.store(true);
    pump_pending_messages(3);  // let waiting messages through first
    if (!request_.on_end) return;
    const RunEndAction action = request_.on_end(signal);
    if (request_.main_window != nullptr) {
      if (!action.main_status.empty()) SetDlgItemTextA(request_.main_window, IDC_STATUS_LINE, action.main_status.c_str());
      if (action.post_run_finished) PostMessageA(request_.main_window, kRunFinished, 0, 0);
    }
    if (action.end_dialog && window() != nullptr) EndDialog(window(), action.result);
  }

  void initialise() {
    EnableWindow(GetDlgItem(window(), IDCANCEL), FALSE);
    make_topmost(window());
    if (request_.encryption) {
      SetDlgItemTextA(window(), IDC_PROGRESS_HEADING, "★ファイルの暗号化を行います。");
      SetDlgItemTextA(window(), IDC_STOP_HINT, "ファイルの暗号化を停止する場合には、停止ボタンを押してください。");
    } else {
      SetDlgItemTextA(window(), IDC_PROGRESS_HEADING, "★ファイルの復号化を行います。");
      SetDlgItemTextA(window(), IDC_STOP_HINT, "ファイルの復号化を停止する場合には、停止ボタンを押してください。");
    }
    SetDlgItemTextA(window(), IDC_PROGRESS_FILE, kThreeBlanks);
    SetDlgItemTextA(window(), IDC_PROGRESS_STATUS, kThreeBlanks);
    stop_.store(0);
    view_.bind(window());
    start_worker();
  }

  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        initialise();
        return TRUE;
      case WM_COMMAND:
        switch (LOWORD(wparam)) {
          case IDC_STOP: stop_.store(1); return TRUE;  // noticed before the next chunk
          case IDCANCEL: close_by_user(); return TRUE;
          default: return FALSE;
        }
      case WM_CLOSE:
        close_by_user();
        return TRUE;
      case kRunDone: on_end_message(RunSignal::done); return TRUE;
      case kRunStopped: on_end_message(RunSignal::stopped); return TRUE;
      case kRunFailed: on_end_message(RunSignal::failed); return TRUE;
      default:
        return FALSE;
    }
  }

  const ProgressDialogRequest& request_;
  std::atomic<int> stop_{0};
  std::atomic<bool> closable_{false};
  DialogRunView view_;
  UniqueHandle thread_;
};

void register_progress_bar_class() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
}

}  // namespace

int run_progress_dialog(const ProgressDialogRequest& request) {
  register_progress_bar_class();
  ProgressDialog dialog(request);
  return dialog.run();
}

}  // namespace kestrove::ui::win32
