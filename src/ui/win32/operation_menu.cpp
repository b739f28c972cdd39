#include "ui/win32/operation_menu.h"

#include "resource.h"
#include "ui/win32/dialog.h"
#include "ui/win32/handles.h"

namespace kestrove::ui::win32 {
namespace {

// Dialog 126 does all its work while it is being initialised and ends
// before it is ever shown: it only gives the popup menu a window.
class OperationChoice final : public Dialog {
 public:
  explicit OperationChoice(HINSTANCE instance) : instance_(instance) {}

  std::string run() {
    if (run_modal(instance_, IDD_OPERATION_CHOICE, nullptr) != 1) return std::string();
    return chosen_;
  }

 private:
  INT_PTR handle_message(UINT message, WPARAM, LPARAM) override {
    if (message != WM_INITDIALOG) return FALSE;
    centre_on_mouse();
    make_topmost(window());
    const int command = track_menu();
    if (command == IDM_ENCRYPT_ITEM) chosen_ = "-E";
    if (command == IDM_DECRYPT_ITEM) chosen_ = "-D";
    EndDialog(window(), chosen_.empty() ? 0 : 1);
    return TRUE;
  }

  // The menu opens at the dialog's client origin, so the dialog is put
  // around the mouse (kept on its monitor) whatever the template's style.
  void centre_on_mouse() {
    POINT mouse{};
    RECT frame{};
    if (!GetCursorPos(&mouse) || !GetWindowRect(window(), &frame)) return;
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    LONG left = mouse.x - width / 2;
    LONG top = mouse.y - height / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromPoint(mouse, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const RECT& area = monitor.rcWork;
      if (left + width > area.right) left = area.right - width;
      if (top + height > area.bottom) top = area.bottom - height;
      if (left < area.left) left = area.left;
      if (top < area.top) top = area.top;
    }
    SetWindowPos(window(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  int track_menu() {
    const UniqueMenu menu(LoadMenuA(instance_, MAKEINTRESOURCEA(IDM_OPERATION)));
    if (!menu) return 0;
    const HMENU popup = GetSubMenu(menu.get(), 0);
    if (popup == nullptr) return 0;
    SetForegroundWindow(window());
    POINT origin{0, 0};
    ClientToScreen(window(), &origin);
    return static_cast<int>(TrackPopupMenu(popup, TPM_RETURNCMD, origin.x, origin.y, 0, window(), nullptr));
  }

  HINSTANCE instance_;
  std::string chosen_;
};

}  // namespace

std::string choose_operation(HINSTANCE instance) { return OperationChoice(instance).run(); }

}  // namespace kestrove::ui::win32
