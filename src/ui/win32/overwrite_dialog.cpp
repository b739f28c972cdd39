#include "ui/win32/overwrite_dialog.h"

#include "resource.h"
#include "ui/run_view.h"
#include "ui/win32/dialog.h"

namespace kestrove::ui::win32 {
namespace {

class OverwriteDialog final : public Dialog {
 public:
  explicit OverwriteDialog(const std::string& file_name) : file_name_(file_name) {}

  int ask(HINSTANCE instance, HWND owner) {
    if (run_modal(instance, IDD_OVERWRITE, owner) == -1) return overwrite::cancel;
    return answer_;
  }

 private:
  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        // Opened by the worker thread, which does not own the foreground.
        bring_to_front(window());
        make_topmost(window());
        SetDlgItemTextA(window(), IDC_OVERWRITE_FILE, file_name_.c_str());
        return TRUE;
      case WM_COMMAND:
        switch (LOWORD(wparam)) {
          case IDC_OVERWRITE_YES: return answer(overwrite::yes);
          case IDC_OVERWRITE_YES_ALL: return answer(overwrite::yes_to_all);
          case IDC_OVERWRITE_NO: return answer(overwrite::no);
          case IDC_OVERWRITE_CANCEL: return answer(overwrite::cancel);
          default: return FALSE;  // Escape too: only the four buttons and the close command answer
        }
      case WM_CLOSE:
        answer_ = overwrite::cancel;
        EndDialog(window(), 0);
        return TRUE;
      default:
        return FALSE;
    }
  }

  INT_PTR answer(int value) {
    answer_ = value;
    EndDialog(window(), 1);
    return TRUE;
  }

  const std::string& file_name_;
  int answer_ = overwrite::cancel;
};

}  // namespace

int ask_overwrite_question(HINSTANCE instance, HWND owner, const std::string& file_name) {
  return OverwriteDialog(file_name).ask(instance, owner);
}

}  // namespace kestrove::ui::win32
