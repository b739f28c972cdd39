#pragma once
// The SendTo shortcut to the program, named after the program's file
// (kestrove.exe: "kestrove.lnk"); the two shortcuts of the older layout,
// "(暗号化)" and "(復号化)", are recognised and removed but never made.
#include "shell/pc_options.h"
#include "shell/shell_services.h"

namespace kestrove::shell {

// Sets sendto_present: 0 when the shortcut (or both older ones) is there,
// -1 otherwise.
int read_sendto_state(ShellServices& services, PcOptions& options);
// Removes the three shortcut files, then makes the shortcut: 1, or 0 when
// the program's own path or the shortcut's cannot be made.
int create_sendto_shortcut(ShellServices& services);
// Deletes the three shortcut files, missing ones being no error: 1, or 0
// when the program's own path cannot be read.
int remove_sendto_shortcuts(ShellServices& services);

}  // namespace kestrove::shell
