// Per-chunk cost of the body and record ciphers and the digest, and the
// throughput of whole-body conversion between files held in memory (no disk,
// so what is left is the cipher work and the pipeline around it).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "conversion/cp3_codec.h"
#include "conversion/cp3_format.h"
#include "crypto/body_cipher.h"
#include "crypto/digest.h"
#include "crypto/interleaved_body_encryptor.h"
#include "crypto/record_cipher.h"

namespace {

using namespace kestrove;

constexpr std::size_t kChunk = conversion::kChunkSize;
constexpr char kKey[] = "ABCDEFGH";

std::vector<std::uint8_t> chunk_of_bytes() {
  std::vector<std::uint8_t> bytes(kChunk);
  std::uint32_t x = 12345;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return bytes;
}

// A reused context, as each conversion thread holds one.
template <typename Cipher, bool Encrypt>
void cipher_context(benchmark::State& state, Cipher& cipher) {
  auto data = chunk_of_bytes();
  for (auto _ : state) {
    const bool ok = Encrypt ? cipher.encrypt(data.data(), data.data(), kChunk)
                            : cipher.decrypt(data.data(), data.data(), kChunk);
    if (!ok) state.SkipWithError("cipher failed");
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}

template <bool Encrypt>
void BM_BodyCipher(benchmark::State& state) {
  crypto::BodyCipher cipher;
  const auto key = conversion::make_body_key(kKey);
  if (!cipher.set_key(key.data())) return state.SkipWithError("no key");
  cipher_context<crypto::BodyCipher, Encrypt>(state, cipher);
}
BENCHMARK(BM_BodyCipher<true>)->Name("BodyCipher/encrypt_chunk");
BENCHMARK(BM_BodyCipher<false>)->Name("BodyCipher/decrypt_chunk");

// A row of whole chunks enciphered as independent chains: one after another
// through the library's CBC, against interleaved a block of each at a time.
void BM_BodyChainsSerial(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  crypto::BodyCipher cipher;
  const auto key = conversion::make_body_key(kKey);
  if (!cipher.set_key(key.data())) return state.SkipWithError("no key");
  std::vector<std::vector<std::uint8_t>> chunks(count, chunk_of_bytes());
  for (auto _ : state) {
    for (auto& c : chunks)
      if (!cipher.encrypt(c.data(), c.data(), kChunk)) state.SkipWithError("cipher failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * count * kChunk));
}
BENCHMARK(BM_BodyChainsSerial)->Name("BodyCipher/encrypt_chunks_serial")->Arg(8);

void BM_BodyChainsInterleaved(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  crypto::InterleavedBodyEncryptor cipher;
  const auto key = conversion::make_body_key(kKey);
  if (!cipher.set_key(key.data())) return state.SkipWithError("no key");
  std::vector<std::vector<std::uint8_t>> chunks(count, chunk_of_bytes());
  std::vector<crypto::BodyChain> chains;
  for (auto& c : chunks) chains.push_back({c.data(), kChunk});
  for (auto _ : state) {
    if (!cipher.encrypt(chains)) state.SkipWithError("cipher failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * count * kChunk));
}
BENCHMARK(BM_BodyChainsInterleaved)->Name("BodyCipher/encrypt_chunks_interleaved")->Arg(2)->Arg(4)->Arg(8)->Arg(16);

template <bool Encrypt>
void BM_RecordCipher(benchmark::State& state) {
  crypto::RecordCipher cipher;
  if (!cipher.set_key(kKey)) return state.SkipWithError("no key");
  cipher_context<crypto::RecordCipher, Encrypt>(state, cipher);
}
BENCHMARK(BM_RecordCipher<true>)->Name("RecordCipher/encrypt_chunk");
BENCHMARK(BM_RecordCipher<false>)->Name("RecordCipher/decrypt_chunk");

// The one-call forms, which key a fresh context every time.
void BM_BodyEncryptOneCall(benchmark::State& state) {
  auto data = chunk_of_bytes();
  std::vector<std::uint8_t> out(kChunk);
  const auto key = conversion::make_body_key(kKey);
  for (auto _ : state) {
    if (!crypto::body_encrypt(kChunk, key.data(), data.data(), out.data())) state.SkipWithError("cipher failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_BodyEncryptOneCall)->Name("body_encrypt/one_call_per_chunk");

void BM_RecordEncryptOneCall(benchmark::State& state) {
  auto data = chunk_of_bytes();
  std::vector<std::uint8_t> out(kChunk);
  for (auto _ : state) {
    if (crypto::record_cipher(kChunk, kKey, data.data(), out.data(), crypto::kRecordEncipher) != 0)
      state.SkipWithError("cipher failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_RecordEncryptOneCall)->Name("record_cipher/one_call_per_chunk");

void BM_Md5(benchmark::State& state) {
  const auto data = chunk_of_bytes();
  std::uint8_t digest[crypto::kDigestSize];
  for (auto _ : state) {
    crypto::md5_digest(data.data(), kChunk, digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_Md5)->Name("md5/chunk");

// A file in memory for the whole-body runs.
class MemoryFile final : public platform::OpenFile {
 public:
  explicit MemoryFile(std::vector<std::uint8_t> bytes = {}) : bytes_(std::move(bytes)) {}
  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
    const std::uint64_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    got = static_cast<std::uint32_t>(left < size ? left : size);
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
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  void rewind() { position_ = 0; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

std::vector<std::uint8_t> plain_of(std::size_t chunks) {
  const auto one = chunk_of_bytes();
  std::vector<std::uint8_t> plain;
  plain.reserve(chunks * kChunk + 1000);
  for (std::size_t i = 0; i < chunks; ++i) plain.insert(plain.end(), one.begin(), one.end());
  plain.insert(plain.end(), one.begin(), one.begin() + 1000);
  return plain;
}

void BM_WriteCp3(benchmark::State& state) {
  const auto algorithm = static_cast<std::uint32_t>(state.range(0));
  MemoryFile plain(plain_of(static_cast<std::size_t>(state.range(1))));
  const std::uint64_t size = plain.bytes().size();
  MemoryFile out;
  out.bytes().reserve(size + 100);
  for (auto _ : state) {
    plain.rewind();
    out.rewind();
    conversion::StepFailure failure;
    if (!conversion::write_cp3(plain, size, out, {kKey, algorithm, false}, nullptr, failure))
      state.SkipWithError("write_cp3 failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WriteCp3)->Name("write_cp3/in_memory")->Args({2, 64})->Args({1, 16})->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ReadCp3Body(benchmark::State& state) {
  const auto algorithm = static_cast<std::uint32_t>(state.range(0));
  MemoryFile plain(plain_of(static_cast<std::size_t>(state.range(1))));
  MemoryFile cp3;
  conversion::StepFailure failure;
  if (!conversion::write_cp3(plain, plain.bytes().size(), cp3, {kKey, algorithm, false}, nullptr, failure))
    return state.SkipWithError("write_cp3 failed");
  conversion::Cp3Header header;
  if (!conversion::read_cp3_header(cp3, header, failure)) return state.SkipWithError("header");
  MemoryFile out;
  out.bytes().reserve(plain.bytes().size());
  for (auto _ : state) {
    cp3.rewind();
    out.rewind();
    if (!conversion::read_cp3_body(cp3, cp3.bytes().size(), header, kKey, out, nullptr, failure))
      state.SkipWithError("read_cp3_body failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.bytes().size()));
}
BENCHMARK(BM_ReadCp3Body)->Name("read_cp3_body/in_memory")->Args({2, 64})->Args({1, 16})->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
