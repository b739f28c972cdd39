#include "crypto/interleaved_body_encryptor.h"

#include <gcrypt.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace kestrove::crypto {

namespace {

void xor_block(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) {
    std::uint64_t x[2], y[2];
    std::memcpy(x, a, kBodyBlockSize);
    std::memcpy(y, b, kBodyBlockSize);
    x[0] ^= y[0];
    x[1] ^= y[1];
    std::memcpy(out, x, kBodyBlockSize);
}

}  // namespace

bool InterleavedBodyEncryptor::set_key(const std::uint8_t key[kBodyKeySize]) {
    keyed_ = false;
    if (!handle_ && !handle_.open(GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_ECB)) {
        return false;
    }
    if (gcry_cipher_setkey(handle_.get(), key, kBodyKeySize) != 0) {
        return false;
    }
    keyed_ = true;
    return true;
}

bool InterleavedBodyEncryptor::encrypt(std::span<const BodyChain> chains) {
    if (!keyed_) {
        return false;
    }
    for (std::size_t first = 0; first < chains.size(); first += kRowWidth) {
        if (!encrypt_row(chains.subspan(first, std::min(kRowWidth, chains.size() - first)))) {
            return false;
        }
    }
    return true;
}

bool InterleavedBodyEncryptor::encrypt_row(std::span<const BodyChain> chains) {
    // The longest chains first, so that the chains still running at block b
    // are always the first `active` of the row.
    struct Lane {
        std::uint8_t* data;
        std::size_t blocks;
        const std::uint8_t* previous;
    };
    std::array<Lane, kRowWidth> lanes;
    for (std::size_t i = 0; i < chains.size(); ++i) {
        lanes[i] = {chains[i].data, chains[i].length / kBodyBlockSize, kBodyChainingVector.data()};
    }
    std::sort(lanes.begin(), lanes.begin() + chains.size(),
              [](const Lane& a, const Lane& b) { return a.blocks > b.blocks; });

    alignas(64) std::array<std::uint8_t, kRowWidth * kBodyBlockSize> row;
    std::size_t active = chains.size();
    for (std::size_t block = 0;; ++block) {
        while (active > 0 && lanes[active - 1].blocks <= block) {
            --active;
        }
        if (active == 0) {
            return true;
        }
        const std::size_t offset = block * kBodyBlockSize;
        for (std::size_t i = 0; i < active; ++i) {
            xor_block(row.data() + i * kBodyBlockSize, lanes[i].data + offset, lanes[i].previous);
        }
        if (gcry_cipher_encrypt(handle_.get(), row.data(), active * kBodyBlockSize, nullptr, 0) != 0) {
            return false;
        }
        for (std::size_t i = 0; i < active; ++i) {
            std::memcpy(lanes[i].data + offset, row.data() + i * kBodyBlockSize, kBodyBlockSize);
            lanes[i].previous = lanes[i].data + offset;
        }
    }
}

}  // namespace kestrove::crypto
