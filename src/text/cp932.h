#pragma once
// CP932 (Shift-JIS) byte strings: searching for the path separator must skip
// the trail byte of a double-byte character, which may be 0x5C.
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrove::text {

inline bool is_lead_byte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

inline constexpr std::size_t npos = std::string_view::npos;

// Position of the first `ch` at or after `from` that is a character of its own.
std::size_t find_char(std::string_view s, char ch, std::size_t from = 0);
// Position of the last such `ch`, or npos.
std::size_t find_last_char(std::string_view s, char ch);
// Whether the last character of `s` is `ch` (not the trail byte of another).
bool ends_with_char(std::string_view s, char ch);
// Case-insensitive (ASCII) test of the last four characters, as the program's
// extension tests do.
bool has_extension(std::string_view s, std::string_view ext4);

// Conversion at the boundary to the system and the terminal; false when a
// character cannot be represented.
bool cp932_to_utf8(std::string_view in, std::string& out);
bool utf8_to_cp932(std::string_view in, std::string& out);

}  // namespace kestrove::text
