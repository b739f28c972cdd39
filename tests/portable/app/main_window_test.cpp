// The main window's logic with a prepared key device and scripted dialogs:
// its lines, the check boxes, the buttons with and without dropped files,
// the lock, the ending, and what a progress dialog does at the end of a run.
#include <gtest/gtest.h>

#include "app/instance.h"
#include "app/main_window.h"
#include "keys/registry_state.h"
#include "portable/app/program_world.h"

namespace kestrove::app {
namespace {

constexpr const char* kLocked = "ケストローブはロックされています。";

std::string option_value(ProgramWorld& w, const std::string& key) {
  const std::string text = w.keys.settings_text('E');
  const std::size_t at = text.find(key + "=");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 1;
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

TEST(MainWindow, EachLineHasItsOwnControl) {
  ProgramWorld w;
  w.open_main_window();
  EXPECT_EQ(w.keys.window.drive_line, "Eドライブのキーを使用しています。");
  EXPECT_EQ(w.keys.window.last_access_line, "") << "no earlier orderly end: the template text stays";
  EXPECT_EQ(w.keys.window.status_lines.back(), "   ");
  EXPECT_EQ(w.keys.window.lock_displays.back(), std::string(19, ' '));
  ASSERT_TRUE(w.window->end());

  ProgramWorld& again = w;
  again.keys.window = {};
  again.open_main_window();
  EXPECT_EQ(again.keys.window.last_access_line.rfind("最終アクセス：", 0), 0u) << again.keys.window.last_access_line;
  EXPECT_EQ(again.keys.window.drive_line, "Eドライブのキーを使用しています。");
  EXPECT_EQ(again.keys.window.lock_displays.back(), std::string(19, ' '));
}

TEST(MainWindow, CheckBoxesFollowTheirRulesAndAreWrittenBackAtTheEnd) {
  using keys::Settings;
  struct Case {
    const char* label;
    std::vector<std::string> groups;
    SettingBox box;
    bool clicked_to;
    std::deque<int> answers;
    bool shows;
    std::int32_t Settings::*field;
    std::int32_t value;
  };
  const Case cases[] = {
      {"overwrite check off, question cancelled", {}, SettingBox::confirm_overwrite, false, {ui::answer::cancel},
       true, &Settings::confirm_overwrite, 1},
      {"overwrite check off, question accepted", {}, SettingBox::confirm_overwrite, false, {ui::answer::ok}, false,
       &Settings::confirm_overwrite, 0},
      {"subfolders off", {}, SettingBox::include_subfolders, false, {}, false, &Settings::include_subfolders, 0},
      {"destination on", {}, SettingBox::choose_destination, true, {}, true, &Settings::choose_destination, 1},
      {"group key off", {"営業部"}, SettingBox::use_group_key, false, {}, false, &Settings::use_group_key, 0},
  };
  for (const Case& c : cases) {
    ProgramWorld w(c.groups);
    MainWindow& window = w.open_main_window();
    w.keys.boxes.answers = c.answers;
    EXPECT_EQ(window.box_clicked(c.box, c.clicked_to), c.shows) << c.label;
    EXPECT_EQ(w.state.get()->settings.*c.field, c.value) << c.label;
    EXPECT_EQ(window.box_checked(c.box), c.value == 1) << c.label;
    ASSERT_TRUE(window.end()) << c.label;
  }

  // Written back at the end: the last world's choice is on the device.
  ProgramWorld w;
  MainWindow& window = w.open_main_window();
  window.box_clicked(SettingBox::delete_original, false);
  window.box_clicked(SettingBox::choose_destination, true);
  ASSERT_TRUE(window.end());
  EXPECT_EQ(option_value(w, "FILEDEL"), "0");
  EXPECT_EQ(option_value(w, "APPINT_FOLDER"), "1");
}

TEST(MainWindow, TheGroupKeyOptionNeedsAGroupKey) {
  ProgramWorld personal_only(std::vector<std::string>{});
  MainWindow& window = personal_only.open_main_window();
  window.box_clicked(SettingBox::use_group_key, false);
  EXPECT_EQ(personal_only.state->settings.use_group_key, 0);
  window.box_clicked(SettingBox::use_group_key, true);
  EXPECT_EQ(personal_only.state->settings.use_group_key, 0) << "only the personal key: unchanged";

  // The next encryption uses the personal key without asking.
  personal_only.keys.temp.write_file("a.txt", "a");
  personal_only.chosen_files = {personal_only.keys.temp / "a.txt"};
  window.button_clicked(Operation::encrypt);
  EXPECT_TRUE(personal_only.keys.key_choice.lists.empty());
  EXPECT_TRUE(personal_only.keys.temp.exists("a.txt.cp3"));
  EXPECT_FALSE(personal_only.state->current_key.is_group);

  ProgramWorld grouped;
  MainWindow& other = grouped.open_main_window();
  other.box_clicked(SettingBox::use_group_key, false);
  other.box_clicked(SettingBox::use_group_key, true);
  EXPECT_EQ(grouped.state->settings.use_group_key, 1);
}

TEST(MainWindow, DroppedFilesAreConvertedAndTheWindowStays) {
  ProgramWorld w;
  MainWindow& window = w.open_main_window();
  w.keys.temp.make_folder("docs");
  w.keys.temp.write_file("docs\\a.txt", "a");
  w.keys.temp.write_file("b.txt", "b");
  w.keys.key_choice.answers = {0};
  w.keys.boxes.answers = {ui::answer::ok};
  w.state->run.command_line_run = true;
  window.files_dropped(Operation::encrypt, {w.keys.temp / "docs", w.keys.temp / "b.txt"});
  EXPECT_FALSE(w.state->run.command_line_run);
  EXPECT_TRUE(w.keys.temp.exists("docs\\a.txt.cp3"));
  EXPECT_TRUE(w.keys.temp.exists("b.txt.cp3"));

  window.files_dropped(Operation::decrypt, {w.keys.temp / "docs"});
  EXPECT_EQ(w.keys.temp.read_file("docs\\a.txt"), "a");
  ASSERT_EQ(w.runs.size(), 2u);
  EXPECT_EQ(w.runs[1]->end_status(), "ファイルの復号化が終了しました。");
}

TEST(MainWindow, TheChooserCancelledOrRefusedRunsNothing) {
  ProgramWorld w;
  MainWindow& window = w.open_main_window();
  window.button_clicked(Operation::decrypt);  // the open dialog cancelled
  w.keys.temp.write_file("r.txt", "r");
  platform::system_file_system().set_attributes(w.keys.temp / "r.txt", platform::attribute::read_only);
  w.chosen_files = {w.keys.temp / "r.txt"};
  window.button_clicked(Operation::decrypt);
  EXPECT_TRUE(w.runs.empty());
  EXPECT_EQ(w.last_box(), "読込み専用ファイル、隠しファイルは復号化できません。");
  platform::system_file_system().set_attributes(w.keys.temp / "r.txt", platform::attribute::normal);
}

TEST(MainWindow, LockedRefusesConversionsAndOptionsButNotTheRest) {
  ProgramWorld w;
  MainWindow& window = w.open_main_window();
  bool options_opened = false;
  w.views.open_options = [&] { options_opened = true; };
  window.options_command();
  EXPECT_TRUE(options_opened);

  w.keys.boxes.answers = {ui::answer::ok};  // the lock question
  EXPECT_FALSE(window.lock_button());
  EXPECT_EQ(w.keys.window.lock_displays.back(), "　★ロック状態です★");

  w.keys.temp.write_file("a.txt", "a");
  w.chosen_files = {w.keys.temp / "a.txt"};
  options_opened = false;
  w.keys.boxes.shown.clear();
  window.button_clicked(Operation::encrypt);
  window.files_dropped(Operation::decrypt, {w.keys.temp / "a.txt"});
  window.options_command();
  EXPECT_FALSE(options_opened);
  ASSERT_EQ(w.keys.boxes.shown.size(), 3u);
  for (const auto& box : w.keys.boxes.shown) EXPECT_EQ(box.text, kLocked);
  EXPECT_TRUE(w.runs.empty());
  EXPECT_EQ(w.chosen_files.size(), 1u) << "no file chooser while locked";

  EXPECT_FALSE(window.box_clicked(SettingBox::delete_original, false));
  EXPECT_TRUE(window.end());

  // Started again: locked from the start.
  ProgramWorld& again = w;
  again.keys.window = {};
  again.open_main_window();
  EXPECT_EQ(again.keys.window.lock_displays.back(), "　★ロック状態です★");
}

TEST(MainWindow, TheThirdWrongUnlockPasswordEndsTheProgram) {
  ProgramWorld w;
  w.keys.give_pc_key(kRecordKey, '1');
  MainWindow& window = w.open_main_window();
  w.keys.password.type({"wrong1", "wrong2"});
  w.keys.password.answers.push_back({});  // キャンセル
  EXPECT_FALSE(window.lock_button());
  w.keys.password.type({"wrong3"});
  EXPECT_TRUE(window.lock_button());
}

TEST(MainWindow, EndingWithoutTheKeyDeviceWritesNothing) {
  ProgramWorld w;
  MainWindow& window = w.open_main_window();
  window.box_clicked(SettingBox::delete_original, false);
  const std::string before = w.keys.settings_text('E');
  w.keys.drives.add('E', DriveKind::no_medium);  // the stick pulled; the retry question is cancelled
  w.keys.boxes.answers = {ui::answer::cancel};
  EXPECT_FALSE(window.end());
  EXPECT_EQ(w.keys.settings_text('E'), before);
  EXPECT_FALSE(w.state->instance.mutex) << "the instance name is released";
}

TEST(RunEndAction, WhatTheProgressDialogDoesAtTheEnd) {
  struct Case {
    const char* label;
    Operation operation;
    ui::RunSignal signal;
    bool command_line, open_in_place, reencrypt;
    RunEndAction expected;
  };
  const Case cases[] = {
      {"encrypted from the window", Operation::encrypt, ui::RunSignal::done, false, false, false,
       {"　暗号化が終了しました。", true, 1, false}},
      {"decrypted from the window", Operation::decrypt, ui::RunSignal::done, false, false, false,
       {"　復号化が終了しました。", true, 1, false}},
      {"encrypted from the command line", Operation::encrypt, ui::RunSignal::done, true, false, false,
       {"", true, 1, true}},
      {"opened in place with re-encryption goes on", Operation::decrypt, ui::RunSignal::done, true, true, true,
       {"", true, 1, false}},
      {"opened in place without re-encryption ends", Operation::decrypt, ui::RunSignal::done, true, true, false,
       {"", true, 1, true}},
      {"stopped", Operation::decrypt, ui::RunSignal::stopped, false, false, false, {"　復号化を停止しました。"}},
      {"encryption failed", Operation::encrypt, ui::RunSignal::failed, false, false, false,
       {"　暗号化に失敗しました。"}},
      {"failed on the command line: the dialog waits", Operation::decrypt, ui::RunSignal::failed, true, false,
       false, {}},
  };
  for (const Case& c : cases) {
    RunState run;
    run.command_line_run = c.command_line;
    run.open_in_place_run = c.open_in_place;
    shell::PcOptions options;
    options.reencrypt_on_save = c.reencrypt;
    const RunEndAction got = run_end_action(c.operation, c.signal, run, options);
    EXPECT_EQ(got.main_status, c.expected.main_status) << c.label;
    EXPECT_EQ(got.end_dialog, c.expected.end_dialog) << c.label;
    EXPECT_EQ(got.result, c.expected.result) << c.label;
    EXPECT_EQ(got.post_run_finished, c.expected.post_run_finished) << c.label;
  }
}

TEST(Instance, TwoInstancesGetDifferentNamesAndTemporaryFiles) {
  Instance first, second;
  first.temporary_folder = second.temporary_folder = "C:\\TEMP\\";
  ASSERT_TRUE(claim_instance_name(first));
  ASSERT_TRUE(claim_instance_name(second));
  EXPECT_NE(first.name, second.name);
  EXPECT_EQ(first.temporary_file, "C:\\TEMP\\" + first.name + ".tmp");
  EXPECT_NE(first.temporary_file, second.temporary_file);
}

TEST(Instance, AMutexThatCannotBeCreatedDoesNotHangTheStart) {
  Instance instance;
  instance.temporary_folder = "C:\\TEMP";
  int calls = 0;
  const auto failing = [&](const std::string&, platform::NamedMutex&) {
    ++calls;
    return platform::MutexCreation::failed;
  };
  EXPECT_FALSE(claim_instance_name(instance, failing));
  EXPECT_EQ(calls, 20);
  EXPECT_EQ(instance.name.size(), 8u);
  EXPECT_EQ(instance.temporary_file, "C:\\TEMP\\" + instance.name + ".tmp");

  // Names held by others are skipped without counting as failures.
  int held = 0;
  const auto busy_then_free = [&](const std::string& name, platform::NamedMutex& mutex) {
    if (held++ < 30) return platform::MutexCreation::already_exists;
    return platform::create_named_mutex(name, mutex);
  };
  EXPECT_TRUE(claim_instance_name(instance, busy_then_free));
}

TEST(Startup, TheWorkPathLengthCheckOfADoubleClickStart) {
  EXPECT_EQ(file_title_of("C:\\docs\\報告書.doc.cp3"), "報告書.doc");
  EXPECT_EQ(file_title_of("C:\\表\\a"), "a") << "a trail byte 0x5C is no separator";
  EXPECT_EQ(file_title_of(""), "");
  const std::string temp = "C:\\TEMP\\";  // 8 characters
  EXPECT_FALSE(open_in_place_path_too_long(temp, "C:\\" + std::string(225, 'n') + ".cp3"));
  EXPECT_TRUE(open_in_place_path_too_long(temp, "C:\\" + std::string(226, 'n') + ".cp3"));
}

TEST(Startup, ADoubleClickStartNeedsTheOption) {
  ProgramWorld w;
  w.keys.temp.write_file("a.txt.cp3", "x");
  EXPECT_EQ(w.run({"-F", w.keys.temp / "a.txt.cp3"}), kEarlyEnd);
  EXPECT_EQ(w.last_box().rfind("ケストローブを実行することができません。", 0), 0u);
  EXPECT_EQ(w.keys.boxes.shown.back().flags, ui::mb::warning_box | ui::mb::topmost);
}

}  // namespace
}  // namespace kestrove::app
