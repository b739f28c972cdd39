#include "crypto/body_cipher.h"

#include <gcrypt.h>

namespace kestrove::crypto {

bool BodyCipher::set_key(const std::uint8_t key[kBodyKeySize]) {
    keyed_ = false;
    if (!handle_ && !handle_.open(GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_CBC)) {
        return false;
    }
    if (gcry_cipher_setkey(handle_.get(), key, kBodyKeySize) != 0) {
        return false;
    }
    keyed_ = true;
    return true;
}

bool BodyCipher::encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len) {
    return keyed_ && cbc_with_plain_tail(handle_.get(), kBodyChainingVector.data(), kBodyBlockSize,
                                         true, in, out, len);
}

bool BodyCipher::decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t len) {
    return keyed_ && cbc_with_plain_tail(handle_.get(), kBodyChainingVector.data(), kBodyBlockSize,
                                         false, in, out, len);
}

bool body_encrypt(std::uint32_t length, const std::uint8_t key[kBodyKeySize], const std::uint8_t* in,
                  std::uint8_t* out) {
    BodyCipher cipher;
    return cipher.set_key(key) && cipher.encrypt(in, out, length);
}

bool body_decrypt(std::uint32_t length, const std::uint8_t key[kBodyKeySize], const std::uint8_t* in,
                  std::uint8_t* out) {
    BodyCipher cipher;
    return cipher.set_key(key) && cipher.decrypt(in, out, length);
}

}  // namespace kestrove::crypto
