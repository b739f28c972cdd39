#pragma once
// Drive letters: which are removable (the key device is one of them).
// Windows: GetDriveTypeA, with SetErrorMode(SEM_FAILCRITICALERRORS) around
// probes so that an empty drive fails quietly. POSIX: the letters of
// KESTROVE_DRIVES, else the mounted removable media from E on.
#include <string>

namespace kestrove::platform {

inline constexpr unsigned kDriveRemovable = 2;

// GetDriveTypeA of a root such as "E:\".
unsigned drive_type(const std::string& root);

// Silences the system's critical-error box while alive.
class QuietDriveErrors {
 public:
  QuietDriveErrors();
  ~QuietDriveErrors();
  QuietDriveErrors(const QuietDriveErrors&) = delete;
  QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;
};

}  // namespace kestrove::platform
