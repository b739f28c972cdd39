#include "crypto/record_cipher.h"

#include <gcrypt.h>

#include <bit>

namespace kestrove::crypto {

namespace {

constexpr std::array<std::uint8_t, kRecordBlockSize> kZeroChainingValue{};

// Length of the key string, counted no further than one past the limit.
std::size_t bounded_key_length(const char* key_string) {
    std::size_t n = 0;
    if (key_string != nullptr) {
        while (n <= kRecordKeyStringMax && key_string[n] != '\0') {
            ++n;
        }
    }
    return n;
}

}  // namespace

std::array<std::uint8_t, kRecordBlockSize> record_key_block(const char* key_string) {
    std::array<std::uint8_t, kRecordBlockSize> block{};
    const std::size_t n = bounded_key_length(key_string);
    for (std::size_t i = 0; i < n && i < kRecordBlockSize; ++i) {
        block[i] = static_cast<std::uint8_t>(key_string[i]);
    }
    // Parity goes into bit 7, not into bit 0 where DES expects it: DES ignores
    // bit 0 and uses bit 7, so this really changes the key (0x41 keys as 0xC1,
    // padding zeros as 0x80). Stored records depend on exactly this.
    for (std::uint8_t& b : block) {
        const std::uint8_t low = b & 0x7F;
        b = (std::popcount(low) % 2 == 0) ? static_cast<std::uint8_t>(low | 0x80) : low;
    }
    return block;
}

bool RecordCipher::set_key(const char* key_string) {
    keyed_ = false;
    if (bounded_key_length(key_string) > kRecordKeyStringMax) {
        return false;
    }
    if (!handle_ && !handle_.open(GCRY_CIPHER_DES, GCRY_CIPHER_MODE_CBC)) {
        return false;
    }
    // Key strings are chosen by users, so weak and semi-weak DES keys occur
    // and must work like any other.
    if (gcry_cipher_ctl(handle_.get(), GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1) != 0) {
        return false;
    }
    const auto block = record_key_block(key_string);
    // With weak keys allowed, libgcrypt still installs such a key but reports
    // it as weak; that report is not a failure.
    const gcry_error_t err = gcry_cipher_setkey(handle_.get(), block.data(), block.size());
    if (err != 0 && gcry_err_code(err) != GPG_ERR_WEAK_KEY) {
        return false;
    }
    keyed_ = true;
    return true;
}

bool RecordCipher::encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len) {
    return keyed_ && cbc_with_plain_tail(handle_.get(), kZeroChainingValue.data(), kRecordBlockSize,
                                         true, in, out, len);
}

bool RecordCipher::decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len) {
    return keyed_ && cbc_with_plain_tail(handle_.get(), kZeroChainingValue.data(), kRecordBlockSize,
                                         false, in, out, len);
}

int record_cipher(std::uint32_t length, const char* key_string, const std::uint8_t* in, std::uint8_t* out,
                  int direction) {
    if (direction != kRecordEncipher && direction != kRecordDecipher) {
        return kRecordBadDirection;
    }
    if (bounded_key_length(key_string) > kRecordKeyStringMax) {
        return kRecordKeyTooLong;
    }
    RecordCipher cipher;
    if (!cipher.set_key(key_string)) {
        return kRecordLibraryFailure;
    }
    const bool ok = direction == kRecordEncipher ? cipher.encrypt(in, out, length)
                                                 : cipher.decrypt(in, out, length);
    return ok ? kRecordDone : kRecordLibraryFailure;
}

}  // namespace kestrove::crypto
