#include "conversion/file_operations.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "text/cp932.h"

namespace kestrove::conversion {

std::string random_hex_text(std::size_t count, std::uint32_t seed) {
  static constexpr char kAlphabet[] = "ABCDEF0123456789";
  std::uint32_t state = seed;
  std::string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    state = state * 214013u + 2531011u;
    const std::uint32_t r = (state >> 16) & 0x7FFFu;  // 0 .. 32767, as rand()
    out.push_back(kAlphabet[r * 16 / 32768]);
  }
  return out;
}

std::string random_hex_text(std::size_t count) {
  return random_hex_text(count, static_cast<std::uint32_t>(std::time(nullptr)));
}

int make_folder_chain(platform::FileSystem& fs, const std::string& path) {
  std::string full = path;
  if (!text::ends_with_char(full, '\\')) full += '\\';
  // The prefix before the first separator is the drive; a network path
  // ("\\server\share\...") also keeps its server and share as they are.
  const bool network = full.compare(0, 2, "\\\\") == 0;
  int prefixes_to_skip = network ? 4 : 1;
  for (std::size_t pos = text::find_char(full, '\\'); pos != text::npos;
       pos = text::find_char(full, '\\', pos + 1)) {
    if (prefixes_to_skip > 0) {
      --prefixes_to_skip;
      continue;
    }
    const std::string prefix = full.substr(0, pos);
    platform::DirectoryEntry entry;
    if (fs.find_entry(prefix, entry)) {
      if ((entry.attributes & platform::attribute::directory) == 0) return 0;
    } else if (!fs.create_directory(prefix)) {
      return 0;
    }
  }
  return 1;
}

std::string destination_path(const std::string& source, const std::string& base_folder,
                             const std::string& destination_folder) {
  std::string destination = destination_folder;
  if (text::ends_with_char(destination, '\\')) destination.pop_back();
  std::string base = base_folder;
  if (text::ends_with_char(base, '\\')) base.pop_back();
  const std::string rest = source.size() >= base.size() ? source.substr(base.size()) : std::string();
  return destination + rest;
}

int progress_percent(std::uint64_t done, std::uint64_t chunk, std::uint64_t total) {
  if (total == 0) return 100;
  const double percent = std::floor(static_cast<double>(done) * static_cast<double>(chunk) * 100.0 /
                                    static_cast<double>(total));
  return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = text::find_last_char(path, '\\');
  return slash == text::npos ? std::string() : path.substr(0, slash);
}

std::string file_name_of(const std::string& path) {
  const std::size_t slash = text::find_last_char(path, '\\');
  return slash == text::npos ? path : path.substr(slash + 1);
}

std::string drive_root_of(const std::string& path) { return path.substr(0, 3); }

double free_space(platform::FileSystem& fs, const std::string& root) {
  std::uint64_t bytes = 0;
  if (!fs.free_space(root, bytes)) return -1.0;
  return static_cast<double>(bytes);
}

}  // namespace kestrove::conversion
