#pragma once
// The cipher of one piece of a file body, in place. Every call is a chain of
// its own (the body is a sequence of independent chains), so pieces can be
// handled on different threads, each with its own PieceCipher.
#include <cstdint>
#include <string>

#include "conversion/cp3_format.h"
#include "crypto/body_cipher.h"
#include "crypto/record_cipher.h"

namespace kestrove::conversion {

// Which cipher a body uses, in which direction and under which key.
struct PieceCipherSetup {
  bool body_cipher = false;  // AES under `body_key`; otherwise DES under `key_string`
  bool encipher = false;
  BodyKey body_key{};
  std::string key_string;
};

class PieceCipher {
 public:
  // Keys a context of its own; a key the cipher refuses makes every apply fail.
  explicit PieceCipher(const PieceCipherSetup& setup);
  PieceCipher(const PieceCipher&) = delete;
  PieceCipher& operator=(const PieceCipher&) = delete;

  // Transforms `length` bytes at `data` in place; false on a cipher failure.
  bool apply(std::uint8_t* data, std::uint32_t length);

 private:
  bool body_cipher_;
  bool encipher_;
  bool keyed_ = false;
  crypto::BodyCipher body_;
  crypto::RecordCipher record_;
};

}  // namespace kestrove::conversion
