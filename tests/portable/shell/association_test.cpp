// The ".cp3" association and its option markers under HKEY_CLASSES_ROOT:
// what each option writes and removes, in which order a refusal stops it,
// and how the state reads back.
#include <gtest/gtest.h>

#include "conversion/error_text.h"
#include "shell/association.h"
#include "shell_world.h"

namespace kestrove::shell {
namespace {

using testing::ShellWorld;

constexpr const char* kMarker1 = "cp3_file\\original_option1";
constexpr const char* kMarker2 = "cp3_file\\original_option2";
constexpr const char* kMarker3 = "cp3_file\\original_option3";

TEST(Association, OptionOneRegistersTheOpenCommandAndTheDocumentIcon) {
  ShellWorld world;
  ASSERT_EQ(add_option(world.services, kOpenByDoubleClick), 0);
  EXPECT_EQ(world.registry.value_of(".cp3"), "cp3_file");
  // a double quote, the program, a double quote, a blank, "-F" quoted, a blank, "%1" quoted
  EXPECT_EQ(world.registry.value_of(kOpenCommandKey), "\"" + world.program + "\" \"-F\" \"%1\"");
  EXPECT_EQ(world.registry.value_of(kDefaultIconKey), world.program + ",1");
  EXPECT_EQ(world.registry.value_of(kMarker1), "1");
  EXPECT_EQ(world.registry.created,
            (std::vector<std::string>{".cp3", kOpenCommandKey, kDefaultIconKey, kMarker1}));
}

TEST(Association, AddingAndRemovingEachOption) {
  struct Case {
    const char* label;
    bool associated_before;
    bool (*act)(ShellWorld&);  // true when the result was as expected
    std::vector<std::string> present, absent;
  };
  const Case cases[] = {
      {"marker 3 without the association makes the branch with the marker only", false,
       [](ShellWorld& w) { return add_option(w.services, kReencryptSameKey) == 0; },
       {kMarker3},
       {".cp3", kOpenCommandKey, kMarker1}},
      {"removing option 1 takes markers 2 and 3 with the branch", true,
       [](ShellWorld& w) {
         return add_option(w.services, kReencryptOnSave) == 0 && add_option(w.services, kReencryptSameKey) == 0 &&
                remove_option(w.services, kOpenByDoubleClick) == 0;
       },
       {},
       {".cp3", "cp3_file", kMarker2, kMarker3}},
      {"removing option 1 on a PC without any of it succeeds", false,
       [](ShellWorld& w) { return remove_option(w.services, kOpenByDoubleClick) == 0; },
       {},
       {".cp3", "cp3_file"}},
      {"removing a marker that is not there gives 2", true,
       [](ShellWorld& w) { return remove_option(w.services, kReencryptOnSave) == 2; },
       {kMarker1},
       {kMarker2}},
      {"removing marker 2 leaves the rest", true,
       [](ShellWorld& w) {
         return add_option(w.services, kReencryptOnSave) == 0 && remove_option(w.services, kReencryptOnSave) == 0;
       },
       {".cp3", kOpenCommandKey, kMarker1},
       {kMarker2}},
      {"another option number does nothing", false,
       [](ShellWorld& w) { return add_option(w.services, 4) == 0 && remove_option(w.services, 0) == 0; },
       {},
       {"cp3_file"}},
  };
  for (const Case& c : cases) {
    ShellWorld world;
    if (c.associated_before) {
      ASSERT_EQ(add_option(world.services, kOpenByDoubleClick), 0) << c.label;
    }
    EXPECT_TRUE(c.act(world)) << c.label;
    for (const std::string& key : c.present) EXPECT_TRUE(world.registry.exists(key)) << c.label << ": " << key;
    for (const std::string& key : c.absent) EXPECT_FALSE(world.registry.exists(key)) << c.label << ": " << key;
  }
}

TEST(Association, TheFirstRefusedStepEndsTheOperationAndKeepsWhatWasDone) {
  ShellWorld refused_at_once;
  refused_at_once.registry.failing_creates[".cp3"] = 5;
  EXPECT_EQ(add_option(refused_at_once.services, kOpenByDoubleClick), 5);
  EXPECT_FALSE(refused_at_once.registry.exists("cp3_file"));

  ShellWorld refused_later;
  refused_later.registry.failing_creates[kDefaultIconKey] = 1021;
  EXPECT_EQ(add_option(refused_later.services, kOpenByDoubleClick), 1021);
  EXPECT_TRUE(refused_later.registry.exists(kOpenCommandKey));
  EXPECT_FALSE(refused_later.registry.exists(kMarker1));

  ShellWorld refused_removal;
  ASSERT_EQ(add_option(refused_removal.services, kOpenByDoubleClick), 0);
  refused_removal.registry.failing_deletes[kOpenCommandKey] = 5;
  EXPECT_EQ(remove_option(refused_removal.services, kOpenByDoubleClick), 5);
  EXPECT_FALSE(refused_removal.registry.exists(".cp3"));  // no rollback
  EXPECT_TRUE(refused_removal.registry.exists(kOpenCommandKey));
  EXPECT_FALSE(refused_removal.registry.exists(kMarker1));  // deleted before the refusal
}

TEST(Association, TheStateReadsBackOnlyForThisProgramsOwnCommand) {
  struct Case {
    const char* label;
    const char* command;  // nullptr: no command key; "" : this program's
    std::vector<const char*> markers;
    PcOptions expected;
  };
  const Case cases[] = {
      {"nothing registered", nullptr, {}, {}},
      {"ours with all markers", "", {kMarker1, kMarker2, kMarker3}, {false, true, true, true}},
      {"ours with marker 1", "", {kMarker1}, {false, true, false, false}},
      {"another program's command", "\"C:\\other\\viewer.exe\" \"-F\" \"%1\"", {kMarker1, kMarker2, kMarker3}, {}},
      {"this program under another quoting", "prog.exe -F %1", {kMarker1}, {}},
      {"markers alone decide without a command", nullptr, {kMarker2, kMarker3}, {false, false, true, true}},
  };
  for (const Case& c : cases) {
    ShellWorld world;
    if (c.command) world.registry.set_value(kOpenCommandKey, *c.command ? c.command : world.command());
    for (const char* marker : c.markers) world.registry.set_value(marker, "1");
    PcOptions options{true, true, true, true};
    EXPECT_EQ(read_association_state(world.services, world.boxes, options), 0) << c.label;
    EXPECT_EQ(options.double_click_open, c.expected.double_click_open) << c.label;
    EXPECT_EQ(options.reencrypt_on_save, c.expected.reencrypt_on_save) << c.label;
    EXPECT_EQ(options.reencrypt_same_key, c.expected.reencrypt_same_key) << c.label;
    EXPECT_TRUE(options.sendto_present) << c.label << ": not the association's to change";
    EXPECT_TRUE(world.boxes.shown.empty()) << c.label;
  }
}

TEST(Association, AStateThatCannotBeReadIsReportedWithTheFailingKey) {
  struct Case {
    const char* key;
    const char* text;
  };
  for (const Case& c : {Case{kOpenCommandKey, "レジストリ操作に失敗しました。<13>"},
                        Case{kMarker1, "レジストリ操作に失敗しました。<14>"},
                        Case{kMarker2, "レジストリ操作に失敗しました。<15>"},
                        Case{kMarker3, "レジストリ操作に失敗しました。<16>"}}) {
    ShellWorld world;
    ASSERT_EQ(add_option(world.services, kOpenByDoubleClick), 0);
    world.registry.set_value(kMarker2, "1");
    world.registry.set_value(kMarker3, "1");
    world.registry.failing_sizes[c.key] = 1018;
    PcOptions options;
    EXPECT_EQ(read_association_state(world.services, world.boxes, options), -9) << c.key;
    ASSERT_EQ(world.boxes.shown.size(), 1u) << c.key;
    EXPECT_EQ(world.boxes.shown[0].text, conversion::compose_code_text(c.text, 1018));
    EXPECT_EQ(world.boxes.shown[0].flags, ui::mb::error_box | ui::mb::retry_cancel);
  }
}

}  // namespace
}  // namespace kestrove::shell
