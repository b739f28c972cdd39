#pragma once
// INI files through the profile functions: GetPrivateProfileStringA and
// WritePrivateProfileStringA on Windows, the same semantics on the same
// CP932 CRLF files elsewhere, so a key device prepared on one system is read
// on the other.
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace kestrove::platform {

class Profile {
 public:
  virtual ~Profile() = default;
  // As GetPrivateProfileStringA with a non-null section and key: copies at
  // most buffer_size - 1 bytes of the value (or of `default_value` when the
  // key is missing) into `value` and returns the number of bytes copied.
  virtual std::uint32_t get_string(const char* section, const char* key, const char* default_value,
                                   std::string& value, std::uint32_t buffer_size, const Path& file) = 0;
  // As WritePrivateProfileStringA: key == nullptr removes the whole section,
  // value == nullptr removes the key; section == key == value == nullptr
  // flushes. False with last_error() on failure; 5 for a read-only file.
  // A flush always gives true (Windows answers FALSE to it whatever happens,
  // so its result carries nothing).
  virtual bool write_string(const char* section, const char* key, const char* value, const Path& file) = 0;
};

Profile& system_profile();

}  // namespace kestrove::platform
