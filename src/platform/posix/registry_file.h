#pragma once
// The REGEDIT4 text that holds the registry on POSIX:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\KAVOR\QEVLINK]
//   "USERDATA"="ABCDEFGH"
//   "EXTENT01"=hex(1):30,31,...
//
// The file is UTF-8; names and data are CP932 in memory. A REG_SZ whose bytes
// are a text and one terminating NUL is written "text" (with \\ and \" escaped,
// @ for the default value); any other REG_SZ (no NUL at the end, a NUL inside,
// control characters, bytes CP932 cannot convert) is written as hex(1) with
// its exact bytes, so every value reads back with the size it was stored with.
// dword:, hex: and hex(n): values of other types are kept as they are. Lines
// that do not parse are ignored (and dropped when the file is next written).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrove::platform::posix {

inline constexpr std::uint32_t kRegSz = 1;

struct RegistryValueRecord {
  std::string name;  // CP932; "" is the default value
  std::uint32_t type = kRegSz;
  std::string data;  // the bytes as stored
};

struct RegistryKeyRecord {
  std::vector<std::string> path;  // CP932 components, the root name first ("HKEY_CURRENT_USER")
  std::vector<RegistryValueRecord> values;
};

struct RegistryDocument {
  std::vector<RegistryKeyRecord> keys;  // in file order; each path once
};

RegistryDocument parse_registry_text(std::string_view utf8);
// False when a key or value name cannot be written in UTF-8.
bool format_registry_text(const RegistryDocument& document, std::string& utf8);

// Splits a CP932 key path at its backslashes (a trail byte 0x5C is no
// separator). False for an empty component.
bool split_key_path(std::string_view path, std::vector<std::string>& components);

}  // namespace kestrove::platform::posix
