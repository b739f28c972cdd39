#include "support/system_quirks.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrove::testing {

bool read_only_files_are_writable() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  // Wine maps the process to the POSIX user; a prefix owned by root means root.
  return wine;
#else
  return false;  // the POSIX backend refuses by the write bits, for root too
#endif
}

}  // namespace kestrove::testing
