#pragma once
// The file layer: one interface over the Win32 file API and its POSIX
// equivalent. Paths are Windows-form CP932 byte strings ("E:\dir\file").
// Every call that fails returns false (or an empty handle) and leaves the
// Win32 error code in last_error(), as the Win32 calls do.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/error_codes.h"

namespace kestrove::platform {

using Path = std::string;

namespace error {
inline constexpr ErrorCode unable_to_move_replacement = 1176;
inline constexpr ErrorCode unable_to_move_replacement_2 = 1177;
}  // namespace error

// FILETIME values: 100-nanosecond ticks since 1601-01-01 UTC.
struct FileTimes {
  std::uint64_t creation = 0;
  std::uint64_t last_access = 0;
  std::uint64_t last_write = 0;
};

namespace attribute {
inline constexpr std::uint32_t read_only = 0x1;
inline constexpr std::uint32_t hidden = 0x2;
inline constexpr std::uint32_t system = 0x4;
inline constexpr std::uint32_t directory = 0x10;
inline constexpr std::uint32_t archive = 0x20;
inline constexpr std::uint32_t normal = 0x80;
inline constexpr std::uint32_t invalid = 0xFFFFFFFF;
}  // namespace attribute

enum class FileAccess { none, read, write, read_write };
enum class FileCreation { open_existing, create_new, create_always, open_always };

// What other openers of the same file may do meanwhile (FILE_SHARE_*).
namespace share {
inline constexpr unsigned none = 0;
inline constexpr unsigned read = 1;
inline constexpr unsigned write = 2;
inline constexpr unsigned read_write = read | write;
}  // namespace share

class OpenFile {
 public:
  virtual ~OpenFile() = default;
  // Reads up to `size` bytes; `got` is 0 at the end of the file (a success).
  virtual bool read(void* buffer, std::uint32_t size, std::uint32_t& got) = 0;
  // Writes all `size` bytes or fails.
  virtual bool write(const void* buffer, std::uint32_t size) = 0;
  virtual bool seek(std::uint64_t position) = 0;
  virtual bool size(std::uint64_t& bytes) = 0;
  virtual bool get_times(FileTimes& times) = 0;
  virtual bool set_times(const FileTimes& times) = 0;
};
using File = std::unique_ptr<OpenFile>;

struct DirectoryEntry {
  std::string name;  // CP932, no folder part
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  FileTimes times;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual File open(const Path& path, FileAccess access, FileCreation creation,
                    unsigned share_mode) = 0;
  // attribute::invalid on failure.
  virtual std::uint32_t get_attributes(const Path& path) = 0;
  virtual bool set_attributes(const Path& path, std::uint32_t attributes) = 0;
  virtual bool delete_file(const Path& path) = 0;
  // Fails with 183 when `to` exists, as MoveFileA.
  virtual bool move_file(const Path& from, const Path& to) = 0;
  // Puts the complete file `replacement` in place of `target` (same folder):
  // its data is flushed to the medium first, then it takes the target's name
  // in one step, so that `target` names the old file or the new one, never a
  // mix. An existing target's attributes (read-only, hidden) go to the new
  // file, a missing target is simply created. Afterwards `replacement` is
  // gone. On failure both files are as they were, except after 1177
  // (ReplaceFile's "unable to move replacement"): the target is gone and the
  // replacement is still under its own name.
  virtual bool replace_file(const Path& replacement, const Path& target) = 0;
  virtual bool create_directory(const Path& path) = 0;
  virtual bool remove_directory(const Path& path) = 0;
  // Looks one name up (FindFirstFileA without wildcards).
  virtual bool find_entry(const Path& path, DirectoryEntry& entry) = 0;
  // The entries of a folder, without "." and "..".
  virtual bool list_directory(const Path& folder, std::vector<DirectoryEntry>& entries) = 0;
  virtual bool free_space(const Path& folder, std::uint64_t& bytes_free) = 0;
  // The temporary folder, ending in "\".
  virtual bool temp_folder(Path& folder) = 0;
};

// The real backend of this build.
FileSystem& system_file_system();

// A path given on the command line or by the system, in Windows form.
// On POSIX a relative or absolute native path is mapped to its drive letter
// (Z:\ is /); returns false when CP932 cannot hold the name.
bool from_native_path(const std::string& native, Path& path);

}  // namespace kestrove::platform
