// What the three workers share: how an output replaces an old one, when a
// source goes, where outputs land below a destination folder, and the room
// they check for first.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "conversion/decrypt_worker.h"
#include "conversion/file_operations.h"
#include "conversion/encrypt_worker.h"
#include "conversion/reencrypt_worker.h"
#include "portable/conversion/worker_fixture.h"
#include "targets/selection.h"

namespace kestrove::conversion {
namespace {

using testing::Fault;
using testing::FsOp;
using testing::Match;
using testing::WorkerFixture;

constexpr const char* kReadOnlyOutput =
    "上書きしようとしたファイルが読み取り専用になっています。\nアクセスが拒否されました。";

enum class Worker { encrypt, decrypt, reencrypt };

const char* name_of(Worker w) {
  switch (w) {
    case Worker::encrypt: return "encrypt";
    case Worker::decrypt: return "decrypt";
    case Worker::reencrypt: return "reencrypt";
  }
  return "?";
}

// One file ready for `worker`: the source and the output it will write
// (relative to the test folder).
struct Prepared {
  std::string source;
  std::string output;
};

Prepared prepare(WorkerFixture& f, Worker worker, const std::string& content) {
  switch (worker) {
    case Worker::encrypt:
      f.set_targets({{"a.txt", content}});
      return {"a.txt", "a.txt.cp3"};
    case Worker::decrypt:
      f.list->assign({f.make_cp3("a.txt", content)});
      f.list->base_folder = f.folder.path();
      return {"a.txt.cp3", "a.txt"};
    case Worker::reencrypt:
      f.set_work_copy("a.txt", content);
      return {"work\\a.txt", "work\\a.txt.cp3"};
  }
  return {};
}

int run(WorkerFixture& f, Worker worker) {
  switch (worker) {
    case Worker::encrypt: {
      RunContext c = f.context();
      return encrypt_thread(c);
    }
    case Worker::decrypt: {
      RunContext c = f.context();
      return decrypt_thread(c);
    }
    case Worker::reencrypt: {
      ReencryptThreadContext c = f.reencrypt_context();
      return reencrypt_thread(c);
    }
  }
  return 0;
}

TEST(WorkerOutputs, AReadOnlyOutputEndsTheRunAndStaysAsItWas) {
  for (const Worker worker : {Worker::encrypt, Worker::decrypt, Worker::reencrypt}) {
    SCOPED_TRACE(name_of(worker));
    WorkerFixture f;
    f.settings.confirm_overwrite = 0;
    f.settings.delete_original = 1;
    const Prepared p = prepare(f, worker, "new content");
    const std::string source = f.folder.read_file(p.source);
    f.folder.write_file(p.output, "old");
    ASSERT_TRUE(f.fs.set_attributes(f.folder / p.output, platform::attribute::read_only));
    EXPECT_EQ(run(f, worker), kRunFileFailure);
    EXPECT_EQ(f.view.end_status(), kReadOnlyOutput);
    EXPECT_EQ(f.folder.read_file(p.output), "old");
    EXPECT_TRUE(f.folder.read_file(p.source) == source);
    EXPECT_FALSE(f.temporary_file_exists());
  }
}

TEST(WorkerOutputs, ASourceIsDeletedOnlyOnceItsOutputIsInPlace) {
  for (const Worker worker : {Worker::encrypt, Worker::decrypt, Worker::reencrypt}) {
    SCOPED_TRACE(name_of(worker));
    WorkerFixture f;
    f.settings.delete_original = 1;
    const Prepared p = prepare(f, worker, "content");
    const std::size_t before = f.fs.changes().size();
    EXPECT_EQ(run(f, worker), kRunDone) << f.view.end_status();
    EXPECT_FALSE(f.folder.exists(p.source));
    EXPECT_TRUE(f.folder.exists(p.output));
    const auto& changes = f.fs.changes();
    const auto moved = std::find_if(changes.begin() + static_cast<std::ptrdiff_t>(before), changes.end(),
                                    [&](const testing::LoggedCall& c) {
                                      return c.op == FsOp::move_file && c.to == f.folder / p.output;
                                    });
    const auto deleted = std::find_if(changes.begin() + static_cast<std::ptrdiff_t>(before), changes.end(),
                                      [&](const testing::LoggedCall& c) {
                                        return c.op == FsOp::delete_file && c.path == f.folder / p.source;
                                      });
    ASSERT_NE(moved, changes.end());
    ASSERT_NE(deleted, changes.end());
    EXPECT_LT(moved - changes.begin(), deleted - changes.begin());
  }
}

TEST(WorkerOutputs, ASourceThatCannotBeDeletedIsReportedAndTheRunGoesOn) {
  for (const Worker worker : {Worker::encrypt, Worker::decrypt, Worker::reencrypt}) {
    SCOPED_TRACE(name_of(worker));
    WorkerFixture f;
    f.settings.delete_original = 1;
    const Prepared p = prepare(f, worker, "content");
    f.fs.add_fault({FsOp::delete_file, "\\" + p.source, 1, platform::error::sharing_violation, 1, Match::ends_with});
    EXPECT_EQ(run(f, worker), kRunDone) << f.view.end_status();
    ASSERT_EQ(f.view.boxes.size(), 1u);
    EXPECT_EQ(f.view.boxes[0].text,
              "元ファイルの削除に失敗しました。\nプロセスはファイルにアクセスできません。別のプロセスが使用中です。"
              "\nファイル名：" +
                  file_name_of(f.folder / p.source));
    EXPECT_EQ(f.view.boxes[0].caption, ui::kCaptionNotice);
    EXPECT_EQ(f.view.boxes[0].flags, 0x10030u);
    EXPECT_TRUE(f.folder.exists(p.source));
    EXPECT_TRUE(f.folder.exists(p.output));
  }
}

TEST(WorkerOutputs, AFailedMoveKeepsTheSource) {
  for (const Worker worker : {Worker::encrypt, Worker::decrypt}) {
    SCOPED_TRACE(name_of(worker));
    WorkerFixture f;
    f.settings.delete_original = 1;
    const Prepared p = prepare(f, worker, "content");
    f.fs.add_fault({FsOp::move_file, "", 1});
    EXPECT_EQ(run(f, worker), kRunFileFailure);
    EXPECT_TRUE(f.folder.exists(p.source));
    EXPECT_FALSE(f.folder.exists(p.output));
  }
}

TEST(WorkerOutputs, TheFoldersBelowTheBaseFolderReappearBelowTheDestination) {
  struct Row {
    const char* label;
    std::vector<std::string> dropped;
    std::string destination;
    std::vector<std::string> encrypted;  // relative to the test folder
  };
  const Row rows[] = {
      {"one file: its folder is the base", {"data\\sub\\a.txt"}, "out", {"out\\a.txt.cp3"}},
      {"a folder: the folder itself reappears", {"data"}, "out\\",
       {"out\\data\\b.txt.cp3", "out\\data\\sub\\a.txt.cp3", "out\\data\\sub\\表\\c.txt.cp3"}},
      {"the first item decides the base", {"data\\b.txt", "data\\sub"}, "out",
       {"out\\b.txt.cp3", "out\\sub\\a.txt.cp3", "out\\sub\\表\\c.txt.cp3"}},
      {"missing destination folders are made", {"data\\sub\\表"}, "new\\deeper", {"new\\deeper\\表\\c.txt.cp3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    f.folder.make_folder("data");
    f.folder.make_folder("data\\sub");
    f.folder.make_folder("data\\sub\\表");
    f.folder.write_file("data\\b.txt", "b");
    f.folder.write_file("data\\sub\\a.txt", "a");
    f.folder.write_file("data\\sub\\表\\c.txt", "c");
    testing::ScriptedMessageBox boxes;
    targets::SelectionContext selection{f.fs, boxes, "C:\\WINDOWS\\system32", 1};
    std::vector<std::string> dropped;
    for (const std::string& d : row.dropped) dropped.push_back(f.folder / d);
    ASSERT_EQ(targets::add_dropped_items(selection, *f.list, dropped), 0)
        << (boxes.shown.empty() ? std::string() : boxes.shown.back().text);
    f.settings.choose_destination = 1;
    f.destination_folder = f.folder / row.destination;
    RunContext encrypt = f.context();
    ASSERT_EQ(encrypt_thread(encrypt), kRunDone) << f.view.end_status();
    for (const std::string& output : row.encrypted) EXPECT_TRUE(f.folder.exists(output)) << output;

    // And back: below another destination, from the encrypted tree.
    const std::string top = row.encrypted.front().substr(0, row.encrypted.front().find('\\'));
    ASSERT_EQ(targets::add_dropped_items(selection, *f.list, {f.folder / top}), 0);
    f.destination_folder = f.folder / "back";
    f.reset_view();
    RunContext decrypt = f.context();
    ASSERT_EQ(decrypt_thread(decrypt), kRunDone) << f.view.end_status();
    for (const std::string& output : row.encrypted) {
      const std::string plain = "back\\" + output.substr(0, output.size() - 4);
      EXPECT_EQ(f.folder.read_file(plain), file_name_of(plain).substr(0, 1)) << plain;
    }
  }
}

TEST(WorkerOutputs, FreeSpaceIsCheckedOnTheTemporaryAndTheOutputDrive) {
  struct Row {
    const char* label;
    Worker worker;
    std::int32_t delete_original;
    std::vector<std::uint64_t> free;  // temporary drive, output drive
    int result;
    const char* message_start;  // "" when the run completes
  };
  constexpr const char* kPc = "PCの空き容量が不足しています。";
  constexpr const char* kOut = "変換先の空き容量が不足しています。";
  // Encrypting 1000 bytes needs 76 + 1000 + 64 bytes; decrypting their
  // 1091-byte cp3 file 76 + 1091 + 64; deleting the source, 140 on the output drive.
  const Row rows[] = {
      {"encrypt: temporary drive one byte short", Worker::encrypt, 0, {1139, 5000}, kRunFileFailure, kPc},
      {"encrypt: output drive one byte short", Worker::encrypt, 0, {1140, 1139}, kRunFileFailure, kOut},
      {"encrypt: exactly enough", Worker::encrypt, 0, {1140, 1140}, kRunDone, ""},
      {"encrypt: deleting the source needs the header only", Worker::encrypt, 1, {1140, 140}, kRunDone, ""},
      {"encrypt: ... and not one byte less", Worker::encrypt, 1, {1140, 139}, kRunFileFailure, kOut},
      {"encrypt: other values skip the output drive", Worker::encrypt, 2, {1140, 0}, kRunDone, ""},
      {"decrypt: temporary drive one byte short", Worker::decrypt, 0, {1230, 5000}, kRunFileFailure, kPc},
      {"decrypt: output drive one byte short", Worker::decrypt, 0, {1231, 1230}, kRunFileFailure, kOut},
      {"decrypt: deleting the source needs the header only", Worker::decrypt, 1, {1231, 140}, kRunDone, ""},
      {"reencrypt: the work copy is always deleted", Worker::reencrypt, 0, {1140, 140}, kRunDone, ""},
      {"reencrypt: output drive one byte short", Worker::reencrypt, 0, {1140, 139}, kRunFileFailure, kOut},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WorkerFixture f;
    f.settings.delete_original = row.delete_original;
    prepare(f, row.worker, testing::pattern(1000));
    for (const std::uint64_t bytes : row.free) f.fs.script_free_space({bytes});
    f.fs.set_free_space(0);  // any further question is answered "full"
    EXPECT_EQ(run(f, row.worker), row.result) << f.view.end_status();
    EXPECT_EQ(f.view.end_status().rfind(row.message_start, 0), 0u) << f.view.end_status();
    if (row.result != kRunDone) {
      EXPECT_EQ(f.view.end_status(), std::string(row.message_start) +
                                          "空き領域を増やして再度実行してください。(ドライブ：" +
                                          f.temporary_root() + ")");
    }
  }
}

TEST(WorkerOutputs, NetworkPathsAreNotCheckedForSpace) {
  WorkerFixture f;
  f.fs.set_free_space(0);
  std::string message;
  EXPECT_TRUE(check_free_space(f.fs, "\\\\server\\share\\x.tmp", 1000, "\\\\server\\share\\a.txt", true, 1000,
                               message));
  EXPECT_EQ(f.fs.free_space_calls(), 0);
  EXPECT_FALSE(check_free_space(f.fs, "\\\\server\\share\\x.tmp", 1000, "D:\\a.txt", true, 1000, message));
  EXPECT_EQ(message, "変換先の空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：D:\\)");
  EXPECT_FALSE(check_free_space(f.fs, "C:\\x.tmp", 1000, "\\\\server\\share\\a.txt", true, 0, message));
  EXPECT_EQ(message, "PCの空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：C:\\)");
}

}  // namespace
}  // namespace kestrove::conversion
