#include <gtest/gtest.h>

#include <functional>

#include "key_test_world.h"
#include "keys/key_loading.h"
#include "keys/registry_state.h"

namespace kestrove::testing {
namespace {

using keys::KeyState;

constexpr const char* kNoDevice =
    "利用可能なメモリデバイス(またはFD)が無いか、またはキー情報がありません。正しいデバイスを差し込んでください。";
constexpr const char* kNotYours =
    "メモリデバイスのキー情報があなたのものではありません。正しいメモリデバイスを差し込んでください。";
constexpr const char* kCreateQuestion =
    "パソコンにキー情報が存在しません。作成しますか？\r\n作成しない場合はアプリケーションは終了します。";
constexpr const char* kWrongPassword = "入力したパスワードが間違っているかキー情報が不正です。";

std::vector<std::string> texts(const ScriptedMessageBox& boxes) {
  std::vector<std::string> out;
  for (const auto& box : boxes.shown) out.push_back(box.text);
  return out;
}

TEST(LoadKeys, AcceptsThePreparedDeviceOfThisUser) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q", {"営業", "開発", "総務"});
  world.give_pc_key("Rk#4-x9Q");
  KeyState state;

  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_TRUE(world.boxes.shown.empty());
  EXPECT_EQ(state.device_root, "E:\\");
  EXPECT_EQ(state.record_key, "Rk#4-x9Q");
  EXPECT_EQ(state.key_set.personal_key, "ZQabc123");
  ASSERT_EQ(state.key_set.entries.size(), 4u);
  EXPECT_EQ(state.key_set.entries[0].name, "個人キー");
  EXPECT_EQ(state.key_set.entries[0].owner, "11111111");
  EXPECT_EQ(state.key_set.entries[0].key, "ZQabc123");
  const char* groups[] = {"営業", "開発", "総務"};
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(state.key_set.entries[i].name, groups[i - 1]);
    EXPECT_EQ(state.key_set.entries[i].key, group_key_of(groups[i - 1]));
    EXPECT_EQ(state.key_set.entries[i].owner.size(), 8u);
  }
  EXPECT_EQ(world.window.status_lines, (std::vector<std::string>{"ドライブ確認中・・・", "  "}));
}

TEST(LoadKeys, SkipsAnotherUsersDevice) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.drives.add('F', DriveKind::removable);
  world.prepare_device('E', "zzz999", "Other#12", {"他部署"});
  world.prepare_device('F', "abc123", "Rk#4-x9Q", {"営業"});
  world.give_pc_key("Rk#4-x9Q");
  KeyState state;

  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_TRUE(world.boxes.shown.empty());
  EXPECT_EQ(state.device_root, "F:\\");
  ASSERT_EQ(state.key_set.entries.size(), 2u);
  EXPECT_EQ(state.key_set.entries[0].key, "ZQabc123");
  EXPECT_EQ(state.key_set.entries[1].name, "営業");
}

TEST(LoadKeys, AbandonsWhenNoDeviceIsTheUsers) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "zzz999", "Other#12");
  world.give_pc_key("Rk#4-x9Q");
  KeyState state;
  EXPECT_EQ(keys::load_keys(state, world.services, world.views), keys::kAbandonAction);
  ASSERT_EQ(texts(world.boxes), std::vector<std::string>{kNotYours});
  EXPECT_EQ(world.boxes.shown[0].caption, "注意　- ケストローブ");
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10030u);
}

// Boxes that run an action when shown, as a user who plugs a device in
// before answering.
class BoxesWithAction : public ScriptedMessageBox {
 public:
  std::function<void()> on_show;
  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    if (on_show) on_show();
    return ScriptedMessageBox::show(text, caption, flags);
  }
};

TEST(LoadKeys, WithoutADeviceAsksToRetryAndScansAgainFromC) {
  KeyTestWorld world;
  world.give_pc_key("Rk#4-x9Q");
  BoxesWithAction boxes;
  ui::KeyViews views{boxes, world.password, nullptr};  // at start-up: no main window
  boxes.answers = {ui::answer::retry, ui::answer::retry};
  int shown = 0;
  boxes.on_show = [&] {
    if (++shown == 2) {  // plugged in before the second answer
      world.drives.add('C', DriveKind::removable);
      world.prepare_device('C', "abc123", "Rk#4-x9Q");
    }
  };
  KeyState state;
  EXPECT_EQ(keys::load_keys(state, world.services, views), keys::kKeysReady);
  EXPECT_EQ(texts(boxes), (std::vector<std::string>{kNoDevice, kNoDevice}));
  EXPECT_EQ(boxes.shown[0].flags, 0x10035u);
  EXPECT_EQ(state.device_root, "C:\\");

  KeyTestWorld empty;
  empty.boxes.answers = {ui::answer::retry};  // then Cancel
  KeyState nothing;
  EXPECT_EQ(keys::load_keys(nothing, empty.services, empty.views), keys::kAbandonAction);
  EXPECT_EQ(texts(empty.boxes), (std::vector<std::string>{kNoDevice, kNoDevice}));
}

TEST(LoadKeys, CreatesTheKeyInformationOfANewPcWithThePassword) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q", {"営業"});
  world.boxes.answers = {ui::answer::ok};
  world.password.type({"abc123"});
  KeyState state;

  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kCreateQuestion, "パソコンにキー情報を作成しました。"}));
  EXPECT_EQ(world.boxes.shown[0].caption, "確認　- ケストローブ");
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10031u);
  EXPECT_EQ(world.boxes.shown[1].flags, 0x10040u);
  ASSERT_EQ(world.password.prompts.size(), 1u);
  EXPECT_EQ(world.password.prompts[0].caption, "キー作成　- ケストローブ");
  EXPECT_EQ(world.password.prompts[0].drive_text, "（Eドライブを使用しています。）");
  EXPECT_EQ(world.password.closes, std::vector<int>{1});

  std::string userdata, extent;
  ASSERT_TRUE(world.registry.read_value("USERDATA", userdata));
  EXPECT_EQ(userdata.substr(0, 8), "Rk#4-x9Q");
  ASSERT_TRUE(world.registry.read_value("EXTENT01", extent));
  EXPECT_EQ(deciphered("Rk#4-x9Q", extent.substr(0, 24)), "00000000");
  EXPECT_TRUE(state.key_set.entries.empty()) << "the key set is built by the next loading";

  world.boxes.shown.clear();
  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_TRUE(world.boxes.shown.empty());
  ASSERT_EQ(state.key_set.entries.size(), 2u);
  EXPECT_EQ(state.key_set.entries[0].key, "ZQabc123");
  EXPECT_EQ(state.key_set.entries[1].key, group_key_of("営業"));
}

// On a new PC the scan goes on past the key device to the drives after it;
// an empty stick there must not become the device root, or the settings
// would be read from (and written to) the wrong drive.
TEST(LoadKeys, ANewPcKeepsTheDriveWhoseKeyDataWasUsed) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.drives.add('F', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q", {"営業"});
  world.boxes.answers = {ui::answer::ok};
  world.password.type({"abc123"});
  KeyState state;

  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_EQ(state.device_root, "E:\\");
  ASSERT_EQ(world.password.prompts.size(), 1u);
  EXPECT_EQ(world.password.prompts[0].drive_text, "（Eドライブを使用しています。）");
  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_EQ(state.device_root, "E:\\");
  EXPECT_EQ(state.key_set.entries.size(), 2u);
}

TEST(LoadKeys, TheThirdWrongPasswordOfTheRunEndsTheKeyCreation) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q");
  KeyState state;

  // Malformed passwords are refused without touching the registry.
  world.boxes.answers = {ui::answer::ok};
  world.password.type({"abc12", "ab-123"});  // then Cancel
  EXPECT_EQ(keys::load_keys(state, world.services, world.views), keys::kAbandonAction);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kCreateQuestion, kWrongPassword, kWrongPassword}));
  EXPECT_EQ(world.boxes.shown[1].flags, 0x10030u);
  EXPECT_EQ(world.password.field_texts, (std::vector<std::string>{" ", " "}));
  EXPECT_EQ(world.password.closes, std::vector<int>{0});
  std::string value;
  EXPECT_FALSE(world.registry.read_value("USERDATA", value));

  // The counter runs on across dialogs: one more wrong password is the third.
  world.boxes.shown.clear();
  world.boxes.answers = {ui::answer::ok};
  world.password.type({"abd123"});
  EXPECT_EQ(keys::load_keys(state, world.services, world.views), keys::kAbandonAction);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kCreateQuestion, kWrongPassword,
                                                           "パスワードを3回間違えたため強制終了します。"}));
  EXPECT_EQ(world.password.prompts.back().attempt, 3);
  EXPECT_FALSE(world.registry.read_value("USERDATA", value));
}

TEST(LoadKeys, DecliningTheKeyCreationAbandons) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.prepare_device('E', "abc123", "Rk#4-x9Q");
  KeyState state;
  EXPECT_EQ(keys::load_keys(state, world.services, world.views), keys::kAbandonAction);
  EXPECT_EQ(texts(world.boxes), std::vector<std::string>{kCreateQuestion});
  EXPECT_TRUE(world.password.prompts.empty());
}

TEST(LoadKeys, WithoutKeyDataAnywhereAsksForTheKeyCreationProgram) {
  // A PC without key information and, as the last drive of the scan order,
  // a device without key data.
  KeyTestWorld world;
  world.drives.add('B', DriveKind::removable);
  world.write_settings('B', "[OPTION]\r\nFILEDEL=1\r\n");
  KeyState state;
  EXPECT_EQ(keys::load_keys(state, world.services, world.views), keys::kAbandonAction);
  ASSERT_EQ(texts(world.boxes),
            std::vector<std::string>{
                "最初にあなたのキー登録が必要です。キー作成プログラム「Keyloft.exe」を先に実行してください。"});
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10030u);
}

TEST(ScanKeys, ResultsOfTheScanAndCheck) {
  struct Case {
    const char* label;
    std::function<void(KeyTestWorld&)> setup;
    int result;
  };
  const Case cases[] = {
      {"ours", [](KeyTestWorld& w) { w.prepare_device('E', "abc123", "Rk#4-x9Q"); w.give_pc_key("Rk#4-x9Q"); }, 0},
      {"no PC key", [](KeyTestWorld& w) { w.prepare_device('E', "abc123", "Rk#4-x9Q"); }, keys::kNoPcKey},
      {"someone else's", [](KeyTestWorld& w) { w.prepare_device('E', "abc123", "Rk#4-x9Q"); w.give_pc_key("Other#12"); },
       keys::kGaveUp},
      {"a device without key data", [](KeyTestWorld& w) { w.give_pc_key("Rk#4-x9Q"); }, keys::kGaveUp},
      {"a settings file that is no INI file",
       [](KeyTestWorld& w) { w.write_settings('E', std::string(3000, '\x7f')); w.give_pc_key("Rk#4-x9Q"); }, keys::kGaveUp},
  };
  for (const Case& c : cases) {
    KeyTestWorld world;
    world.drives.add('E', DriveKind::removable);
    c.setup(world);
    KeyState state;
    EXPECT_EQ(keys::scan_keys(state, world.services, world.views), c.result) << c.label;
  }
}

}  // namespace
}  // namespace kestrove::testing
