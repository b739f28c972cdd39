#pragma once
// The system services the key subsystem works through. The program uses the
// real ones; tests wrap them to map drives to folders and to inject faults.
#include <ctime>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace kestrove::keys {

struct KeyServices {
  platform::FileSystem& files;
  platform::Profile& profile;
  platform::Registry& registry;
  std::function<unsigned(const std::string& root)> drive_type;  // GetDriveTypeA
  std::function<std::time_t()> now;                             // the clock of the last-access time
};

KeyServices system_key_services();

}  // namespace kestrove::keys
