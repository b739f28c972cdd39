#pragma once
// Removes a folder with everything in it, read-only and hidden files too.
#include <string>

#include "platform/file_system.h"

namespace kestrove::conversion {

// Non-zero when the folder and its content are gone; 0 at the first thing
// that cannot be removed (what was removed before it stays removed).
int remove_folder_tree(platform::FileSystem& fs, const std::string& folder);

}  // namespace kestrove::conversion
