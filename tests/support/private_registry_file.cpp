#include "support/private_registry_file.h"

#ifndef _WIN32
#include <string>

#include "support/temp_folder.h"
#endif

namespace kestrove::testing {

void use_private_registry_file() {
#ifndef _WIN32
  static TempFolder folder;
  static ScopedEnv file("KESTROVE_REGISTRY", [] {
    // The temporary folder is "Z:\tmp\..."; Z:\ is the file system's root.
    std::string native = folder.path().substr(2) + "\\registry.reg";
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
    return native;
  }());
#endif
}

}  // namespace kestrove::testing
