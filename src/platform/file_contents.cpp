#include "platform/file_contents.h"

namespace kestrove::platform {

bool read_file_contents(FileSystem& files, const Path& path, std::string& bytes, std::uint64_t limit) {
  bytes.clear();
  const File file = files.open(path, FileAccess::read, FileCreation::open_existing, share::read);
  if (!file) return false;
  char buffer[8192];
  std::uint32_t got = 0;
  while (file->read(buffer, sizeof buffer, got) && got > 0) {
    bytes.append(buffer, got);
    if (bytes.size() > limit) return true;
  }
  return got == 0;
}

}  // namespace kestrove::platform
