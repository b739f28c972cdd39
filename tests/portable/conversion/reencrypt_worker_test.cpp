#include <gtest/gtest.h>

#include <algorithm>

#include "conversion/decrypt_worker.h"
#include "conversion/file_operations.h"
#include "conversion/reencrypt_worker.h"
#include "portable/conversion/worker_fixture.h"

namespace kestrove::conversion {
namespace {

using testing::Fault;
using testing::FsOp;
using testing::WorkerFixture;

constexpr const char* kDenied = "\nアクセスが拒否されました。";
constexpr const char* kDone = "ファイルの暗号化が終了しました。";

Cp3Header header_of(const std::string& path) {
  auto file = platform::system_file_system().open(path, platform::FileAccess::read,
                                                   platform::FileCreation::open_existing, platform::share::read);
  Cp3Header header;
  StepFailure failure;
  EXPECT_TRUE(file && read_cp3_header(*file, header, failure)) << path << " " << failure.message;
  return header;
}

TEST(ReencryptWorker, ReplacesTheWorkCopyByACp3FileThatDecryptsUnderTheNewKey) {
  // A file of the group key with the DES body, opened in place, edited, and
  // written back under a key chosen now while the AES body is the setting.
  WorkerFixture f;
  f.settings.encode_type = 2;
  f.settings.use_group_key = 0;
  const std::string edited = testing::pattern(kChunkSize + 300, 7);
  f.set_work_copy("doc.txt", edited, "GRP45678", 1);
  (*f.list)[0].info_block.is_group = 1;
  platform::DirectoryEntry work_copy;
  ASSERT_TRUE(f.fs.find_entry(f.folder / "work\\doc.txt", work_copy));
  ReencryptThreadContext run = f.reencrypt_context();
  run.reencrypt_same_key = 0;
  ASSERT_EQ(reencrypt_thread(run), kRunDone) << f.view.end_status();
  ASSERT_EQ(f.view.endings.size(), 1u);
  EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::done);
  EXPECT_EQ(f.view.endings[0].status, kDone);
  EXPECT_TRUE(f.view.endings[0].clear_file_name);
  EXPECT_EQ(f.view.file_names, std::vector<std::string>{"doc.txt"});
  EXPECT_EQ(f.view.statuses, std::vector<std::string>{"変換中"});
  EXPECT_FALSE(f.folder.exists("work\\doc.txt"));
  EXPECT_FALSE(f.temporary_file_exists());
  EXPECT_EQ(f.current_key.entry.key, "ZQabc123");
  EXPECT_FALSE(f.current_key.is_group);

  const std::string cp3_path = f.folder / "work\\doc.txt.cp3";
  const Cp3Header header = header_of(cp3_path);
  EXPECT_EQ(header.info.algorithm, kAlgorithmBody);
  EXPECT_EQ(header.info.is_group, 1u);  // kept from the source's header
  platform::DirectoryEntry written;
  ASSERT_TRUE(f.fs.find_entry(cp3_path, written));
  EXPECT_EQ(written.times.last_write, work_copy.times.last_write);
  EXPECT_EQ((*f.list)[0].edited_file_times.last_write, work_copy.times.last_write);

  f.list->assign({cp3_path});
  f.reset_view();
  RunContext decrypt = f.context();
  ASSERT_EQ(decrypt_thread(decrypt), kRunDone) << f.view.end_status();
  EXPECT_EQ((*f.list)[0].key_name, "ZQabc123");
  EXPECT_TRUE(f.folder.read_file("work\\doc.txt") == edited);
}

TEST(ReencryptWorker, ChoosesTheSourceKeyOrANewOne) {
  struct Row {
    const char* label;
    std::int32_t launch_status;
    std::int32_t same_key;
    std::int32_t use_group_key;
    std::int32_t encode_type;
    int chooser;  // -1: declines; otherwise the KeySet entry it picks
    bool proceeds;
    const char* key;
    std::uint32_t algorithm;
    bool chooser_asked;
  };
  const Row rows[] = {
      {"same-key option", 0, 1, 1, 2, 0, true, "GRP45678", 1, false},
      {"launch not watched normally", 2, 0, 1, 2, 0, true, "GRP45678", 1, false},
      {"group keys in use: the choice", 0, 0, 1, 2, 1, true, "GRP45678", 2, true},
      {"group keys in use: the personal key chosen", 0, 0, 1, 1, 0, true, "ZQabc123", 1, true},
      {"group keys in use: no choice", 0, 0, 1, 2, -1, false, "", 0, true},
      {"no group keys: the personal key", 0, 0, 0, 2, 1, true, "ZQabc123", 2, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    f.settings.use_group_key = row.use_group_key;
    f.settings.encode_type = row.encode_type;
    f.set_work_copy("doc.txt", "text", "GRP45678", 1);
    f.current_key = {f.key_set.entries[1], true};
    ReencryptThreadContext run = f.reencrypt_context();
    run.launch_status = row.launch_status;
    run.reencrypt_same_key = row.same_key;
    bool asked = false;
    run.choose_key = [&](keys::CurrentKey& current) {
      asked = true;
      if (row.chooser < 0) return false;
      current = {f.key_set.entries[static_cast<std::size_t>(row.chooser)], row.chooser != 0};
      return true;
    };
    std::string key;
    std::uint32_t algorithm = 0;
    EXPECT_EQ(choose_reencrypt_key(run, key, algorithm), row.proceeds);
    EXPECT_EQ(asked, row.chooser_asked);
    if (!row.proceeds) continue;
    EXPECT_EQ(key, row.key);
    EXPECT_EQ(algorithm, row.algorithm);
    if (row.same_key == 0 && row.launch_status == 0) {
      EXPECT_EQ(f.current_key.entry.key, row.key);
      EXPECT_EQ(f.current_key.is_group, std::string(row.key) != "ZQabc123");
    }
  }
}

TEST(ReencryptWorker, NoKeyChosenWritesNothingAndEndsAtOnce) {
  WorkerFixture f;
  f.set_work_copy("doc.txt", "text");
  ReencryptThreadContext run = f.reencrypt_context();
  run.reencrypt_same_key = 0;
  run.choose_key = [](keys::CurrentKey&) { return false; };
  EXPECT_EQ(reencrypt_thread(run), kRunDone);
  ASSERT_EQ(f.view.endings.size(), 1u);
  EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::done);
  EXPECT_FALSE(f.view.endings[0].show_end);
  EXPECT_EQ(f.folder.read_file("work\\doc.txt"), "text");
  EXPECT_FALSE(f.folder.exists("work\\doc.txt.cp3"));
  EXPECT_TRUE(f.fs.changes().empty());
}

TEST(ReencryptWorker, AWorkCopyNamedLikeAnEncryptedFileIsLeftAlone) {
  WorkerFixture f;
  f.set_work_copy("inner.cp3", "already encrypted");
  ReencryptThreadContext run = f.reencrypt_context();
  EXPECT_EQ(reencrypt_thread(run), kRunDone);
  EXPECT_EQ(f.view.end_status(), kDone);
  EXPECT_EQ(f.folder.read_file("work\\inner.cp3"), "already encrypted");
  EXPECT_FALSE(f.folder.exists("work\\inner.cp3.cp3"));
}

TEST(ReencryptWorker, EachFailingStepKeepsTheWorkCopy) {
  struct Row {
    const char* step;
    Fault fault;
    std::string message;
  };
  const std::string denied = kDenied;
  const Row rows[] = {
      {"open work copy", {FsOp::open, "doc.txt", 1}, "ファイルのオープンに失敗しました。<2>" + denied},
      {"create temporary file", {FsOp::open, ".tmp", 1}, "ファイルのオープンに失敗しました。<3>" + denied},
      {"offset table", {FsOp::write, ".tmp", 1}, "ファイルの書き込みに失敗しました。<3>" + denied},
      {"seek to info block", {FsOp::seek, ".tmp", 1}, "ファイル操作に失敗しました。<6>" + denied},
      {"digest read", {FsOp::read, "doc.txt", 1}, "ファイルの読込みに失敗しました。<3>" + denied},
      {"info block", {FsOp::write, ".tmp", 2}, "ファイルの書き込みに失敗しました。<4>" + denied},
      {"seek to key check", {FsOp::seek, ".tmp", 2}, "ファイル操作に失敗しました。<7>" + denied},
      {"key check", {FsOp::write, ".tmp", 3}, "ファイルの書き込みに失敗しました。<5>" + denied},
      {"seek to body", {FsOp::seek, ".tmp", 3}, "ファイル操作に失敗しました。<8>" + denied},
      {"body read", {FsOp::read, "doc.txt", 2}, "ファイルの読込みに失敗しました。<4>" + denied},
      {"work copy position", {FsOp::seek, "doc.txt", 2}, "ファイル操作に失敗しました。<9>" + denied},
      {"body write", {FsOp::write, ".tmp", 4}, "ファイルの書き込みに失敗しました。<6>" + denied},
      {"output position", {FsOp::seek, ".tmp", 4}, "ファイル操作に失敗しました。<10>" + denied},
      {"temporary drive space", {FsOp::free_space, "", 1},
       "PCの空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：" +
           WorkerFixture().temporary_root() + ")"},
  };
  const std::string edited = testing::pattern(kChunkSize + 10);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    WorkerFixture f;
    f.set_work_copy("doc.txt", edited);
    f.fs.add_fault(row.fault);
    ReencryptThreadContext run = f.reencrypt_context();
    EXPECT_EQ(reencrypt_thread(run), kRunFileFailure);
    ASSERT_EQ(f.view.endings.size(), 1u);
    EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::none);
    EXPECT_TRUE(f.view.endings[0].show_end);
    EXPECT_EQ(f.view.endings[0].status, row.message);
    EXPECT_TRUE(f.folder.read_file("work\\doc.txt") == edited);
    EXPECT_FALSE(f.folder.exists("work\\doc.txt.cp3"));
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(ReencryptWorker, AMoveThatKeepsFailingFallsBackToAnotherNameWithoutLosingTheEdit) {
  struct Row {
    const char* label;
    std::string name;
    int failures;
    int result;
    std::string placed_as;  // "" when nothing is placed
    bool work_copy_kept;
  };
  const std::string long_stem = std::string(49, 'a') + "表表";  // the 50-byte cut falls inside 表
  const Row rows[] = {
      {"tenth attempt succeeds", "doc.txt", 9, kRunDone, "doc.txt.cp3", false},
      {"fallback name", "doc.txt", 10, kRunFileFailure, "doc~.txt.cp3", false},
      {"fallback name of a long stem", long_stem + ".txt", 10, kRunFileFailure,
       std::string(49, 'a') + "~.txt.cp3", false},
      {"fallback fails too", "doc.txt", 11, kRunFileFailure, "", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    f.set_work_copy(row.name, "edited");
    f.fs.add_fault({FsOp::move_file, ".tmp", 1, platform::error::sharing_violation, row.failures});
    ReencryptThreadContext run = f.reencrypt_context();
    EXPECT_EQ(reencrypt_thread(run), row.result);
    if (row.result != kRunDone) {
      EXPECT_EQ(f.view.end_status(),
                "ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。"
                "\nプロセスはファイルにアクセスできません。別のプロセスが使用中です。");
    }
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(f.fs.list_directory(f.folder / "work", entries));
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    std::vector<std::string> expected;
    if (!row.placed_as.empty()) expected.push_back(row.placed_as);
    if (row.work_copy_kept) expected.push_back(row.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(TemporaryNameClaim, TwoReencryptionsAtOnceNeverShareATemporaryFile) {
  testing::TempFolder t;
  const std::string folder = t.path() + "\\";
  ClaimedName first = claim_temporary_name(folder);
  ClaimedName second = claim_temporary_name(t.path());
  ASSERT_TRUE(first.hold && second.hold);
  EXPECT_NE(first.temporary_file, second.temporary_file);
  for (const ClaimedName* claim : {&first, &second}) {
    EXPECT_EQ(folder_of(claim->temporary_file), t.path());
    const std::string name = file_name_of(claim->temporary_file);
    EXPECT_EQ(name.size(), 12u) << name;
    EXPECT_EQ(name.find_first_not_of("ABCDEF0123456789"), 8u) << name;
    EXPECT_EQ(name.substr(8), ".tmp");
  }
}

}  // namespace
}  // namespace kestrove::conversion
