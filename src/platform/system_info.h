#pragma once
// Facts about the system the program runs on.
#include <string>

#include "platform/file_system.h"

namespace kestrove::platform {

// GetSystemDirectoryA ("C:\WINDOWS\system32"); on POSIX the folder of the
// system's programs (Z:\usr), which nothing may convert.
std::string system_directory();

// The full path of a command-line argument as the system knows it (long
// names, proper case on Windows; an absolute, normalised path on POSIX).
// False with last_error() when it cannot be made.
bool expand_path(const std::string& argument, Path& full_path);

// The full path of the running program (GetModuleFileNameA; on POSIX the
// executable mapped to its drive). False with last_error() when unknown.
bool program_path(Path& path);

}  // namespace kestrove::platform
