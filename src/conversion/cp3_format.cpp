#include "conversion/cp3_format.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "conversion/error_text.h"
#include "crypto/body_cipher.h"
#include "crypto/digest.h"
#include "crypto/record_cipher.h"

namespace kestrove::conversion {
namespace {

constexpr const char* kHeaderUnreadable = "変換元ファイル(ヘッダー部分)が読めません。";
constexpr const char* kNotYoursOrAltered =
    "暗号ファイルは他の人が作成したか、またはファイル内容が変更されています。";

void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool fail(StepFailure& failure, int result, std::string message) {
  failure.result = result;
  failure.message = std::move(message);
  return false;
}

bool fail_with_error(StepFailure& failure, const char* first_line) {
  return fail(failure, -2, compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error())));
}

enum class ReadOutcome { complete, short_read, error };

// Reads exactly `size` bytes. End of file, as an error or as a short read,
// is told apart from a failing read, since the messages differ.
ReadOutcome read_exact(platform::OpenFile& file, void* buffer, std::uint32_t size) {
  std::uint32_t got = 0;
  if (!file.read(buffer, size, got)) {
    return platform::last_error() == platform::error::handle_eof ? ReadOutcome::short_read : ReadOutcome::error;
  }
  return got == size ? ReadOutcome::complete : ReadOutcome::short_read;
}

bool chunk_size_acceptable(std::uint32_t chunk_size, std::uint32_t block) {
  return chunk_size >= block && chunk_size <= kMaxReadChunkSize && chunk_size % block == 0;
}

}  // namespace

std::array<std::uint8_t, kOffsetTableSize> encode(const OffsetTable& table) {
  std::array<std::uint8_t, kOffsetTableSize> out{};
  std::memcpy(out.data(), table.magic.data(), 4);
  put32(&out[4], table.info_offset);
  put32(&out[8], table.keycheck_offset);
  put32(&out[12], table.body_offset);
  return out;
}

std::array<std::uint8_t, kInfoBlockSize> encode(const InfoBlock& info) {
  std::array<std::uint8_t, kInfoBlockSize> out{};
  put32(&out[0], info.algorithm);
  put32(&out[4], info.fixed_eight);
  put32(&out[8], info.chunk_size);
  put32(&out[12], info.is_group);
  put32(&out[16], info.fixed_chunk);
  std::memcpy(&out[20], info.digest.data(), info.digest.size());
  return out;
}

OffsetTable decode_offset_table(const std::uint8_t* bytes) {
  OffsetTable t;
  std::memcpy(t.magic.data(), bytes, 4);
  t.info_offset = get32(bytes + 4);
  t.keycheck_offset = get32(bytes + 8);
  t.body_offset = get32(bytes + 12);
  return t;
}

InfoBlock decode_info_block(const std::uint8_t* bytes) {
  InfoBlock info;
  info.algorithm = get32(bytes);
  info.fixed_eight = get32(bytes + 4);
  info.chunk_size = get32(bytes + 8);
  info.is_group = get32(bytes + 12);
  info.fixed_chunk = get32(bytes + 16);
  std::memcpy(info.digest.data(), bytes + 20, info.digest.size());
  return info;
}

std::uint32_t filler_length(std::uint32_t algorithm) { return algorithm == kAlgorithmBody ? 15 : 7; }

BodyKey make_body_key(const std::string& key) {
  BodyKey body_key{};
  std::memcpy(body_key.data(), "58203716", 8);
  std::memcpy(body_key.data() + 8, key.data(), key.size() < 8 ? key.size() : 8);
  return body_key;
}

bool make_key_check(const std::string& key, KeyCheck& check) {
  std::uint8_t plain[kKeyCheckSize] = {};
  std::memcpy(plain, key.data(), key.size() < 8 ? key.size() : 8);
  return crypto::record_cipher(kKeyCheckSize, key.c_str(), plain, check.data(), crypto::kRecordEncipher) == 0;
}

void store_digest(const std::uint8_t digest[16], std::array<std::uint8_t, 32>& field) {
  field.fill(0);
  for (int i = 0; i < 16 && digest[i] != 0; ++i) field[i] = digest[i];
}

bool digests_match(const std::array<std::uint8_t, 32>& field, const std::uint8_t digest[16]) {
  // A byte-string comparison limited to 16 bytes, stopping at a zero byte.
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t expected = field[i];
    if (expected != digest[i]) return false;
    if (expected == 0) return true;
  }
  return true;
}

bool plain_size_of(const Cp3Header& header, std::uint64_t file_size, std::uint64_t& plain_size) {
  const std::uint32_t block = header.info.algorithm == kAlgorithmBody ? 16 : 8;
  const std::uint64_t overhead = std::uint64_t{header.offsets.body_offset} + filler_length(header.info.algorithm);
  if (!chunk_size_acceptable(header.info.chunk_size, block) || file_size < overhead) return false;
  plain_size = file_size - overhead;
  return true;
}

bool plain_size_of(const Cp2Header& header, std::uint64_t file_size, std::uint64_t& plain_size) {
  const std::uint64_t overhead = kCp2BodyOffset + (header.mode == 1 ? 7 : 0);
  if (!chunk_size_acceptable(header.chunk_size, 8) || file_size < overhead) return false;
  plain_size = file_size - overhead;
  return true;
}

bool read_cp3_header(platform::OpenFile& file, Cp3Header& header, StepFailure& failure) {
  std::uint8_t buffer[kInfoBlockSize];
  if (!file.seek(0)) return fail_with_error(failure, "ファイル操作に失敗しました。<11>");
  switch (read_exact(file, buffer, kOffsetTableSize)) {
    case ReadOutcome::short_read: return fail(failure, -2, kHeaderUnreadable);
    case ReadOutcome::error: return fail_with_error(failure, "ファイルの読込みに失敗しました。<5>");
    case ReadOutcome::complete: break;
  }
  header.offsets = decode_offset_table(buffer);

  if (!file.seek(header.offsets.info_offset)) return fail_with_error(failure, "ファイル操作に失敗しました。<11>");
  switch (read_exact(file, buffer, kInfoBlockSize)) {
    case ReadOutcome::short_read: return fail(failure, -2, kHeaderUnreadable);
    case ReadOutcome::error: return fail_with_error(failure, "ファイルの読込みに失敗しました。<6>");
    case ReadOutcome::complete: break;
  }
  header.info = decode_info_block(buffer);

  if (!file.seek(header.offsets.keycheck_offset)) return fail_with_error(failure, "ファイル操作に失敗しました。<12>");
  switch (read_exact(file, header.key_check.data(), kKeyCheckSize)) {
    case ReadOutcome::short_read: return fail(failure, -2, kNotYoursOrAltered);
    case ReadOutcome::error: return fail_with_error(failure, "ファイルの読込みに失敗しました。<12>");
    case ReadOutcome::complete: break;
  }

  // A piece size of 0 would read nothing and report an empty file as done;
  // one of gigabytes would allocate without bound. Neither is a cp3 file.
  std::uint64_t file_size = 0, plain_size = 0;
  if (!file.size(file_size)) return fail_with_error(failure, "ファイル操作に失敗しました。<11>");
  if (!plain_size_of(header, file_size, plain_size)) return fail(failure, -2, kHeaderUnreadable);
  return true;
}

bool read_cp2_header(platform::OpenFile& file, Cp2Header& header, StepFailure& failure) {
  std::uint8_t buffer[kCp2HeaderSize];
  if (!file.seek(0)) return fail_with_error(failure, "ファイル操作に失敗しました。<16>");
  switch (read_exact(file, buffer, kCp2HeaderSize)) {
    case ReadOutcome::short_read: return fail(failure, -2, kHeaderUnreadable);
    case ReadOutcome::error: return fail_with_error(failure, "ファイルの読込みに失敗しました。<7>");
    case ReadOutcome::complete: break;
  }
  header.chunk_size = get32(buffer + 4);
  header.mode = get32(buffer + 8);
  if (!file.seek(kCp2HeaderSize)) return fail_with_error(failure, "ファイル操作に失敗しました。<16>");
  switch (read_exact(file, header.key_check.data(), kKeyCheckSize)) {
    case ReadOutcome::short_read: return fail(failure, -2, "変換元ファイル(先頭部分)が読めません。");
    case ReadOutcome::error: return fail_with_error(failure, "ファイルの読込みに失敗しました。<8>");
    case ReadOutcome::complete: break;
  }
  std::uint64_t file_size = 0, plain_size = 0;
  if (!file.size(file_size)) return fail_with_error(failure, "ファイル操作に失敗しました。<16>");
  if (!plain_size_of(header, file_size, plain_size)) return fail(failure, -2, kHeaderUnreadable);
  return true;
}

int find_file_key(const KeyCheck& check, std::span<const std::string> keys, std::size_t& index) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string key = keys[i].substr(0, 8);
    std::uint8_t scratch[kKeyCheckSize + 1] = {};
    if (crypto::record_cipher(kKeyCheckSize, key.c_str(), check.data(), scratch, crypto::kRecordDecipher) != 0)
      return -1;
    if (std::strncmp(reinterpret_cast<const char*>(scratch), key.c_str(), 8) == 0) {
      index = i;
      return 1;
    }
  }
  return 0;
}

int check_cp2_key(const KeyCheck& check, const std::string& personal_key) {
  std::uint8_t scratch[kKeyCheckSize + 1] = {};
  if (crypto::record_cipher(kKeyCheckSize, personal_key.c_str(), check.data(), scratch, crypto::kRecordDecipher) != 0)
    return -1;
  return std::strncmp(reinterpret_cast<const char*>(scratch), personal_key.c_str(), personal_key.size()) == 0 ? 1 : 0;
}

int verify_first_chunk(platform::OpenFile& file, const std::string& key, const Cp3Header& header,
                       std::uint64_t file_size) {
  std::array<std::uint8_t, 32> expected{};
  std::uint32_t got = 0;
  if (!file.seek(std::uint64_t{header.offsets.info_offset} + 20) || !file.read(expected.data(), 16, got) || got == 0)
    return 0;
  std::fill(expected.begin() + got, expected.end(), std::uint8_t{0});

  std::uint64_t plain_size = 0;
  if (!plain_size_of(header, file_size, plain_size)) return 0;
  const std::uint32_t chunk = header.info.chunk_size;
  std::unique_ptr<std::uint8_t[]> cipher(new (std::nothrow) std::uint8_t[chunk]);
  std::unique_ptr<std::uint8_t[]> plain(new (std::nothrow) std::uint8_t[chunk]);
  if (!cipher || !plain) return -1;
  std::uint32_t n = 0;
  if (!file.seek(header.offsets.body_offset) || !file.read(cipher.get(), chunk, n)) return 0;
  const std::uint64_t p = plain_size < n ? plain_size : n;
  if (p == 0) return file.seek(0) ? 1 : 0;

  if (header.info.algorithm == kAlgorithmBody) {
    const BodyKey body_key = make_body_key(key);
    if (!crypto::body_decrypt(n, body_key.data(), cipher.get(), plain.get())) return 0;
  } else if (crypto::record_cipher(n, key.c_str(), cipher.get(), plain.get(), crypto::kRecordDecipher) != 0) {
    return 0;
  }
  std::uint8_t digest[16];
  crypto::md5_digest(plain.get(), static_cast<std::size_t>(p), digest);
  if (!digests_match(expected, digest)) return 0;
  return file.seek(0) ? 1 : 0;
}

int digest_first_chunk(platform::OpenFile& plain, std::uint8_t digest[16]) {
  std::memset(digest, 0, 16);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kChunkSize + 128]);
  if (!buffer) return -1;
  std::uint32_t got = 0;
  if (!plain.read(buffer.get(), kChunkSize, got)) return 0;
  if (got == 0) return 1;
  crypto::md5_digest(buffer.get(), got, digest);
  return plain.seek(0) ? 1 : 0;
}

}  // namespace kestrove::conversion
