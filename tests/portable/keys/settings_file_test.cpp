#include <gtest/gtest.h>

#include <cstring>

#include "crypto/record_cipher.h"
#include "key_test_world.h"
#include "keys/key_scheme.h"
#include "keys/settings_file.h"
#include "keys/triplets.h"

namespace kestrove::testing {
namespace {

using namespace std::string_literals;
using keys::DeviceLock;
using keys::with_device_lock;

TEST(Triplets, EachByteIsThreeDigits) {
  const std::uint8_t bytes[] = {0x00, 0x7F, 0xFF, 0x05};
  EXPECT_EQ(keys::encode_triplets(bytes, 4), "000127255005");
  std::uint8_t back[4] = {};
  EXPECT_TRUE(keys::decode_triplets("000127255005", 4, back));
  EXPECT_EQ(std::memcmp(bytes, back, 4), 0);
}

TEST(Triplets, UntrustedTextNeverReadsPastItsEnd) {
  struct Case {
    const char* text;
    std::uint8_t expected[4];
  };
  const Case cases[] = {
      {"", {0, 0, 0, 0}},
      {"0011", {1, 1, 0, 0}},              // short: a group counts what it has
      {"0010020033", {1, 2, 3, 3}},
      {"999256300", {231, 0, 44, 0}},      // the low 8 bits of the number
      {"1a2xyz-03004", {1, 0, 0, 4}},      // leading digits only
      {"001002003004005", {1, 2, 3, 4}},   // longer: the rest is ignored
  };
  for (const Case& c : cases) {
    const std::string text = c.text;  // exactly its characters, nothing beyond
    std::uint8_t out[5] = {9, 9, 9, 9, 0xEE};
    EXPECT_FALSE(keys::decode_triplets(text, 4, out)) << c.text;
    EXPECT_EQ(std::memcmp(out, c.expected, 4), 0) << c.text;
    EXPECT_EQ(out[4], 0xEE) << c.text;
  }
}

struct SettingsCase {
  const char* label;
  std::string file;
  keys::Settings expected;
};

keys::Settings options(std::int32_t destination, std::int32_t overwrite, std::int32_t subfolders,
                       std::int32_t del, std::int32_t group) {
  keys::Settings s;
  s.choose_destination = destination;
  s.confirm_overwrite = overwrite;
  s.include_subfolders = subfolders;
  s.delete_original = del;
  s.use_group_key = group;
  return s;
}

TEST(ReadOptions, MissingOrEmptyValuesTakeTheirDefaults) {
  const SettingsCase cases[] = {
      {"no OPTION section", "[QEVLINK]\r\nKEYDATA=1\r\n", options(0, 1, 1, 1, 1)},
      {"all zero and one", "[OPTION]\r\nAPPINT_FOLDER=1\r\nOVERWRITECHECK=0\r\nFOLDERALL=0\r\nFILEDEL=0\r\nUSEGROUPKEY=0\r\n",
       options(1, 0, 0, 0, 0)},
      {"empty value", "[OPTION]\r\nFOLDERALL=\r\nOVERWRITECHECK=0\r\n", options(0, 0, 1, 1, 1)},
      {"text without digits", "[OPTION]\r\nFILEDEL=yes\r\nUSEGROUPKEY=12abc\r\n", options(0, 1, 1, 0, 12)},
      {"not an INI file", "\x89PNG\r\n\x1a\n\x00\x00garbage=[[\r\n[OPTION\r\nFILEDEL"s, options(0, 1, 1, 1, 1)},
  };
  for (const SettingsCase& c : cases) {
    KeyTestWorld world;
    world.drives.add('E', DriveKind::removable);
    world.write_settings('E', c.file);
    keys::Settings s = options(7, 7, 7, 7, 7);
    EXPECT_EQ(with_device_lock([&](const DeviceLock& l) { return keys::read_options(l, world.services, "E:\\", s); }), 1);
    EXPECT_EQ(s.choose_destination, c.expected.choose_destination) << c.label;
    EXPECT_EQ(s.confirm_overwrite, c.expected.confirm_overwrite) << c.label;
    EXPECT_EQ(s.include_subfolders, c.expected.include_subfolders) << c.label;
    EXPECT_EQ(s.delete_original, c.expected.delete_original) << c.label;
    EXPECT_EQ(s.use_group_key, c.expected.use_group_key) << c.label;
  }
}

TEST(ReadVersion, TakesTheTextAndTheEncodeTypeOrTheirDefaults) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  keys::Settings s;
  auto read = [&] {
    return with_device_lock([&](const DeviceLock& l) { return keys::read_version(l, world.services, "E:\\", s); });
  };
  world.write_settings('E', "[VERSION]\r\nVERSION=2.10\r\nENCODE_TYPE=2\r\n");
  EXPECT_EQ(read(), 1);
  EXPECT_EQ(s.version, "2.10");
  EXPECT_EQ(s.encode_type, 2);
  world.write_settings('E', "[VERSION]\r\nVERSION=" + std::string(300, 'v') + "\r\n");
  EXPECT_EQ(read(), 1);
  EXPECT_EQ(s.version, std::string(127, 'v'));
  EXPECT_EQ(s.encode_type, 1);
}

TEST(DecimalValue, ReadsLikeAtoiWithinThirtyTwoBits) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"12", 12}, {"  -3x", -3}, {"+4", 4}, {"x1", 0}, {"", 0},
      {"99999999999999999999", 2147483647}, {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(keys::decimal_value(text), value) << text;
}

TEST(ReadKeySection, NeedsBothRecords) {
  const std::pair<const char*, int> cases[] = {
      {"[QEVLINK]\r\nKEYDATA=001002003004005006007008\r\nREGDATA=255254253252251250249248\r\n", 0},
      {"[QEVLINK]\r\nREGDATA=255254253252251250249248\r\n", keys::kNoKeyData},
      {"[QEVLINK]\r\nKEYDATA=001002003004005006007008\r\nREGDATA=\r\n", keys::kNoKeyData},
      {"no INI at all", keys::kNoKeyData},
  };
  for (const auto& [file, result] : cases) {
    KeyTestWorld world;
    world.drives.add('E', DriveKind::removable);
    world.write_settings('E', file);
    keys::RawKeyRecords raw;
    EXPECT_EQ(with_device_lock([&](const DeviceLock& l) { return keys::read_key_section(l, world.services, "E:\\", raw); }),
              result)
        << file;
    if (result == 0) {
      EXPECT_EQ(raw.keydata, (keys::Record{1, 2, 3, 4, 5, 6, 7, 8}));
      EXPECT_EQ(raw.regdata, (keys::Record{255, 254, 253, 252, 251, 250, 249, 248}));
    } else {
      EXPECT_EQ(raw.keydata, keys::Record{}) << "records of a drive without key data are not taken";
    }
  }
}

// A GROUP section with groups 1..count, each complete unless named in `gaps`
// ("OWNER2" leaves out that line).
std::string group_section(const char* group_num, int count, const std::string& gaps = "") {
  std::string text = "[GROUP]\r\n";
  if (group_num != nullptr) text += std::string("GROUP_NUM=") + group_num + "\r\n";
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    for (const char* stem : {"GROUPID", "OWNER", "KEYDATA"}) {
      const std::string key = stem + n;
      if (gaps.find(key + ",") != std::string::npos) continue;
      text += key + "=" + (std::string(stem) == "GROUPID" ? "group" + n : std::string(24, '1')) + "\r\n";
    }
  }
  return text;
}

TEST(ReadGroupSection, LoadsCompleteGroupsWithinTheRoom) {
  struct Case {
    const char* label;
    std::string file;
    std::size_t loaded;
  };
  const Case cases[] = {
      {"GROUP_NUM 2, group 1 only", group_section("2", 1), 2},
      {"GROUP_NUM 1, groups 1 and 2", group_section("1", 2), 2},
      {"GROUP_NUM 3, three groups", group_section("3", 3), 4},
      {"no GROUP_NUM: room for 20", group_section(nullptr, 25), 20},
      {"OWNER1 missing ends the list", group_section("3", 3, "OWNER1,"), 1},
      {"KEYDATA2 missing ends the list", group_section("3", 3, "KEYDATA2,"), 2},
      {"negative GROUP_NUM keeps the personal key", group_section("-5", 3), 1},
      {"GROUP_NUM 0", group_section("0", 3), 1},
      {"huge GROUP_NUM", group_section("2147483647", 3), 4},
      {"GROUP_NUM without digits", group_section("many", 3), 1},
      {"not an INI file", "\x01\x02\x00 GROUP_NUM=3\r\nGROUPID1=x\x00\xff"s, 1},
  };
  for (const Case& c : cases) {
    KeyTestWorld world;
    world.drives.add('E', DriveKind::removable);
    world.write_settings('E', c.file);
    keys::RawGroupTable table;
    ASSERT_EQ(with_device_lock([&](const DeviceLock& l) {
                return keys::read_group_section(l, world.services, "E:\\", "ZQabc123", table);
              }),
              0)
        << c.label;
    ASSERT_EQ(table.entries.size(), c.loaded) << c.label;
    EXPECT_EQ(table.entries[0].name, "個人キー") << c.label;
    EXPECT_EQ(keys::record_text(table.entries[0].owner), "11111111") << c.label;
    EXPECT_EQ(keys::record_text(table.entries[0].key), "ZQabc123") << c.label;
    for (std::size_t i = 1; i < table.entries.size(); ++i) {
      EXPECT_EQ(table.entries[i].name, "group" + std::to_string(i)) << c.label;
    }
  }
}

TEST(ReadGroupSection, TheRoomStaysUntilGroupNumIsGivenAgain) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  keys::RawGroupTable table;
  auto read = [&] {
    with_device_lock([&](const DeviceLock& l) { return keys::read_group_section(l, world.services, "E:\\", "", table); });
    return table.entries.size();
  };
  world.write_settings('E', group_section("1", 3));
  EXPECT_EQ(read(), 2u);
  world.write_settings('E', group_section(nullptr, 3));
  EXPECT_EQ(read(), 2u);
  world.write_settings('E', group_section("5", 3));
  EXPECT_EQ(read(), 4u);
}

TEST(ReadGroupSection, CutsNamesAfterThirtyBytesWithoutSplittingACharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string(40, 'n'), std::string(30, 'n')},
      {"a" + std::string(15, 'x') + "営業部第一課長補佐", "a" + std::string(15, 'x') + "営業部第一課長"},  // 30 bytes
      {std::string(15, 'x') + "営業部第一課長補佐", std::string(15, 'x') + "営業部第一課長"},  // no half 補
  };
  for (const auto& [name, expected] : cases) {
    KeyTestWorld world;
    world.drives.add('E', DriveKind::removable);
    world.write_settings('E', "[GROUP]\r\nGROUPID1=" + name + "\r\nOWNER1=" + std::string(24, '1') +
                                  "\r\nKEYDATA1=" + std::string(24, '1') + "\r\n");
    keys::RawGroupTable table;
    with_device_lock([&](const DeviceLock& l) { return keys::read_group_section(l, world.services, "E:\\", "", table); });
    ASSERT_EQ(table.entries.size(), 2u);
    EXPECT_EQ(table.entries[1].name, expected);
    EXPECT_LE(table.entries[1].name.size(), 30u);
  }
}

// 2005-03-07 09:05 local time.
std::time_t march_7_2005_0905() {
  std::tm local{};
  local.tm_year = 105;
  local.tm_mon = 2;
  local.tm_mday = 7;
  local.tm_hour = 9;
  local.tm_min = 5;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

std::string access_digits(const std::string& settings) {
  const std::size_t at = settings.find("ACCESSTIME=");
  return at == std::string::npos ? "" : settings.substr(at + 11, 51);
}

TEST(AccessTime, WrittenAtTheEndIsReadAtTheNextStart) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q");
  world.clock = march_7_2005_0905();
  const int written = with_device_lock([&](const DeviceLock& l) {
    return keys::write_access_time(l, world.services, "E:\\", "Rk#4-x9Q", world.boxes);
  });
  ASSERT_EQ(written, 1);
  EXPECT_TRUE(world.boxes.shown.empty());

  // 51 digits: 16 characters enciphered, the NUL after them plain.
  const std::string digits = access_digits(world.settings_text('E'));
  ASSERT_EQ(digits.size(), 51u);
  EXPECT_EQ(digits.substr(48), "000");
  std::uint8_t record[17];
  keys::decode_triplets(digits, 17, record);
  ASSERT_EQ(crypto::record_cipher(17, "Rk#4-x9Q", record, record, crypto::kRecordDecipher), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record)), "2005/03/07 09:05");

  std::string text;
  EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
              return keys::read_access_time(l, world.services, "E:\\", "Rk#4-x9Q", text);
            }),
            1);
  EXPECT_EQ(text, "2005/03/07 09:05");
  EXPECT_EQ(world.drives.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only,
            platform::attribute::read_only);

  // The next exit writes the read-only file again and replaces the section.
  world.clock += 3600;
  ASSERT_EQ(with_device_lock([&](const DeviceLock& l) {
              return keys::write_access_time(l, world.services, "E:\\", "Rk#4-x9Q", world.boxes);
            }),
            1);
  with_device_lock([&](const DeviceLock& l) { return keys::read_access_time(l, world.services, "E:\\", "Rk#4-x9Q", text); });
  EXPECT_EQ(text, "2005/03/07 10:05");
  const std::string settings = world.settings_text('E');
  EXPECT_EQ(settings.find("ACCESSTIME="), settings.rfind("ACCESSTIME="));
}

TEST(AccessTime, MissingGivesAnEmptyTextAndABadRecordKeyAFailure) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.write_settings('E', "[ACCESS]\r\n");
  std::string text = "old";
  EXPECT_EQ(with_device_lock([&](const DeviceLock& l) { return keys::read_access_time(l, world.services, "E:\\", "k", text); }), 1);
  EXPECT_EQ(text, "");
  world.write_settings('E', "[ACCESS]\r\nACCESSTIME=" + std::string(51, '1') + "\r\n");
  EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
              return keys::read_access_time(l, world.services, "E:\\", "123456789", text);
            }),
            0);
  EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
              return keys::write_access_time(l, world.services, "E:\\", "123456789", world.boxes);
            }),
            0);
  ASSERT_EQ(world.boxes.shown.size(), 1u);
  EXPECT_EQ(world.boxes.shown[0].text, "最終アクセス時間の暗号化に失敗しました。");
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10010u);
}

TEST(WriteOptions, RoundTripsThroughAReadOnlyFile) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q");
  const keys::Settings written = options(1, 0, 1, 0, 0);
  for (int round = 0; round < 2; ++round) {  // the second write meets the file left read-only
    ASSERT_EQ(with_device_lock([&](const DeviceLock& l) {
                return keys::write_options(l, world.services, "E:\\", written, world.boxes);
              }),
              1);
    EXPECT_NE(world.drives.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only, 0u);
  }
  keys::Settings read;
  with_device_lock([&](const DeviceLock& l) { return keys::read_options(l, world.services, "E:\\", read); });
  EXPECT_EQ(read.choose_destination, 1);
  EXPECT_EQ(read.confirm_overwrite, 0);
  EXPECT_EQ(read.include_subfolders, 1);
  EXPECT_EQ(read.delete_original, 0);
  EXPECT_EQ(read.use_group_key, 0);
  EXPECT_TRUE(world.boxes.shown.empty());
  EXPECT_NE(world.settings_text('E').find("KEYDATA="), std::string::npos) << "the key records stay";
}

TEST(SettingsWriters, AFailedWriteIsReportedAndLeavesTheFileWritable) {
  struct Case {
    const char* label;
    const char* failing_key;
    platform::ErrorCode error;
    const char* message;
  };
  const Case cases[] = {
      {"options", "FOLDERALL", 5, "ファイルの書き込みに失敗しました。\nアクセスが拒否されました。"},
      {"access time", "ACCESSTIME", 112, "ファイルの書き込みに失敗しました。\nディスクの容量不足です。"},
  };
  for (const Case& c : cases) {
    KeyTestWorld world;
    world.drives.add('E', DriveKind::removable);
    world.write_settings('E', "[OPTION]\r\nFILEDEL=1\r\n");
    world.drives.set_attributes("E:\\qevlink.ini", platform::attribute::read_only);
    world.drives.failing_profile_key = c.failing_key;
    world.drives.failing_profile_error = c.error;
    keys::Settings zeros = options(0, 0, 0, 0, 0);
    const int result = with_device_lock([&](const DeviceLock& l) {
      return std::string(c.label) == "options"
                 ? keys::write_options(l, world.services, "E:\\", zeros, world.boxes)
                 : keys::write_access_time(l, world.services, "E:\\", "Rk#4-x9Q", world.boxes);
    });
    EXPECT_EQ(result, 0) << c.label;
    ASSERT_EQ(world.boxes.shown.size(), 1u) << c.label;
    EXPECT_EQ(world.boxes.shown[0].text, c.message) << c.label;
    EXPECT_EQ(world.boxes.shown[0].caption, "注意　- ケストローブ");
    EXPECT_EQ(world.boxes.shown[0].flags, 0x10010u);
    EXPECT_EQ(world.drives.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only, 0u) << c.label;
  }
  // The keys before the failing one do not reach the file either: it stays
  // as it was.
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.write_settings('E', "[OPTION]\r\nFILEDEL=1\r\n");
  world.drives.failing_profile_key = "FOLDERALL";
  with_device_lock([&](const DeviceLock& l) {
    return keys::write_options(l, world.services, "E:\\", options(0, 0, 0, 0, 0), world.boxes);
  });
  EXPECT_EQ(world.settings_text('E'), "[OPTION]\r\nFILEDEL=1\r\n");
  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
}

}  // namespace
}  // namespace kestrove::testing
