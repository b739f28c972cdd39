#include <gtest/gtest.h>

#include <cstring>

#include "conversion/cp3_codec.h"
#include "conversion/cp3_format.h"
#include "crypto/digest.h"
#include "crypto/record_cipher.h"
#include "support/temp_folder.h"

namespace kestrove::conversion {
namespace {

using platform::FileAccess;
using platform::FileCreation;
using testing::TempFolder;

platform::File open_read(const platform::Path& p) {
  return platform::system_file_system().open(p, FileAccess::read, FileCreation::open_existing, platform::share::read);
}

// Writes `plain` as a cp3 file with cp3tool's own writer and returns its bytes.
std::string encrypt(const TempFolder& t, const std::string& plain, const std::string& key, std::uint32_t algorithm) {
  t.write_file("plain.bin", plain);
  auto in = open_read(t / "plain.bin");
  auto out = platform::system_file_system().open(t / "out.cp3", FileAccess::write, FileCreation::create_always,
                                                 platform::share::none);
  StepFailure failure;
  EXPECT_TRUE(write_cp3(*in, plain.size(), *out, {key, algorithm, false}, nullptr, failure)) << failure.message;
  out.reset();
  return t.read_file("out.cp3");
}

TEST(Cp3Header, EncodesTheFixedLayout) {
  OffsetTable table;
  InfoBlock info;
  info.algorithm = 2;
  info.is_group = 1;
  info.digest[0] = 0xAB;
  const auto t = encode(table);
  const auto i = encode(info);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.data()), 16), std::string("CP30\x10\0\0\0\x44\0\0\0\x4C\0\0\0", 16));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(i.data()), 21),
            std::string("\x02\0\0\0\x08\0\0\0\0\0\x08\0\x01\0\0\0\0\0\x08\0\xAB", 21));
  const InfoBlock back = decode_info_block(i.data());
  EXPECT_EQ(back.chunk_size, kChunkSize);
  EXPECT_EQ(back.is_group, 1u);
}

TEST(Cp3Digest, IsAZeroTerminatedStringComparedUpToItsEnd) {
  const std::uint8_t digest[16] = {1, 2, 3, 0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::array<std::uint8_t, 32> field{};
  store_digest(digest, field);
  EXPECT_EQ(field[2], 3);
  EXPECT_EQ(field[3], 0);
  EXPECT_EQ(field[4], 0);  // nothing after the first zero byte is stored
  EXPECT_TRUE(digests_match(field, digest));
  std::uint8_t other[16];
  std::memcpy(other, digest, 16);
  other[7] = 99;  // beyond the stored string: not compared
  EXPECT_TRUE(digests_match(field, other));
  other[1] = 99;
  EXPECT_FALSE(digests_match(field, other));
}

TEST(Cp3File, EmptyPlainFilesHaveTheFillerInPlainAndNoDigest) {
  TempFolder t;
  for (std::uint32_t algorithm : {1u, 2u}) {
    const std::string file = encrypt(t, "", "ABCDEFGH", algorithm);
    ASSERT_EQ(file.size(), algorithm == 2 ? 91u : 83u);
    EXPECT_EQ(file.substr(36, 32), std::string(32, '\0'));
    EXPECT_EQ(file.substr(76).find_first_not_of("ABCDEF0123456789"), std::string::npos);
  }
}

TEST(FindFileKey, TakesTheFirstKeyWhoseCheckFitsInOrder) {
  KeyCheck check{};
  ASSERT_TRUE(make_key_check("GROUPKEY", check));
  const std::string keys[] = {"PERSONAL", "OTHERKEY", "GROUPKEY", "GROUPKEY"};
  std::size_t index = 99;
  EXPECT_EQ(find_file_key(check, keys, index), 1);
  EXPECT_EQ(index, 2u);
  const std::string none[] = {"PERSONAL"};
  EXPECT_EQ(find_file_key(check, none, index), 0);
  // Two keys that differ only in bit 7 form the same DES key: the first wins.
  const std::string twins[] = {"GROUPKEY", "GROUPKEY"};
  EXPECT_EQ(find_file_key(check, twins, index), 1);
  EXPECT_EQ(index, 0u);
}

TEST(Cp3Reader, ReadsAFileWhateverItsMagicAndChecksTheFirstChunk) {
  TempFolder t;
  std::string plain(524288 - 5, 'p');
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(i * 7);
  std::string file = encrypt(t, plain, "ABCDEFGH", 2);
  ASSERT_EQ(file.size(), 76u + plain.size() + 15);
  file.replace(0, 4, "XXXX");
  t.write_file("x.cp3", file);

  auto in = open_read(t / "x.cp3");
  Cp3Header header;
  StepFailure failure;
  ASSERT_TRUE(read_cp3_header(*in, header, failure)) << failure.message;
  EXPECT_EQ(verify_first_chunk(*in, "ABCDEFGH", header, file.size()), 1);
  EXPECT_EQ(verify_first_chunk(*in, "ABCDEFGX", header, file.size()), 0);

  // The digest covers exactly the plain part of the first piece.
  std::uint8_t digest[16];
  crypto::md5_digest(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size(), digest);
  EXPECT_TRUE(digests_match(header.info.digest, digest));

  auto out = platform::system_file_system().open(t / "back.bin", FileAccess::write, FileCreation::create_new,
                                                 platform::share::none);
  ASSERT_TRUE(read_cp3_body(*in, file.size(), header, "ABCDEFGH", *out, nullptr, failure)) << failure.message;
  out.reset();
  EXPECT_EQ(t.read_file("back.bin"), plain);
}

TEST(Cp3Reader, RefusesHeadersThatCannotDescribeAFile) {
  TempFolder t;
  const std::string good = encrypt(t, std::string(1000, 'a'), "ABCDEFGH", 1);
  auto patched = [&](std::size_t offset, std::uint32_t value) {
    std::string f = good;
    for (int i = 0; i < 4; ++i) f[offset + i] = static_cast<char>(value >> (8 * i));
    return f;
  };
  struct Case {
    const char* label;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"nothing", "", "変換元ファイル(ヘッダー部分)が読めません。"},
      {"cut offset table", good.substr(0, 15), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"cut info block", good.substr(0, 67), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"cut key check", good.substr(0, 75), "暗号ファイルは他の人が作成したか、またはファイル内容が変更されています。"},
      {"chunk size 0", patched(24, 0), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"chunk size 4 GB", patched(24, 0xFFFFFFF8u), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"chunk size not whole blocks", patched(24, 524289), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"body past the end", patched(12, 0x7FFFFFFF), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"info block past the end", patched(4, 0xFFFFFFF0u), "変換元ファイル(ヘッダー部分)が読めません。"},
      {"body shorter than the filler", good.substr(0, 80), "変換元ファイル(ヘッダー部分)が読めません。"},
  };
  for (const auto& c : cases) {
    t.write_file("bad.cp3", c.bytes);
    auto in = open_read(t / "bad.cp3");
    Cp3Header header;
    StepFailure failure;
    EXPECT_FALSE(read_cp3_header(*in, header, failure)) << c.label;
    EXPECT_EQ(failure.result, -2) << c.label;
    EXPECT_EQ(failure.message, c.message) << c.label;
  }
}

TEST(Cp2Reader, OpensOnlyUnderThePersonalKey) {
  TempFolder t;
  const std::string personal = "ZQ123456";
  std::string file(20, '\0');
  file[5] = 0x08;  // chunk size 524288
  file[8] = 1;     // mode 1: 7 filler bytes
  std::uint8_t check[8];
  crypto::record_cipher(8, personal.c_str(), reinterpret_cast<const std::uint8_t*>(personal.data()), check,
                        crypto::kRecordEncipher);
  file.append(reinterpret_cast<const char*>(check), 8);
  std::string body = "seventeen bytes!!" + std::string("FILLER7");
  std::string cipher(body.size(), '\0');
  crypto::record_cipher(static_cast<std::uint32_t>(body.size()), personal.c_str(),
                        reinterpret_cast<const std::uint8_t*>(body.data()), reinterpret_cast<std::uint8_t*>(cipher.data()),
                        crypto::kRecordEncipher);
  t.write_file("old.cp2", file + cipher);

  auto in = open_read(t / "old.cp2");
  Cp2Header header;
  StepFailure failure;
  ASSERT_TRUE(read_cp2_header(*in, header, failure)) << failure.message;
  EXPECT_EQ(header.mode, 1u);
  EXPECT_EQ(check_cp2_key(header.key_check, personal), 1);
  EXPECT_EQ(check_cp2_key(header.key_check, "ZQ654321"), 0);
  auto out = platform::system_file_system().open(t / "old.bin", FileAccess::write, FileCreation::create_new,
                                                 platform::share::none);
  ASSERT_TRUE(read_cp2_body(*in, 28 + cipher.size(), header, personal, *out, nullptr, failure)) << failure.message;
  out.reset();
  EXPECT_EQ(t.read_file("old.bin"), "seventeen bytes!!");

  t.write_file("short.cp2", file.substr(0, 24));
  auto cut = open_read(t / "short.cp2");
  EXPECT_FALSE(read_cp2_header(*cut, header, failure));
  EXPECT_EQ(failure.message, "変換元ファイル(先頭部分)が読めません。");
}

}  // namespace
}  // namespace kestrove::conversion
