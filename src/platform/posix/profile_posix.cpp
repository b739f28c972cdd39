// The profile functions over INI files on disk, with the semantics of
// GetPrivateProfileStringA and WritePrivateProfileStringA. A write reads the
// file, edits its lines and replaces the file as a whole; the file keeps its
// permissions, and a read-only file (no write bits) refuses every write with
// 5 as on Windows.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/atomic_replace.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/errno_mapping.h"
#include "platform/posix/profile_text.h"
#include "platform/profile.h"

namespace kestrove::platform {
namespace {

// A settings file is a few hundred bytes; anything far larger is not one
// and is not loaded into memory.
constexpr std::size_t kMaxProfileSize = 16u << 20;

bool native(const Path& path, std::string& out) {
  ErrorCode error = 0;
  if (posix::to_native_path(path, out, error)) return true;
  set_last_error(error);
  return false;
}

// Writes go to the file a link points to, not over the link.
std::string resolve_link(const std::string& native_path) {
  struct stat st {};
  if (::lstat(native_path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return native_path;
  char* real = ::realpath(native_path.c_str(), nullptr);
  if (real == nullptr) return native_path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

// Holds an exclusive flock on the file currently at a path, so that two
// writers in different processes take turns. Since every write renames a new
// file into place, the lock is retaken when the path moved on meanwhile.
class FileTurn {
 public:
  explicit FileTurn(const std::string& native_path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      fd_ = ::open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd_ < 0) return;  // nothing there yet: nothing to wait for
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
      struct stat held {}, now {};
      if (::fstat(fd_, &held) == 0 && ::stat(native_path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
          held.st_ino == now.st_ino)
        return;
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FileTurn() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileTurn(const FileTurn&) = delete;
  FileTurn& operator=(const FileTurn&) = delete;

 private:
  int fd_ = -1;
};

bool fail(int err, posix::Operation operation, const std::string& native_path) {
  return posix::fail_with_errno(err, operation, native_path);
}

// Section and key names given by the caller lose surrounding spaces (only
// spaces; a tab stays part of the name).
std::string_view trim_spaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

class PosixProfile final : public Profile {
 public:
  std::uint32_t get_string(const char* section, const char* key, const char* default_value, std::string& value,
                           std::uint32_t buffer_size, const Path& file) override {
    value.clear();
    // Only single values are asked for; listing sections or keys is not offered.
    if (section == nullptr || key == nullptr) return 0;
    std::string fallback = default_value != nullptr ? default_value : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();

    std::optional<std::string> found;
    std::string p, bytes;
    if (native(file, p)) {
      const int err = posix::read_small_file(p, bytes, kMaxProfileSize);
      if (err == 0) {
        found = posix::ProfileText(bytes).find(trim_spaces(section), trim_spaces(key));
        set_last_error(found ? error::success : error::file_not_found);
      } else {
        posix::fail_with_errno(err == EFBIG || err == EISDIR ? EACCES : err, posix::Operation::open_file, p);
      }
    }
    const std::string& text = found ? *found : fallback;
    if (buffer_size == 0) return 0;
    const std::size_t copied = std::min<std::size_t>(text.size(), buffer_size - 1);
    value.assign(text, 0, copied);
    return static_cast<std::uint32_t>(copied);
  }

  bool write_string(const char* section, const char* key, const char* value, const Path& file) override {
    if (section == nullptr && key == nullptr && value == nullptr) return true;  // nothing is cached here
    if (section == nullptr) {
      set_last_error(error::invalid_parameter);
      return false;
    }
    std::string p;
    if (!native(file, p)) return false;
    p = resolve_link(p);
    FileTurn turn(p);

    struct stat st {};
    const bool exists = ::stat(p.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return fail(errno, posix::Operation::open_file, p);
    if (exists && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0)) {
      set_last_error(error::access_denied);
      return false;
    }
    std::string bytes;
    if (exists) {
      const int err = posix::read_small_file(p, bytes, kMaxProfileSize);
      if (err == EFBIG) {
        set_last_error(error::not_enough_memory);
        return false;
      }
      if (err != 0) return fail(err, posix::Operation::open_file, p);
    }

    posix::ProfileText text(bytes);
    const std::string_view section_name = trim_spaces(section);
    bool changed = false;
    if (key == nullptr) changed = text.remove_section(section_name);
    else if (value == nullptr) changed = text.remove_key(section_name, trim_spaces(key));
    else changed = text.set(section_name, trim_spaces(key), value);
    if (!changed) {
      set_last_error(error::success);
      return true;
    }
    const int err = posix::replace_file_atomically(p, text.bytes(), exists ? &st : nullptr);
    if (err != 0) return fail(err, posix::Operation::create_file, p);
    set_last_error(error::success);
    return true;
  }
};

}  // namespace

Profile& system_profile() {
  static PosixProfile instance;
  return instance;
}

}  // namespace kestrove::platform
