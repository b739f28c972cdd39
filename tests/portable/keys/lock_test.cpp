#include <gtest/gtest.h>

#include "key_test_world.h"
#include "keys/key_loading.h"
#include "keys/lock.h"

namespace kestrove::testing {
namespace {

using keys::KeyState;
using keys::LockToggle;

constexpr const char* kLockQuestion =
    "ケストローブをロックし、暗号化/復号化を禁止します。\n(ロックを解除するためにはパスワード入力が必要です。)\nよろしいですか？";
constexpr const char* kLockDone =
    "ケストローブをロックしました。\n(解除するには、再度「ロック設定/解除」ボタンをクリックしてください。)";
constexpr const char* kWrong = "入力したパスワードが間違っています。";
constexpr const char* kLocked = "ケストローブはロックされています。";

std::vector<std::string> texts(const ScriptedMessageBox& boxes) {
  std::vector<std::string> out;
  for (const auto& box : boxes.shown) out.push_back(box.text);
  return out;
}

struct LockWorld : KeyTestWorld {
  explicit LockWorld(char lock_flag = '0') {
    drives.add('E', DriveKind::removable);
    prepare_device('E', "abc123", "Rk#4-x9Q");
    give_pc_key("Rk#4-x9Q", lock_flag);
  }
  std::string lock_plaintext() {
    std::string extent;
    EXPECT_TRUE(registry.read_value("EXTENT01", extent));
    return deciphered("Rk#4-x9Q", extent.substr(0, 24));
  }
};

TEST(LockedGuard, RefusesOnlyWhenLocked) {
  ScriptedMessageBox boxes;
  KeyState state;
  EXPECT_FALSE(keys::locked_guard(state, boxes));
  EXPECT_TRUE(boxes.shown.empty());
  state.lock_flag = '1';
  EXPECT_TRUE(keys::locked_guard(state, boxes));
  ASSERT_EQ(texts(boxes), std::vector<std::string>{kLocked});
  EXPECT_EQ(boxes.shown[0].caption, "注意　- ケストローブ");
  EXPECT_EQ(boxes.shown[0].flags, 0x10030u);
}

TEST(ToggleLock, LockedStaysLockedAfterARestart) {
  LockWorld world;
  KeyState state;
  world.boxes.answers = {ui::answer::ok};
  EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::locked);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kLockQuestion, kLockDone}));
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10031u);
  EXPECT_EQ(world.boxes.shown[1].flags, 0x10040u);
  EXPECT_EQ(world.window.lock_displays, std::vector<std::string>{"　★ロック状態です★"});
  EXPECT_EQ(world.lock_plaintext(), "11111111");

  KeyState restarted;
  world.boxes.shown.clear();
  ASSERT_EQ(keys::load_keys(restarted, world.services, world.views), keys::kKeysReady);
  EXPECT_EQ(keys::lock_display_text(restarted.lock_flag), "　★ロック状態です★");
  EXPECT_TRUE(keys::locked_guard(restarted, world.boxes));
  EXPECT_EQ(texts(world.boxes), std::vector<std::string>{kLocked});
}

TEST(ToggleLock, TheRightPasswordUnlocks) {
  LockWorld world('1');
  KeyState state;
  world.password.type({"abc123"});
  EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::unlocked);
  EXPECT_EQ(texts(world.boxes), std::vector<std::string>{"ケストローブのロックを解除しました。"});
  EXPECT_EQ(world.boxes.shown[0].flags, 0x10040u);
  EXPECT_EQ(world.password.prompts[0].caption, "ロックの解除　- ケストローブ");
  EXPECT_EQ(world.password.closes, std::vector<int>{1});
  EXPECT_EQ(world.window.lock_displays, std::vector<std::string>{keys::kUnlockedDisplay});
  EXPECT_EQ(world.lock_plaintext(), "00000000");
  EXPECT_FALSE(keys::locked_guard(state, world.boxes));
}

TEST(ToggleLock, ThreeWrongPasswordsInOneRunEndTheProgram) {
  LockWorld world('1');
  KeyState state;
  world.password.type({"abc124", "zzzzzz"});  // then Cancel
  EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::unchanged);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kWrong, kWrong}));
  EXPECT_EQ(world.password.closes, std::vector<int>{0});
  EXPECT_EQ(world.lock_plaintext(), "11111111");

  world.boxes.shown.clear();
  world.password.type({"abc12"});
  EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::end_program);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kWrong, "パスワードを3回間違えたため強制終了します。"}));
  EXPECT_EQ(world.password.prompts.back().attempt, 3);
  EXPECT_EQ(world.lock_plaintext(), "11111111");
}

TEST(ToggleLock, CancellingChangesNothing) {
  {
    LockWorld world;
    KeyState state;
    EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::unchanged);
    EXPECT_EQ(texts(world.boxes), std::vector<std::string>{kLockQuestion});
    EXPECT_EQ(world.lock_plaintext(), "00000000");
    EXPECT_TRUE(world.window.lock_displays.empty());
  }
  {
    LockWorld world('1');
    KeyState state;
    EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::unchanged);
    EXPECT_TRUE(world.boxes.shown.empty());
    EXPECT_EQ(world.lock_plaintext(), "11111111");
    EXPECT_TRUE(keys::locked_guard(state, world.boxes));
  }
}

TEST(ToggleLock, AFailedRegistryWriteLeavesItUnlocked) {
  LockWorld world;
  world.registry.failing_sets["EXTENT01"] = 5;
  KeyState state;
  world.boxes.answers = {ui::answer::ok};
  EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::unchanged);
  EXPECT_EQ(texts(world.boxes), (std::vector<std::string>{kLockQuestion, "レジストリ操作に失敗しました。<10> : 5"}));
  EXPECT_EQ(state.lock_flag, '0');
  EXPECT_EQ(world.lock_plaintext(), "00000000");
}

TEST(ToggleLock, DoesNothingWhenTheKeysCannotBeLoaded) {
  KeyTestWorld world;  // no device at all
  world.give_pc_key("Rk#4-x9Q", '1');
  KeyState state;
  EXPECT_EQ(keys::toggle_lock(state, world.services, world.views), LockToggle::unchanged);
  EXPECT_TRUE(world.password.prompts.empty());
}

}  // namespace
}  // namespace kestrove::testing
