#include "conversion/cp3_codec.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "conversion/error_text.h"
#include "conversion/file_operations.h"
#include "crypto/body_cipher.h"
#include "crypto/record_cipher.h"

namespace kestrove::conversion {
namespace {

// Room for a last chunk with its filler.
constexpr std::uint32_t kBufferMargin = 0x90;

bool fail(StepFailure& failure, int result, std::string message) {
  failure.result = result;
  failure.message = std::move(message);
  return false;
}

bool fail_with_error(StepFailure& failure, const char* first_line) {
  return fail(failure, -2, compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error())));
}

bool fail_cipher(StepFailure& failure, const char* format) {
  char text[256];
  std::snprintf(text, sizeof text, format, static_cast<int>(platform::last_error()));
  return fail(failure, -10, text);
}

using Buffer = std::unique_ptr<std::uint8_t[]>;

Buffer allocate(std::size_t size) { return Buffer(new (std::nothrow) std::uint8_t[size]()); }

// The messages of one reader, which differ between cp3 and cp2 files.
struct BodyMessages {
  const char* read;
  const char* decipher;
  const char* write;
  const char* seek_source;
  const char* seek_output;
  const char* seek_body;
};

constexpr BodyMessages kCp3Messages{"ファイルの読込みに失敗しました。<11>", "ファイルの復号化に失敗しました。<2>：%d",
                                    "ファイルの書き込みに失敗しました。<11>", "ファイル操作に失敗しました。<14>",
                                    "ファイル操作に失敗しました。<15>", "ファイル操作に失敗しました。<13>"};
constexpr BodyMessages kCp2Messages{"ファイルの読込みに失敗しました。<9>", "ファイルの復号化に失敗しました。<4>：%d",
                                    "ファイルの書き込みに失敗しました。<7>", "ファイル操作に失敗しました。<18>",
                                    "ファイル操作に失敗しました。<19>", "ファイル操作に失敗しました。<17>"};

// One deciphering of a piece: AES under the body key or DES under the key string.
struct PieceDecipher {
  bool aes = false;
  BodyKey body_key{};
  std::string key;

  bool operator()(const std::uint8_t* in, std::uint8_t* out, std::uint32_t n) const {
    if (aes) return crypto::body_decrypt(n, body_key.data(), in, out);
    return crypto::record_cipher(n, key.c_str(), in, out, crypto::kRecordDecipher) == 0;
  }
};

bool read_body(platform::OpenFile& source, std::uint64_t file_size, std::uint64_t body_start,
               std::uint32_t chunk_size, std::uint32_t filler, const PieceDecipher& decipher,
               const BodyMessages& messages, platform::OpenFile& out, ChunkObserver* observer,
               StepFailure& failure) {
  Buffer in = allocate(std::size_t{chunk_size} + 512);
  Buffer plain = allocate(std::size_t{chunk_size} + 512);
  if (!in || !plain) return fail(failure, -1, "メモリ領域の確保に失敗しました。<20>");
  if (!source.seek(body_start)) return fail_with_error(failure, messages.seek_body);
  std::uint64_t read_total = 0;
  for (std::uint64_t chunk = 1;; ++chunk) {
    if (observer != nullptr) {
      observer->chunk_starting(progress_percent(chunk, kChunkSize, file_size));
      if (observer->stop_requested()) return fail(failure, kResultStopped, "");
    }
    const std::uint64_t position = body_start + read_total;
    const std::uint64_t remaining = file_size > position ? file_size - position : 0;
    const std::uint64_t plain_remaining = remaining > filler ? remaining - filler : 0;
    std::uint32_t n = 0;
    if (!source.read(in.get(), chunk_size, n)) {
      if (platform::last_error() == platform::error::handle_eof) break;
      return fail_with_error(failure, messages.read);
    }
    if (n == 0) break;
    if (!decipher(in.get(), plain.get(), n)) return fail_cipher(failure, messages.decipher);
    const std::uint32_t keep = plain_remaining < n ? static_cast<std::uint32_t>(plain_remaining) : n;
    if (keep > 0 && !out.write(plain.get(), keep)) return fail_with_error(failure, messages.write);
    read_total += n;
    if (!source.seek(body_start + read_total)) return fail_with_error(failure, messages.seek_source);
    if (!out.seek(read_total)) return fail_with_error(failure, messages.seek_output);
    if (plain_remaining <= chunk_size) break;
  }
  return true;
}

}  // namespace

bool write_cp3(platform::OpenFile& plain, std::uint64_t plain_size, platform::OpenFile& out,
               const EncryptParameters& parameters, ChunkObserver* observer, StepFailure& failure) {
  Buffer in = allocate(kChunkSize + kBufferMargin);
  Buffer cipher = allocate(kChunkSize + kBufferMargin);
  if (!in || !cipher) return fail(failure, -1, "メモリ領域の確保に失敗しました。<13>");

  OffsetTable offsets;
  const auto table_bytes = encode(offsets);
  if (!out.write(table_bytes.data(), kOffsetTableSize)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<8>");
  if (!out.seek(kInfoOffset)) return fail_with_error(failure, "ファイル操作に失敗しました。<1>");

  std::uint8_t digest[16];
  switch (digest_first_chunk(plain, digest)) {
    case 0: return fail_with_error(failure, "ファイルの読込みに失敗しました。<1>");
    case -1: return fail(failure, -1, "メモリ領域の確保に失敗しました。<28>");
    default: break;
  }
  InfoBlock info;
  info.algorithm = parameters.algorithm == kAlgorithmBody ? kAlgorithmBody : kAlgorithmRecord;
  info.is_group = parameters.is_group ? 1 : 0;
  store_digest(digest, info.digest);
  const auto info_bytes = encode(info);
  if (!out.write(info_bytes.data(), kInfoBlockSize)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<9>");
  if (!out.seek(kKeyCheckOffset)) return fail_with_error(failure, "ファイル操作に失敗しました。<2>");

  KeyCheck check{};
  if (!make_key_check(parameters.key, check)) return fail_cipher(failure, "ファイルの暗号化に失敗しました。<1>：%d");
  if (!out.write(check.data(), kKeyCheckSize)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<10>");
  if (!out.seek(kBodyOffset)) return fail_with_error(failure, "ファイル操作に失敗しました。<3>");

  const std::uint32_t filler_size = filler_length(info.algorithm);
  const std::string filler = random_hex_text(filler_size);
  const BodyKey body_key = make_body_key(parameters.key);
  const std::string key = parameters.key.substr(0, 8);

  std::uint64_t read_total = 0, written_total = 0;
  for (std::uint64_t chunk = 1;; ++chunk) {
    if (observer != nullptr) {
      observer->chunk_starting(progress_percent(chunk, kChunkSize, plain_size));
      if (observer->stop_requested()) return fail(failure, kResultStopped, "");
    }
    std::uint32_t n = 0;
    if (!plain.read(in.get(), kChunkSize, n)) {
      // End of file reported as an error still ends in a proper last chunk,
      // so that the file can be read back.
      if (platform::last_error() != platform::error::handle_eof)
        return fail_with_error(failure, "ファイルの読込みに失敗しました。<2>");
      n = 0;
    }
    read_total += n;
    if (!plain.seek(read_total)) return fail_with_error(failure, "ファイル操作に失敗しました。<4>");
    const bool last = n < kChunkSize;
    std::uint32_t length = n;
    if (last) {
      std::memcpy(in.get() + n, filler.data(), filler_size);
      length += filler_size;
    }
    if (info.algorithm == kAlgorithmBody) {
      if (!crypto::body_encrypt(length, body_key.data(), in.get(), cipher.get()))
        return fail_cipher(failure, "ファイルの暗号化に失敗しました。<2>：%d");
    } else if (crypto::record_cipher(length, key.c_str(), in.get(), cipher.get(), crypto::kRecordEncipher) != 0) {
      return fail_cipher(failure, "ファイルの暗号化に失敗しました。<2>：%d");
    }
    if (!out.write(cipher.get(), length)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<2>");
    written_total += length;
    if (!out.seek(kBodyOffset + written_total)) return fail_with_error(failure, "ファイル操作に失敗しました。<5>");
    if (last) break;
  }
  return true;
}

bool read_cp3_body(platform::OpenFile& cp3, std::uint64_t file_size, const Cp3Header& header,
                   const std::string& key, platform::OpenFile& out, ChunkObserver* observer,
                   StepFailure& failure) {
  PieceDecipher decipher;
  decipher.aes = header.info.algorithm == kAlgorithmBody;
  decipher.body_key = make_body_key(key);
  decipher.key = key.substr(0, 8);
  return read_body(cp3, file_size, header.offsets.body_offset, header.info.chunk_size,
                   filler_length(header.info.algorithm), decipher, kCp3Messages, out, observer, failure);
}

bool read_cp2_body(platform::OpenFile& cp2, std::uint64_t file_size, const Cp2Header& header,
                   const std::string& personal_key, platform::OpenFile& out, ChunkObserver* observer,
                   StepFailure& failure) {
  PieceDecipher decipher;
  decipher.key = personal_key;
  return read_body(cp2, file_size, kCp2BodyOffset, header.chunk_size, header.mode == 1 ? 7 : 0, decipher,
                   kCp2Messages, out, observer, failure);
}

}  // namespace kestrove::conversion
