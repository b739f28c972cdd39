#include <gtest/gtest.h>

#include "keys/key_selection.h"
#include "support/scripted_key_views.h"

namespace kestrove::testing {
namespace {

keys::KeySet three_keys() {
  keys::KeySet set;
  set.entries = {{"個人キー", "11111111", "ZQabc123"}, {"営業", "OwnerA01", "SalesKey"}, {"開発", "OwnerB02", "DevKey01"}};
  set.personal_key = "ZQabc123";
  return set;
}

struct Selection {
  ScriptedMessageBox boxes;
  ScriptedKeyChoice view{boxes};
  keys::CurrentKey current;
  int run(const keys::KeySet& set, ui::KeyChoiceDialog dialog = ui::KeyChoiceDialog::before_encryption) {
    return keys::run_key_choice_dialog(set, current, view, dialog);
  }
};

TEST(KeyChoice, ListsTheKeySetInOrderWithGroupsMarked) {
  EXPECT_EQ(keys::key_choice_lines(three_keys()),
            (std::vector<std::string>{"個人キー", "営業(グループ)", "開発(グループ)"}));
  Selection s;
  s.run(three_keys(), ui::KeyChoiceDialog::reencryption);
  ASSERT_EQ(s.view.lists.size(), 1u);
  EXPECT_EQ(s.view.lists[0].selected, 0);
  EXPECT_EQ(s.view.lists[0].dialog, ui::KeyChoiceDialog::reencryption);
}

TEST(KeyChoice, AConfirmedChoiceBecomesTheCurrentKey) {
  struct Case {
    int line;
    const char* question;
    const char* key;
    bool is_group;
  };
  const Case cases[] = {
      {1, "営業を使用します。よろしいですか？", "SalesKey", true},
      {0, "個人キーを使用します。よろしいですか？", "ZQabc123", false},
  };
  for (const Case& c : cases) {
    Selection s;
    s.view.answers = {c.line};
    s.boxes.answers = {ui::answer::ok};
    EXPECT_EQ(s.run(three_keys()), 1);
    ASSERT_EQ(s.boxes.shown.size(), 1u);
    EXPECT_EQ(s.boxes.shown[0].text, c.question);
    EXPECT_EQ(s.boxes.shown[0].caption, "確認　- ケストローブ");
    EXPECT_EQ(s.boxes.shown[0].flags, 0x10031u);
    EXPECT_EQ(s.current.entry.key, c.key);
    EXPECT_EQ(s.current.is_group, c.is_group);
    EXPECT_EQ(s.view.closes, std::vector<int>{1});
  }
}

TEST(KeyChoice, StaysOpenUntilAKeyIsConfirmedOrTheUserCancels) {
  Selection s;
  s.current.entry.key = "Previous";
  s.view.answers = {2, ui::kNoKeySelected};  // then Cancel
  s.boxes.answers = {ui::answer::cancel};
  EXPECT_EQ(s.run(three_keys()), 0);
  ASSERT_EQ(s.boxes.shown.size(), 2u);
  EXPECT_EQ(s.boxes.shown[0].text, "開発を使用します。よろしいですか？");
  EXPECT_EQ(s.boxes.shown[1].text, "キーが選択されていません。");
  EXPECT_EQ(s.boxes.shown[1].flags, 0x10030u);
  EXPECT_EQ(s.view.lists.size(), 3u);
  EXPECT_EQ(s.current.entry.key, "Previous");
  EXPECT_EQ(s.view.closes, std::vector<int>{0});
}

TEST(ChooseCurrentKey, WithoutGroupKeysTakesThePersonalKeyWithoutAsking) {
  Selection s;
  EXPECT_EQ(keys::choose_current_key(0, three_keys(), s.current, s.view), 1);
  EXPECT_TRUE(s.view.lists.empty());
  EXPECT_EQ(s.current.entry.name, "個人キー");
  EXPECT_FALSE(s.current.is_group);
  // After a failed key loading there is nothing to encrypt with.
  EXPECT_EQ(keys::choose_current_key(0, keys::KeySet{}, s.current, s.view), 0);
  EXPECT_FALSE(keys::select_key(three_keys(), 3, s.current));
  EXPECT_EQ(s.current.entry.name, "個人キー");
}

TEST(FittedHorizontalExtent, IsTheWidestNameWhateverTheOrder) {
  EXPECT_EQ(keys::fitted_horizontal_extent({200, 180}, 17, 50), 200 + 17 + 55);
  EXPECT_EQ(keys::fitted_horizontal_extent({180, 200}, 17, 50), 200 + 17 + 55);
  EXPECT_EQ(keys::fitted_horizontal_extent({-1, 90}, 17, 50), 90 + 17 + 55);
  EXPECT_EQ(keys::fitted_horizontal_extent({-1}, 17, 50), 0);
  EXPECT_EQ(keys::horizontal_extent_failure_text(1400), "水平スクロールバーの設定に失敗しました。(エラーコード: 1400)");
}

}  // namespace
}  // namespace kestrove::testing
