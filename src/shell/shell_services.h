#pragma once
// What the shell integration works through: the registry (HKEY_CLASSES_ROOT
// for the association), the file layer (the SendTo folder's files), the
// running program's own path and the shortcut writer. Tests wrap each.
#include <functional>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell_links.h"

namespace kestrove::shell {

struct ShellServices {
  platform::Registry& registry;
  platform::FileSystem& files;
  std::function<bool(platform::Path&)> program_path;
  std::function<bool(platform::Path&)> sendto_folder;
  std::function<int(const platform::Shortcut&)> create_shortcut;
};

// The system's own: the real registry and shell, this program's path.
ShellServices system_shell_services(platform::FileSystem& files);

}  // namespace kestrove::shell
