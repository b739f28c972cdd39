#include "platform/posix/drive_map.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

bool read_text(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

// The kernel writes blanks, tabs, newlines and backslashes in mount points
// as \ooo.
std::string unescape_octal(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::vector<std::string_view> fields_of(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t space = line.find(' ', start);
    const std::size_t stop = space == std::string_view::npos ? line.size() : space;
    if (stop > start) fields.push_back(line.substr(start, stop - start));
    start = stop + 1;
  }
  return fields;
}

bool is_removable_device(const std::string& sysfs, const std::string& major_minor) {
  const std::string device = sysfs + "/dev/block/" + major_minor;
  std::string flag;
  // A partition has no flag of its own; its disk is the folder above it.
  if (!read_text(device + "/removable", flag) && !read_text(device + "/../removable", flag)) return false;
  if (!flag.empty() && flag[0] == '1') return true;
  std::error_code ec;
  const std::string real = std::filesystem::canonical(device, ec).string();
  return !ec && real.find("/usb") != std::string::npos;
}

// Mount order from /proc/mounts when there is no mountinfo: the device
// numbers come from the device nodes.
std::string mountinfo_from_mounts(std::string_view mounts) {
  std::string out;
  std::size_t start = 0;
  while (start < mounts.size()) {
    std::size_t stop = mounts.find('\n', start);
    if (stop == std::string_view::npos) stop = mounts.size();
    const std::vector<std::string_view> f = fields_of(mounts.substr(start, stop - start));
    start = stop + 1;
    struct stat st {};
    if (f.size() < 2 || ::stat(unescape_octal(f[0]).c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) continue;
    out += "0 0 " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) + " / " +
           std::string(f[1]) + " - x x x\n";
  }
  return out;
}

std::vector<DriveMapping> detected_removable_drives() {
  std::string mountinfo;
  if (!read_text("/proc/self/mountinfo", mountinfo)) {
    std::string mounts;
    if (!read_text("/proc/mounts", mounts)) return {};
    mountinfo = mountinfo_from_mounts(mounts);
  }
  // Judging the devices reads sysfs; do it again only when the mounts changed.
  static std::mutex lock;
  static std::string last_mountinfo;
  static std::vector<DriveMapping> last_drives;
  std::lock_guard<std::mutex> guard(lock);
  if (mountinfo != last_mountinfo || last_mountinfo.empty()) {
    last_drives = removable_drives_from_mountinfo(mountinfo, "/sys");
    last_mountinfo = mountinfo;
  }
  return last_drives;
}

}  // namespace

std::vector<DriveMapping> parse_drive_list(std::string_view all) {
  std::vector<DriveMapping> drives;
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(',', start);
    if (end == std::string_view::npos) end = all.size();
    const std::string item(all.substr(start, end - start));
    if (item.size() >= 3 && std::isalpha(static_cast<unsigned char>(item[0])) && item[1] == '=') {
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
      drives.push_back({letter, without_trailing_slashes(item.substr(2)), true});
    }
    start = end + 1;
  }
  return drives;
}

std::vector<DriveMapping> removable_drives_from_mountinfo(std::string_view mountinfo, const std::string& sysfs) {
  std::vector<DriveMapping> drives;
  std::vector<std::string> seen;
  char letter = 'E';
  std::size_t start = 0;
  while (start < mountinfo.size() && letter <= 'Y') {
    std::size_t stop = mountinfo.find('\n', start);
    if (stop == std::string_view::npos) stop = mountinfo.size();
    const std::vector<std::string_view> f = fields_of(mountinfo.substr(start, stop - start));
    start = stop + 1;
    // id parent major:minor root mount-point ...; a bind mount of a folder
    // inside a file system (root other than "/") is no drive.
    if (f.size() < 5 || f[3] != "/") continue;
    const std::string device(f[2]);
    if (device.find(':') == std::string::npos || device.rfind("0:", 0) == 0) continue;  // no block device
    bool known = false;
    for (const std::string& s : seen) known = known || s == device;
    if (known) continue;
    seen.push_back(device);
    if (!is_removable_device(sysfs, device)) continue;
    const std::string mount_point = unescape_octal(f[4]);
    if (mount_point.empty() || mount_point[0] != '/') continue;
    drives.push_back({letter++, without_trailing_slashes(mount_point), true});
  }
  return drives;
}

std::vector<DriveMapping> drive_mappings() {
  std::vector<DriveMapping> drives;
  if (const char* list = std::getenv("KESTROVE_DRIVES")) {
    drives = parse_drive_list(list);
    // A letter given twice: the later item wins, as it did before.
    std::vector<DriveMapping> later_first(drives.rbegin(), drives.rend());
    drives = std::move(later_first);
  } else {
    drives = detected_removable_drives();
  }
  drives.push_back({'Z', "", false});
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
  // A name given in Windows form (E:\dir) is taken as it stands.
  if (native.size() >= 2 && std::isalpha(static_cast<unsigned char>(native[0])) && native[1] == ':') {
    std::string windows = native;
    for (char& c : windows) {
      if (c == '/') c = '\\';
    }
    return text::utf8_to_cp932(windows, path);
  }
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
