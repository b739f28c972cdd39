#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/cp3_format.h"
#include "conversion/piece_cipher.h"
#include "crypto/body_cipher.h"
#include "crypto/interleaved_body_encryptor.h"

namespace kestrove::crypto {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kKey[kBodyKeySize] = {'5', '8', '2', '0', '3', '7', '1', '6',
                                             'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};

Bytes sample(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

// Each chain enciphered by itself, as BodyCipher does it.
std::vector<Bytes> serial(std::vector<Bytes> chains) {
    BodyCipher cipher;
    EXPECT_TRUE(cipher.set_key(kKey));
    for (Bytes& c : chains) EXPECT_TRUE(cipher.encrypt(c.data(), c.data(), c.size()));
    return chains;
}

std::vector<Bytes> chains_of(const std::vector<std::size_t>& lengths) {
    std::vector<Bytes> chains;
    for (std::size_t i = 0; i < lengths.size(); ++i) chains.push_back(sample(lengths[i], static_cast<std::uint32_t>(i + 1)));
    return chains;
}

constexpr std::size_t W = InterleavedBodyEncryptor::kRowWidth;

struct Case {
    const char* label;
    std::vector<std::size_t> lengths;
};

// `count` chains of `length` bytes, then `last`.
std::vector<std::size_t> row_of(std::size_t count, std::size_t length, std::size_t last) {
    std::vector<std::size_t> lengths(count, length);
    lengths.push_back(last);
    return lengths;
}

// Lengths that differ in whole blocks and in tails, past two rows.
std::vector<std::size_t> mixed(std::size_t count) {
    std::vector<std::size_t> lengths;
    for (std::size_t i = 0; i < count; ++i) lengths.push_back(i % 3 == 0 ? 2048 : 2048 - 16 * i + i % 16);
    return lengths;
}

TEST(InterleavedBodyEncryptor, GivesTheBytesOfEachChainEncipheredByItself) {
    const std::vector<Case> table = {
        {"one chain of whole blocks", {4096}},
        {"one chain with a plain tail", {4096 + 15}},
        {"a full row, the last chain short with a tail", row_of(W - 1, 4096, 1000 + 15)},
        {"chains shorter than a block and empty", {4096, 15, 0, 16, 17}},
        {"more chains than the row width, mixed lengths", mixed(2 * W + 3)},
        {"two rows exactly", row_of(2 * W - 1, 1024, 1024)},
    };
    InterleavedBodyEncryptor encryptor;
    ASSERT_TRUE(encryptor.set_key(kKey));
    for (const Case& c : table) {
        SCOPED_TRACE(c.label);
        std::vector<Bytes> chains = chains_of(c.lengths);
        const std::vector<Bytes> expected = serial(chains);
        std::vector<BodyChain> view;
        for (Bytes& b : chains) view.push_back({b.data(), b.size()});
        ASSERT_TRUE(encryptor.encrypt(view));
        for (std::size_t i = 0; i < chains.size(); ++i) EXPECT_EQ(chains[i], expected[i]) << "chain " << i;
    }
}

TEST(InterleavedBodyEncryptor, RefusesWithoutAKey) {
    InterleavedBodyEncryptor encryptor;
    Bytes data = sample(64, 1);
    const BodyChain chain{data.data(), data.size()};
    EXPECT_FALSE(encryptor.encrypt({&chain, 1}));
}

// The pieces of a real body: whole chunks and a last short one with its
// filler, taken together in groups of every size up to past a row.
TEST(InterleavedBodyEncryptor, PiecesTakenTogetherMatchPiecesOneByOne) {
    conversion::PieceCipherSetup setup;
    setup.body_cipher = true;
    setup.encipher = true;
    setup.body_key = conversion::make_body_key("ABCDEFGH");
    for (std::size_t count : {std::size_t{1}, std::size_t{2}, W, W + 2}) {
        SCOPED_TRACE(count);
        std::vector<std::size_t> lengths(count - 1, conversion::kChunkSize);
        lengths.push_back(12345 + 15);
        std::vector<Bytes> together = chains_of(lengths), alone = together;
        conversion::PieceCipher cipher(setup);
        std::vector<conversion::Piece> pieces;
        for (Bytes& b : together) pieces.push_back({b.data(), static_cast<std::uint32_t>(b.size())});
        ASSERT_TRUE(cipher.apply_together(pieces));
        for (std::size_t i = 0; i < alone.size(); ++i) {
            ASSERT_TRUE(cipher.apply(alone[i].data(), static_cast<std::uint32_t>(alone[i].size())));
            EXPECT_EQ(together[i], alone[i]) << "piece " << i;
        }
    }
}

}  // namespace
}  // namespace kestrove::crypto
