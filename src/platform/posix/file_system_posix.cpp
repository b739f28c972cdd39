// The file layer over POSIX, reporting Win32 error codes and following the
// Win32 rules that the program's behaviour depends on: CREATE_NEW refuses an
// existing file (80), MoveFileA refuses an existing target (183), a
// read-only file cannot be opened for writing or deleted (5) even by root,
// and an open file cannot be deleted or moved (32).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/posix/atomic_replace.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/errno_mapping.h"
#include "platform/posix/share_locks.h"
#include "text/cp932.h"

namespace kestrove::platform {
namespace {

using posix::Operation;

constexpr std::uint64_t kUnixEpochInTicks = 116444736000000000ULL;  // 1601 -> 1970

std::uint64_t to_ticks(const struct timespec& ts) {
  return kUnixEpochInTicks + static_cast<std::uint64_t>(ts.tv_sec) * 10000000ULL +
         static_cast<std::uint64_t>(ts.tv_nsec) / 100;
}

struct timespec from_ticks(std::uint64_t ticks) {
  struct timespec ts {};
  if (ticks <= kUnixEpochInTicks) return ts;
  const std::uint64_t since = ticks - kUnixEpochInTicks;
  ts.tv_sec = static_cast<time_t>(since / 10000000ULL);
  ts.tv_nsec = static_cast<long>((since % 10000000ULL) * 100);
  return ts;
}

FileTimes times_of(const struct stat& st) {
  FileTimes t;
  t.last_access = to_ticks(st.st_atim);
  t.last_write = to_ticks(st.st_mtim);
  t.creation = to_ticks(st.st_ctim);  // no creation time here; the change time stands in
  return t;
}

bool is_read_only(const struct stat& st) { return (st.st_mode & 0222) == 0; }

std::uint32_t attributes_of(const struct stat& st) {
  std::uint32_t a = S_ISDIR(st.st_mode) ? attribute::directory : attribute::archive;
  if (is_read_only(st)) a |= attribute::read_only;
  return a;
}

bool native(const Path& path, std::string& out) {
  ErrorCode error = 0;
  if (posix::to_native_path(path, out, error)) return true;
  set_last_error(error);
  return false;
}

// A name as the A functions show it: what CP932 cannot hold becomes '?'.
std::string cp932_name(const char* utf8) {
  std::string out;
  if (text::utf8_to_cp932(utf8, out)) return out;
  out.clear();
  for (const char* p = utf8; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80) out.push_back(*p);
    else if ((c & 0xC0) != 0x80) out.push_back('?');
  }
  return out;
}

class PosixFile final : public OpenFile {
 public:
  PosixFile(int fd, std::string native_path) : fd_(fd), native_path_(std::move(native_path)) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
    got = 0;
    auto* out = static_cast<char*>(buffer);
    while (got < size) {
      const ssize_t n = ::read(fd_, out + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return posix::fail_with_errno(errno, Operation::other, native_path_);
      if (n == 0) break;
      got += static_cast<std::uint32_t>(n);
    }
    return true;
  }

  bool write(const void* buffer, std::uint32_t size) override {
    const auto* in = static_cast<const char*>(buffer);
    std::uint32_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, in + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return posix::fail_with_errno(errno, Operation::other, native_path_);
      done += static_cast<std::uint32_t>(n);
    }
    return true;
  }

  bool seek(std::uint64_t position) override {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) {
      set_last_error(error::negative_seek);
      return false;
    }
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
      return posix::fail_with_errno(errno, Operation::other, native_path_);
    return true;
  }

  bool size(std::uint64_t& bytes) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return posix::fail_with_errno(errno, Operation::other, native_path_);
    bytes = static_cast<std::uint64_t>(st.st_size);
    return true;
  }

  bool get_times(FileTimes& times) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return posix::fail_with_errno(errno, Operation::other, native_path_);
    times = times_of(st);
    return true;
  }

  bool set_times(const FileTimes& times) override {
    const struct timespec ts[2] = {from_ticks(times.last_access), from_ticks(times.last_write)};
    if (::futimens(fd_, ts) != 0) return posix::fail_with_errno(errno, Operation::other, native_path_);
    return true;
  }

 private:
  int fd_;
  std::string native_path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  File open(const Path& path, FileAccess access, FileCreation creation, unsigned share_mode) override {
    std::string p;
    if (!native(path, p)) return nullptr;
    const bool writes = access == FileAccess::write || access == FileAccess::read_write;
    struct stat st {};
    const bool exists = ::stat(p.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
      set_last_error(error::access_denied);
      return nullptr;
    }
    if (exists && creation == FileCreation::create_new) {
      set_last_error(error::file_exists);
      return nullptr;
    }
    if (exists && is_read_only(st) && (writes || creation == FileCreation::create_always)) {
      set_last_error(error::access_denied);
      return nullptr;
    }
    int flags = O_CLOEXEC;
    switch (creation) {
      case FileCreation::open_existing: break;
      case FileCreation::create_new: flags |= O_CREAT | O_EXCL; break;
      case FileCreation::create_always: flags |= O_CREAT; break;
      case FileCreation::open_always: flags |= O_CREAT; break;
    }
    // Read access is asked for alongside writing so that the share locks can be held.
    int fd = ::open(p.c_str(), flags | (writes ? O_RDWR : O_RDONLY), 0666);
    if (fd < 0 && writes && errno == EACCES) fd = ::open(p.c_str(), flags | O_WRONLY, 0666);
    if (fd < 0) {
      posix::fail_with_errno(errno, creation == FileCreation::create_new ? Operation::create_file : Operation::open_file, p);
      return nullptr;
    }
    if (!posix::claim_share(fd, access, share_mode)) {
      ::close(fd);
      set_last_error(error::sharing_violation);
      return nullptr;
    }
    if (creation == FileCreation::create_always && exists && ::ftruncate(fd, 0) != 0) {
      posix::fail_with_errno(errno, Operation::open_file, p);
      ::close(fd);
      return nullptr;
    }
    set_last_error(exists && (creation == FileCreation::create_always || creation == FileCreation::open_always)
                       ? error::already_exists
                       : error::success);
    return std::make_unique<PosixFile>(fd, p);
  }

  std::uint32_t get_attributes(const Path& path) override {
    std::string p;
    if (!native(path, p)) return attribute::invalid;
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) {
      posix::fail_with_errno(errno, Operation::other, p);
      return attribute::invalid;
    }
    return attributes_of(st);
  }

  // Read-only is the absence of write bits; "hidden" and "system" have no
  // equivalent here and are accepted without effect.
  bool set_attributes(const Path& path, std::uint32_t attributes) override {
    std::string p;
    if (!native(path, p)) return false;
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    mode_t mode = st.st_mode & 07777;
    if (attributes & attribute::read_only) mode &= ~static_cast<mode_t>(0222);
    else if (is_read_only(st)) mode |= S_IWUSR;
    if (::chmod(p.c_str(), mode) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    return true;
  }

  bool delete_file(const Path& path) override {
    std::string p;
    if (!native(path, p)) return false;
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    if (S_ISDIR(st.st_mode) || is_read_only(st)) {
      set_last_error(error::access_denied);
      return false;
    }
    if (posix::is_open_elsewhere(p)) {
      set_last_error(error::sharing_violation);
      return false;
    }
    if (::unlink(p.c_str()) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    return true;
  }

  bool move_file(const Path& from, const Path& to) override {
    std::string src, dst;
    if (!native(from, src) || !native(to, dst)) return false;
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) return posix::fail_with_errno(errno, Operation::move, src);
    if (!S_ISDIR(st.st_mode) && posix::is_open_elsewhere(src)) {
      set_last_error(error::sharing_violation);
      return false;
    }
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EXDEV && !S_ISDIR(st.st_mode)) return copy_then_delete(src, dst);
    if (errno == EINVAL && ::link(src.c_str(), dst.c_str()) == 0) {  // file systems without NOREPLACE
      ::unlink(src.c_str());
      return true;
    }
    return posix::fail_with_errno(errno, Operation::move, errno == EEXIST ? dst : src);
  }

  // A read-only target is replaced as well (ReplaceFileA's caller clears the
  // attribute and sets it back); the new file keeps the target's mode.
  bool replace_file(const Path& replacement, const Path& target) override {
    std::string src, dst;
    if (!native(replacement, src) || !native(target, dst)) return false;
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) return posix::fail_with_errno(errno, Operation::move, src);
    struct stat old {};
    const bool exists = ::stat(dst.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return posix::fail_with_errno(errno, Operation::move, dst);
    if (!S_ISREG(st.st_mode) || (exists && !S_ISREG(old.st_mode))) {
      set_last_error(error::access_denied);
      return false;
    }
    if (posix::is_open_elsewhere(src) || (exists && posix::is_open_elsewhere(dst))) {
      set_last_error(error::sharing_violation);
      return false;
    }
    const int err = posix::rename_into_place(src, dst, exists ? &old : nullptr);
    if (err != 0) return posix::fail_with_errno(err, Operation::move, err == ENOENT ? src : dst);
    return true;
  }

  bool create_directory(const Path& path) override {
    std::string p;
    if (!native(path, p)) return false;
    if (::mkdir(p.c_str(), 0777) != 0) return posix::fail_with_errno(errno, Operation::make_folder, p);
    return true;
  }

  bool remove_directory(const Path& path) override {
    std::string p;
    if (!native(path, p)) return false;
    if (::rmdir(p.c_str()) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    return true;
  }

  bool find_entry(const Path& path, DirectoryEntry& entry) override {
    std::string p;
    if (!native(path, p)) return false;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    const std::size_t slash = p.rfind('/');
    entry.name = cp932_name(slash == std::string::npos ? p.c_str() : p.c_str() + slash + 1);
    entry.attributes = attributes_of(st);
    entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    entry.times = times_of(st);
    return true;
  }

  bool list_directory(const Path& folder, std::vector<DirectoryEntry>& entries) override {
    std::string p;
    if (!native(folder, p)) return false;
    DIR* dir = ::opendir(p.c_str());
    if (dir == nullptr) {
      // Listing "folder\*" on Windows: a missing folder is a missing path.
      if (errno == ENOENT) {
        set_last_error(error::path_not_found);
        return false;
      }
      return posix::fail_with_errno(errno, Operation::other, p);
    }
    entries.clear();
    const int dir_fd = ::dirfd(dir);
    while (const dirent* d = ::readdir(dir)) {
      const std::string name = d->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::fstatat(dir_fd, d->d_name, &st, 0) != 0) continue;  // vanished meanwhile, or a dangling link
      DirectoryEntry e;
      e.name = cp932_name(d->d_name);
      e.attributes = attributes_of(st);
      e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
      e.times = times_of(st);
      entries.push_back(std::move(e));
    }
    ::closedir(dir);
    return true;
  }

  bool free_space(const Path& folder, std::uint64_t& bytes_free) override {
    std::string p;
    if (!native(folder, p)) return false;
    struct statvfs vfs {};
    if (::statvfs(p.c_str(), &vfs) != 0) return posix::fail_with_errno(errno, Operation::other, p);
    bytes_free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return true;
  }

  bool temp_folder(Path& folder) override {
    const char* tmp = std::getenv("TMPDIR");
    std::string native_tmp = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    if (native_tmp.back() != '/') native_tmp.push_back('/');
    if (!from_native_path(native_tmp, folder)) {
      set_last_error(error::invalid_name);
      return false;
    }
    return true;
  }

 private:
  // MoveFileA moves a file to another volume by copying it; the target
  // appears only when complete, and nothing is left behind on failure.
  static bool copy_then_delete(const std::string& src, const std::string& dst) {
    const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return posix::fail_with_errno(errno, Operation::move, src);
    const std::string partial = dst + ".kestrove-move";
    const int out = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
      const int err = errno;
      ::close(in);
      return posix::fail_with_errno(err, Operation::move, dst);
    }
    std::vector<char> buffer(1 << 20);
    int err = 0;
    for (;;) {
      const ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        err = n < 0 ? errno : 0;
        break;
      }
      for (ssize_t done = 0; done < n && err == 0;) {
        const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
        if (w < 0 && errno != EINTR) err = errno;
        if (w > 0) done += w;
      }
      if (err != 0) break;
    }
    struct stat st {};
    if (err == 0 && ::fstat(in, &st) == 0) {
      const struct timespec ts[2] = {st.st_atim, st.st_mtim};
      ::futimens(out, ts);
      ::fchmod(out, st.st_mode & 07777);
    }
    if (err == 0 && ::fsync(out) != 0) err = errno;
    ::close(in);
    if (::close(out) != 0 && err == 0) err = errno;
    if (err == 0 && ::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) != 0) err = errno;
    if (err != 0) {
      ::unlink(partial.c_str());
      return posix::fail_with_errno(err, Operation::move, dst);
    }
    ::unlink(src.c_str());
    return true;
  }
};

}  // namespace

FileSystem& system_file_system() {
  static PosixFileSystem instance;
  return instance;
}

}  // namespace kestrove::platform
