#pragma once
// A conversion run over real files in a fresh folder, through the faulty
// file layer and a scripted view: the pieces every worker test needs.
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "conversion/encrypt_worker.h"
#include "conversion/reencrypt_worker.h"
#include "conversion/run_context.h"
#include "keys/key_set.h"
#include "keys/settings.h"
#include "support/faulty_file_system.h"
#include "support/scripted_run_view.h"
#include "support/temp_folder.h"
#include "targets/target_list.h"

namespace kestrove::testing {

// Bytes that differ from chunk to chunk, so a misplaced chunk shows.
inline std::string pattern(std::size_t size, unsigned seed = 1) {
  std::string out(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& c : out) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 23);
  }
  return out;
}

struct WorkerFixture {
  TempFolder folder;
  FaultyFileSystem fs;
  ScriptedRunView view;
  std::unique_ptr<targets::TargetList> list = std::make_unique<targets::TargetList>();
  keys::Settings settings;
  keys::KeySet key_set;
  keys::CurrentKey current_key;
  std::string temporary_folder;
  std::string temporary_file;
  std::string destination_folder;

  WorkerFixture() {
    settings.confirm_overwrite = 1;
    settings.delete_original = 0;
    settings.choose_destination = 0;
    settings.encode_type = 2;
    key_set.entries = {{"個人キー", "OWNER001", "ZQabc123"}, {"営業", "OWNER002", "GRP45678"}};
    key_set.personal_key = "ZQabc123";
    current_key = {key_set.entries[0], false};
    folder.make_folder("tmp");
    temporary_folder = folder / "tmp\\";
    temporary_file = folder / "tmp\\5A3C9E10.tmp";
  }

  conversion::RunContext context() {
    return conversion::RunContext{fs,   *list, settings, key_set, current_key, view, destination_folder,
                                  temporary_file, false, temporary_folder};
  }

  // Writes files (relative name -> content) and makes them the run's list.
  void set_targets(std::initializer_list<std::pair<std::string, std::string>> files) {
    std::vector<std::string> paths;
    for (const auto& [name, content] : files) {
      folder.write_file(name, content);
      paths.push_back(folder / name);
    }
    list->assign(paths);
    list->base_folder = folder.path();
  }

  void reset_view() { view = ScriptedRunView(); }

  // A work copy of open in place as the decrypt worker leaves it: the file
  // in a work folder, its entry with the key and header that opened it.
  void set_work_copy(const std::string& name, const std::string& content, const std::string& key = "ZQabc123",
                     std::int32_t algorithm = 2) {
    folder.make_folder("work");
    folder.write_file("work\\" + name, content);
    list->assign({folder / (name + ".cp3")});
    targets::TargetEntry& entry = (*list)[0];
    entry.output_path = folder / ("work\\" + name);
    entry.key_name = key;
    entry.algorithm = algorithm;
    entry.info_block.algorithm = static_cast<std::uint32_t>(algorithm);
    entry.decrypted_cp3 = 1;
  }

  // The re-encryption of entry 0, with the same key unless changed, and a
  // fixed temporary name in place of the mutex-claimed one.
  conversion::ReencryptThreadContext reencrypt_context() {
    conversion::ReencryptThreadContext run{fs, view, *list, 0, 0, settings, key_set, current_key, 1,
                                           destination_folder, temporary_folder, nullptr, nullptr};
    const std::string file = temporary_file;
    run.claim_name = [file](const std::string&) { return conversion::ClaimedName{nullptr, file}; };
    return run;
  }

  // Makes `name` + ".cp3" from `content` with the encrypt worker and removes
  // the plain file; the view and the list start afresh afterwards.
  std::string make_cp3(const std::string& name, const std::string& content, std::uint32_t algorithm = 2);

  bool temporary_file_exists() const { return folder.exists("tmp\\5A3C9E10.tmp"); }
  // The root the space messages name.
  std::string temporary_root() const { return temporary_file.substr(0, 3); }
};

inline std::string WorkerFixture::make_cp3(const std::string& name, const std::string& content,
                                          std::uint32_t algorithm) {
  const keys::Settings saved = settings;
  settings.encode_type = static_cast<std::int32_t>(algorithm);
  settings.delete_original = 1;
  settings.choose_destination = 0;
  set_targets({{name, content}});
  conversion::RunContext run = context();
  std::string message;
  EXPECT_EQ(conversion::encrypt_run(run, message), conversion::kRunDone) << message;
  settings = saved;
  reset_view();
  list->clear();
  return folder / (name + ".cp3");
}

}  // namespace kestrove::testing
