#pragma once
// The cipher of the pieces of a file body, in place. Every piece is a chain
// of its own (the body is a sequence of independent chains), so pieces can be
// handled on different threads, each with its own PieceCipher, and AES
// encryption takes several pieces at once, interleaving their chains.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "conversion/cp3_format.h"
#include "crypto/body_cipher.h"
#include "crypto/interleaved_body_encryptor.h"
#include "crypto/record_cipher.h"

namespace kestrove::conversion {

// Which cipher a body uses, in which direction and under which key.
struct PieceCipherSetup {
  bool body_cipher = false;  // AES under `body_key`; otherwise DES under `key_string`
  bool encipher = false;
  BodyKey body_key{};
  std::string key_string;
};

// How many pieces one apply_together call takes to full effect: more than one
// when the cipher of `setup` interleaves its chains.
std::size_t pieces_together(const PieceCipherSetup& setup);

struct Piece {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

class PieceCipher {
 public:
  // Keys a context of its own; a key the cipher refuses makes every apply fail.
  explicit PieceCipher(const PieceCipherSetup& setup);
  PieceCipher(const PieceCipher&) = delete;
  PieceCipher& operator=(const PieceCipher&) = delete;

  // Transforms `length` bytes at `data` in place; false on a cipher failure.
  bool apply(std::uint8_t* data, std::uint32_t length);

  // Transforms each piece in place, with the same bytes as apply on each by
  // itself; false when the cipher failed on any of them.
  bool apply_together(std::span<const Piece> pieces);

 private:
  bool body_cipher_;
  bool encipher_;
  bool keyed_ = false;
  crypto::BodyCipher body_;
  crypto::InterleavedBodyEncryptor interleaved_;
  crypto::RecordCipher record_;
};

}  // namespace kestrove::conversion
