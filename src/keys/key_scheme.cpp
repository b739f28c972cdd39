#include "keys/key_scheme.h"

#include <cstdint>

#include "crypto/record_cipher.h"
#include "platform/random.h"

namespace kestrove::keys {
namespace {

bool is_password_character(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_key_character(char c) { return c >= '!' && c <= '~'; }

bool transform(const std::string& key, const Record& in, Record& out, int direction) {
  if (key.find('\0') != std::string::npos) return false;
  return crypto::record_cipher(static_cast<std::uint32_t>(in.size()), key.c_str(), in.data(), out.data(),
                               direction) == crypto::kRecordDone;
}

}  // namespace

bool is_valid_password(const std::string& password) {
  if (password.size() != kPasswordLength) return false;
  for (char c : password) {
    if (!is_password_character(c)) return false;
  }
  return true;
}

std::string personal_key_string(const std::string& password) { return kPersonalKeyPrefix + password; }

bool has_personal_key_prefix(const std::string& key_text) { return key_text.rfind(kPersonalKeyPrefix, 0) == 0; }

bool encipher_record(const std::string& key, const Record& plain, Record& out) {
  return transform(key, plain, out, crypto::kRecordEncipher);
}

bool decipher_record(const std::string& key, const Record& cipher, Record& out) {
  return transform(key, cipher, out, crypto::kRecordDecipher);
}

std::string record_text(const Record& record) {
  std::string text;
  for (std::uint8_t b : record) {
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}

Record record_of(const std::string& text) {
  Record record{};
  for (std::size_t i = 0; i < record.size() && i < text.size(); ++i) {
    record[i] = static_cast<std::uint8_t>(text[i]);
  }
  return record;
}

bool is_valid_key_text(const std::string& key) {
  if (key.size() != kKeyTextLength) return false;
  for (char c : key) {
    if (!is_key_character(c)) return false;
  }
  return true;
}

bool random_key_text(std::string& key, KeyAlphabet alphabet) {
  std::string characters;
  for (char c = '!'; c <= '~'; ++c) {
    if (alphabet == KeyAlphabet::printable || is_password_character(c)) characters.push_back(c);
  }
  // Bytes at or above the last whole multiple of the alphabet's size are
  // drawn again, so that every character is equally likely.
  const unsigned choices = static_cast<unsigned>(characters.size());
  const unsigned limit = 256 / choices * choices;
  key.clear();
  while (key.size() < kKeyTextLength) {
    std::uint8_t bytes[16];
    if (!platform::secure_random(bytes, sizeof bytes)) return false;
    for (std::uint8_t b : bytes) {
      if (b >= limit || key.size() == kKeyTextLength) continue;
      key.push_back(characters[b % choices]);
    }
  }
  return true;
}

}  // namespace kestrove::keys
