#pragma once
// Replacing a small file as a whole: the new content goes to a temporary file
// beside it, which is then renamed over the old name, so that a failure at any
// step leaves the old file as it was and no half-written file behind.
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace kestrove::platform::posix {

// Writes `bytes` under `native_path`. `keep` (may be null) is the stat of
// the file being replaced: its permission bits and owner go to the new file.
// Without it the new file gets `new_mode` less the umask. Returns 0 or errno.
int replace_file_atomically(const std::string& native_path, std::string_view bytes, const struct stat* keep,
                            mode_t new_mode = 0666);

// Puts the complete file `from` in place of `to` in the same folder: its
// data is synced, it is renamed over `to`, and the folder is synced. `keep`
// (may be null) is the stat of the file being replaced: its permission bits
// and owner go to the new file. Returns 0 or errno; on failure nothing moved.
int rename_into_place(const std::string& from, const std::string& to, const struct stat* keep);

// Reads a whole regular file of at most `limit` bytes. Returns 0 or errno
// (EFBIG when the file is larger than the limit, EISDIR for a folder).
int read_small_file(const std::string& native_path, std::string& bytes, std::size_t limit);

}  // namespace kestrove::platform::posix
