#pragma once
// The options dialog (110) over its portable logic, with the three detail
// dialogs (118, 119, 120) it opens. Modal; it always ends with 0.
#include <windows.h>

#include "shell/pc_options.h"
#include "shell/shell_services.h"

namespace kestrove::ui::win32 {

void run_options_dialog(HINSTANCE instance, HWND owner, shell::ShellServices& services, shell::PcOptions& flags);

}  // namespace kestrove::ui::win32
