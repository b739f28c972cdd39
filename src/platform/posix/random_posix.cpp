// Random bytes from the kernel (getrandom, or /dev/urandom on kernels
// without it).
#include <cerrno>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include "platform/random.h"

namespace kestrove::platform {
namespace {

bool from_urandom(std::uint8_t* out, std::size_t size) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return done == size;
}

}  // namespace

bool secure_random(std::uint8_t* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::getrandom(out + done, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == ENOSYS) return from_urandom(out + done, size - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace kestrove::platform
