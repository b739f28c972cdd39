#pragma once
// The main window (101): a modal dialog without owner that draws the main
// window's logic: the two buttons (clicked, or with files dropped on them),
// the check boxes, the lock and options buttons, its lines, the popup menu,
// the command-line run it starts by itself, and the ending.
#include <windows.h>

#include <functional>
#include <string>

#include "app/main_window.h"
#include "ui/win32/dialog.h"

namespace kestrove::app::win32 {

class MainWindowDialog final : public ui::win32::Dialog, public ui::KeyStatusView {
 public:
  // `on_open` gives the views the window as their owner once it exists.
  MainWindowDialog(HINSTANCE instance, MainWindow& logic, ProgramState& state, std::function<void(HWND)> on_open)
      : instance_(instance), logic_(logic), state_(state), on_open_(std::move(on_open)) {}

  // Runs the window until it closes; its result.
  INT_PTR run();

  // The lines, as the logic and the key subsystem set them.
  void set_status_line(const std::string& text) override;
  void set_lock_display(const std::string& text) override;
  void set_last_access_line(const std::string& text) override;
  void set_drive_line(const std::string& text) override;

 private:
  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
  void initialise();
  void command(int id);
  void show_checkboxes();
  void popup_menu(POINT screen_point);
  // Ending: with the keys there the settings go back to the key device and
  // Kestrove_End is broadcast; the window closes with `result`.
  void end(INT_PTR result);
  void set_text(int id, const std::string& text);

  // The two subclassed buttons: hints and dropped files.
  static LRESULT CALLBACK button_procedure(HWND button, UINT message, WPARAM wparam, LPARAM lparam);
  void files_dropped(HWND button, HDROP drop);

  HINSTANCE instance_;
  MainWindow& logic_;
  ProgramState& state_;
  std::function<void(HWND)> on_open_;
  UINT end_message_ = 0;  // Kestrove_End
  WNDPROC encrypt_procedure_ = nullptr;
  WNDPROC decrypt_procedure_ = nullptr;
  std::string hint_;  // what the hint line shows
};

}  // namespace kestrove::app::win32
