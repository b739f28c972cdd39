#include <cctype>
#include <sys/stat.h>

#include "platform/posix/drive_map.h"
#include "platform/system_info.h"
#include "text/cp932.h"

namespace kestrove::platform {

std::string system_directory() { return "Z:\\usr"; }

// An argument in the program's encoding: a Windows-form path is taken as it
// is, a native one (relative or absolute) is mapped to its drive. Either way
// it must name something, as the shell's parse of a name does on Windows.
bool expand_path(const std::string& argument, Path& full_path) {
  const bool windows_form = argument.size() >= 2 && std::isalpha(static_cast<unsigned char>(argument[0])) &&
                            argument[1] == ':';
  std::string utf8;
  if (windows_form) {
    full_path = argument;
  } else if (!text::cp932_to_utf8(argument, utf8) || !from_native_path(utf8, full_path)) {
    set_last_error(error::invalid_name);
    return false;
  }
  std::string native;
  ErrorCode code = 0;
  if (!posix::to_native_path(full_path, native, code)) {
    set_last_error(code);
    return false;
  }
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) {
    set_last_error(error::file_not_found);
    return false;
  }
  return true;
}

}  // namespace kestrove::platform

#include <climits>
#include <unistd.h>

namespace kestrove::platform {

bool program_path(Path& path) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    set_last_error(error::file_not_found);
    return false;
  }
  if (!from_native_path(std::string(buffer, static_cast<std::size_t>(n)), path)) {
    set_last_error(error::invalid_name);
    return false;
  }
  return true;
}

}  // namespace kestrove::platform
