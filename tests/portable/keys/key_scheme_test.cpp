#include <gtest/gtest.h>

#include "keys/key_scheme.h"

namespace kestrove::keys {
namespace {

TEST(Password, IsSixLettersOrDigits) {
  const std::pair<const char*, bool> cases[] = {
      {"abc123", true}, {"ABCxyz", true}, {"000000", true}, {"abc12", false}, {"abc1234", false},
      {"abc-12", false}, {"abc 12", false}, {"", false}, {"ａbc123", false},
  };
  for (const auto& [password, valid] : cases) EXPECT_EQ(is_valid_password(password), valid) << password;
  EXPECT_EQ(personal_key_string("abc123"), "ZQabc123");
}

TEST(KeyText, FreshKeysAreEightCharactersOfTheirAlphabet) {
  for (int round = 0; round < 50; ++round) {
    std::string record_key, group_key;
    ASSERT_TRUE(random_key_text(record_key));
    ASSERT_TRUE(random_key_text(group_key, KeyAlphabet::alphanumeric));
    EXPECT_TRUE(is_valid_key_text(record_key)) << record_key;
    EXPECT_TRUE(is_valid_key_text(group_key)) << group_key;
    EXPECT_TRUE(is_valid_password(group_key.substr(0, 6))) << group_key;
  }
  EXPECT_FALSE(is_valid_key_text("short"));
  EXPECT_FALSE(is_valid_key_text("with spc"));
  EXPECT_FALSE(is_valid_key_text(std::string("nul\0nul!", 8)));
}

TEST(Records, EncipheredUnderOneKeyOpenOnlyUnderIt) {
  Record cipher{};
  Record plain{};
  ASSERT_TRUE(encipher_record("Rk#4-x9Q", record_of("ZQabc123"), cipher));
  ASSERT_TRUE(decipher_record("Rk#4-x9Q", cipher, plain));
  EXPECT_EQ(record_text(plain), "ZQabc123");
  ASSERT_TRUE(decipher_record("Rk#4-x9R", cipher, plain));
  EXPECT_NE(record_text(plain), "ZQabc123");
  EXPECT_FALSE(encipher_record("123456789", record_of("x"), cipher));
  EXPECT_EQ(record_text(record_of("abc")), "abc");
}

}  // namespace
}  // namespace kestrove::keys
