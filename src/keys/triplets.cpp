#include "keys/triplets.h"

#include <cstdio>

namespace kestrove::keys {

std::string encode_triplets(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  text.reserve(count * 3);
  char group[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(group, sizeof group, "%03u", static_cast<unsigned>(bytes[i]));
    text.append(group, 3);
  }
  return text;
}

bool decode_triplets(const std::string& text, std::size_t count, std::uint8_t* out) {
  bool well_formed = text.size() == count * 3;
  for (std::size_t i = 0; i < count; ++i) {
    unsigned value = 0;
    std::size_t digits = 0;
    for (std::size_t j = 3 * i; j < 3 * i + 3 && j < text.size(); ++j) {
      const char c = text[j];
      if (c < '0' || c > '9') break;
      value = value * 10 + static_cast<unsigned>(c - '0');
      ++digits;
    }
    if (digits != 3 || value > 255) well_formed = false;
    out[i] = static_cast<std::uint8_t>(value & 0xFF);
  }
  return well_formed;
}

}  // namespace kestrove::keys
