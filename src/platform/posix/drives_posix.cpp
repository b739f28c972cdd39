// Drive types from the drive map: the letters of removable media are
// removable, Z: (the root of the file system) is a fixed disk, and any other
// letter has no root, as GetDriveTypeA says of a letter nothing is mapped to.
#include <cctype>

#include "platform/drives.h"
#include "platform/posix/drive_map.h"

namespace kestrove::platform {
namespace {

constexpr unsigned kDriveNoRootDir = 1;
constexpr unsigned kDriveFixed = 3;

}  // namespace

unsigned drive_type(const std::string& root) {
  // "E:\", "E:" or "E:/"; anything else names no drive root.
  const bool is_root = root.size() >= 2 && root.size() <= 3 && std::isalpha(static_cast<unsigned char>(root[0])) &&
                       root[1] == ':' && (root.size() == 2 || root[2] == '\\' || root[2] == '/');
  if (!is_root) return kDriveNoRootDir;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  for (const posix::DriveMapping& drive : posix::drive_mappings()) {
    if (drive.letter == letter) return drive.removable ? kDriveRemovable : kDriveFixed;
  }
  return kDriveNoRootDir;
}

// There is no critical-error box to silence here.
QuietDriveErrors::QuietDriveErrors() = default;
QuietDriveErrors::~QuietDriveErrors() = default;

}  // namespace kestrove::platform
