#include <clocale>
#include <iconv.h>
#include <iostream>
#include <langinfo.h>
#include <string>

#include "platform/console.h"
#include "text/cp932.h"

namespace kestrove::platform {
namespace {

const char* terminal_codeset() {
  static const char* codeset = [] {
    std::setlocale(LC_CTYPE, "");
    const char* name = nl_langinfo(CODESET);
    // The C locale says ANSI_X3.4-1968; Japanese text needs UTF-8 there.
    return (name == nullptr || std::string(name) == "ANSI_X3.4-1968") ? "UTF-8" : name;
  }();
  return codeset;
}

bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 4 + 8, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  out.resize(ok ? out.size() - dst_left : 0);
  return ok;
}

}  // namespace

void write_console(std::FILE* stream, std::string_view cp932_text) {
  std::string out;
  std::string target = std::string(terminal_codeset()) + "//TRANSLIT";
  if (!convert(target.c_str(), "CP932", cp932_text, out)) out.assign(cp932_text);
  std::fwrite(out.data(), 1, out.size(), stream);
  std::fflush(stream);
}

bool read_console_line(std::string& cp932_line) {
  std::string line;
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (!convert("CP932", terminal_codeset(), line, cp932_line)) cp932_line = line;
  return true;
}

}  // namespace kestrove::platform
