#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "crypto/digest.h"

namespace kestrove::crypto {
namespace {

std::string md5_hex(const std::string& text) {
    std::uint8_t digest[kDigestSize];
    md5_digest(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), digest);
    std::string hex;
    char two[3];
    for (std::uint8_t b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

TEST(Digest, KnownAnswers) {
    struct Row {
        std::string input;
        const char* md5;
    };
    const Row rows[] = {
        // The test suite of RFC 1321.
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // Lengths either side of the padding boundaries.
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.input.size() << " bytes");
        EXPECT_EQ(md5_hex(row.input), row.md5);
    }
}

}  // namespace
}  // namespace kestrove::crypto
