#include "shell/shell_services.h"

#include "platform/system_info.h"

namespace kestrove::shell {

ShellServices system_shell_services(platform::FileSystem& files) {
  return ShellServices{platform::system_registry(), files, platform::program_path, platform::sendto_folder,
                       platform::create_shortcut};
}

}  // namespace kestrove::shell
