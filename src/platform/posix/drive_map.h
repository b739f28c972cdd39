#pragma once
// How Windows-form paths reach the POSIX file system, as Wine maps them:
// Z:\ is /, and the removable drives are the letters of KESTROVE_DRIVES
// ("E=/media/usb,F=/mnt/floppy"), or, when it is unset, the mounted
// removable media in mount order from E on.
#include <string>
#include <string_view>
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
// that tests can change them. A KESTROVE_DRIVES that is set, even empty,
// replaces the search for removable media.
std::vector<DriveMapping> drive_mappings();

// Windows-form CP932 path -> native UTF-8 path. On failure returns false
// with the Win32 error the same call would give on Windows.
bool to_native_path(const Path& path, std::string& native, ErrorCode& error);

// The removable drives of KESTROVE_DRIVES text: "L=/folder" items separated
// by commas; items that do not have that form are ignored.
std::vector<DriveMapping> parse_drive_list(std::string_view list);

// The removable media among the mounts listed in `mountinfo` (the text of
// /proc/self/mountinfo), judged by the block devices under `sysfs` ("/sys"):
// a device counts when its disk says "removable" or hangs off USB. Each
// device's first mount of its whole file system gets a letter, from E to Y,
// in mount order.
std::vector<DriveMapping> removable_drives_from_mountinfo(std::string_view mountinfo, const std::string& sysfs);

}  // namespace kestrove::platform::posix
