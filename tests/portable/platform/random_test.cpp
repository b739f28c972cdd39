#include <gtest/gtest.h>

#include <string>

#include "platform/random.h"

namespace kestrove::platform {
namespace {

TEST(SecureRandom, FillsTheBuffer) {
  std::uint8_t a[64] = {}, b[64] = {};
  ASSERT_TRUE(secure_random(a, sizeof a));
  ASSERT_TRUE(secure_random(b, sizeof b));
  EXPECT_NE(std::string(a, a + 64), std::string(b, b + 64));
  EXPECT_NE(std::string(a, a + 64), std::string(64, '\0'));
  EXPECT_TRUE(secure_random(a, 0));
}

}  // namespace
}  // namespace kestrove::platform
