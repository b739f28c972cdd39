#include "keys/key_services.h"

#include "platform/drives.h"

namespace kestrove::keys {

KeyServices system_key_services() {
  return KeyServices{platform::system_file_system(), platform::system_profile(), platform::system_registry(),
                     [](const std::string& root) { return platform::drive_type(root); },
                     [] { return std::time(nullptr); }};
}

}  // namespace kestrove::keys
