#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "support/faulty_file_system.h"
#include "support/scripted_message_box.h"
#include "support/temp_folder.h"
#include "targets/path_rules.h"
#include "targets/selection.h"

namespace kestrove::targets {
namespace {

using testing::Fault;
using testing::FaultyFileSystem;
using testing::FsOp;
using testing::ScriptedMessageBox;
using testing::ShownBox;
using testing::TempFolder;

namespace attribute = platform::attribute;

constexpr const char* kSystemDirectory = "C:\\WINDOWS\\system32";

TEST(IsPathAllowed, ProtectsTheSystemFolderProgramFilesAndTheSystemDriveRoot) {
  struct Case {
    const char* path;
    int allowed;
  } cases[] = {
      {"C:\\", 0},
      {"c:\\", 0},
      {"C:", 0},
      {"D:\\", 1},
      {"C:\\data\\a.txt", 1},
      {"C:\\Windows\\System32\\drivers\\etc\\hosts", 0},
      {"E:\\backup\\c:\\windows\\system32\\x", 0},  // contained anywhere
      {"C:\\Windows\\a.txt", 1},
      {"D:\\data\\Program Files\\a.txt", 0},
      {"D:\\PROGRAM FILES (x86)\\tool\\a.txt", 0},
      {"D:\\ProgramFiles\\a.txt", 1},
      {"\\\\server\\share\\a.txt", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(is_path_allowed(c.path, kSystemDirectory), c.allowed) << c.path;
  EXPECT_EQ(is_path_allowed("D:\\", "D:\\WINNT\\system32"), 0);
  EXPECT_EQ(is_path_allowed("C:\\", "D:\\WINNT\\system32"), 1);
}

TEST(RecordBaseFolder, TakesThePartBeforeTheLastRealSeparator) {
  struct Case {
    const char* path;
    const char* base;
  } cases[] = {
      {"D:\\data\\a.txt", "D:\\data"},
      {"D:\\a.txt", "D:"},
      {"D:\\data\\sub", "D:\\data"},
      {"D:\\表\\a.txt", "D:\\表"},      // 表 is 95 5C: its trail byte is no separator
      {"D:\\data\\表", "D:\\data"},
      {"\\\\server\\share\\a.txt", "\\\\server\\share"},
  };
  for (const Case& c : cases) EXPECT_EQ(record_base_folder(c.path), c.base) << c.path;
}

// A folder tree with files the selection takes and files it passes over.
// Hidden and system marks come from the wrapping file layer, since POSIX
// folders have none.
class Selection : public ::testing::Test {
 protected:
  TempFolder t;
  FaultyFileSystem fs;
  ScriptedMessageBox boxes;
  std::unique_ptr<TargetList> list = std::make_unique<TargetList>();
  SelectionContext context{fs, boxes, kSystemDirectory, 1};

  void SetUp() override {
    for (const char* folder :
         {"tree", "tree\\sub", "tree\\sub\\deep", "tree\\locked", "tree\\secret", "tree\\sys", "empty"})
      t.make_folder(folder);
    for (const char* file : {"tree\\a.txt", "tree\\hidden.txt", "tree\\readonly.txt", "tree\\system.dll",
                             "tree\\sub\\b.txt", "tree\\sub\\deep\\c.txt", "tree\\locked\\d.txt",
                             "tree\\secret\\e.txt", "tree\\sys\\f.txt", "top.txt", "top_hidden.txt", "top_system.txt"})
      t.write_file(file, file);
    fs.add_attributes(t / "tree\\hidden.txt", attribute::hidden);
    fs.add_attributes(t / "tree\\readonly.txt", attribute::read_only);
    fs.add_attributes(t / "tree\\system.dll", attribute::system | attribute::hidden);
    fs.add_attributes(t / "tree\\locked", attribute::read_only);
    fs.add_attributes(t / "tree\\secret", attribute::hidden);
    fs.add_attributes(t / "tree\\sys", attribute::system);
    fs.add_attributes(t / "top_hidden.txt", attribute::hidden);
    fs.add_attributes(t / "top_system.txt", attribute::system);
  }

  std::vector<std::string> listed() const {
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < list->count(); ++i) out.push_back((*list)[i].source_path.substr(t.path().size() + 1));
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST_F(Selection, DropsAreExpandedAndFilteredAsTheUserAnswers) {
  constexpr const char* kQuestion = kAttributeQuestion;
  struct Row {
    const char* label;
    std::vector<std::string> dropped;
    std::int32_t include_subfolders;
    std::vector<int> answers;
    int result;
    std::vector<std::string> listed;  // sorted; for a refused drop, the previous list
    std::vector<std::string> shown;
  };
  const std::vector<std::string> previous{"previous.txt"};
  const Row rows[] = {
      {"subfolders entered, read-only and hidden ones not; one question",
       {"tree"}, 1, {ui::answer::ok}, 0,
       {"tree\\a.txt", "tree\\sub\\b.txt", "tree\\sub\\deep\\c.txt"}, {kQuestion}},
      {"subfolders ignored without a word", {"tree"}, 0, {ui::answer::ok}, 0, {"tree\\a.txt"}, {kQuestion}},
      {"cancel at the question ends the drop", {"top.txt", "tree"}, 1, {ui::answer::cancel}, kSelectionRefused,
       previous, {kQuestion}},
      {"a hidden folder dropped itself is expanded", {"tree\\secret"}, 1, {}, 0, {"tree\\secret\\e.txt"}, {}},
      {"a system file at the top asks too", {"top_system.txt", "top.txt"}, 1, {ui::answer::ok}, 0, {"top.txt"},
       {kQuestion}},
      {"the question is asked once per drop", {"top_hidden.txt", "tree"}, 1, {ui::answer::ok}, 0,
       {"tree\\a.txt", "tree\\sub\\b.txt", "tree\\sub\\deep\\c.txt"}, {kQuestion}},
      {"only hidden files leave nothing", {"top_hidden.txt", "top_system.txt"}, 1, {ui::answer::ok},
       kSelectionNothing, previous, {kQuestion, kNothingToConvert}},
      {"an empty folder leaves nothing", {"empty"}, 1, {}, kSelectionNothing, previous, {kNothingToConvert}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    list->assign({t / "previous.txt"});
    list->base_folder = "previous";
    boxes = ScriptedMessageBox();
    boxes.answers.assign(row.answers.begin(), row.answers.end());
    context.include_subfolders = row.include_subfolders;
    std::vector<std::string> dropped;
    for (const std::string& d : row.dropped) dropped.push_back(t / d);
    EXPECT_EQ(add_dropped_items(context, *list, dropped), row.result);
    EXPECT_EQ(listed(), row.listed);
    std::vector<std::string> shown;
    for (const ShownBox& box : boxes.shown) shown.push_back(box.text);
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(list->base_folder, row.result == 0 ? record_base_folder(dropped.front()) : "previous");
  }
}

TEST_F(Selection, MessagesCarryTheirCaptionAndIcon) {
  boxes.answers = {ui::answer::ok};
  EXPECT_EQ(add_dropped_items(context, *list, {t / "top_hidden.txt"}), kSelectionNothing);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].caption, ui::kCaptionConfirm);
  EXPECT_EQ(boxes.shown[0].flags, 0x10031u);
  EXPECT_EQ(boxes.shown[1].caption, ui::kCaptionNotice);
  EXPECT_EQ(boxes.shown[1].flags, 0x10030u);
}

TEST_F(Selection, RefusalsAndFailuresAreReportedAndLeaveTheListAlone) {
  struct Row {
    const char* label;
    std::vector<std::string> dropped;  // "*" stands for a protected path
    std::optional<Fault> fault;
    int result;
    std::string message;
    std::uint32_t flags;
  };
  const std::string denied = "\nアクセスが拒否されました。";
  const Row rows[] = {
      {"protected path", {"top.txt", "*"}, std::nullopt, kSelectionRefused, kProtectedMessage,
       0x10030},
      {"dropped item unreadable", {"gone.txt"}, std::nullopt, 2,
       "ファイルの属性の取得に失敗しました。<1>\n指定されたファイルが見つかりません。", 0x10010},
      {"folder cannot be listed", {"tree"}, Fault{FsOp::list_directory, "tree\\sub", 1}, kSelectionExpansionFailed,
       "ファイルの属性の取得に失敗しました。<6>" + denied, 0x10010},
      {"entry unreadable", {"tree"}, Fault{FsOp::get_attributes, "deep\\c.txt", 1}, kSelectionExpansionFailed,
       "ファイルの属性の取得に失敗しました。<2>" + denied, 0x10010},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    FaultyFileSystem faulty;
    if (row.fault) faulty.add_fault(*row.fault);
    ScriptedMessageBox answers;
    answers.answers = {ui::answer::ok};
    SelectionContext c{faulty, answers, kSystemDirectory, 1};
    list->assign({t / "previous.txt"});
    std::vector<std::string> dropped;
    for (const std::string& d : row.dropped) dropped.push_back(d == "*" ? std::string("C:\\Program Files\\x") : t / d);
    EXPECT_EQ(add_dropped_items(c, *list, dropped), row.result);
    ASSERT_FALSE(answers.shown.empty());
    EXPECT_EQ(answers.shown.back().text, row.message);
    EXPECT_EQ(answers.shown.back().caption, ui::kCaptionNotice);
    EXPECT_EQ(answers.shown.back().flags, row.flags);
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ((*list)[0].source_path, t / "previous.txt");
  }
}

TEST_F(Selection, ExpandFolderReturnsAtOnceOnceTheLimitWasMet) {
  SelectionFlags flags;
  flags.limit_exceeded = true;
  std::vector<std::string> paths;
  EXPECT_EQ(expand_folder(context, t / "tree", paths, 1, flags), kSelectionExpansionFailed);
  EXPECT_TRUE(paths.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Selection, ACancelInASubfolderReachesTheCallerAsAFailure) {
  SelectionFlags flags;
  std::vector<std::string> paths;
  boxes.answers = {ui::answer::cancel};
  // A hidden file two levels down: the Cancel ends both expansions.
  fs.add_attributes(t / "tree\\sub\\deep\\c.txt", attribute::hidden);
  const int top = expand_folder(context, t / "tree\\sub", paths, 1, flags);
  EXPECT_EQ(top, kSelectionExpansionFailed);
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(Selection, AChosenFileIsCheckedBeforeItsRun) {
  struct Row {
    const char* label;
    std::string path;
    ChosenFor purpose;
    ChoiceOutcome outcome;
    std::string message;  // "" when nothing is shown
  };
  const Row rows[] = {
      {"plain file", t / "top.txt", ChosenFor::encryption, ChoiceOutcome::run, ""},
      {"hidden, for encryption", t / "top_hidden.txt", ChosenFor::encryption, ChoiceOutcome::refused,
       "読込み専用ファイル、隠しファイルは暗号化できません。"},
      {"system, for decryption", t / "top_system.txt", ChosenFor::decryption, ChoiceOutcome::refused,
       "読込み専用ファイル、隠しファイルは復号化できません。"},
      {"gone", t / "gone.txt", ChosenFor::decryption, ChoiceOutcome::failed,
       "ファイルの属性の取得に失敗しました。\n指定されたファイルが見つかりません。"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    boxes = ScriptedMessageBox();
    list->assign({t / "previous.txt"});
    list->base_folder = "previous";
    EXPECT_EQ(accept_chosen_file(context, *list, row.path, row.purpose), row.outcome);
    if (row.message.empty()) {
      EXPECT_TRUE(boxes.shown.empty());
      EXPECT_EQ(list->count(), 1);
      EXPECT_EQ((*list)[0].source_path, row.path);
      EXPECT_EQ(list->base_folder, t.path());
    } else {
      ASSERT_EQ(boxes.shown.size(), 1u);
      EXPECT_EQ(boxes.shown[0].text, row.message);
      EXPECT_EQ(boxes.shown[0].flags, 0x10030u);
      EXPECT_EQ(list->base_folder, "previous");
    }
  }
}

// 2560 files in one folder and one more beside it.
class SelectionLimit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    folder_->make_folder("full");
    for (int i = 0; i < kTargetCapacity; ++i) folder_->write_file("full\\" + std::to_string(i) + ".txt", "");
    folder_->write_file("extra.txt", "");
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static TempFolder* folder_;
};
TempFolder* SelectionLimit::folder_ = nullptr;

TEST_F(SelectionLimit, MoreThan2560FilesAreRefusedAsAWhole) {
  const TempFolder& t = *folder_;
  std::vector<std::string> each_file;
  for (int i = 0; i < kTargetCapacity; ++i) each_file.push_back(t / ("full\\" + std::to_string(i) + ".txt"));
  std::vector<std::string> each_and_extra = each_file;
  each_and_extra.push_back(t / "extra.txt");
  struct Row {
    const char* label;
    std::vector<std::string> dropped;
    int result;
    std::int32_t count;
  };
  const Row rows[] = {
      {"a folder of exactly 2560", {t / "full"}, 0, kTargetCapacity},
      {"2560 files dropped one by one", each_file, 0, kTargetCapacity},
      {"2561 files dropped one by one", each_and_extra, kSelectionRefused, 1},
      {"a file after the full folder", {t / "full", t / "extra.txt"}, kSelectionRefused, 1},
      {"the full folder after a file", {t / "extra.txt", t / "full", t / "extra.txt"}, kSelectionExpansionFailed, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    auto& fs = platform::system_file_system();
    ScriptedMessageBox boxes;
    SelectionContext context{fs, boxes, kSystemDirectory, 1};
    auto list = std::make_unique<TargetList>();
    list->assign({t / "previous.txt"});
    EXPECT_EQ(add_dropped_items(context, *list, row.dropped), row.result);
    EXPECT_EQ(list->count(), row.count);
    if (row.result == 0) {
      EXPECT_TRUE(boxes.shown.empty());
    } else {
      ASSERT_EQ(boxes.shown.size(), 1u);
      EXPECT_EQ(boxes.shown[0].text, kLimitMessage);
      EXPECT_EQ(boxes.shown[0].flags, 0x10030u);
      EXPECT_EQ((*list)[0].source_path, t / "previous.txt");
    }
    EXPECT_EQ(list->flags.limit_exceeded, row.result == kSelectionExpansionFailed);
  }
}

TEST(TargetList, NeverHoldsMoreThanItsCapacity) {
  auto list = std::make_unique<TargetList>();
  std::vector<std::string> paths(static_cast<std::size_t>(kTargetCapacity), "C:\\a");
  EXPECT_TRUE(list->assign(paths));
  EXPECT_FALSE(list->append("C:\\b"));
  EXPECT_EQ(list->count(), kTargetCapacity);
  paths.push_back("C:\\b");
  EXPECT_FALSE(list->assign(paths));
  EXPECT_EQ(list->count(), kTargetCapacity);
}

}  // namespace
}  // namespace kestrove::targets
