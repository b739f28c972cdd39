#include "conversion/piece_cipher.h"

namespace kestrove::conversion {

PieceCipher::PieceCipher(const PieceCipherSetup& setup) : body_cipher_(setup.body_cipher), encipher_(setup.encipher) {
  keyed_ = body_cipher_ ? body_.set_key(setup.body_key.data()) : record_.set_key(setup.key_string.c_str());
}

bool PieceCipher::apply(std::uint8_t* data, std::uint32_t length) {
  if (!keyed_) return false;
  if (body_cipher_) return encipher_ ? body_.encrypt(data, data, length) : body_.decrypt(data, data, length);
  return encipher_ ? record_.encrypt(data, data, length) : record_.decrypt(data, data, length);
}

}  // namespace kestrove::conversion
