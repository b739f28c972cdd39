// kestrove.exe: the Windows program. Start-up (the system check, OLE, the
// command line, keys and settings, the file arguments), then the main
// window, which waits for the user or carries out the command-line run.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/kestrove/win32/main_window_dialog.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "keys/key_services.h"
#include "shell/association.h"
#include "shell/shell_services.h"
#include "platform/file_system.h"
#include "platform/system_info.h"
#include "ui/win32/file_chooser.h"
#include "ui/win32/folder_dialog.h"
#include "ui/win32/key_choice_dialog.h"
#include "ui/win32/message_box.h"
#include "ui/win32/operation_menu.h"
#include "ui/win32/options_dialog.h"
#include "ui/win32/password_dialog.h"
#include "ui/win32/progress_dialog.h"

namespace {

using namespace kestrove;

// The Windows 95 family, and Windows NT of any major version but 4.
bool check_os() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
  const bool known = GetVersionExA(&version) != FALSE;
  const bool supported = known && (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ||
                                   (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion != 4));
  if (!supported)
    MessageBoxA(nullptr, "対応していないOSのため起動できません。", ui::kCaptionWarning,
                MB_SYSTEMMODAL | MB_ICONWARNING);
  return supported;
}

// The arguments as the system's ANSI code page gives them.
std::vector<std::string> arguments_of_command_line() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) {
    const int size = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 1u, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
    text.resize(std::strlen(text.c_str()));
    arguments.push_back(text);
  }
  LocalFree(wide);
  return arguments;
}

class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleSession() {
    if (ok_) OleUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!check_os()) return 1;
  OleSession ole;
  if (!ole.ok()) {
    MessageBoxA(nullptr, "OLEの初期化に失敗しました。", ui::kCaptionNotice, MB_ICONHAND | MB_TOPMOST);
    return 1;
  }
  // Before the main window exists the dialogs and boxes have no owner.
  ui::win32::Win32MessageBox boxes;
  ui::win32::Win32PasswordDialog password(instance, nullptr);
  ui::win32::Win32KeyChoiceDialog key_choice(instance, nullptr);
  ui::win32::Win32FolderDialog folder(instance, nullptr);
  app::ProgramViews views{boxes, password, key_choice, folder};
  views.choose_operation = [instance] { return ui::win32::choose_operation(instance); };

  auto state = std::make_unique<app::ProgramState>();
  shell::ShellServices shell_services = shell::system_shell_services(platform::system_file_system());
  app::ProgramServices services{keys::system_key_services(), platform::system_file_system(),
                                platform::system_directory(), {}};
  services.read_association_state = [&](shell::PcOptions& options) {
    return shell::read_association_state(shell_services, boxes, options);
  };
  if (const std::optional<int> early = app::start_up(arguments_of_command_line(), *state, services, views))
    return *early;

  app::MainWindow logic(*state, services, views);
  HWND main_window = nullptr;
  app::win32::MainWindowDialog dialog(instance, logic, *state, [&](HWND window) {
    main_window = window;
    boxes.set_owner(window);
    password.set_owner(window);
    key_choice.set_owner(window);
    folder.set_owner(window);
  });
  views.status = &dialog;
  views.choose_file = [&](app::Operation operation) {
    return ui::win32::choose_file_to_open(main_window, operation == app::Operation::encrypt);
  };
  views.run_conversion = [&](app::Operation operation, const app::RunWorker& worker) {
    ui::win32::ProgressDialogRequest request;
    request.instance = instance;
    request.owner = main_window;
    request.main_window = main_window;
    request.encryption = operation == app::Operation::encrypt;
    request.command_line_run = state->run.command_line_run;
    request.worker = worker;
    request.on_end = [&, operation](ui::RunSignal signal) {
      return app::run_end_action(operation, signal, state->run, state->pc_options);
    };
    return ui::win32::run_progress_dialog(request);
  };
  views.open_options = [&] {
    ui::win32::run_options_dialog(instance, main_window, shell_services, state->pc_options);
  };
  dialog.run();
  return 0;
}
