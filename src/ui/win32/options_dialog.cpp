#include "ui/win32/options_dialog.h"

#include <optional>

#include "resource.h"
#include "shell/options_dialog.h"
#include "ui/win32/dialog.h"

namespace kestrove::ui::win32 {
namespace {

// A dialog of fixed texts with only 閉じる; topmost while it is open.
class DetailDialog final : public Dialog {
 public:
  void show(HINSTANCE instance, int template_id, HWND owner) { run_modal(instance, template_id, owner); }

 private:
  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        make_topmost(window());
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wparam) != IDCANCEL) return FALSE;
        EndDialog(window(), 0);
        return TRUE;
      case WM_CLOSE:
        EndDialog(window(), 0);
        return TRUE;
      default:
        return FALSE;
    }
  }
};

class OptionsDialogWindow final : public Dialog, private OptionsView {
 public:
  OptionsDialogWindow(HINSTANCE instance, shell::ShellServices& services, shell::PcOptions& flags)
      : instance_(instance), services_(services), flags_(flags) {}

  void run(HWND owner) { run_modal(instance_, IDD_OPTIONS, owner); }

 private:
  void set_checked(OptionBox box, bool checked) override {
    CheckDlgButton(window(), static_cast<int>(box), checked ? BST_CHECKED : BST_UNCHECKED);
  }

  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        make_topmost(window());
        boxes_.set_owner(window());
        logic_.emplace(services_, flags_, static_cast<OptionsView&>(*this), boxes_);
        logic_->open();
        return TRUE;
      case WM_COMMAND:
        return command(LOWORD(wparam), HIWORD(wparam));
      case WM_CLOSE:
        EndDialog(window(), 0);
        return TRUE;
      default:
        return FALSE;
    }
  }

  INT_PTR command(int id, int notification) {
    switch (id) {
      case IDC_OPTION_SENDTO:
      case IDC_OPTION_DOUBLE_CLICK:
      case IDC_OPTION_REENCRYPT:
      case IDC_OPTION_SAME_KEY:
        if (notification != BN_CLICKED) return FALSE;
        logic_->box_clicked(static_cast<OptionBox>(id), IsDlgButtonChecked(window(), id) == BST_CHECKED);
        return TRUE;
      case IDC_DETAIL_DOUBLE_CLICK:
        return detail(IDD_DETAIL_DOUBLE_CLICK);
      case IDC_DETAIL_REENCRYPT:
        return detail(IDD_DETAIL_REENCRYPT);
      case IDC_CAUTIONS:
        return detail(IDD_CAUTIONS);
      case IDOK:
        logic_->ok();
        return TRUE;
      case IDCANCEL:
        EndDialog(window(), 0);  // pending changes are dropped
        return TRUE;
      default:
        return FALSE;
    }
  }

  INT_PTR detail(int template_id) {
    DetailDialog().show(instance_, template_id, window());
    return TRUE;
  }

  HINSTANCE instance_;
  shell::ShellServices& services_;
  shell::PcOptions& flags_;
  Win32MessageBox boxes_;
  std::optional<shell::OptionsDialog> logic_;
};

}  // namespace

void run_options_dialog(HINSTANCE instance, HWND owner, shell::ShellServices& services, shell::PcOptions& flags) {
  OptionsDialogWindow(instance, services, flags).run(owner);
}

}  // namespace kestrove::ui::win32
