#include "conversion/piece_cipher.h"

#include <array>

namespace kestrove::conversion {

std::size_t pieces_together(const PieceCipherSetup& setup) {
  return setup.body_cipher && setup.encipher ? crypto::InterleavedBodyEncryptor::kRowWidth : 1;
}

PieceCipher::PieceCipher(const PieceCipherSetup& setup) : body_cipher_(setup.body_cipher), encipher_(setup.encipher) {
  if (!body_cipher_) {
    keyed_ = record_.set_key(setup.key_string.c_str());
  } else {
    keyed_ = body_.set_key(setup.body_key.data()) && (!encipher_ || interleaved_.set_key(setup.body_key.data()));
  }
}

bool PieceCipher::apply(std::uint8_t* data, std::uint32_t length) {
  const Piece piece{data, length};
  return apply_together({&piece, 1});
}

bool PieceCipher::apply_together(std::span<const Piece> pieces) {
  if (!keyed_) return false;
  // A single chain runs faster through the library's own chaining.
  if (body_cipher_ && encipher_ && pieces.size() > 1) {
    std::array<crypto::BodyChain, crypto::InterleavedBodyEncryptor::kRowWidth> row;
    while (!pieces.empty()) {
      const std::size_t n = pieces.size() < row.size() ? pieces.size() : row.size();
      for (std::size_t i = 0; i < n; ++i) row[i] = {pieces[i].data, pieces[i].length};
      if (!interleaved_.encrypt(std::span(row.data(), n))) return false;
      pieces = pieces.subspan(n);
    }
    return true;
  }
  bool ok = true;
  for (const Piece& piece : pieces) {
    ok = (body_cipher_ ? (encipher_ ? body_.encrypt(piece.data, piece.data, piece.length)
                                    : body_.decrypt(piece.data, piece.data, piece.length))
          : encipher_  ? record_.encrypt(piece.data, piece.data, piece.length)
                       : record_.decrypt(piece.data, piece.data, piece.length)) &&
         ok;
  }
  return ok;
}

}  // namespace kestrove::conversion
