#include <gtest/gtest.h>

#include <cstring>

#include "conversion/decrypt_worker.h"
#include "conversion/file_operations.h"
#include "conversion/remove_folder_tree.h"
#include "crypto/record_cipher.h"
#include "portable/conversion/worker_fixture.h"

namespace kestrove::conversion {
namespace {

using testing::Fault;
using testing::FsOp;
using testing::WorkerFixture;

constexpr const char* kDenied = "\nアクセスが拒否されました。";
constexpr const char* kDecryptDone = "ファイルの復号化が終了しました。";
constexpr const char* kNotYours = "暗号ファイルは他の人が作成したか、またはファイル内容が変更されています。";

void put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// A cp2 file as the older program wrote it: DES under the PersonalKey, one
// cipher call per piece, 7 filler bytes at the end in mode 1.
std::string make_cp2(const std::string& plain, const std::string& personal_key, std::uint32_t mode,
                     std::uint32_t chunk_size = kChunkSize) {
  std::string out;
  put32(out, 0);
  put32(out, chunk_size);
  put32(out, mode);
  out.append(8, '\0');
  std::uint8_t check[8] = {};
  std::memcpy(check, personal_key.data(), 8);
  std::uint8_t enciphered[8];
  EXPECT_EQ(crypto::record_cipher(8, personal_key.c_str(), check, enciphered, crypto::kRecordEncipher), 0);
  out.append(reinterpret_cast<const char*>(enciphered), 8);
  const std::string body = mode == 1 ? plain + "ABCDEF0" : plain;
  for (std::size_t at = 0; at < body.size(); at += chunk_size) {
    const std::string piece = body.substr(at, chunk_size);
    std::string cipher(piece.size(), '\0');
    EXPECT_EQ(crypto::record_cipher(static_cast<std::uint32_t>(piece.size()), personal_key.c_str(),
                                    reinterpret_cast<const std::uint8_t*>(piece.data()),
                                    reinterpret_cast<std::uint8_t*>(cipher.data()), crypto::kRecordEncipher),
              0);
    out += cipher;
  }
  return out;
}

TEST(DecryptWorker, NamesTheOutputAfterTheEncryptedFileAndPassesOverOthers) {
  WorkerFixture f;
  const std::string report = testing::pattern(3000, 1);
  const std::string upper = testing::pattern(kChunkSize - 5, 2);
  f.make_cp3("report.doc", report);
  f.make_cp3("UPPER.DOC", upper, 1);
  ASSERT_TRUE(f.fs.move_file(f.folder / "UPPER.DOC.cp3", f.folder / "UPPER.DOC.CP3"));
  f.folder.write_file("old.cp2", make_cp2("older format", f.key_set.personal_key, 1));
  f.folder.write_file("notes.txt", "plain");
  f.list->assign({f.folder / "report.doc.cp3", f.folder / "notes.txt", f.folder / "UPPER.DOC.CP3",
                  f.folder / "old.cp2"});
  RunContext run = f.context();
  ASSERT_EQ(decrypt_thread(run), kRunDone) << f.view.end_status();
  EXPECT_EQ(f.view.end_status(), kDecryptDone);
  EXPECT_TRUE(f.folder.read_file("report.doc") == report);
  EXPECT_TRUE(f.folder.read_file("UPPER.DOC") == upper);
  EXPECT_EQ(f.folder.read_file("old"), "older format");
  EXPECT_EQ(f.folder.read_file("notes.txt"), "plain");
  EXPECT_EQ(f.view.file_names, (std::vector<std::string>{"report.doc.cp3", "UPPER.DOC.CP3", "old.cp2"}));
  EXPECT_EQ(f.view.statuses.front(), "変換中・・・・ 0/4");

  // What the entries carry for open in place and the re-encryption.
  const targets::TargetList& list = *f.list;
  EXPECT_EQ(list[0].output_path, f.folder / "report.doc");
  EXPECT_EQ(list[0].key_name, "ZQabc123");
  EXPECT_EQ(list[0].algorithm, 2);
  EXPECT_EQ(list[0].info_block.chunk_size, kChunkSize);
  EXPECT_EQ(list[0].offset_table.body_offset, kBodyOffset);
  EXPECT_EQ(list[0].decrypted_cp3, 1);
  EXPECT_EQ(list[1].output_path, f.folder / "notes.txt");
  EXPECT_EQ(list[1].decrypted_cp3, 0);
  EXPECT_EQ(list[2].algorithm, 1);
  EXPECT_EQ(list[3].decrypted_cp3, 0);
}

TEST(DecryptWorker, Cp2FilesKeepTheirWholeBodyUnlessTheModeSaysFiller) {
  for (const std::uint32_t mode : {1u, 0u, 5u}) {
    WorkerFixture f;
    const std::string plain = testing::pattern(kChunkSize + 1000, mode);
    f.folder.write_file("a.txt.cp2", make_cp2(plain, f.key_set.personal_key, mode));
    f.list->assign({f.folder / "a.txt.cp2"});
    RunContext run = f.context();
    ASSERT_EQ(decrypt_thread(run), kRunDone) << f.view.end_status();
    EXPECT_TRUE(f.folder.read_file("a.txt") == plain) << "mode " << mode;
  }
}

TEST(DecryptWorker, FilesNotTheUsersOrAlteredAreRefusedAlike) {
  struct Row {
    const char* label;
    void (*spoil)(WorkerFixture&, std::string& path);
  };
  const Row rows[] = {
      {"key not in the key set",
       [](WorkerFixture& f, std::string& path) {
         path = f.make_cp3("a.txt", "secret");
         f.key_set.entries.erase(f.key_set.entries.begin());
       }},
      {"first chunk altered",
       [](WorkerFixture& f, std::string& path) {
         path = f.make_cp3("a.txt", testing::pattern(5000));
         std::string bytes = f.folder.read_file("a.txt.cp3");
         bytes[kBodyOffset + 100] ^= 0x55;
         f.folder.write_file("a.txt.cp3", bytes);
       }},
      {"cp2 under another PersonalKey, even one among the group keys",
       [](WorkerFixture& f, std::string& path) {
         f.folder.write_file("a.txt.cp2", make_cp2("secret", "GRP45678", 1));
         path = f.folder / "a.txt.cp2";
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    std::string path;
    row.spoil(f, path);
    const std::string before = testing::read_whole_file(path);
    f.list->assign({path});
    RunContext run = f.context();
    EXPECT_EQ(decrypt_thread(run), kRunOutOfMemory);
    EXPECT_EQ(f.view.end_status(), kNotYours);
    EXPECT_EQ(f.view.endings.back().signal, ui::RunSignal::failed);
    EXPECT_FALSE(f.folder.exists("a.txt"));
    EXPECT_TRUE(testing::read_whole_file(path) == before);
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(DecryptWorker, ListsWithoutEncryptedFilesHaveNothingToConvert) {
  WorkerFixture f;
  f.set_targets({{"a.txt", "x"}, {"b.doc", "y"}, {"cp3", "z"}});
  RunContext run = f.context();
  EXPECT_EQ(decrypt_thread(run), kRunNothingToConvert);
  EXPECT_EQ(f.view.end_status(), "復号化対象のファイルが存在しません。");
  EXPECT_EQ(f.view.endings.back().signal, ui::RunSignal::failed);
  EXPECT_TRUE(f.view.endings.back().clear_file_name);
  EXPECT_TRUE(f.fs.changes().empty());
}

TEST(DecryptWorker, EachFailingStepEndsTheRunAndLeavesNothingBehind) {
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
      {"open source", {FsOp::open, "plain.txt.cp3", 1}, "ファイルのオープンに失敗しました。<4>" + denied},
      {"temporary drive space", {FsOp::free_space, "", 1},
       "PCの空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：" + root + ")"},
      {"output drive space", {FsOp::free_space, "", 2},
       "変換先の空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：" + root + ")"},
      {"create temporary file", {FsOp::open, ".tmp", 1}, "ファイルのオープンに失敗しました。<5>" + denied},
      {"offset table read", {FsOp::read, ".cp3", 1}, "ファイルの読込みに失敗しました。<5>" + denied},
      {"offset table at end of file", {FsOp::read, ".cp3", 1, platform::error::handle_eof},
       "変換元ファイル(ヘッダー部分)が読めません。"},
      {"info block read", {FsOp::read, ".cp3", 2}, "ファイルの読込みに失敗しました。<6>" + denied},
      {"key check read", {FsOp::read, ".cp3", 3}, "ファイルの読込みに失敗しました。<12>" + denied},
      {"digest check read", {FsOp::read, ".cp3", 4}, kNotYours, kRunOutOfMemory},
      {"body read", {FsOp::read, ".cp3", 6}, "ファイルの読込みに失敗しました。<11>" + denied},
      {"plain write", {FsOp::write, ".tmp", 1, platform::error::disk_full},
       "ファイルの書き込みに失敗しました。<11>\nディスクの容量不足です。"},
      {"plain position", {FsOp::seek, ".tmp", 1}, "ファイル操作に失敗しました。<15>" + denied},
      {"destination folder", {FsOp::create_directory, "out", 1}, "ディレクトリの作成に失敗しました。" + denied,
       kRunFileFailure, true},
      {"move into place", {FsOp::move_file, ".tmp", 1},
       "ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。" + denied},
  };
  const std::string plain = testing::pattern(2 * kChunkSize + 10);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    WorkerFixture f;
    const std::string cp3_path = f.make_cp3("plain.txt", plain);
    const std::string cp3 = f.folder.read_file("plain.txt.cp3");
    f.settings.delete_original = 1;
    if (row.to_destination) {
      f.settings.choose_destination = 1;
      f.destination_folder = f.folder / "out";
    }
    f.list->assign({cp3_path});
    f.list->base_folder = f.folder.path();
    f.fs.add_fault(row.fault);
    RunContext run = f.context();
    EXPECT_EQ(decrypt_thread(run), row.result);
    ASSERT_EQ(f.view.endings.size(), 1u);
    EXPECT_EQ(f.view.endings[0].signal, ui::RunSignal::failed);
    EXPECT_EQ(f.view.endings[0].status, row.message);
    EXPECT_TRUE(f.folder.read_file("plain.txt.cp3") == cp3);
    EXPECT_FALSE(f.folder.exists("plain.txt"));
    EXPECT_FALSE(f.folder.exists("out\\plain.txt"));
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(DecryptWorker, Cp2StepsHaveTheirOwnMessages) {
  struct Row {
    const char* step;
    Fault fault;
    std::string message;
  };
  const std::string denied = kDenied;
  const Row rows[] = {
      {"open source", {FsOp::open, ".cp2", 1}, "ファイルのオープンに失敗しました。<6>" + denied},
      {"create temporary file", {FsOp::open, ".tmp", 1}, "ファイルのオープンに失敗しました。<7>" + denied},
      {"header read", {FsOp::read, ".cp2", 1}, "ファイルの読込みに失敗しました。<7>" + denied},
      {"body read", {FsOp::read, ".cp2", 3}, "ファイルの読込みに失敗しました。<9>" + denied},
      {"plain write", {FsOp::write, ".tmp", 1}, "ファイルの書き込みに失敗しました。<7>" + denied},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    WorkerFixture f;
    f.folder.write_file("a.txt.cp2", make_cp2("older", f.key_set.personal_key, 1));
    f.list->assign({f.folder / "a.txt.cp2"});
    f.fs.add_fault(row.fault);
    RunContext run = f.context();
    EXPECT_EQ(decrypt_thread(run), kRunFileFailure);
    EXPECT_EQ(f.view.end_status(), row.message);
    EXPECT_FALSE(f.folder.exists("a.txt"));
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(DecryptWorker, StopBetweenChunksKeepsTheFilesPlacedBefore) {
  WorkerFixture f;
  f.make_cp3("a.txt", "small");
  const std::string big_cp3 = f.make_cp3("big.txt", testing::pattern(3 * kChunkSize));
  const std::string big_bytes = f.folder.read_file("big.txt.cp3");
  f.settings.delete_original = 1;
  f.list->assign({f.folder / "a.txt.cp3", big_cp3});
  f.view.stop_at_poll = 3;
  RunContext run = f.context();
  EXPECT_EQ(decrypt_thread(run), kRunStopped);
  EXPECT_EQ(f.view.end_status(), "復号化を停止しました。");
  EXPECT_EQ(f.view.endings.back().signal, ui::RunSignal::stopped);
  EXPECT_EQ(f.folder.read_file("a.txt"), "small");
  EXPECT_FALSE(f.folder.exists("big.txt"));
  EXPECT_TRUE(f.folder.read_file("big.txt.cp3") == big_bytes);
  EXPECT_FALSE(f.temporary_file_exists());
}

TEST(DecryptWorker, OverwriteAnswersDecideFileByFile) {
  struct Row {
    const char* label;
    std::vector<int> answers;
    std::vector<bool> replaced;  // x, y
    std::vector<int> decrypted;  // decrypted_cp3 afterwards
  };
  using namespace ui::overwrite;
  const Row rows[] = {
      {"no skips that file and keeps its cp3 file", {no, yes}, {false, true}, {0, 1}},
      {"yes to all", {yes_to_all}, {true, true}, {1, 1}},
      {"cancel ends the run as done", {cancel}, {false, false}, {0, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    f.make_cp3("x.txt", "new x");
    f.make_cp3("y.txt", "new y");
    f.folder.write_file("x.txt", "old");
    f.folder.write_file("y.txt", "old");
    f.settings.delete_original = 1;
    f.list->assign({f.folder / "x.txt.cp3", f.folder / "y.txt.cp3"});
    f.view.overwrite_answers.assign(row.answers.begin(), row.answers.end());
    RunContext run = f.context();
    EXPECT_EQ(decrypt_thread(run), kRunDone);
    EXPECT_EQ(f.view.end_status(), kDecryptDone);
    const char* names[] = {"x.txt", "y.txt"};
    for (int i = 0; i < 2; ++i) {
      const std::string name = names[i];
      EXPECT_EQ(f.folder.read_file(name) != "old", row.replaced[i]) << name;
      EXPECT_EQ(f.folder.exists(name + ".cp3"), !row.replaced[i]) << name;
      EXPECT_EQ((*f.list)[i].decrypted_cp3, row.decrypted[i]) << name;
    }
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(DecryptWorker, OpenInPlaceDecryptsIntoAWorkFolderAndKeepsTheCp3File) {
  WorkerFixture f;
  const std::string plain = testing::pattern(4000);
  const std::string cp3_path = f.make_cp3("doc.txt", plain);
  platform::DirectoryEntry before;
  ASSERT_TRUE(f.fs.find_entry(cp3_path, before));
  f.settings.delete_original = 1;
  f.list->assign({cp3_path});
  RunContext run = f.context();
  run.open_in_place = true;
  ASSERT_EQ(decrypt_thread(run), kRunDone) << f.view.end_status();
  const targets::TargetEntry& entry = (*f.list)[0];
  const std::string work_folder = folder_of(entry.output_path);
  EXPECT_EQ(folder_of(work_folder), folder_of(f.temporary_file));
  const std::string work_name = file_name_of(work_folder);
  EXPECT_EQ(work_name.substr(0, 4), "temp");
  EXPECT_EQ(work_name.size(), 14u);
  EXPECT_EQ(file_name_of(entry.output_path), "doc.txt");
  EXPECT_TRUE(testing::read_whole_file(entry.output_path) == plain);
  EXPECT_TRUE(f.folder.exists("doc.txt.cp3"));
  EXPECT_FALSE(f.folder.exists("doc.txt"));
  EXPECT_EQ(entry.decrypted_cp3, 1);
  EXPECT_EQ(entry.opened_file_times.last_write, before.times.last_write);
}

TEST(DecryptWorker, OpenInPlaceFailuresLeaveNoWorkFolder) {
  struct Row {
    const char* label;
    Fault fault;
    std::string message;
  };
  const Row rows[] = {
      {"work folder taken 11 times", {FsOp::create_directory, "tmp\\temp", 1, platform::error::already_exists, 11},
       "tempフォルダの作成に失敗しました。\n既に存在するファイルを作成することはできません。"},
      {"move into the work folder", {FsOp::move_file, "", 1},
       std::string("ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。") + kDenied},
      {"room for the work copies", {FsOp::free_space, "", 3},
       "PCの空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：" +
           WorkerFixture().temporary_root() + ")"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    const std::string cp3_path = f.make_cp3("doc.txt", "text");
    f.list->assign({cp3_path});
    f.fs.add_fault(row.fault);
    RunContext run = f.context();
    run.open_in_place = true;
    EXPECT_EQ(decrypt_thread(run), kRunFileFailure);
    EXPECT_EQ(f.view.end_status(), row.message);
    std::vector<platform::DirectoryEntry> left;
    ASSERT_TRUE(f.fs.list_directory(f.folder / "tmp", left));
    EXPECT_TRUE(left.empty()) << left.front().name;
    EXPECT_TRUE(f.folder.exists("doc.txt.cp3"));
  }
}

TEST(DecryptWorker, AStaleTemporaryFileStopsTheRunAndIsClearedForTheNext) {
  WorkerFixture f;
  const std::string cp3_path = f.make_cp3("a.txt", "text");
  f.folder.write_file("tmp\\5A3C9E10.tmp", "stale");
  f.list->assign({cp3_path});
  RunContext run = f.context();
  EXPECT_EQ(decrypt_thread(run), kRunFileFailure);
  EXPECT_EQ(f.view.end_status().rfind("ファイルのオープンに失敗しました。<5>", 0), 0u) << f.view.end_status();
  EXPECT_FALSE(f.temporary_file_exists());
  f.reset_view();
  EXPECT_EQ(decrypt_thread(run), kRunDone);
  EXPECT_EQ(f.folder.read_file("a.txt"), "text");
}

TEST(RemoveFolderTree, RemovesNestedAndReadOnlyContentOrStopsAtTheFirstFailure) {
  for (const bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "a file cannot be deleted" : "all removable");
    testing::TempFolder t;
    testing::FaultyFileSystem fs;
    t.make_folder("work");
    t.make_folder("work\\sub");
    t.write_file("work\\a.txt", "a");
    t.write_file("work\\sub\\b.txt", "b");
    ASSERT_TRUE(fs.set_attributes(t / "work\\sub\\b.txt", platform::attribute::read_only));
    if (fail) fs.add_fault({FsOp::delete_file, "b.txt", 1, platform::error::sharing_violation});
    EXPECT_EQ(remove_folder_tree(fs, t / "work") != 0, !fail);
    EXPECT_EQ(t.exists("work"), fail);
    if (fail) EXPECT_TRUE(t.exists("work\\sub\\b.txt"));
  }
}

}  // namespace
}  // namespace kestrove::conversion
