// The profile functions of Windows; paths go to them as CP932.
#include <windows.h>

#include <algorithm>

#include <vector>

#include "platform/profile.h"

namespace kestrove::platform {
namespace {

class Win32Profile final : public Profile {
 public:
  std::uint32_t get_string(const char* section, const char* key, const char* default_value, std::string& value,
                           std::uint32_t buffer_size, const Path& file) override {
    value.clear();
    if (buffer_size == 0) return 0;
    std::vector<char> buffer(buffer_size, '\0');
    const DWORD copied =
        GetPrivateProfileStringA(section, key, default_value, buffer.data(), buffer_size, file.c_str());
    value.assign(buffer.data(), std::min<DWORD>(copied, buffer_size - 1));
    return copied;
  }

  bool write_string(const char* section, const char* key, const char* value, const Path& file) override {
    const BOOL ok = WritePrivateProfileStringA(section, key, value, file.c_str());
    // A flush reports FALSE whatever happened; nothing was asked to be written.
    if (section == nullptr && key == nullptr && value == nullptr) return true;
    return ok != FALSE;
  }
};

}  // namespace

Profile& system_profile() {
  static Win32Profile instance;
  return instance;
}

}  // namespace kestrove::platform
