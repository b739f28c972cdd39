#pragma once
// The current user's SendTo folder and the shortcut files in it. Windows: the
// shell's SendTo folder and Shell Link (.lnk) files. POSIX: a folder of the
// user's (KESTROVE_SENDTO, else $XDG_DATA_HOME/kestrove/SendTo) holding
// symbolic links to the program.
#include <string>

#include "platform/file_system.h"

namespace kestrove::platform {

// False when the shell cannot name the folder.
bool sendto_folder(Path& folder);

struct Shortcut {
  Path link;
  Path target;
  std::string description;
  std::string arguments;
  std::string working_folder;
  std::string icon_path;  // empty: the target's own icon
  int icon_index = 0;
  int show_command = 1;  // SW_SHOWNORMAL
};

// Writes the shortcut file. 0 only when the link path cannot be converted to
// the system's form; a shortcut the shell then fails to save is not reported,
// which is how the shell's own wrapper behaves.
int create_shortcut(const Shortcut& shortcut);

}  // namespace kestrove::platform
