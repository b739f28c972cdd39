#pragma once
// The relations between the user's password, personal key, record key and
// the records on the key device:
//   PersonalKey string = "ZQ" + password
//   KEYDATA  = E(RecordKey, PersonalKey string)
//   REGDATA  = E(PersonalKey string, RecordKey)
//   OWNERi   = E(RecordKey, owner code of group i)
//   KEYDATAi = E(RecordKey, key of group i)
// where E and D are the record cipher over one 8-byte block. The password
// opens the record key, the record key opens everything else.
#include <string>

#include "keys/key_state.h"

namespace kestrove::keys {

inline constexpr const char* kPersonalKeyPrefix = "ZQ";
inline constexpr std::size_t kPasswordLength = 6;
inline constexpr std::size_t kKeyTextLength = 8;

// Exactly 6 characters, each 0-9, A-Z or a-z.
bool is_valid_password(const std::string& password);
std::string personal_key_string(const std::string& password);
// Whether a deciphered key record carries the personal-key prefix: the
// device belongs to the holder of the record key that opened it.
bool has_personal_key_prefix(const std::string& key_text);

// E(key, plain) and D(key, cipher); false when the record cipher refuses the
// key (longer than 8 characters) or fails.
bool encipher_record(const std::string& key, const Record& plain, Record& out);
bool decipher_record(const std::string& key, const Record& cipher, Record& out);

// A record's text: its bytes up to the first NUL, at most 8.
std::string record_text(const Record& record);
// The first 8 bytes of a text, padded with NULs.
Record record_of(const std::string& text);

// Single-byte key text: 8 characters from '!' to '~'.
bool is_valid_key_text(const std::string& key);
enum class KeyAlphabet {
  printable,     // '!' to '~': record keys and owner codes, never typed
  alphanumeric,  // 0-9, A-Z, a-z: group keys, which colleagues type in
};

// A fresh key text from the system's cryptographic random source; false when
// the source fails.
bool random_key_text(std::string& key, KeyAlphabet alphabet = KeyAlphabet::printable);

}  // namespace kestrove::keys
