#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "crypto/body_cipher.h"
#include "crypto/record_cipher.h"

namespace kestrove::crypto {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes from_hex(std::string_view hex) {
    auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
        return static_cast<std::uint8_t>(c - 'A' + 10);
    };
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    }
    return out;
}

// Reproducible bytes that vary from position to position.
Bytes sample(std::size_t n, std::uint32_t seed = 1) {
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

// The reference for a whole call: CBC built by hand from `iv`, one raw block
// transform at a time, with the tail copied.
Bytes chain_by_hand(const Bytes& plain, const Bytes& iv, const std::function<Bytes(const Bytes&)>& raw_block) {
    const std::size_t block = iv.size();
    Bytes out = plain;
    Bytes previous = iv;
    for (std::size_t at = 0; at + block <= plain.size(); at += block) {
        Bytes x(plain.begin() + static_cast<std::ptrdiff_t>(at), plain.begin() + static_cast<std::ptrdiff_t>(at + block));
        for (std::size_t i = 0; i < block; ++i) x[i] ^= previous[i];
        previous = raw_block(x);
        std::copy(previous.begin(), previous.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return out;
}

// ---------------------------------------------------------------- body cipher

const Bytes kBodyKey = from_hex("000102030405060708090a0b0c0d0e0f");
const Bytes kChainingVector(kBodyChainingVector.begin(), kBodyChainingVector.end());

Bytes body_enc(const Bytes& in, const Bytes& key = kBodyKey) {
    Bytes out(in.size(), 0xEE);
    EXPECT_TRUE(body_encrypt(static_cast<std::uint32_t>(in.size()), key.data(), in.data(), out.data()));
    return out;
}

Bytes body_dec(const Bytes& in, const Bytes& key = kBodyKey) {
    Bytes out(in.size(), 0xEE);
    EXPECT_TRUE(body_decrypt(static_cast<std::uint32_t>(in.size()), key.data(), in.data(), out.data()));
    return out;
}

// Plain AES-128 of one block, obtained from a one-block call by cancelling
// the chaining vector first.
Bytes aes_block(const Bytes& block) {
    Bytes x = block;
    for (std::size_t i = 0; i < 16; ++i) x[i] ^= kChainingVector[i];
    return body_enc(x);
}

TEST(BodyCipher, OneBlockIsAesOfInputXorChainingVector) {
    // AES-128 example of FIPS-197 Appendix C.1.
    const Bytes plain = from_hex("00112233445566778899aabbccddeeff");
    const Bytes expected = from_hex("69c4e0d86a7b0430d8cdb78070b4c55a");
    EXPECT_EQ(aes_block(plain), expected);

    Bytes input = plain;
    for (std::size_t i = 0; i < 16; ++i) input[i] ^= kChainingVector[i];
    EXPECT_EQ(body_dec(expected), input);
}

TEST(BodyCipher, BuffersShorterThanABlockPassUnchanged) {
    for (std::size_t len : {0u, 1u, 15u}) {
        SCOPED_TRACE(len);
        const Bytes in = sample(len);
        Bytes out(len + 4, 0xEE);
        ASSERT_TRUE(body_encrypt(static_cast<std::uint32_t>(len), kBodyKey.data(), in.data(), out.data()));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(len)), in);
        EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes(4, 0xEE)) << "wrote past the length";
        ASSERT_TRUE(body_decrypt(static_cast<std::uint32_t>(len), kBodyKey.data(), in.data(), out.data()));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(len)), in);
    }
}

TEST(BodyCipher, ChainsWholeBlocksAndCopiesTheTail) {
    // 40 bytes: two chained blocks and 8 tail bytes.
    const Bytes plain = sample(40, 7);
    const Bytes expected = chain_by_hand(plain, kChainingVector, aes_block);
    const Bytes cipher = body_enc(plain);
    EXPECT_EQ(cipher, expected);
    EXPECT_EQ(Bytes(cipher.begin() + 32, cipher.end()), Bytes(plain.begin() + 32, plain.end()));
    EXPECT_EQ(body_dec(cipher), plain);
}

TEST(BodyCipher, RoundTripsAnyLength) {
    for (std::size_t len : {16u, 17u, 31u, 32u, 33u, 100u, 4096u + 7u, 524288u + 15u}) {
        SCOPED_TRACE(len);
        const Bytes plain = sample(len, static_cast<std::uint32_t>(len));
        const Bytes cipher = body_enc(plain);
        const std::size_t whole = len - len % 16;
        EXPECT_NE(Bytes(cipher.begin(), cipher.begin() + 16), Bytes(plain.begin(), plain.begin() + 16));
        EXPECT_EQ(Bytes(cipher.begin() + static_cast<std::ptrdiff_t>(whole), cipher.end()),
                  Bytes(plain.begin() + static_cast<std::ptrdiff_t>(whole), plain.end()));
        EXPECT_EQ(body_dec(cipher), plain);
    }
}

TEST(BodyCipher, EveryCallStartsAFreshChain) {
    const Bytes plain = sample(32, 3);
    const Bytes once = body_enc(plain);
    EXPECT_EQ(body_enc(plain), once);

    // A reused context restarts too: enciphering the same buffer as two
    // chunks gives each chunk the result of a call of its own.
    BodyCipher cipher;
    ASSERT_TRUE(cipher.set_key(kBodyKey.data()));
    Bytes doubled(64);
    ASSERT_TRUE(cipher.encrypt(plain.data(), doubled.data(), 32));
    ASSERT_TRUE(cipher.encrypt(plain.data(), doubled.data() + 32, 32));
    EXPECT_EQ(Bytes(doubled.begin(), doubled.begin() + 32), once);
    EXPECT_EQ(Bytes(doubled.begin() + 32, doubled.end()), once);
}

TEST(BodyCipher, WorksInPlace) {
    const Bytes plain = sample(4096 + 9, 5);
    const Bytes expected = body_enc(plain);
    Bytes buffer = plain;
    ASSERT_TRUE(body_encrypt(static_cast<std::uint32_t>(buffer.size()), kBodyKey.data(), buffer.data(), buffer.data()));
    EXPECT_EQ(buffer, expected);
    ASSERT_TRUE(body_decrypt(static_cast<std::uint32_t>(buffer.size()), kBodyKey.data(), buffer.data(), buffer.data()));
    EXPECT_EQ(buffer, plain);
}

TEST(BodyCipher, ContextNeedsAKeyAndKeepsItWhenMoved) {
    const Bytes plain = sample(48, 11);
    Bytes out(48);
    BodyCipher unkeyed;
    EXPECT_FALSE(unkeyed.encrypt(plain.data(), out.data(), out.size()));

    BodyCipher keyed;
    ASSERT_TRUE(keyed.set_key(kBodyKey.data()));
    BodyCipher moved = std::move(keyed);
    ASSERT_TRUE(moved.encrypt(plain.data(), out.data(), out.size()));
    EXPECT_EQ(out, body_enc(plain));
}

TEST(BodyCipher, ContextsOnSeveralThreadsAgree) {
    const Bytes plain = sample(16 * 1024 + 5, 13);
    const Bytes expected = body_enc(plain);
    std::vector<Bytes> results(4);
    std::vector<std::thread> workers;
    for (auto& result : results) {
        workers.emplace_back([&plain, &result] {
            BodyCipher cipher;
            result.assign(plain.size(), 0);
            if (!cipher.set_key(kBodyKey.data())) return;
            for (int round = 0; round < 50; ++round) {
                if (!cipher.encrypt(plain.data(), result.data(), plain.size())) {
                    result.clear();
                    return;
                }
            }
        });
    }
    for (auto& w : workers) w.join();
    for (const auto& result : results) EXPECT_EQ(result, expected);
}

// -------------------------------------------------------------- record cipher

std::string key_string(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

Bytes record(const Bytes& in, const std::string& key, int direction) {
    Bytes out(in.size(), 0xEE);
    EXPECT_EQ(record_cipher(static_cast<std::uint32_t>(in.size()), key.c_str(), in.data(), out.data(), direction),
              0);
    return out;
}

TEST(RecordCipher, KnownAnswers) {
    struct Row {
        const char* label;
        std::string key;
        const char* plain;
        const char* cipher;
    };
    const Row rows[] = {
        // Key blocks the parity step leaves as they are: plain DES values.
        {"classic DES example", key_string(from_hex("133457799BBCDFF1")), "0123456789ABCDEF", "85E813540F0AB405"},
        {"FIPS 81 ECB first block", key_string(from_hex("0123456789ABCDEF")), "4E6F772069732074", "3FA40E8A984D4815"},
        {"weak key", key_string(from_hex("0101010101010101")), "0000000000000000", "8CA64DE9C1B123A7"},
        {"semi-weak key", key_string(from_hex("01FE01FE01FE01FE")), "0000000000000000", "01DB63B42A6B7260"},
        // Key strings the parity step changes: keyed as C1 43 80.. and 80 x 8.
        {"short key, parity in bit 7", "AC", "0123456789ABCDEF", "895A05BB2C91D3AD"},
        {"empty key string", "", "0123456789ABCDEF", "8F3288C111246722"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(record(from_hex(row.plain), row.key, kRecordEncipher), from_hex(row.cipher));
        EXPECT_EQ(record(from_hex(row.cipher), row.key, kRecordDecipher), from_hex(row.plain));
    }
}

TEST(RecordCipher, RefusesBadArgumentsWithoutWriting) {
    struct Row {
        const char* key;
        int direction;
        int expected;
    };
    const Row rows[] = {
        {"123456789", kRecordEncipher, -1},
        {"123456789", kRecordDecipher, -1},
        {"key", 0, -2},
        {"key", 3, -2},
        {"123456789", 3, -2},  // the direction is judged first
    };
    const Bytes in = sample(24);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.key << " / " << row.direction);
        Bytes out(24, 0xEE);
        EXPECT_EQ(record_cipher(24, row.key, in.data(), out.data(), row.direction), row.expected);
        EXPECT_EQ(out, Bytes(24, 0xEE));
    }
    RecordCipher cipher;
    EXPECT_FALSE(cipher.set_key("123456789"));
    EXPECT_TRUE(cipher.set_key("12345678"));
}

TEST(RecordCipher, BuffersShorterThanABlockPassUnchanged) {
    for (std::size_t len : {0u, 7u}) {
        SCOPED_TRACE(len);
        const Bytes in = sample(len);
        for (int direction : {kRecordEncipher, kRecordDecipher}) {
            Bytes out(len + 4, 0xEE);
            ASSERT_EQ(record_cipher(static_cast<std::uint32_t>(len), "Kestrove", in.data(), out.data(), direction), 0);
            EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(len)), in);
            EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes(4, 0xEE)) << "wrote past the length";
        }
    }
}

TEST(RecordCipher, OneCallIsOneUnbrokenChain) {
    const std::string key = "k3y!";
    auto des_block = [&key](const Bytes& block) { return record(block, key, kRecordEncipher); };
    // 17 bytes (two blocks and a tail byte) and 4096 bytes (512 blocks, well
    // past any internal piece size).
    for (std::size_t len : {17u, 4096u}) {
        SCOPED_TRACE(len);
        const Bytes plain = sample(len, static_cast<std::uint32_t>(len));
        const Bytes cipher = record(plain, key, kRecordEncipher);
        EXPECT_EQ(cipher, chain_by_hand(plain, Bytes(8, 0), des_block));
        EXPECT_EQ(record(cipher, key, kRecordDecipher), plain);
    }
}

TEST(RecordCipher, RoundTripsAnyLength) {
    for (std::size_t len : {8u, 9u, 15u, 16u, 100u, 2048u + 8u, 524288u + 7u}) {
        SCOPED_TRACE(len);
        const Bytes plain = sample(len, static_cast<std::uint32_t>(len) + 1);
        const Bytes cipher = record(plain, "Kestrove", kRecordEncipher);
        EXPECT_NE(Bytes(cipher.begin(), cipher.begin() + 8), Bytes(plain.begin(), plain.begin() + 8));
        EXPECT_EQ(record(cipher, "Kestrove", kRecordDecipher), plain);
    }
}

TEST(RecordCipher, KeyBlockPutsOddParityInBitSeven) {
    struct Row {
        std::string key;
        const char* block;
    };
    const Row rows[] = {
        {"", "8080808080808080"},
        {"AC", "C143808080808080"},
        {"\xC1\x43", "C143808080808080"},
        {"\x41\xC3", "C143808080808080"},
        {"abcdef", "6162E364E5E68080"},
        {key_string(from_hex("133457799BBCDFF1")), "133457799BBCDFF1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.block);
        const auto block = record_key_block(row.key.c_str());
        EXPECT_EQ(Bytes(block.begin(), block.end()), from_hex(row.block));
    }
}

TEST(RecordCipher, KeysThatDifferOnlyInBitSevenAreTheSame) {
    const Bytes plain = sample(64, 17);
    const Bytes expected = record(plain, "Kestr0ve", kRecordEncipher);
    EXPECT_EQ(record(plain, "\xCB" "est\xF2\xB0v\xE5", kRecordEncipher), expected);
    EXPECT_NE(record(plain, "Kestr0vf", kRecordEncipher), expected);
}

TEST(RecordCipher, ShortKeyIsPaddedWithParityAdjustedZeros) {
    // A 6-character key string keys exactly as its own 8-byte key block.
    const auto block = record_key_block("abcdef");
    const std::string as_string(block.begin(), block.end());
    EXPECT_EQ(as_string, "\x61\x62\xE3\x64\xE5\xE6\x80\x80");
    const Bytes plain = sample(40, 19);
    EXPECT_EQ(record(plain, "abcdef", kRecordEncipher), record(plain, as_string, kRecordEncipher));
}

TEST(RecordCipher, WorksInPlace) {
    const std::string key = "pass";
    const Bytes plain = sample(4096 + 3, 23);
    const Bytes expected = record(plain, key, kRecordEncipher);
    Bytes buffer = plain;
    const auto len = static_cast<std::uint32_t>(buffer.size());
    ASSERT_EQ(record_cipher(len, key.c_str(), buffer.data(), buffer.data(), kRecordEncipher), 0);
    EXPECT_EQ(buffer, expected);
    ASSERT_EQ(record_cipher(len, key.c_str(), buffer.data(), buffer.data(), kRecordDecipher), 0);
    EXPECT_EQ(buffer, plain);
}

}  // namespace
}  // namespace kestrove::crypto
