#include "platform/posix/drive_map.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "text/cp932.h"

namespace kestrove::platform::posix {
namespace {

// The A functions of Win32 refuse paths of MAX_PATH (260) bytes and more.
constexpr std::size_t kMaxPath = 260;

std::string without_trailing_slashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s == "/" ? std::string() : s;
}

}  // namespace

std::vector<DriveMapping> drive_mappings() {
  std::vector<DriveMapping> drives;
  drives.push_back({'Z', "", false});
  const char* spec = std::getenv("KESTROVE_DRIVES");
  if (spec == nullptr) return drives;
  std::string all(spec);
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(',', start);
    if (end == std::string::npos) end = all.size();
    const std::string item = all.substr(start, end - start);
    if (item.size() >= 3 && std::isalpha(static_cast<unsigned char>(item[0])) && item[1] == '=') {
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
      drives.insert(drives.begin(), {letter, without_trailing_slashes(item.substr(2)), true});
    }
    start = end + 1;
  }
  return drives;
}

bool to_native_path(const Path& path, std::string& native, ErrorCode& error) {
  if (path.size() >= kMaxPath) {
    error = error::filename_exced_range;
    return false;
  }
  std::string utf8;
  if (!text::cp932_to_utf8(path, utf8)) {
    error = error::invalid_name;
    return false;
  }
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  if (utf8.rfind("//", 0) == 0) {  // \\server\share: no network drives here
    error = error::path_not_found;
    return false;
  }
  if (utf8.size() < 2 || utf8[1] != ':' || !std::isalpha(static_cast<unsigned char>(utf8[0]))) {
    native = utf8;  // relative to the current folder
    return true;
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(utf8[0])));
  for (const DriveMapping& drive : drive_mappings()) {
    if (drive.letter != letter) continue;
    std::string rest = utf8.substr(2);
    if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');
    native = drive.root + rest;
    return true;
  }
  error = error::path_not_found;
  return false;
}

}  // namespace kestrove::platform::posix

namespace kestrove::platform {

bool from_native_path(const std::string& native, Path& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path absolute = fs::path(native).is_absolute() ? fs::path(native) : fs::current_path(ec) / native;
  std::string full = absolute.lexically_normal().string();
  const bool wants_trailing = !native.empty() && native.back() == '/';
  std::string windows;
  std::size_t best = 0;
  for (const posix::DriveMapping& drive : posix::drive_mappings()) {
    const std::string& root = drive.root;
    const bool matches = root.empty() ||
                         (full.compare(0, root.size(), root) == 0 &&
                          (full.size() == root.size() || full[root.size()] == '/'));
    if (!matches || (!windows.empty() && root.size() <= best)) continue;  // longest root wins
    best = root.size();
    std::string rest = full.substr(root.size());
    if (rest.empty()) rest = "/";
    windows = std::string(1, drive.letter) + ":" + rest;
  }
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  if (wants_trailing && windows.back() != '\\') windows.push_back('\\');
  return text::utf8_to_cp932(windows, path);
}

}  // namespace kestrove::platform
