#include <gtest/gtest.h>

#include "conversion/decrypt_worker.h"
#include "conversion/encrypt_worker.h"
#include "portable/conversion/worker_fixture.h"

namespace kestrove::conversion {
namespace {

using testing::Fault;
using testing::FsOp;
using testing::WorkerFixture;

constexpr const char* kDenied = "\nアクセスが拒否されました。";
constexpr const char* kEncryptDone = "ファイルの暗号化が終了しました。";

std::uint64_t last_write_of(const std::string& path) {
  platform::DirectoryEntry entry;
  EXPECT_TRUE(platform::system_file_system().find_entry(path, entry)) << path;
  return entry.times.last_write;
}

TEST(EncryptWorker, FilesOfEveryShapeComeBackThroughTheDecryptWorker) {
  const std::size_t sizes[] = {0, 1, 15, kChunkSize - 15, kChunkSize - 5, kChunkSize, kChunkSize + 7,
                               2 * kChunkSize + 3};
  for (const std::uint32_t algorithm : {kAlgorithmRecord, kAlgorithmBody}) {
    for (const std::size_t size : sizes) {
      SCOPED_TRACE(::testing::Message() << "algorithm " << algorithm << " size " << size);
      WorkerFixture f;
      const std::string plain = testing::pattern(size, static_cast<unsigned>(size));
      f.settings.encode_type = static_cast<std::int32_t>(algorithm);
      f.settings.delete_original = 1;
      f.set_targets({{"a.bin", plain}});
      const std::uint64_t plain_time = last_write_of(f.folder / "a.bin");
      RunContext run = f.context();
      ASSERT_EQ(encrypt_thread(run), kRunDone) << f.view.end_status();
      EXPECT_EQ(f.view.end_status(), kEncryptDone);
      EXPECT_EQ(f.view.endings.back().signal, ui::RunSignal::done);
      EXPECT_TRUE(f.view.endings.back().clear_file_name);
      EXPECT_FALSE(f.folder.exists("a.bin"));
      EXPECT_FALSE(f.temporary_file_exists());
      const std::string cp3 = f.folder.read_file("a.bin.cp3");
      EXPECT_EQ(cp3.size(), kBodyOffset + size + filler_length(algorithm));
      EXPECT_EQ(last_write_of(f.folder / "a.bin.cp3"), plain_time);

      f.list->assign({f.folder / "a.bin.cp3"});
      f.reset_view();
      ASSERT_EQ(decrypt_thread(run), kRunDone) << f.view.end_status();
      EXPECT_EQ(f.view.end_status(), "ファイルの復号化が終了しました。");
      EXPECT_TRUE(f.folder.read_file("a.bin") == plain);
      EXPECT_FALSE(f.folder.exists("a.bin.cp3"));
      EXPECT_EQ(last_write_of(f.folder / "a.bin"), plain_time);
    }
  }
}

TEST(EncryptWorker, RecordsTheKeyAndItsKindInTheHeader) {
  for (const bool group : {false, true}) {
    WorkerFixture f;
    f.current_key = {f.key_set.entries[group ? 1 : 0], group};
    f.set_targets({{"a.txt", "text"}});
    RunContext run = f.context();
    ASSERT_EQ(encrypt_thread(run), kRunDone);
    auto file = platform::system_file_system().open(f.folder / "a.txt.cp3", platform::FileAccess::read,
                                                     platform::FileCreation::open_existing, platform::share::read);
    ASSERT_TRUE(file);
    Cp3Header header;
    StepFailure failure;
    ASSERT_TRUE(read_cp3_header(*file, header, failure)) << failure.message;
    EXPECT_EQ(header.info.is_group, group ? 1u : 0u);
    EXPECT_EQ(header.info.algorithm, kAlgorithmBody);
    const std::vector<std::string> keys{f.key_set.entries[0].key, f.key_set.entries[1].key};
    std::size_t index = 99;
    EXPECT_EQ(find_file_key(header.key_check, keys, index), 1);
    EXPECT_EQ(index, group ? 1u : 0u);
  }
}

TEST(EncryptWorker, ShowsTheCountAndTheFileInHandAndPassesOverEncryptedFiles) {
  WorkerFixture f;
  f.set_targets({{"a.txt", "a"}, {"b.cp3", "b"}, {"c.txt", std::string(kChunkSize + 1, 'c')}});
  RunContext run = f.context();
  ASSERT_EQ(encrypt_thread(run), kRunDone);
  EXPECT_EQ(f.view.statuses, (std::vector<std::string>{"変換中・・・・ 0/3", "変換中・・・・ 1/3",
                                                       "変換中・・・・ 2/3"}));
  EXPECT_EQ(f.view.file_names, (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_FALSE(f.folder.exists("b.cp3.cp3"));
  // Reset to 0 for every entry, then once per chunk: 1 chunk for a.txt,
  // 2 for c.txt (the second a little over half of the file).
  EXPECT_EQ(f.view.progress, (std::vector<int>{0, 100, 0, 0, 99, 100}));
}

TEST(EncryptWorker, ListsOfOnlyEncryptedFilesHaveNothingToConvert) {
  WorkerFixture f;
  f.set_targets({{"a.cp3", "x"}, {"b.CP2", "y"}});
  RunContext run = f.context();
  EXPECT_EQ(encrypt_thread(run), kRunNothingToConvert);
  ASSERT_EQ(f.view.endings.size(), 1u);
  EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::failed);
  EXPECT_EQ(f.view.endings[0].status, "暗号化対象のファイルが存在しません。");
  EXPECT_TRUE(f.view.endings[0].clear_file_name);
  EXPECT_TRUE(f.fs.changes().empty());

  f.list->clear();
  f.reset_view();
  EXPECT_EQ(encrypt_thread(run), kRunNothingToConvert);
}

TEST(EncryptWorker, EachFailingStepEndsTheRunAndLeavesNothingBehind) {
  struct Row {
    const char* step;
    Fault fault;
    std::string message;
    int result = kRunFileFailure;
    bool to_destination = false;
  };
  const std::string denied = kDenied;
  const std::string root = WorkerFixture().temporary_root();
  const Row rows[] = {
      {"open source", {FsOp::open, "plain.txt", 1}, "ファイルのオープンに失敗しました。<1>" + denied},
      {"temporary drive space", {FsOp::free_space, "", 1},
       "PCの空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：" + root + ")"},
      {"output drive space", {FsOp::free_space, "", 2},
       "変換先の空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：" + root + ")"},
      {"create temporary file", {FsOp::open, ".tmp", 1}, "ファイルのオープンに失敗しました。<10>" + denied},
      {"offset table", {FsOp::write, ".tmp", 1}, "ファイルの書き込みに失敗しました。<8>" + denied},
      {"seek to info block", {FsOp::seek, ".tmp", 1}, "ファイル操作に失敗しました。<1>" + denied},
      {"digest read", {FsOp::read, "plain.txt", 1}, "ファイルの読込みに失敗しました。<1>" + denied},
      {"digest rewind", {FsOp::seek, "plain.txt", 1}, "ファイルの読込みに失敗しました。<1>" + denied},
      {"info block", {FsOp::write, ".tmp", 2}, "ファイルの書き込みに失敗しました。<9>" + denied},
      {"seek to key check", {FsOp::seek, ".tmp", 2}, "ファイル操作に失敗しました。<2>" + denied},
      {"key check", {FsOp::write, ".tmp", 3}, "ファイルの書き込みに失敗しました。<10>" + denied},
      {"seek to body", {FsOp::seek, ".tmp", 3}, "ファイル操作に失敗しました。<3>" + denied},
      {"body read", {FsOp::read, "plain.txt", 2}, "ファイルの読込みに失敗しました。<2>" + denied},
      {"source position", {FsOp::seek, "plain.txt", 2}, "ファイル操作に失敗しました。<4>" + denied},
      {"first chunk write", {FsOp::write, ".tmp", 4, platform::error::disk_full},
       "ファイルの書き込みに失敗しました。<2>\nディスクの容量不足です。"},
      {"last chunk write", {FsOp::write, ".tmp", 5}, "ファイルの書き込みに失敗しました。<2>" + denied},
      {"output position", {FsOp::seek, ".tmp", 4}, "ファイル操作に失敗しました。<5>" + denied},
      {"destination folder", {FsOp::create_directory, "out", 1}, "ディレクトリの作成に失敗しました。" + denied,
       kRunFileFailure, true},
      {"move into place", {FsOp::move_file, ".cp3", 1},
       "ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。" + denied},
  };
  const std::string plain = testing::pattern(kChunkSize + 75000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    WorkerFixture f;
    f.settings.delete_original = 1;  // a failed file keeps its source all the same
    if (row.to_destination) {
      f.settings.choose_destination = 1;
      f.destination_folder = f.folder / "out";
    }
    f.set_targets({{"plain.txt", plain}});
    f.fs.add_fault(row.fault);
    RunContext run = f.context();
    EXPECT_EQ(encrypt_thread(run), row.result);
    ASSERT_EQ(f.view.endings.size(), 1u);
    EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::failed);
    EXPECT_EQ(f.view.endings[0].status, row.message);
    EXPECT_FALSE(f.view.endings[0].clear_file_name);
    EXPECT_TRUE(f.folder.read_file("plain.txt") == plain);
    EXPECT_FALSE(f.folder.exists("plain.txt.cp3"));
    EXPECT_FALSE(f.folder.exists("out\\plain.txt.cp3"));
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(EncryptWorker, AFailureKeepsTheFilesAlreadyPlacedAndTouchesNoLaterOne) {
  WorkerFixture f;
  f.set_targets({{"a.txt", "first"}, {"b.txt", "second"}, {"c.txt", "third"}});
  f.fs.add_fault({FsOp::open, "b.txt", 1});
  RunContext run = f.context();
  EXPECT_EQ(encrypt_thread(run), kRunFileFailure);
  EXPECT_TRUE(f.folder.exists("a.txt.cp3"));
  EXPECT_FALSE(f.folder.exists("b.txt.cp3"));
  EXPECT_FALSE(f.folder.exists("c.txt.cp3"));
}

TEST(EncryptWorker, StopBetweenChunksAbandonsTheFileInHandOnly) {
  WorkerFixture f;
  const std::string big = testing::pattern(3 * kChunkSize + 5);
  f.set_targets({{"a.txt", "small"}, {"big.txt", big}});
  f.view.stop_at_poll = 3;  // a.txt is one chunk; big.txt stops before its second
  RunContext run = f.context();
  EXPECT_EQ(encrypt_thread(run), kRunStopped);
  ASSERT_EQ(f.view.endings.size(), 1u);
  EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::stopped);
  EXPECT_EQ(f.view.endings[0].status, "暗号化を停止しました。");
  EXPECT_TRUE(f.folder.exists("a.txt.cp3"));
  EXPECT_FALSE(f.folder.exists("big.txt.cp3"));
  EXPECT_TRUE(f.folder.read_file("big.txt") == big);
  EXPECT_FALSE(f.temporary_file_exists());
}

TEST(EncryptWorker, OverwriteAnswersDecideFileByFile) {
  struct Row {
    const char* label;
    std::int32_t confirm;
    std::vector<int> answers;
    std::vector<std::string> asked;
    std::vector<bool> replaced;  // x, y, z
  };
  using namespace ui::overwrite;
  const Row rows[] = {
      {"yes each time", 1, {yes, yes, yes}, {"x.txt.cp3", "y.txt.cp3", "z.txt.cp3"}, {true, true, true}},
      {"no skips that file only", 1, {no, yes, yes}, {"x.txt.cp3", "y.txt.cp3", "z.txt.cp3"}, {false, true, true}},
      {"yes to all asks no more", 1, {yes, yes_to_all}, {"x.txt.cp3", "y.txt.cp3"}, {true, true, true}},
      {"cancel ends the run", 1, {no, cancel}, {"x.txt.cp3", "y.txt.cp3"}, {false, false, false}},
      {"no question when not confirming", 0, {}, {}, {true, true, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    f.settings.confirm_overwrite = row.confirm;
    f.settings.delete_original = 1;
    for (const char* name : {"x.txt.cp3", "y.txt.cp3", "z.txt.cp3"}) f.folder.write_file(name, "old");
    f.set_targets({{"x.txt", "x"}, {"y.txt", "y"}, {"z.txt", "z"}});
    f.view.overwrite_answers.assign(row.answers.begin(), row.answers.end());
    RunContext run = f.context();
    EXPECT_EQ(encrypt_thread(run), kRunDone);
    EXPECT_EQ(f.view.end_status(), kEncryptDone);
    EXPECT_EQ(f.view.overwrite_questions, row.asked);
    const char* names[] = {"x.txt", "y.txt", "z.txt"};
    for (int i = 0; i < 3; ++i) {
      const std::string name = names[i];
      EXPECT_EQ(f.folder.read_file(name + ".cp3") != "old", row.replaced[i]) << name;
      // The source goes only with its output in place.
      EXPECT_EQ(f.folder.exists(name), !row.replaced[i]) << name;
    }
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(EncryptWorker, YesToAllLastsOneRun) {
  WorkerFixture f;
  f.set_targets({{"x.txt", "x"}, {"y.txt", "y"}});
  f.folder.write_file("x.txt.cp3", "old");
  f.folder.write_file("y.txt.cp3", "old");
  RunContext run = f.context();
  for (int round = 0; round < 2; ++round) {
    f.reset_view();
    f.view.overwrite_answers = {ui::overwrite::yes_to_all};
    EXPECT_EQ(encrypt_thread(run), kRunDone);
    EXPECT_EQ(f.view.overwrite_questions, std::vector<std::string>{"x.txt.cp3"}) << "round " << round;
  }
}

}  // namespace
}  // namespace kestrove::conversion
