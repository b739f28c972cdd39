#include "conversion/cp3_codec.h"

#include <cstdio>
#include <cstring>

#include "conversion/chunk_pipeline.h"
#include "conversion/error_text.h"
#include "conversion/file_operations.h"
#include "conversion/piece_cipher.h"

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

// A failed allocation anywhere in a conversion ends it as memory exhausted
// rather than leaving the worker by an exception.
template <typename Run>
bool without_exceptions(StepFailure& failure, const char* no_memory, Run run) noexcept {
  try {
    return run();
  } catch (...) {
    failure.result = -1;
    try {
      failure.message = no_memory;
    } catch (...) {
    }
    return false;
  }
}

constexpr const char* kWriterNoMemory = "メモリ領域の確保に失敗しました。<13>";
constexpr const char* kReaderNoMemory = "メモリ領域の確保に失敗しました。<20>";

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

// Asks the observer before piece `index`; true when the user stopped.
bool stopped_before(ChunkObserver* observer, std::uint64_t index, std::uint64_t total, StepFailure& failure) {
  if (observer == nullptr) return false;
  observer->chunk_starting(progress_percent(index + 1, kChunkSize, total));
  if (!observer->stop_requested()) return false;
  fail(failure, kResultStopped, "");
  return true;
}

// The body of a cp3 file: chunks of 524288 bytes, the first short read the
// last chunk, which carries the filler.
class EncryptSteps final : public PieceSteps {
 public:
  EncryptSteps(platform::OpenFile& plain, std::uint64_t plain_size, platform::OpenFile& out, std::string filler,
               ChunkObserver* observer)
      : plain_(plain), plain_size_(plain_size), out_(out), filler_(std::move(filler)), observer_(observer) {}

  Read read_piece(std::uint64_t index, std::uint8_t* buffer, std::uint32_t& length, StepFailure& failure) override {
    if (stopped_before(observer_, index, plain_size_, failure)) return Read::failed;
    std::uint32_t n = 0;
    if (!plain_.read(buffer, kChunkSize, n)) {
      // End of file reported as an error still ends in a proper last chunk,
      // so that the file can be read back.
      if (platform::last_error() != platform::error::handle_eof) {
        fail_with_error(failure, "ファイルの読込みに失敗しました。<2>");
        return Read::failed;
      }
      n = 0;
    }
    read_total_ += n;
    if (!plain_.seek(read_total_)) {
      fail_with_error(failure, "ファイル操作に失敗しました。<4>");
      return Read::failed;
    }
    length = n;
    if (n == kChunkSize) return Read::piece;
    std::memcpy(buffer + n, filler_.data(), filler_.size());
    length += static_cast<std::uint32_t>(filler_.size());
    return Read::last_piece;
  }

  bool write_piece(std::uint64_t, const std::uint8_t* data, std::uint32_t length, bool transformed,
                   StepFailure& failure) override {
    if (!transformed) return fail_cipher(failure, "ファイルの暗号化に失敗しました。<2>：%d");
    if (!out_.write(data, length)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<2>");
    written_total_ += length;
    if (!out_.seek(kBodyOffset + written_total_)) return fail_with_error(failure, "ファイル操作に失敗しました。<5>");
    return true;
  }

 private:
  platform::OpenFile& plain_;
  std::uint64_t plain_size_;
  platform::OpenFile& out_;
  std::string filler_;
  ChunkObserver* observer_;
  std::uint64_t read_total_ = 0;
  std::uint64_t written_total_ = 0;
};

// The layout of an enciphered body being read back.
struct BodyLayout {
  std::uint64_t file_size = 0;
  std::uint64_t body_start = 0;
  std::uint32_t chunk_size = 0;
  std::uint32_t filler = 0;

  // Plain bytes still to come once `consumed` body bytes were read.
  std::uint64_t plain_remaining(std::uint64_t consumed) const {
    const std::uint64_t position = body_start + consumed;
    const std::uint64_t remaining = file_size > position ? file_size - position : 0;
    return remaining > filler ? remaining - filler : 0;
  }
};

// An enciphered body read in pieces of `chunk_size` bytes, each deciphered by
// itself, the output cut at the plain size so that the filler is dropped.
class DecryptSteps final : public PieceSteps {
 public:
  DecryptSteps(platform::OpenFile& source, const BodyLayout& layout, const BodyMessages& messages,
               platform::OpenFile& out, ChunkObserver* observer)
      : source_(source), layout_(layout), messages_(messages), out_(out), observer_(observer) {}

  Read read_piece(std::uint64_t index, std::uint8_t* buffer, std::uint32_t& length, StepFailure& failure) override {
    if (stopped_before(observer_, index, layout_.file_size, failure)) return Read::failed;
    const std::uint64_t plain_remaining = layout_.plain_remaining(read_total_);
    std::uint32_t n = 0;
    if (!source_.read(buffer, layout_.chunk_size, n)) {
      if (platform::last_error() == platform::error::handle_eof) return Read::end;
      fail_with_error(failure, messages_.read);
      return Read::failed;
    }
    if (n == 0) return Read::end;
    length = n;
    read_total_ += n;
    if (!source_.seek(layout_.body_start + read_total_)) {
      // This step follows the write of the piece in the plain loop.
      fail_with_error(deferred_failure_, messages_.seek_source);
      deferred_index_ = index;
      has_deferred_ = true;
      return Read::last_piece;
    }
    return plain_remaining <= layout_.chunk_size ? Read::last_piece : Read::piece;
  }

  bool write_piece(std::uint64_t index, const std::uint8_t* data, std::uint32_t length, bool transformed,
                   StepFailure& failure) override {
    if (!transformed) return fail_cipher(failure, messages_.decipher);
    const std::uint64_t plain_remaining = layout_.plain_remaining(written_total_);
    const std::uint32_t keep = plain_remaining < length ? static_cast<std::uint32_t>(plain_remaining) : length;
    if (keep > 0 && !out_.write(data, keep)) return fail_with_error(failure, messages_.write);
    written_total_ += length;
    if (has_deferred_ && deferred_index_ == index) {
      failure = deferred_failure_;
      return false;
    }
    if (!out_.seek(written_total_)) return fail_with_error(failure, messages_.seek_output);
    return true;
  }

 private:
  platform::OpenFile& source_;
  BodyLayout layout_;
  const BodyMessages& messages_;
  platform::OpenFile& out_;
  ChunkObserver* observer_;
  std::uint64_t read_total_ = 0;     // body bytes read
  std::uint64_t written_total_ = 0;  // body bytes whose plain part was written
  bool has_deferred_ = false;
  std::uint64_t deferred_index_ = 0;
  StepFailure deferred_failure_;
};

std::uint64_t pieces_of(std::uint64_t bytes, std::uint32_t piece) { return piece == 0 ? 1 : bytes / piece + 1; }

bool read_body(platform::OpenFile& source, const BodyLayout& layout, const PieceCipherSetup& setup,
               const BodyMessages& messages, platform::OpenFile& out, ChunkObserver* observer,
               StepFailure& failure) {
  const std::uint64_t body = layout.file_size > layout.body_start ? layout.file_size - layout.body_start : 0;
  const std::size_t capacity = std::size_t{layout.chunk_size} + kBufferMargin;
  ChunkPipeline pipeline(setup, capacity, pipeline_shape(setup, pieces_of(body, layout.chunk_size), capacity));
  if (!pipeline.allocate()) return fail(failure, -1, kReaderNoMemory);
  if (!source.seek(layout.body_start)) return fail_with_error(failure, messages.seek_body);
  DecryptSteps steps(source, layout, messages, out, observer);
  return pipeline.run(steps, kReaderNoMemory, failure);
}

bool encrypt_body(platform::OpenFile& plain, std::uint64_t plain_size, platform::OpenFile& out,
                  const EncryptParameters& parameters, ChunkObserver* observer, StepFailure& failure) {
  PieceCipherSetup setup;
  setup.body_cipher = parameters.algorithm == kAlgorithmBody;
  setup.encipher = true;
  setup.body_key = make_body_key(parameters.key);
  setup.key_string = parameters.key.substr(0, 8);
  const std::size_t capacity = kChunkSize + kBufferMargin;
  ChunkPipeline pipeline(setup, capacity, pipeline_shape(setup, pieces_of(plain_size, kChunkSize), capacity));
  if (!pipeline.allocate()) return fail(failure, -1, kWriterNoMemory);

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
  info.algorithm = setup.body_cipher ? kAlgorithmBody : kAlgorithmRecord;
  info.is_group = parameters.is_group ? 1 : 0;
  store_digest(digest, info.digest);
  const auto info_bytes = encode(info);
  if (!out.write(info_bytes.data(), kInfoBlockSize)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<9>");
  if (!out.seek(kKeyCheckOffset)) return fail_with_error(failure, "ファイル操作に失敗しました。<2>");

  KeyCheck check{};
  if (!make_key_check(parameters.key, check)) return fail_cipher(failure, "ファイルの暗号化に失敗しました。<1>：%d");
  if (!out.write(check.data(), kKeyCheckSize)) return fail_with_error(failure, "ファイルの書き込みに失敗しました。<10>");
  if (!out.seek(kBodyOffset)) return fail_with_error(failure, "ファイル操作に失敗しました。<3>");

  EncryptSteps steps(plain, plain_size, out, random_hex_text(filler_length(info.algorithm)), observer);
  return pipeline.run(steps, kWriterNoMemory, failure);
}

}  // namespace

bool write_cp3(platform::OpenFile& plain, std::uint64_t plain_size, platform::OpenFile& out,
               const EncryptParameters& parameters, ChunkObserver* observer, StepFailure& failure) {
  return without_exceptions(failure, kWriterNoMemory,
                            [&] { return encrypt_body(plain, plain_size, out, parameters, observer, failure); });
}

bool read_cp3_body(platform::OpenFile& cp3, std::uint64_t file_size, const Cp3Header& header,
                   const std::string& key, platform::OpenFile& out, ChunkObserver* observer,
                   StepFailure& failure) {
  return without_exceptions(failure, kReaderNoMemory, [&] {
    PieceCipherSetup setup;
    setup.body_cipher = header.info.algorithm == kAlgorithmBody;
    setup.body_key = make_body_key(key);
    setup.key_string = key.substr(0, 8);
    const BodyLayout layout{file_size, header.offsets.body_offset, header.info.chunk_size,
                            filler_length(header.info.algorithm)};
    return read_body(cp3, layout, setup, kCp3Messages, out, observer, failure);
  });
}

bool read_cp2_body(platform::OpenFile& cp2, std::uint64_t file_size, const Cp2Header& header,
                   const std::string& personal_key, platform::OpenFile& out, ChunkObserver* observer,
                   StepFailure& failure) {
  return without_exceptions(failure, kReaderNoMemory, [&] {
    PieceCipherSetup setup;
    setup.key_string = personal_key;
    const BodyLayout layout{file_size, kCp2BodyOffset, header.chunk_size, header.mode == 1 ? 7u : 0u};
    return read_body(cp2, layout, setup, kCp2Messages, out, observer, failure);
  });
}

}  // namespace kestrove::conversion
