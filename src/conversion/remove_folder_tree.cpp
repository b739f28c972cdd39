#include "conversion/remove_folder_tree.h"

#include <vector>

namespace kestrove::conversion {

int remove_folder_tree(platform::FileSystem& fs, const std::string& folder) {
  std::vector<platform::DirectoryEntry> entries;
  if (!fs.list_directory(folder, entries)) return 0;
  for (const platform::DirectoryEntry& entry : entries) {
    const std::string path = folder + "\\" + entry.name;
    fs.set_attributes(path, platform::attribute::normal);
    if (entry.attributes & platform::attribute::directory) {
      if (remove_folder_tree(fs, path) == 0) return 0;
    } else if (!fs.delete_file(path)) {
      return 0;
    }
  }
  return fs.remove_directory(folder) ? 1 : 0;
}

}  // namespace kestrove::conversion
