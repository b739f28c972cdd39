#include "conversion/piece_cipher.h"

namespace kestrove::conversion {

PieceCipher::PieceCipher(const PieceCipherSpec& spec) : body_cipher_(spec.body_cipher), encipher_(spec.encipher) {
  keyed_ = body_cipher_ ? body_.set_key(spec.body_key.data()) : record_.set_key(spec.key_string.c_str());
}

bool PieceCipher::apply(std::uint8_t* data, std::uint32_t length) {
  if (!keyed_) return false;
  if (body_cipher_) return encipher_ ? body_.encrypt(data, data, length) : body_.decrypt(data, data, length);
  return encipher_ ? record_.encrypt(data, data, length) : record_.decrypt(data, data, length);
}

}  // namespace kestrove::conversion
