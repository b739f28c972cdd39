#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/drive_map.h"
#include "platform/shell_links.h"

namespace kestrove::platform {
namespace {

// mkdir -p; existing folders are fine.
void make_folders(const std::string& native) {
  for (std::size_t slash = native.find('/', 1); ; slash = native.find('/', slash + 1)) {
    ::mkdir(native.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
}

std::string sendto_native() {
  if (const char* set = std::getenv("KESTROVE_SENDTO"); set && *set) return set;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/kestrove/SendTo";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/kestrove/SendTo";
}

}  // namespace

bool sendto_folder(Path& folder) {
  const std::string native = sendto_native();
  make_folders(native);  // the shell's folder always exists on Windows
  return from_native_path(native, folder);
}

int create_shortcut(const Shortcut& shortcut) {
  std::string link, target;
  ErrorCode error = 0;
  if (!posix::to_native_path(shortcut.link, link, error)) return 0;
  if (!posix::to_native_path(shortcut.target, target, error)) return 1;  // nothing to point at: not saved
  ::symlink(target.c_str(), link.c_str());
  return 1;
}

}  // namespace kestrove::platform
