#pragma once
// How Windows-form paths reach the POSIX file system, as Wine maps them:
// Z:\ is /, and the removable drives are the letters of KESTROVE_DRIVES
// ("E=/media/usb,F=/mnt/floppy").
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "platform/file_system.h"

namespace kestrove::platform::posix {

struct DriveMapping {
  char letter = 0;   // upper case
  std::string root;  // native folder, no trailing slash ("" for /)
  bool removable = false;
};

// The drives of this process, read from the environment at each call so
// that tests can change them.
std::vector<DriveMapping> drive_mappings();

// Windows-form CP932 path -> native UTF-8 path. On failure returns false
// with the Win32 error the same call would give on Windows.
bool to_native_path(const Path& path, std::string& native, ErrorCode& error);

}  // namespace kestrove::platform::posix
