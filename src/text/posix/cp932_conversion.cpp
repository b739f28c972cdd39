// CP932 <-> UTF-8 with iconv (glibc maps 0x5C to the backslash).
#include <cerrno>
#include <iconv.h>

#include "text/cp932.h"

namespace kestrove::text {
namespace {

bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 3 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &dst, &dst_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  out.resize(ok ? out.size() - dst_left : 0);
  return ok;
}

}  // namespace

bool cp932_to_utf8(std::string_view in, std::string& out) { return convert("UTF-8", "CP932", in, out); }
bool utf8_to_cp932(std::string_view in, std::string& out) { return convert("CP932", "UTF-8", in, out); }

}  // namespace kestrove::text
