#include "platform/posix/atomic_replace.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kestrove::platform::posix {
namespace {

std::atomic<unsigned> g_serial{0};

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporary_name(const std::string& path, unsigned attempt) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%ld.%u.%u.tmp", static_cast<long>(::getpid()), g_serial++, attempt);
  return folder + "." + name + suffix;
}

int write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

int replace_file_atomically(const std::string& native_path, std::string_view bytes, const struct stat* keep,
                            mode_t new_mode) {
  std::string temporary;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = temporary_name(native_path, attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, new_mode);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  int err = write_all(fd, bytes);
  if (err == 0 && keep != nullptr) {
    // Best effort: FAT media have neither owners nor modes.
    if (::fchown(fd, keep->st_uid, keep->st_gid) != 0) { /* not ours to change */ }
    ::fchmod(fd, keep->st_mode & 07777);
  }
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temporary.c_str(), native_path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temporary.c_str());
    return err;
  }
  // Make the rename itself durable; a failure here loses nothing already visible.
  const int dir = ::open(folder_of(native_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

int rename_into_place(const std::string& from, const std::string& to, const struct stat* keep) {
  const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno;
  int err = 0;
  if (keep != nullptr) {
    // Best effort: FAT media have neither owners nor modes.
    if (::fchown(fd, keep->st_uid, keep->st_gid) != 0) { /* not ours to change */ }
    ::fchmod(fd, keep->st_mode & 07777);
  }
  if (::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(from.c_str(), to.c_str()) != 0) err = errno;
  if (err != 0) return err;
  const int dir = ::open(folder_of(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

int read_small_file(const std::string& native_path, std::string& bytes, std::size_t limit) {
  bytes.clear();
  const int fd = ::open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  int err = 0;
  if (::fstat(fd, &st) != 0) err = errno;
  else if (S_ISDIR(st.st_mode)) err = EISDIR;
  else if (!S_ISREG(st.st_mode)) err = EINVAL;
  else if (static_cast<std::uint64_t>(st.st_size) > limit) err = EFBIG;
  char buffer[65536];
  while (err == 0) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > limit) err = EFBIG;  // grew meanwhile
    else bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (err != 0) bytes.clear();
  return err;
}

}  // namespace kestrove::platform::posix
