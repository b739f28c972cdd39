#include <iostream>
#include <string>

#include "platform/console.h"

namespace kestrove::platform {

void write_console(std::FILE* stream, std::string_view cp932_text) {
  std::fwrite(cp932_text.data(), 1, cp932_text.size(), stream);
  std::fflush(stream);
}

bool read_console_line(std::string& cp932_line) {
  if (!std::getline(std::cin, cp932_line)) return false;
  if (!cp932_line.empty() && cp932_line.back() == '\r') cp932_line.pop_back();
  return true;
}

}  // namespace kestrove::platform
