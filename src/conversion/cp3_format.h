#pragma once
// The cp3 file (written and read) and the older cp2 file (read only).
//
// cp3: OffsetTable (16 bytes) | InfoBlock (52) | KeyCheck (8) | body.
// The body is the plain file in chunks of 524288 bytes, each enciphered by
// one cipher call; the last chunk carries 15 (AES) or 7 (DES) random filler
// characters. All integers are 32-bit little-endian.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/file_system.h"

namespace kestrove::conversion {

inline constexpr std::uint32_t kChunkSize = 524288;
inline constexpr std::uint32_t kOffsetTableSize = 16;
inline constexpr std::uint32_t kInfoBlockSize = 52;
inline constexpr std::uint32_t kKeyCheckSize = 8;
inline constexpr std::uint32_t kInfoOffset = 16;
inline constexpr std::uint32_t kKeyCheckOffset = 68;
inline constexpr std::uint32_t kBodyOffset = 76;
inline constexpr std::uint32_t kAlgorithmRecord = 1;  // DES-CBC body
inline constexpr std::uint32_t kAlgorithmBody = 2;    // AES-128-CBC body
inline constexpr std::uint32_t kCp2HeaderSize = 20;
inline constexpr std::uint32_t kCp2BodyOffset = 28;
// The largest piece size a reader accepts from a file; the writer uses 524288.
inline constexpr std::uint32_t kMaxReadChunkSize = 16u << 20;

struct OffsetTable {
  std::array<std::uint8_t, 4> magic{'C', 'P', '3', '0'};
  std::uint32_t info_offset = kInfoOffset;
  std::uint32_t keycheck_offset = kKeyCheckOffset;
  std::uint32_t body_offset = kBodyOffset;
};

struct InfoBlock {
  std::uint32_t algorithm = kAlgorithmRecord;
  std::uint32_t fixed_eight = 8;
  std::uint32_t chunk_size = kChunkSize;
  std::uint32_t is_group = 0;
  std::uint32_t fixed_chunk = kChunkSize;
  std::array<std::uint8_t, 32> digest{};  // zero-terminated, at most 16 bytes
};

using KeyCheck = std::array<std::uint8_t, kKeyCheckSize>;
using BodyKey = std::array<std::uint8_t, 16>;

struct Cp3Header {
  OffsetTable offsets;
  InfoBlock info;
  KeyCheck key_check{};
};

struct Cp2Header {
  std::uint32_t chunk_size = 0;
  std::uint32_t mode = 0;
  KeyCheck key_check{};
};

std::array<std::uint8_t, kOffsetTableSize> encode(const OffsetTable& table);
std::array<std::uint8_t, kInfoBlockSize> encode(const InfoBlock& info);
OffsetTable decode_offset_table(const std::uint8_t* bytes);
InfoBlock decode_info_block(const std::uint8_t* bytes);

// 15 for the AES body, 7 for any other algorithm value.
std::uint32_t filler_length(std::uint32_t algorithm);
// The AES key of a body: "58203716" followed by the 8 key characters.
BodyKey make_body_key(const std::string& key);
// The key enciphered under itself with the DES record cipher; false if the
// cipher refused.
bool make_key_check(const std::string& key, KeyCheck& check);
// The digest as the file stores it: the bytes before the first zero byte.
void store_digest(const std::uint8_t digest[16], std::array<std::uint8_t, 32>& field);
bool digests_match(const std::array<std::uint8_t, 32>& field, const std::uint8_t digest[16]);

// A failed step: the worker's result code and its message (CP932).
struct StepFailure {
  int result = 0;
  std::string message;
};

// Header checks of a reader, each failure with its message (result -2).
bool read_cp3_header(platform::OpenFile& file, Cp3Header& header, StepFailure& failure);
bool read_cp2_header(platform::OpenFile& file, Cp2Header& header, StepFailure& failure);

// Tries the keys in order: 1 and the index of the first key whose KeyCheck
// deciphers to itself, 0 when none fits, -1 on a cipher failure.
int find_file_key(const KeyCheck& check, std::span<const std::string> keys, std::size_t& index);
// Whether the PersonalKey opens a cp2 file: 1 yes, 0 no, -1 cipher failure.
int check_cp2_key(const KeyCheck& check, const std::string& personal_key);

// 1: the first chunk deciphers to the stored digest (or holds no plain byte);
// 0: mismatch or a failed read; -1: no memory. Leaves the position at 0.
int verify_first_chunk(platform::OpenFile& file, const std::string& key, const Cp3Header& header,
                       std::uint64_t file_size);

// The size checks a reader makes before trusting a header: the piece size
// must be whole cipher blocks of a bounded size, and the body must hold at
// least the filler. Returns the plain size, or false.
bool plain_size_of(const Cp3Header& header, std::uint64_t file_size, std::uint64_t& plain_size);
bool plain_size_of(const Cp2Header& header, std::uint64_t file_size, std::uint64_t& plain_size);

// The header's digest of the first chunk: 1 done, 0 read or rewind failed,
// -1 no memory. An empty file gives 16 zero bytes.
int digest_first_chunk(platform::OpenFile& plain, std::uint8_t digest[16]);

}  // namespace kestrove::conversion
