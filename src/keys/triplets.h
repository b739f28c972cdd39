#pragma once
// Triplet digits: the text form of the enciphered byte records in the
// settings file and the registry. Each byte is written as exactly three
// decimal digits ("%03d"), without separators: 00 7F FF is "000127255".
#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrove::keys {

std::string encode_triplets(const std::uint8_t* bytes, std::size_t count);

// Reads `count` bytes from `text`: the characters 3i to 3i+2 as a decimal
// number, of which the low 8 bits are byte i. The text is untrusted: a group
// counts only its leading digits (none gives 0), and groups that lie beyond
// the end of the text give 0. Never reads past the text. Returns whether the
// text was well formed (3 * count digits, each group at most 255); callers
// that follow the program's rules use the bytes either way.
bool decode_triplets(const std::string& text, std::size_t count, std::uint8_t* out);

}  // namespace kestrove::keys
