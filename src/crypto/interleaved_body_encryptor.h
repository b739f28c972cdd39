#pragma once

// Body-cipher encryption of several chains at once. CBC encryption is serial
// within a chain, so one chain runs at the latency of the block cipher; the
// chains of a body are independent, though. A row holds the next block of
// each of up to kRowWidth chains, each already XORed with its chain's previous
// ciphertext block, and one library call enciphers the whole row as
// independent blocks, which the library pipelines. The bytes are exactly
// those of BodyCipher::encrypt on each chain by itself.

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/body_cipher.h"
#include "crypto/gcrypt_library.h"

namespace kestrove::crypto {

// One chain: `length` bytes at `data`, enciphered in place from the body's
// chaining vector, the bytes after the last whole block left as they are.
struct BodyChain {
    std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

class InterleavedBodyEncryptor {
public:
    // How many chains one row carries; more chains are taken a row at a time.
    static constexpr std::size_t kRowWidth = 8;

    InterleavedBodyEncryptor() = default;
    InterleavedBodyEncryptor(const InterleavedBodyEncryptor&) = delete;
    InterleavedBodyEncryptor& operator=(const InterleavedBodyEncryptor&) = delete;

    // Installs the 16-byte key. False on a library failure.
    bool set_key(const std::uint8_t key[kBodyKeySize]);

    // Enciphers every chain in place; chains may differ in length. False on a
    // library failure or when no key was set (the chains are then undefined).
    bool encrypt(std::span<const BodyChain> chains);

private:
    bool encrypt_row(std::span<const BodyChain> chains);

    CipherHandle handle_;  // AES-128 on independent blocks
    bool keyed_ = false;
};

}  // namespace kestrove::crypto
