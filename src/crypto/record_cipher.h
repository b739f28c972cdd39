#pragma once

// The record cipher: DES in CBC from an all-zero chaining value, keyed by a
// string of up to 8 characters whose bytes get odd parity in bit 7, with the
// bytes after the last whole 8-byte block left as they are. It enciphers the
// short records (key records, lock flag, last-access time, key checks) and
// the bodies of files written with the default algorithm.

#include <array>
#include <cstddef>
#include <cstdint>

#include "crypto/gcrypt_library.h"

namespace kestrove::crypto {

inline constexpr std::size_t kRecordBlockSize = 8;
inline constexpr std::size_t kRecordKeyStringMax = 8;

inline constexpr int kRecordEncipher = 1;
inline constexpr int kRecordDecipher = 2;

// Results of record_cipher.
inline constexpr int kRecordDone = 0;
inline constexpr int kRecordKeyTooLong = -1;
inline constexpr int kRecordBadDirection = -2;
inline constexpr int kRecordLibraryFailure = -3;

// The DES key block made from a key string: its first 8 characters over 8
// zero bytes, then bit 7 of each byte set so that the byte has odd parity.
// A null key string counts as empty.
std::array<std::uint8_t, kRecordBlockSize> record_key_block(const char* key_string);

// A reusable record-cipher context: the key schedule is built once by
// set_key, and each encrypt/decrypt call is an independent chain.
class RecordCipher {
public:
    RecordCipher() = default;
    RecordCipher(RecordCipher&&) noexcept = default;
    RecordCipher& operator=(RecordCipher&&) noexcept = default;
    RecordCipher(const RecordCipher&) = delete;
    RecordCipher& operator=(const RecordCipher&) = delete;

    // Installs the key string (null counts as empty). False when it is longer
    // than 8 characters or on a library failure.
    bool set_key(const char* key_string);

    // Transform len bytes; in and out are the same buffer or do not overlap.
    // False on a library failure or when no key was set.
    bool encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len);
    bool decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len);

private:
    CipherHandle handle_;
    bool keyed_ = false;
};

// One chain over length bytes in the given direction (kRecordEncipher or
// kRecordDecipher). in == out is allowed. Returns kRecordDone,
// kRecordBadDirection or kRecordKeyTooLong (checked in that order, nothing is
// written), or kRecordLibraryFailure.
int record_cipher(std::uint32_t length, const char* key_string, const std::uint8_t* in, std::uint8_t* out,
                  int direction);

}  // namespace kestrove::crypto
