#pragma once

// The body cipher: AES-128 in CBC over one buffer at a time, every buffer
// chained afresh from a fixed vector, with the bytes after the last whole
// 16-byte block left as they are.

#include <array>
#include <cstddef>
#include <cstdint>

#include "crypto/gcrypt_library.h"

namespace kestrove::crypto {

inline constexpr std::size_t kBodyBlockSize = 16;
inline constexpr std::size_t kBodyKeySize = 16;

// The chaining vector every body buffer starts from.
inline constexpr std::array<std::uint8_t, kBodyBlockSize> kBodyChainingVector = {
    0x5C, 0x13, 0xA7, 0x2E, 0x90, 0x41, 0xD8, 0x6B, 0x07, 0xF3, 0x3C, 0x88, 0xB5, 0x1A, 0x64, 0xCF};

// A reusable body-cipher context: the key is expanded once by set_key, and
// each encrypt/decrypt call is an independent chain. One context per thread.
class BodyCipher {
public:
    BodyCipher() = default;
    BodyCipher(BodyCipher&&) noexcept = default;
    BodyCipher& operator=(BodyCipher&&) noexcept = default;
    BodyCipher(const BodyCipher&) = delete;
    BodyCipher& operator=(const BodyCipher&) = delete;

    // Installs the 16-byte key. False on a library failure.
    bool set_key(const std::uint8_t key[kBodyKeySize]);

    // Transform len bytes; in and out are the same buffer or do not overlap.
    // False on a library failure or when no key was set.
    bool encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len);
    bool decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len);

private:
    CipherHandle handle_;
    bool keyed_ = false;
};

// One-shot forms over a single buffer. False only on a library failure.
bool body_encrypt(std::uint32_t length, const std::uint8_t key[kBodyKeySize], const std::uint8_t* in,
                  std::uint8_t* out);
bool body_decrypt(std::uint32_t length, const std::uint8_t key[kBodyKeySize], const std::uint8_t* in,
                  std::uint8_t* out);

}  // namespace kestrove::crypto
