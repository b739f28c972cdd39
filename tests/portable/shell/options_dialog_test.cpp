// The options dialog: the PC's state shown on opening, the boxes' dependencies,
// and what a confirmed OK does to the registry and the SendTo folder, with the
// messages of a refusal.
#include <gtest/gtest.h>

#include <map>

#include "conversion/error_text.h"
#include "shell/association.h"
#include "shell/options_dialog.h"
#include "shell_world.h"

namespace kestrove::shell {
namespace {

using testing::ShellWorld;

constexpr const char* kMarker2 = "cp3_file\\original_option2";
constexpr const char* kMarker3 = "cp3_file\\original_option3";

class RecordingOptionsView : public OptionsView {
 public:
  std::map<OptionBox, bool> boxes;
  void set_checked(OptionBox box, bool checked) override { boxes[box] = checked; }
  // 1016, 1017, 1018, 1042 as "1"/"0".
  std::string shown() {
    std::string s;
    for (OptionBox b : {OptionBox::sendto, OptionBox::double_click_open, OptionBox::reencrypt_on_save,
                        OptionBox::reencrypt_same_key}) {
      s += boxes[b] ? '1' : '0';
    }
    return s;
  }
};

struct DialogWorld : ShellWorld {
  PcOptions flags;
  RecordingOptionsView view;
  OptionsDialog dialog{services, flags, view, boxes};

  // Clicks a box to `checked`, as the user's click leaves it.
  void click(OptionBox box, bool checked) {
    view.boxes[box] = checked;
    dialog.box_clicked(box, checked);
  }
  void ok_confirmed() {
    boxes.answers.push_back(ui::answer::ok);
    dialog.ok();
  }
  // Another opening of the dialog over the same PC.
  std::string reopened() {
    PcOptions fresh;
    RecordingOptionsView fresh_view;
    OptionsDialog again{services, fresh, fresh_view, boxes};
    again.open();
    return fresh_view.shown();
  }
};

TEST(OptionsDialog, OpensWithThePcsStateWithTheDependenciesApplied) {
  struct Case {
    const char* label;
    bool associate, marker2, marker3, shortcut;
    const char* shown;
  };
  for (const Case& c : {Case{"nothing", false, false, false, false, "0000"},
                        Case{"all", true, true, true, true, "1111"},
                        Case{"marker 3 without marker 2", true, false, true, false, "0100"},
                        Case{"markers without the association", false, true, true, false, "0000"}}) {
    DialogWorld world;
    if (c.associate) {
      ASSERT_EQ(add_option(world.services, kOpenByDoubleClick), 0);
    }
    if (c.marker2) world.registry.set_value(kMarker2, "1");
    if (c.marker3) world.registry.set_value(kMarker3, "1");
    if (c.shortcut) world.make_shortcut_file("");
    world.dialog.open();
    EXPECT_EQ(world.view.shown(), c.shown) << c.label;
    EXPECT_EQ(world.flags.reencrypt_same_key, c.shown[3] == '1') << c.label;
    EXPECT_TRUE(world.boxes.shown.empty()) << c.label;
  }
}

TEST(OptionsDialog, AStateThatCannotBeReadIsSaidAndTheDialogStillOpens) {
  DialogWorld world;
  world.registry.failing_sizes[kOpenCommandKey] = 1018;
  world.registry.set_value(kOpenCommandKey, "x");
  world.dialog.open();
  ASSERT_EQ(world.boxes.shown.size(), 2u);
  EXPECT_EQ(world.boxes.shown[1].text, "このパソコンの情報の取得に失敗しました。<2>");
  EXPECT_EQ(world.view.shown(), "0000");
}

TEST(OptionsDialog, TheBoxesFollowTheDependencies) {
  DialogWorld world;
  world.dialog.open();
  world.click(OptionBox::double_click_open, true);
  world.click(OptionBox::reencrypt_on_save, true);
  EXPECT_EQ(world.view.shown(), "0111") << "ticking 1018 ticks 1042";
  world.click(OptionBox::reencrypt_same_key, false);
  EXPECT_EQ(world.view.shown(), "0110");
  world.click(OptionBox::double_click_open, false);
  EXPECT_EQ(world.view.shown(), "0000") << "unticking 1017 clears 1018 and 1042";
  world.click(OptionBox::sendto, true);
  EXPECT_EQ(world.view.shown(), "1000");
  EXPECT_TRUE(world.dialog.pending().sendto_present);
  EXPECT_FALSE(world.flags.sendto_present) << "only OK applies";
}

TEST(OptionsDialog, ADependencyBrokenAtOkIsRefusedAndTheBoxesGoBack) {
  struct Case {
    std::vector<OptionBox> ticked;
    const char* message_start;
  };
  for (const Case& c : {Case{{OptionBox::reencrypt_on_save}, "※ 「ダブルクリックで暗号化したファイルを開く。」"},
                        Case{{OptionBox::reencrypt_same_key}, "※ 「ダブルクリックで開いた暗号化ファイルを保存時"}}) {
    DialogWorld world;
    world.dialog.open();
    for (OptionBox box : c.ticked) world.click(box, true);
    world.dialog.ok();
    ASSERT_EQ(world.boxes.shown.size(), 1u) << c.message_start;
    EXPECT_EQ(world.boxes.shown[0].text.rfind(c.message_start, 0), 0u) << world.boxes.shown[0].text;
    EXPECT_EQ(world.boxes.shown[0].flags, ui::mb::warning_box);
    EXPECT_EQ(world.view.shown(), "0000");
    EXPECT_TRUE(world.registry.created.empty());
  }
}

TEST(OptionsDialog, OkAsksFirstAndACancelChangesNothing) {
  DialogWorld world;
  world.dialog.open();
  world.click(OptionBox::sendto, true);
  world.click(OptionBox::double_click_open, true);
  world.dialog.ok();  // the question answered キャンセル
  ASSERT_EQ(world.boxes.shown.size(), 1u);
  EXPECT_EQ(world.boxes.shown[0].text, "設定を変更します。よろしいですか？");
  EXPECT_EQ(world.boxes.shown[0].caption, ui::kCaptionConfirm);
  EXPECT_EQ(world.boxes.shown[0].flags, ui::mb::question_box);
  EXPECT_EQ(world.view.shown(), "0000");
  EXPECT_FALSE(world.shortcut(""));
  EXPECT_TRUE(world.registry.created.empty());
}

TEST(OptionsDialog, OnlyTheShortcutChangedTouchesNoRegistryKey) {
  DialogWorld world;
  world.dialog.open();
  world.click(OptionBox::sendto, true);
  world.ok_confirmed();
  EXPECT_TRUE(world.shortcut(""));
  EXPECT_TRUE(world.registry.created.empty());
  EXPECT_EQ(world.reopened(), "1000");

  // Deleted behind the program's back, it comes back with the next OK.
  platform::system_file_system().delete_file(world.sendto + "\\prog.lnk");
  world.ok_confirmed();
  EXPECT_TRUE(world.shortcut(""));
  world.click(OptionBox::sendto, false);
  world.ok_confirmed();
  EXPECT_FALSE(world.shortcut(""));
}

TEST(OptionsDialog, AllThreeOnInOneOkMakeMarkersThreeAndTwoThenTheAssociation) {
  DialogWorld world;
  world.dialog.open();
  world.click(OptionBox::double_click_open, true);
  world.click(OptionBox::reencrypt_on_save, true);
  world.ok_confirmed();
  EXPECT_EQ(world.registry.created,
            (std::vector<std::string>{kMarker3, kMarker2, ".cp3", kOpenCommandKey, kDefaultIconKey,
                                      "cp3_file\\original_option1"}));
  EXPECT_EQ(world.registry.value_of(kOpenCommandKey), world.command());
  EXPECT_TRUE(world.flags.double_click_open && world.flags.reencrypt_on_save && world.flags.reencrypt_same_key);
  EXPECT_EQ(world.reopened(), "0111");

  world.click(OptionBox::double_click_open, false);
  world.ok_confirmed();
  EXPECT_FALSE(world.registry.exists("cp3_file"));
  EXPECT_FALSE(world.registry.exists(".cp3"));
  EXPECT_EQ(world.reopened(), "0000");
}

TEST(OptionsDialog, ARefusedRegistryWriteIsSaidAndTheBoxesShowTheFlags) {
  struct Case {
    const char* label;
    platform::RegistryStatus status;
    std::string text;
    std::uint32_t flags;
  };
  const Case cases[] = {
      {"no Administrator rights", 5,
       "「ダブルクリックで暗号化したファイルを開く。」オプションを変更するためには、このパソコンのAdministrator権限が"
       "必要になります。",
       ui::mb::warning_box},
      {"another registry failure", 1021, conversion::compose_code_text("レジストリ操作に失敗しました。<19>", 1021),
       ui::mb::error_box | ui::mb::retry_cancel},
  };
  for (const Case& c : cases) {
    DialogWorld world;
    world.dialog.open();
    world.registry.failing_creates[".cp3"] = c.status;
    world.click(OptionBox::sendto, true);
    world.click(OptionBox::double_click_open, true);
    world.click(OptionBox::reencrypt_on_save, true);
    world.ok_confirmed();
    ASSERT_EQ(world.boxes.shown.size(), 2u) << c.label;
    EXPECT_EQ(world.boxes.shown[1].text, c.text) << c.label;
    EXPECT_EQ(world.boxes.shown[1].caption, ui::kCaptionNotice) << c.label;
    EXPECT_EQ(world.boxes.shown[1].flags, c.flags) << c.label;
    EXPECT_EQ(world.view.shown(), "1000") << c.label << ": the shortcut was made, the options kept their values";
    EXPECT_FALSE(world.flags.double_click_open || world.flags.reencrypt_on_save || world.flags.reencrypt_same_key);
    EXPECT_TRUE(world.shortcut("")) << c.label;
    // Markers 3 and 2 were written before the refusal and stay; without the
    // association they read as off.
    EXPECT_TRUE(world.registry.exists(kMarker3)) << c.label;
    EXPECT_EQ(world.reopened(), "1000") << c.label;
  }
}

TEST(OptionsDialog, EachOptionHasItsOwnAdministratorMessage) {
  DialogWorld world;
  ASSERT_EQ(add_option(world.services, kOpenByDoubleClick), 0);
  world.dialog.open();
  world.registry.failing_creates[kMarker3] = 5;
  world.click(OptionBox::reencrypt_on_save, true);
  world.ok_confirmed();
  ASSERT_EQ(world.boxes.shown.size(), 2u);
  EXPECT_EQ(world.boxes.shown[1].text,
            "「元ファイルと同じキーで暗号化する。」オプションを変更するためには、このパソコンのAdministrator権限が必要"
            "になります。");
  EXPECT_FALSE(world.registry.exists(kMarker2)) << "the first refusal stops the rest";

  world.registry.failing_creates.clear();
  world.registry.failing_creates[kMarker2] = 5;
  world.click(OptionBox::reencrypt_on_save, true);
  world.click(OptionBox::reencrypt_same_key, false);
  world.ok_confirmed();
  ASSERT_EQ(world.boxes.shown.size(), 4u);
  EXPECT_EQ(world.boxes.shown[3].text,
            "「ダブルクリックで開いた暗号化ファイルを保存時に自動的に暗号化する。」オプションを変更するためには、このパソコン"
            "のAdministrator権限が必要になります。");
  EXPECT_EQ(world.view.shown(), "0100");
}

}  // namespace
}  // namespace kestrove::shell
