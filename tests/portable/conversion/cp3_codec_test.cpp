// Whole-file conversion: the bytes written, the round trip, stopping, and the
// message of the first failing step. Bodies of several chunks go through the
// threaded path, so comparing with a plain one-call-per-chunk reference
// proves that it yields the same bytes and the same outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "conversion/cp3_codec.h"
#include "conversion/cp3_format.h"
#include "conversion/error_text.h"
#include "conversion/file_operations.h"
#include "crypto/body_cipher.h"
#include "crypto/digest.h"
#include "crypto/record_cipher.h"
#include "platform/error_codes.h"
#include "platform/file_system.h"

namespace kestrove::conversion {
namespace {

constexpr const char* kKey = "ABCDEFGH";

// A file held in memory.
class MemoryFile final : public platform::OpenFile {
 public:
  MemoryFile() = default;
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}

  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
    const std::uint64_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    got = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, available));
    std::memcpy(buffer, bytes_.data() + position_, got);
    position_ += got;
    return true;
  }
  bool write(const void* buffer, std::uint32_t size) override {
    if (bytes_.size() < position_ + size) bytes_.resize(position_ + size);
    std::memcpy(bytes_.data() + position_, buffer, size);
    position_ += size;
    return true;
  }
  bool seek(std::uint64_t position) override {
    position_ = position;
    return true;
  }
  bool size(std::uint64_t& bytes) override {
    bytes = bytes_.size();
    return true;
  }
  bool get_times(platform::FileTimes&) override { return true; }
  bool set_times(const platform::FileTimes&) override { return true; }

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::uint64_t position_ = 0;
};

// Passes every call through, except that the Nth read, write or seek (from 1;
// 0 never) fails with a chosen Win32 error.
class FaultyFile final : public platform::OpenFile {
 public:
  struct Faults {
    int read = 0;
    int write = 0;
    int seek = 0;
    platform::ErrorCode error = platform::error::not_ready;
  };
  FaultyFile(platform::OpenFile& inner, Faults faults) : inner_(inner), faults_(faults) {}

  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
    if (++reads_ == faults_.read) return fail();
    return inner_.read(buffer, size, got);
  }
  bool write(const void* buffer, std::uint32_t size) override {
    if (++writes_ == faults_.write) return fail();
    return inner_.write(buffer, size);
  }
  bool seek(std::uint64_t position) override {
    if (++seeks_ == faults_.seek) return fail();
    return inner_.seek(position);
  }
  bool size(std::uint64_t& bytes) override { return inner_.size(bytes); }
  bool get_times(platform::FileTimes& times) override { return inner_.get_times(times); }
  bool set_times(const platform::FileTimes& times) override { return inner_.set_times(times); }

 private:
  bool fail() {
    platform::set_last_error(faults_.error);
    return false;
  }
  platform::OpenFile& inner_;
  Faults faults_;
  int reads_ = 0, writes_ = 0, seeks_ = 0;
};

// Reproducible bytes that differ from position to position.
std::string sample(std::size_t n, std::uint32_t seed) {
  std::string out(n, '\0');
  std::uint32_t x = seed * 2654435761u + 1u;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return out;
}

// One cipher call over one piece, straight from the primitives.
std::string encipher_piece(const std::string& piece, std::uint32_t algorithm, const std::string& key) {
  std::string out(piece.size(), '\0');
  auto* in = reinterpret_cast<const std::uint8_t*>(piece.data());
  auto* to = reinterpret_cast<std::uint8_t*>(out.data());
  const auto n = static_cast<std::uint32_t>(piece.size());
  if (algorithm == kAlgorithmBody) {
    EXPECT_TRUE(crypto::body_encrypt(n, make_body_key(key).data(), in, to));
  } else {
    EXPECT_EQ(crypto::record_cipher(n, key.c_str(), in, to, crypto::kRecordEncipher), 0);
  }
  return out;
}

std::string decipher_piece(const std::string& piece, std::uint32_t algorithm, const std::string& key) {
  std::string out(piece.size(), '\0');
  auto* in = reinterpret_cast<const std::uint8_t*>(piece.data());
  auto* to = reinterpret_cast<std::uint8_t*>(out.data());
  const auto n = static_cast<std::uint32_t>(piece.size());
  if (algorithm == kAlgorithmBody) {
    EXPECT_TRUE(crypto::body_decrypt(n, make_body_key(key).data(), in, to));
  } else {
    EXPECT_EQ(crypto::record_cipher(n, key.c_str(), in, to, crypto::kRecordDecipher), 0);
  }
  return out;
}

// The body as the plain loop makes it: pieces of `chunk` bytes, the first
// short one (possibly empty) the last, with the filler, one call each.
std::string reference_body(const std::string& plain, const std::string& filler, std::uint32_t algorithm,
                           const std::string& key, std::size_t chunk) {
  std::string body;
  for (std::size_t at = 0;; at += chunk) {
    std::string piece = plain.substr(std::min(at, plain.size()), chunk);
    const bool last = piece.size() < chunk;
    if (last) piece += filler;
    body += encipher_piece(piece, algorithm, key);
    if (last) return body;
  }
}

std::string reference_cp3(const std::string& plain, const std::string& filler, std::uint32_t algorithm,
                          const std::string& key) {
  std::uint8_t digest[16] = {};
  if (!plain.empty())
    crypto::md5_digest(reinterpret_cast<const std::uint8_t*>(plain.data()), std::min<std::size_t>(plain.size(), kChunkSize),
                       digest);
  InfoBlock info;
  info.algorithm = algorithm;
  store_digest(digest, info.digest);
  KeyCheck check{};
  EXPECT_TRUE(make_key_check(key, check));
  const auto table = encode(OffsetTable{});
  const auto block = encode(info);
  return std::string(table.begin(), table.end()) + std::string(block.begin(), block.end()) +
         std::string(check.begin(), check.end()) + reference_body(plain, filler, algorithm, key, kChunkSize);
}

// The filler the writer drew: the end of its deciphered last chunk.
std::string filler_of(const std::string& cp3, std::size_t plain_size, std::uint32_t algorithm) {
  const std::size_t last_chunk = kBodyOffset + plain_size / kChunkSize * kChunkSize;
  const std::string last = decipher_piece(cp3.substr(last_chunk), algorithm, kKey);
  return last.substr(last.size() - filler_length(algorithm));
}

struct Written {
  bool ok = false;
  StepFailure failure;
  std::string bytes;
};

Written encrypt(const std::string& plain, std::uint32_t algorithm, ChunkObserver* observer = nullptr,
                FaultyFile::Faults plain_faults = {}, FaultyFile::Faults out_faults = {}) {
  MemoryFile source(plain), out;
  FaultyFile faulty_source(source, plain_faults), faulty_out(out, out_faults);
  Written w;
  w.ok = write_cp3(faulty_source, plain.size(), faulty_out, {kKey, algorithm, false}, observer, w.failure);
  w.bytes = out.bytes();
  return w;
}

Written decrypt(const std::string& cp3, ChunkObserver* observer = nullptr, FaultyFile::Faults source_faults = {},
                FaultyFile::Faults out_faults = {}) {
  MemoryFile source(cp3), out;
  Written w;
  Cp3Header header;
  if (!read_cp3_header(source, header, w.failure)) {
    ADD_FAILURE() << w.failure.message;
    return w;
  }
  FaultyFile faulty_source(source, source_faults), faulty_out(out, out_faults);
  w.ok = read_cp3_body(faulty_source, cp3.size(), header, kKey, faulty_out, observer, w.failure);
  w.bytes = out.bytes();
  return w;
}

// A cp2 file: 20-byte header, the key check, the body in pieces of `chunk`.
std::string make_cp2(const std::string& plain, std::uint32_t chunk, std::uint32_t mode, const std::string& personal) {
  std::string header(20, '\0');
  for (int i = 0; i < 4; ++i) {
    header[4 + i] = static_cast<char>(chunk >> (8 * i));
    header[8 + i] = static_cast<char>(mode >> (8 * i));
  }
  return header + encipher_piece(personal, kAlgorithmRecord, personal) +
         reference_body(plain, mode == 1 ? "0A1B2C3" : "", kAlgorithmRecord, personal, chunk);
}

Written decrypt_cp2(const std::string& cp2, const std::string& personal, ChunkObserver* observer = nullptr,
                    FaultyFile::Faults source_faults = {}, FaultyFile::Faults out_faults = {}) {
  MemoryFile source(cp2), out;
  Written w;
  Cp2Header header;
  if (!read_cp2_header(source, header, w.failure)) {
    ADD_FAILURE() << w.failure.message;
    return w;
  }
  FaultyFile faulty_source(source, source_faults), faulty_out(out, out_faults);
  w.ok = read_cp2_body(faulty_source, cp2.size(), header, personal, faulty_out, observer, w.failure);
  w.bytes = out.bytes();
  return w;
}

// Records the progress it is told; asks to stop before chunk `stop_before`
// (from 1; 0 never).
class Observer final : public ChunkObserver {
 public:
  explicit Observer(int stop_before = 0) : stop_before_(stop_before) {}
  void chunk_starting(int percent) override { told.push_back(percent); }
  bool stop_requested() override { return static_cast<int>(told.size()) == stop_before_; }
  std::vector<int> told;

 private:
  int stop_before_;
};

std::vector<int> progress_until(int chunks, std::uint64_t total) {
  std::vector<int> out;
  for (int i = 1; i <= chunks; ++i) out.push_back(progress_percent(static_cast<std::uint64_t>(i), kChunkSize, total));
  return out;
}

TEST(Cp3Codec, WritesOneCipherCallPerChunkAndReadsEverySizeBack) {
  const std::size_t sizes[] = {0,           1,          15,         16,
                               kChunkSize - 15, kChunkSize - 7, kChunkSize - 5, kChunkSize,
                               kChunkSize + 1,  3 * kChunkSize + 12345, 4 * kChunkSize};
  for (const std::uint32_t algorithm : {kAlgorithmRecord, kAlgorithmBody}) {
    for (const std::size_t size : sizes) {
      SCOPED_TRACE("algorithm " + std::to_string(algorithm) + ", " + std::to_string(size) + " bytes");
      const std::string plain = sample(size, static_cast<std::uint32_t>(size) + algorithm);
      const Written w = encrypt(plain, algorithm);
      ASSERT_TRUE(w.ok) << w.failure.message;
      ASSERT_EQ(w.bytes.size(), kBodyOffset + size + filler_length(algorithm));
      const std::string filler = filler_of(w.bytes, size, algorithm);
      EXPECT_EQ(filler.find_first_not_of("ABCDEF0123456789"), std::string::npos) << filler;
      EXPECT_TRUE(w.bytes == reference_cp3(plain, filler, algorithm, kKey));

      const Written back = decrypt(w.bytes);
      ASSERT_TRUE(back.ok) << back.failure.message;
      EXPECT_TRUE(back.bytes == plain);
    }
  }
}

TEST(Cp3Codec, ReadsBodiesCutIntoPiecesOfAnyStoredSize) {
  // Many small pieces keep every slot of the ring busy; a remainder close to
  // the piece size makes a last piece that spills into one more read.
  constexpr std::uint32_t kPiece = 4096;
  for (const std::size_t size : {std::size_t{73} * kPiece + 992, std::size_t{73} * kPiece + 4090,
                                 std::size_t{40} * kPiece}) {
    const std::string plain = sample(size, 7);
    for (const std::uint32_t algorithm : {kAlgorithmRecord, kAlgorithmBody}) {
      SCOPED_TRACE("cp3, algorithm " + std::to_string(algorithm) + ", " + std::to_string(size) + " bytes");
      InfoBlock info;
      info.algorithm = algorithm;
      info.chunk_size = kPiece;
      KeyCheck check{};
      ASSERT_TRUE(make_key_check(kKey, check));
      const auto table = encode(OffsetTable{});
      const auto block = encode(info);
      const std::string cp3 = std::string(table.begin(), table.end()) + std::string(block.begin(), block.end()) +
                              std::string(check.begin(), check.end()) +
                              reference_body(plain, std::string(filler_length(algorithm), 'F'), algorithm, kKey, kPiece);
      const Written back = decrypt(cp3);
      ASSERT_TRUE(back.ok) << back.failure.message;
      EXPECT_TRUE(back.bytes == plain);
    }
    for (const std::uint32_t mode : {0u, 1u}) {
      SCOPED_TRACE("cp2, mode " + std::to_string(mode) + ", " + std::to_string(size) + " bytes");
      const Written back = decrypt_cp2(make_cp2(plain, kPiece, mode, "PK123456"), "PK123456");
      ASSERT_TRUE(back.ok) << back.failure.message;
      EXPECT_TRUE(back.bytes == plain);
    }
  }
}

TEST(Cp3Codec, StopsBetweenChunksWithResult200) {
  const std::string plain = sample(5 * kChunkSize + 1000, 3);
  for (const std::uint32_t algorithm : {kAlgorithmRecord, kAlgorithmBody}) {
    const std::string cp3 = encrypt(plain, algorithm).bytes;
    for (const int stop_before : {1, 3, 6}) {
      SCOPED_TRACE("algorithm " + std::to_string(algorithm) + ", stop before chunk " + std::to_string(stop_before));
      Observer writing(stop_before);
      const Written w = encrypt(plain, algorithm, &writing);
      EXPECT_FALSE(w.ok);
      EXPECT_EQ(w.failure.result, kResultStopped);
      EXPECT_EQ(w.failure.message, "");
      EXPECT_EQ(writing.told, progress_until(stop_before, plain.size()));

      Observer reading(stop_before);
      const Written r = decrypt(cp3, &reading);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.failure.result, kResultStopped);
      EXPECT_EQ(reading.told, progress_until(stop_before, cp3.size()));
    }
  }
  // Not stopped: told once before every chunk, the last one included.
  Observer whole;
  EXPECT_TRUE(encrypt(plain, kAlgorithmBody, &whole).ok);
  EXPECT_EQ(whole.told, progress_until(6, plain.size()));
}

// The first failing step in file order decides, exactly as in a loop that
// reads, enciphers and writes one chunk at a time; what that loop would have
// written before it is on the output.
TEST(Cp3Codec, ReportsTheFirstFailingStepInFileOrder) {
  enum class Run { encrypt, decrypt_cp3, decrypt_cp2 };
  struct Case {
    const char* label;
    Run run;
    FaultyFile::Faults source;
    FaultyFile::Faults out;
    int stop_before;
    const char* first_line;  // null: stopped
    platform::ErrorCode code;
    std::uint64_t chunks_written;
  };
  using F = FaultyFile::Faults;
  constexpr platform::ErrorCode kNotReady = platform::error::not_ready;
  constexpr platform::ErrorCode kDiskFull = platform::error::disk_full;
  // The writer's plain file: read 1 and seek 1 are the digest's; chunk k is
  // read k + 1 and seek k + 1. Its output: 3 header writes and seeks, then
  // chunk k is write k + 3 and seek k + 3.
  // A reader's source: seek 1 goes to the body; chunk k is read k and seek
  // k + 1. Its output: chunk k is write k and seek k.
  const Case cases[] = {
      {"read of chunk 3", Run::encrypt, F{4, 0, 0, kNotReady}, F{}, 0, "ファイルの読込みに失敗しました。<2>", kNotReady, 2},
      {"read of the short last chunk", Run::encrypt, F{7, 0, 0, kNotReady}, F{}, 0,
       "ファイルの読込みに失敗しました。<2>", kNotReady, 5},
      {"seek after reading chunk 4", Run::encrypt, F{0, 0, 5, kNotReady}, F{}, 0, "ファイル操作に失敗しました。<4>",
       kNotReady, 3},
      {"write of chunk 3", Run::encrypt, F{}, F{0, 6, 0, kDiskFull}, 0, "ファイルの書き込みに失敗しました。<2>",
       kDiskFull, 2},
      {"seek after writing chunk 1", Run::encrypt, F{}, F{0, 0, 4, kDiskFull}, 0, "ファイル操作に失敗しました。<5>",
       kDiskFull, 1},
      {"write of chunk 2 before a read error of chunk 3", Run::encrypt, F{4, 0, 0, kNotReady}, F{0, 5, 0, kDiskFull},
       0, "ファイルの書き込みに失敗しました。<2>", kDiskFull, 1},
      {"write of chunk 3 before a stop", Run::encrypt, F{}, F{0, 6, 0, kDiskFull}, 4,
       "ファイルの書き込みに失敗しました。<2>", kDiskFull, 2},
      {"stop before chunk 4", Run::encrypt, F{}, F{}, 4, nullptr, 0, 3},
      {"cp3 read of chunk 3", Run::decrypt_cp3, F{3, 0, 0, kNotReady}, F{}, 0, "ファイルの読込みに失敗しました。<11>",
       kNotReady, 2},
      {"cp3 seek to the body", Run::decrypt_cp3, F{0, 0, 1, kNotReady}, F{}, 0, "ファイル操作に失敗しました。<13>",
       kNotReady, 0},
      {"cp3 seek after reading chunk 2, which is still written", Run::decrypt_cp3, F{0, 0, 3, kNotReady}, F{}, 0,
       "ファイル操作に失敗しました。<14>", kNotReady, 2},
      {"cp3 write of chunk 4", Run::decrypt_cp3, F{}, F{0, 4, 0, kDiskFull}, 0,
       "ファイルの書き込みに失敗しました。<11>", kDiskFull, 3},
      {"cp3 seek after writing chunk 2", Run::decrypt_cp3, F{}, F{0, 0, 2, kDiskFull}, 0,
       "ファイル操作に失敗しました。<15>", kDiskFull, 2},
      {"cp3 write of chunk 2 before a read error of chunk 3", Run::decrypt_cp3, F{3, 0, 0, kNotReady},
       F{0, 2, 0, kDiskFull}, 0, "ファイルの書き込みに失敗しました。<11>", kDiskFull, 1},
      {"cp2 read of chunk 5", Run::decrypt_cp2, F{5, 0, 0, kNotReady}, F{}, 0, "ファイルの読込みに失敗しました。<9>",
       kNotReady, 4},
      {"cp2 write of chunk 1", Run::decrypt_cp2, F{}, F{0, 1, 0, kDiskFull}, 0,
       "ファイルの書き込みに失敗しました。<7>", kDiskFull, 0},
  };
  const std::string plain = sample(5 * kChunkSize + 1000, 11);
  const std::string cp2 = make_cp2(plain, kChunkSize, 1, "PK123456");
  for (const std::uint32_t algorithm : {kAlgorithmRecord, kAlgorithmBody}) {
    const std::string cp3 = encrypt(plain, algorithm).bytes;
    for (const Case& c : cases) {
      if (c.run == Run::decrypt_cp2 && algorithm != kAlgorithmRecord) continue;
      SCOPED_TRACE(std::string(c.label) + ", algorithm " + std::to_string(algorithm));
      Observer observer(c.stop_before);
      Written w;
      std::uint64_t header = 0;
      switch (c.run) {
        case Run::encrypt:
          w = encrypt(plain, algorithm, &observer, c.source, c.out);
          header = kBodyOffset;
          break;
        case Run::decrypt_cp3: w = decrypt(cp3, &observer, c.source, c.out); break;
        case Run::decrypt_cp2: w = decrypt_cp2(cp2, "PK123456", &observer, c.source, c.out); break;
      }
      EXPECT_FALSE(w.ok);
      if (c.first_line == nullptr) {
        EXPECT_EQ(w.failure.result, kResultStopped);
        EXPECT_EQ(w.failure.message, "");
      } else {
        EXPECT_EQ(w.failure.result, -2);
        EXPECT_EQ(w.failure.message, compose_error_text(c.first_line, static_cast<std::int32_t>(c.code)));
      }
      EXPECT_EQ(w.bytes.size(), header + c.chunks_written * kChunkSize);
    }
  }
}

TEST(Cp3Codec, ReportsACipherThatRefusesItsKeyAndWritesNothing) {
  // A key string of 9 characters is refused by the record cipher.
  const std::string plain = sample(3 * kChunkSize + 5, 5);
  const Written w = decrypt_cp2(make_cp2(plain, kChunkSize, 1, "PK123456"), "PK1234567");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.failure.result, -10);
  EXPECT_EQ(w.failure.message.rfind("ファイルの復号化に失敗しました。<4>：", 0), 0u) << w.failure.message;
  EXPECT_EQ(w.bytes, "");
}

}  // namespace
}  // namespace kestrove::conversion
