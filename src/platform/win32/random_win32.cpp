// Random bytes from the system generator: RtlGenRandom (SystemFunction036 of
// advapi32, which the program links anyway).
#include <windows.h>
#include <ntsecapi.h>

#include "platform/random.h"

namespace kestrove::platform {

bool secure_random(std::uint8_t* out, std::size_t size) {
  constexpr std::size_t kChunk = 1u << 20;  // the length is a ULONG
  while (size > 0) {
    const std::size_t n = size < kChunk ? size : kChunk;
    if (!RtlGenRandom(out, static_cast<ULONG>(n))) return false;
    out += n;
    size -= n;
  }
  return true;
}

}  // namespace kestrove::platform
