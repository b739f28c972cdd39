#include "text/cp932.h"

#include <cctype>

namespace kestrove::text {

std::size_t find_char(std::string_view s, char ch, std::size_t from) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (i >= from && s[i] == ch) return i;
    i += (is_lead_byte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
  }
  return npos;
}

std::size_t find_last_char(std::string_view s, char ch) {
  std::size_t found = npos;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == ch) found = i;
    i += (is_lead_byte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
  }
  return found;
}

bool ends_with_char(std::string_view s, char ch) {
  return !s.empty() && find_last_char(s, ch) == s.size() - 1;
}

bool has_extension(std::string_view s, std::string_view ext4) {
  if (s.size() < ext4.size()) return false;
  std::string_view tail = s.substr(s.size() - ext4.size());
  for (std::size_t i = 0; i < ext4.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) !=
        std::tolower(static_cast<unsigned char>(ext4[i])))
      return false;
  }
  return true;
}

}  // namespace kestrove::text
