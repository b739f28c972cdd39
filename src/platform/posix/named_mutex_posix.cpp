// Named mutexes as lock files in a private per-user folder
// ($XDG_RUNTIME_DIR/kestrove, or /tmp/kestrove-<uid>), one file per name,
// held with flock on a descriptor of its own per handle. flock conflicts
// between descriptors, so a second handle of the same name, in this process
// or another, sees "already exists"; the kernel drops the lock with the last
// descriptor, also when the holder dies.
//
// The creator removes the file when it closes its handle; a creator that
// finds, after taking the lock, that the name now leads to another file (or
// none) took the lock of a removed file and starts again, so there is never
// more than one holder. A holder that dies leaves its file for the next one.
//
// A difference from Windows that the program's create-and-retry protocol does
// not notice: the name counts as taken only while the handle that created it
// is open, not while any handle to it is.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/error_codes.h"
#include "platform/named_mutex.h"
#include "platform/posix/errno_mapping.h"

namespace kestrove::platform {
namespace {

// The folder must be ours and nobody else's: otherwise another user could
// plant a link or hold our names.
bool usable_private_folder(const std::string& folder) {
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 0022) == 0;
}

bool lock_folder(std::string& folder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && usable_private_folder(runtime)) {
    folder = std::string(runtime) + "/kestrove";
  } else {
    folder = "/tmp/kestrove-" + std::to_string(::getuid());
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return posix::fail_with_errno(errno, posix::Operation::make_folder, folder);
  if (!usable_private_folder(folder)) {
    set_last_error(error::access_denied);
    return false;
  }
  return true;
}

// Object names are case-sensitive and may hold any character but NUL; the
// file name keeps letters, digits and "_-." and writes other bytes as %XX.
std::string file_name_of(const std::string& name) {
  std::string out = "mutex-";
  char hex[4];
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-' ||
        u == '.') {
      out.push_back(c);
    } else {
      std::snprintf(hex, sizeof hex, "%%%02X", u);
      out += hex;
    }
  }
  if (out.size() > 200) {  // too long for a file name: keep a part and a digest of the whole
    std::uint64_t h = 1469598103934665603ULL;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char digest[24];
    std::snprintf(digest, sizeof digest, "#%016llx", static_cast<unsigned long long>(h));
    out = out.substr(0, 180) + digest;
  }
  return out;
}

class PosixNamedMutex final : public NamedMutexHandle {
 public:
  // `path` is empty for a handle that does not hold the name.
  PosixNamedMutex(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixNamedMutex() override {
    if (!path_.empty()) ::unlink(path_.c_str());  // while still locked: see above
    ::close(fd_);
  }
  PosixNamedMutex(const PosixNamedMutex&) = delete;
  PosixNamedMutex& operator=(const PosixNamedMutex&) = delete;

  // The lock stays until the handle closes: on Windows too, a released mutex
  // still exists, and a creator still gets "already exists", while a handle
  // to it is open.
  void release() override {}

 private:
  int fd_;
  std::string path_;
};

bool same_file(int fd, const std::string& path) {
  struct stat held {}, now {};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
         held.st_ino == now.st_ino;
}

}  // namespace

MutexCreation create_named_mutex(const std::string& name, NamedMutex& mutex) {
  mutex.reset();
  std::string folder;
  if (!lock_folder(folder)) return MutexCreation::failed;
  const std::string path = folder + "/" + file_name_of(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      posix::fail_with_errno(errno, posix::Operation::open_file, path);
      return MutexCreation::failed;
    }
    int result = 0;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result == 0 && !same_file(fd, path)) {  // the holder removed it meanwhile
      ::close(fd);
      continue;
    }
    if (result == 0) {
      mutex = std::make_unique<PosixNamedMutex>(fd, path);
      set_last_error(error::success);
      return MutexCreation::created;
    }
    if (errno == EWOULDBLOCK) {
      mutex = std::make_unique<PosixNamedMutex>(fd, std::string());
      set_last_error(error::already_exists);
      return MutexCreation::already_exists;
    }
    const int err = errno;
    ::close(fd);
    posix::fail_with_errno(err, posix::Operation::other, path);
    return MutexCreation::failed;
  }
  set_last_error(error::sharing_violation);
  return MutexCreation::failed;
}

void sleep_ms(unsigned milliseconds) {
  struct timespec left {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace kestrove::platform
