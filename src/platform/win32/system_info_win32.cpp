#include <windows.h>

#include "platform/system_info.h"

namespace kestrove::platform {

std::string system_directory() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
  return n > 0 && n <= MAX_PATH ? std::string(buffer, n) : std::string("C:\\WINDOWS\\system32");
}

bool expand_path(const std::string& argument, Path& full_path) {
  char buffer[2048];
  const DWORD n = GetFullPathNameA(argument.c_str(), sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return false;
  // The long form, as the shell names the item; it must exist.
  char long_name[2048];
  const DWORD m = GetLongPathNameA(buffer, long_name, sizeof long_name);
  if (m == 0 || m >= sizeof long_name) return false;
  full_path.assign(long_name, m);
  return true;
}

}  // namespace kestrove::platform
