#include "crypto/digest.h"

#include <gcrypt.h>

#include <cstring>

#include "crypto/gcrypt_library.h"

namespace kestrove::crypto {

void md5_digest(const std::uint8_t* data, std::size_t length, std::uint8_t out[kDigestSize]) {
    // The call has no result; a known value beats whatever was in the buffer.
    std::memset(out, 0, kDigestSize);
    if (!ensure_gcrypt_ready()) {
        return;
    }
    gcry_md_hash_buffer(GCRY_MD_MD5, out, data, length);
}

}  // namespace kestrove::crypto
