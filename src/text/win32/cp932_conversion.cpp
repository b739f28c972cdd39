// CP932 <-> UTF-8 through the system's code page tables.
#include <windows.h>

#include "text/cp932.h"

namespace kestrove::text {
namespace {

bool convert(UINT from_cp, UINT to_cp, std::string_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const int wide_len = MultiByteToWideChar(from_cp, MB_ERR_INVALID_CHARS, in.data(),
                                           static_cast<int>(in.size()), nullptr, 0);
  if (wide_len <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(wide_len), L'\0');
  MultiByteToWideChar(from_cp, 0, in.data(), static_cast<int>(in.size()), wide.data(), wide_len);
  BOOL lossy = FALSE;
  const bool to_cp932 = to_cp == 932;
  const int len = WideCharToMultiByte(to_cp, 0, wide.data(), wide_len, nullptr, 0, nullptr,
                                      to_cp932 ? &lossy : nullptr);
  if (len <= 0 || lossy) return false;
  out.assign(static_cast<std::size_t>(len), '\0');
  WideCharToMultiByte(to_cp, 0, wide.data(), wide_len, out.data(), len, nullptr, nullptr);
  return true;
}

}  // namespace

bool cp932_to_utf8(std::string_view in, std::string& out) { return convert(932, CP_UTF8, in, out); }
bool utf8_to_cp932(std::string_view in, std::string& out) { return convert(CP_UTF8, 932, in, out); }

}  // namespace kestrove::text
