#include <gtest/gtest.h>

#include "key_test_world.h"
#include "keys/key_scheme.h"
#include "keys/registry_state.h"
#include "keys/triplets.h"

namespace kestrove::testing {
namespace {

using keys::KeyState;

std::string lock_digits_under(const std::string& key, const char* plaintext) {
  keys::Record cipher{};
  EXPECT_TRUE(keys::encipher_record(key, keys::record_of(plaintext), cipher));
  return keys::encode_triplets(cipher.data(), cipher.size());
}

TEST(ReadPcState, WithoutTheKeyNothingChanges) {
  KeyTestWorld world;
  KeyState state;
  state.record_key = "previous";
  state.lock_flag = '1';
  EXPECT_EQ(keys::read_pc_state(state, world.services, world.boxes), keys::kNoPcKey);
  EXPECT_EQ(state.record_key, "previous");
  EXPECT_EQ(state.lock_flag, '1');
  EXPECT_TRUE(world.boxes.shown.empty());
}

TEST(PcState, WritesAndReadsTheRecordKeyAndTheLockFlag) {
  KeyTestWorld world;
  KeyState written;
  written.record_key = "Rk#4-x9Q";
  written.lock_flag = '1';
  ASSERT_EQ(keys::write_pc_key(written, world.services, world.boxes), 0);

  std::string userdata, extent;
  ASSERT_TRUE(world.registry.read_value("USERDATA", userdata));
  EXPECT_EQ(userdata, std::string("Rk#4-x9Q\0", 9)) << "the 8 characters and the NUL";
  ASSERT_TRUE(world.registry.read_value("EXTENT01", extent));
  extent = extent.substr(0, extent.find('\0'));
  ASSERT_EQ(extent.size(), 24u);
  EXPECT_EQ(deciphered("Rk#4-x9Q", extent), "11111111");

  KeyState read;
  ASSERT_EQ(keys::read_pc_state(read, world.services, world.boxes), 0);
  EXPECT_EQ(read.record_key, "Rk#4-x9Q");
  EXPECT_EQ(read.lock_flag, '1');

  // The lock flag alone leaves USERDATA as it is.
  read.lock_flag = '0';
  read.record_key = "Other#12";
  ASSERT_EQ(keys::write_lock_flag(read, world.services, world.boxes), 0);
  ASSERT_TRUE(world.registry.read_value("USERDATA", userdata));
  EXPECT_EQ(userdata.substr(0, 8), "Rk#4-x9Q");
  EXPECT_TRUE(world.boxes.shown.empty());
}

TEST(ReadPcState, OnlyTheExactUnlockedPlaintextCountsAsUnlocked) {
  struct Case {
    const char* label;
    std::string extent;  // empty: no EXTENT01 value
    char lock_flag;
  };
  const Case cases[] = {
      {"EXTENT01 deleted", "", '0'},
      {"unlocked", lock_digits_under("Rk#4-x9Q", "00000000"), '0'},
      {"locked", lock_digits_under("Rk#4-x9Q", "11111111"), '1'},
      {"unlocked under another key", lock_digits_under("Another1", "00000000"), '1'},
      {"garbage", "12345", '1'},
  };
  for (const Case& c : cases) {
    KeyTestWorld world;
    world.registry.write_value("USERDATA", std::string("Rk#4-x9Q\0", 9));
    if (!c.extent.empty()) world.registry.write_value("EXTENT01", c.extent);
    KeyState state;
    state.lock_flag = c.lock_flag == '0' ? '1' : '0';
    EXPECT_EQ(keys::read_pc_state(state, world.services, world.boxes), 0) << c.label;
    EXPECT_EQ(state.lock_flag, c.lock_flag) << c.label;
  }
}

TEST(ReadPcState, ARecordKeyIsNeverLongerThanEightCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {std::string("Rk#4-x9Q\0", 9), "Rk#4-x9Q"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGH"},
      {std::string("AB\0CDEFG", 8), "AB"},
      {"", ""},
  };
  for (const auto& [value, record_key] : cases) {
    KeyTestWorld world;
    world.registry.write_value("USERDATA", value);
    KeyState state;
    state.record_key = "previous";
    EXPECT_EQ(keys::read_pc_state(state, world.services, world.boxes), 0) << value;
    EXPECT_EQ(state.record_key, record_key) << value;
    EXPECT_EQ(state.lock_flag, '0');
  }
  // A key without USERDATA gives an empty record key and no error.
  KeyTestWorld world;
  world.registry.write_value("EXTENT01", lock_digits_under("", "00000000"));
  KeyState state;
  state.record_key = "previous";
  EXPECT_EQ(keys::read_pc_state(state, world.services, world.boxes), 0);
  EXPECT_EQ(state.record_key, "");
  EXPECT_EQ(state.lock_flag, '0');
}

TEST(ReadPcState, AFailedSizeQueryIsReportedWithItsNumber) {
  KeyTestWorld world;
  world.registry.write_value("USERDATA", "Rk#4-x9Q");
  world.registry.failing_sizes["USERDATA"] = 5;
  KeyState state;
  EXPECT_EQ(keys::read_pc_state(state, world.services, world.boxes), keys::kRegistryFailure);
  ASSERT_EQ(world.boxes.shown.size(), 1u);
  EXPECT_EQ(world.boxes.shown[0].text, "レジストリ操作に失敗しました。<3> : 5");
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10015u);
}

TEST(PcStateWriters, EachFailingStepHasItsNumberedMessage) {
  struct Case {
    const char* label;
    bool lock_flag_only;
    std::function<void(PrivateRegistry&)> fault;
    int result;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"USERDATA", false, [](PrivateRegistry& r) { r.failing_sets["USERDATA"] = 5; }, keys::kRegistryWriteFailure,
       {"レジストリ操作に失敗しました。<6> : 5"}},
      {"EXTENT01", false, [](PrivateRegistry& r) { r.failing_sets["EXTENT01"] = 1009; }, keys::kRegistryWriteFailure,
       {"レジストリ操作に失敗しました。<7> : 1009"}},
      {"QEVLINK key", false, [](PrivateRegistry& r) { r.failing_creates["Software\\KAVOR\\QEVLINK"] = 5; },
       keys::kRegistryWriteFailure, {"レジストリ操作に失敗しました。<4> : 5", "レジストリ操作に失敗しました。<6> : 6"}},
      {"KAVOR key", false, [](PrivateRegistry& r) { r.failing_creates["Software\\KAVOR"] = 5; },
       keys::kRegistryWriteFailure, {"レジストリ操作に失敗しました。<5> : 5", "レジストリ操作に失敗しました。<6> : 6"}},
      {"no write access", false, [](PrivateRegistry& r) { r.failing_software_open = 5; }, keys::kRegistryWriteFailure,
       {"レジストリ操作に失敗しました。<5> : 5"}},
      {"lock flag EXTENT01", true, [](PrivateRegistry& r) { r.failing_sets["EXTENT01"] = 5; },
       keys::kRegistryWriteFailure, {"レジストリ操作に失敗しました。<10> : 5"}},
      {"lock flag QEVLINK key", true, [](PrivateRegistry& r) { r.failing_creates["Software\\KAVOR\\QEVLINK"] = 5; },
       keys::kRegistryWriteFailure, {"レジストリ操作に失敗しました。<8> : 5", "レジストリ操作に失敗しました。<10> : 6"}},
      {"lock flag KAVOR key", true, [](PrivateRegistry& r) { r.failing_creates["Software\\KAVOR"] = 5; },
       keys::kRegistryWriteFailure, {"レジストリ操作に失敗しました。<9> : 5", "レジストリ操作に失敗しました。<10> : 6"}},
  };
  for (const Case& c : cases) {
    KeyTestWorld world;
    c.fault(world.registry);
    KeyState state;
    state.record_key = "Rk#4-x9Q";
    const int result = c.lock_flag_only ? keys::write_lock_flag(state, world.services, world.boxes)
                                        : keys::write_pc_key(state, world.services, world.boxes);
    EXPECT_EQ(result, c.result) << c.label;
    std::vector<std::string> texts;
    for (const auto& box : world.boxes.shown) {
      texts.push_back(box.text);
      EXPECT_EQ(box.caption, "注意　- ケストローブ") << c.label;
      EXPECT_EQ(box.flags, 0x10015u) << c.label;
    }
    EXPECT_EQ(texts, c.messages) << c.label;
  }
}

TEST(PcStateWriters, ARecordKeyTheCipherRefusesIsReported) {
  KeyTestWorld world;
  KeyState state;
  state.record_key = "123456789";
  EXPECT_EQ(keys::write_lock_flag(state, world.services, world.boxes), keys::kRecordCipherFailure);
  ASSERT_EQ(world.boxes.shown.size(), 1u);
  EXPECT_EQ(world.boxes.shown[0].text, "ロックフラグの暗号化に失敗しました。");
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10010u);
}

}  // namespace
}  // namespace kestrove::testing
