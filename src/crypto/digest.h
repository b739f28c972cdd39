#pragma once

// MD5 (RFC 1321) of one whole buffer; used for the digest of a file's first
// chunk.

#include <cstddef>
#include <cstdint>

namespace kestrove::crypto {

inline constexpr std::size_t kDigestSize = 16;

// Writes the MD5 of data[0..length) into out. If libgcrypt cannot be brought
// up, out is left as 16 zero bytes.
void md5_digest(const std::uint8_t* data, std::size_t length, std::uint8_t out[kDigestSize]);

}  // namespace kestrove::crypto
