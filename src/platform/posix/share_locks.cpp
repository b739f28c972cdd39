#include "platform/posix/share_locks.h"

#include <fcntl.h>
#include <unistd.h>

namespace kestrove::platform::posix {
namespace {

constexpr off_t kBase = 0x7FFFFFFF00000000LL;
enum Slot : off_t { kReading = 0, kWriting = 1, kRefusesReaders = 2, kRefusesWriters = 3 };

bool someone_holds(int fd, Slot slot) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kBase + slot;
  probe.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;  // no locking here: no sharing rules
  return probe.l_type != F_UNLCK;
}

void hold(int fd, Slot slot) {
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kBase + slot;
  lock.l_len = 1;
  fcntl(fd, F_OFD_SETLK, &lock);
}

}  // namespace

bool claim_share(int fd, FileAccess access, unsigned share_mode) {
  const bool reads = access == FileAccess::read || access == FileAccess::read_write;
  const bool writes = access == FileAccess::write || access == FileAccess::read_write;
  const bool refuses_readers = (share_mode & share::read) == 0;
  const bool refuses_writers = (share_mode & share::write) == 0;
  if ((reads && someone_holds(fd, kRefusesReaders)) || (writes && someone_holds(fd, kRefusesWriters)) ||
      (refuses_readers && someone_holds(fd, kReading)) || (refuses_writers && someone_holds(fd, kWriting)))
    return false;
  if (reads) hold(fd, kReading);
  if (writes) hold(fd, kWriting);
  if (refuses_readers) hold(fd, kRefusesReaders);
  if (refuses_writers) hold(fd, kRefusesWriters);
  return true;
}

bool is_open_elsewhere(const std::string& native_path) {
  const int fd = ::open(native_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  bool open = false;
  for (Slot slot : {kReading, kWriting, kRefusesReaders, kRefusesWriters}) open = open || someone_holds(fd, slot);
  ::close(fd);
  return open;
}

}  // namespace kestrove::platform::posix
