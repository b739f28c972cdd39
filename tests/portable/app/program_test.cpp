// The program from its command line to its end, with a prepared key device
// and scripted answers: what runs, what is asked, what is written back.
#include <gtest/gtest.h>

#include "app/program.h"
#include "keys/key_state.h"
#include "platform/system_info.h"
#include "portable/keys/key_test_world.h"
#include "portable/app/program_world.h"

namespace kestrove::app {
namespace {

TEST(Program, EncryptsWithTheChosenKeyAndWritesTheSettingsBack) {
  ProgramWorld w;
  w.keys.temp.write_file("見積.txt", "plain text");
  w.keys.key_choice.answers = {1};  // the group key, confirmed
  w.keys.boxes.answers = {ui::answer::ok};
  EXPECT_EQ(w.run({"-E", w.keys.temp / "見積.txt"}), 0);
  EXPECT_TRUE(w.keys.temp.exists("見積.txt.cp3"));
  EXPECT_TRUE(w.state->current_key.is_group);
  EXPECT_TRUE(w.wrote_access_time());
  ASSERT_EQ(w.runs.size(), 1u);
  EXPECT_EQ(w.runs[0]->end_status(), "ファイルの暗号化が終了しました。");
}

TEST(Program, RoundTripThroughTheCommandLine) {
  ProgramWorld w;
  w.keys.temp.make_folder("docs");
  w.keys.temp.write_file("docs\\a.txt", std::string(700000, 'a'));
  w.keys.temp.write_file("docs\\b.txt", "b");
  w.keys.key_choice.answers = {0};
  w.keys.boxes.answers = {ui::answer::ok};
  ASSERT_EQ(w.run({"-E", w.keys.temp / "docs"}), 0);
  // delete_original is on by default: only the cp3 files stay.
  EXPECT_FALSE(w.keys.temp.exists("docs\\a.txt"));
  ASSERT_TRUE(w.keys.temp.exists("docs\\a.txt.cp3"));
  ASSERT_EQ(w.run({"-D", w.keys.temp / "docs"}), 0);
  EXPECT_EQ(w.keys.temp.read_file("docs\\a.txt"), std::string(700000, 'a'));
  EXPECT_EQ(w.keys.temp.read_file("docs\\b.txt"), "b");
  EXPECT_FALSE(w.keys.temp.exists("docs\\b.txt.cp3"));
}

TEST(Program, EndsEarlyWithTheRightMessage) {
  struct Case {
    const char* label;
    std::function<std::vector<std::string>(ProgramWorld&)> arrange;
    int exit_status;
    std::string last_box;
    bool settings_written;
  } cases[] = {
      {"a cancelled key choice writes nothing",
       [](ProgramWorld& w) {
         w.keys.temp.write_file("a.txt", "a");
         return std::vector<std::string>{"-E", w.keys.temp / "a.txt"};
       },
       1, "", false},
      {"locked",
       [](ProgramWorld& w) {
         w.keys.give_pc_key(kRecordKey, '1');
         w.keys.temp.write_file("a.txt", "a");
         return std::vector<std::string>{"-D", w.keys.temp / "a.txt"};
       },
       1, "ケストローブはロックされています。", false},
      {"a lower-case switch is a path after the question",
       [](ProgramWorld& w) {
         w.chosen_operation = "-D";
         return std::vector<std::string>{"-e", w.keys.temp / "a.txt"};
       },
       1, "ファイルの読込みに失敗しました。<13>\n指定されたファイルが見つかりません。\n-e", false},
      {"the question cancelled ends quietly", [](ProgramWorld&) { return std::vector<std::string>{"x.txt"}; }, 1, "",
       false},
      {"only read-only files",
       [](ProgramWorld& w) {
         w.keys.temp.write_file("r.txt", "r");
         platform::system_file_system().set_attributes(w.keys.temp / "r.txt", platform::attribute::read_only);
         w.keys.boxes.answers = {ui::answer::ok};
         return std::vector<std::string>{"-D", w.keys.temp / "r.txt"};
       },
       1, "変換対象となるファイルがありませんでした。", false},
      {"a protected folder",
       [](ProgramWorld&) { return std::vector<std::string>{"-D", platform::system_directory()}; }, 1,
       "Windowsフォルダまたはルートフォルダは処理出来ません。\n", false},
      {"no arguments: loaded, shown, written back", [](ProgramWorld&) { return std::vector<std::string>{}; }, 0, "",
       true},
  };
  for (const auto& c : cases) {
    ProgramWorld w;
    const auto arguments = c.arrange(w);
    if (!w.keys.boxes.shown.empty()) w.keys.boxes.shown.clear();
    EXPECT_EQ(w.run(arguments), c.exit_status) << c.label;
    EXPECT_EQ(w.last_box(), c.last_box) << c.label;
    EXPECT_EQ(w.wrote_access_time(), c.settings_written) << c.label;
    platform::system_file_system().set_attributes(w.keys.temp / "r.txt", platform::attribute::normal);
  }
}

}  // namespace
}  // namespace kestrove::app
