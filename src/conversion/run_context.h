#pragma once
// What a conversion run works with, passed to the encrypt and decrypt
// workers, and the pieces of a run that both share: the status line, the
// free-space checks, the overwrite question and placing an output.
#include <cstdint>
#include <string>

#include "conversion/cp3_codec.h"
#include "keys/key_set.h"
#include "keys/settings.h"
#include "platform/file_system.h"
#include "targets/target_list.h"
#include "ui/run_view.h"

namespace kestrove::conversion {

// Results of the workers.
inline constexpr int kRunDone = 0;
inline constexpr int kRunOutOfMemory = -1;  // also: a file that is not the user's, or altered
inline constexpr int kRunFileFailure = -2;
inline constexpr int kRunCipherFailure = -10;
inline constexpr int kRunNothingToConvert = -12;
inline constexpr int kRunStopped = kResultStopped;  // 200

struct RunContext {
  platform::FileSystem& fs;
  targets::TargetList& targets;  // also gives the base folder of the run
  const keys::Settings& settings;
  const keys::KeySet& key_set;
  const keys::CurrentKey& current_key;
  ui::RunView& view;
  std::string destination_folder{};  // used while settings.choose_destination is 1
  std::string temporary_file{};      // the instance temporary file
  // Decryption only: open in place (started with -F while re-encryption on
  // save is on) puts each cp3 file's plain copy into a new work folder in
  // `temporary_folder`.
  bool open_in_place = false;
  std::string temporary_folder{};
};

// "変換中・・・・ i/count"
std::string progress_status_text(std::int32_t done, std::int32_t count);

// The status lines a worker thread ends with, per direction.
struct EndTexts {
  const char* done;     // "ファイルの暗号化が終了しました。"
  const char* nothing;  // "暗号化対象のファイルが存在しません。"
  const char* stopped;  // "暗号化を停止しました。"
};

// What a worker thread does after its run: unless the run completed or found
// nothing, the instance temporary file is deleted; then the end is shown
// with the status line of the result (the failure's message for a failure).
void finish_worker_thread(RunContext& context, int result, const std::string& message, const EndTexts& texts);

// The view as the codec's chunk observer: progress per chunk and the stop
// button (a run that cannot be stopped passes stoppable false).
class ViewChunkObserver final : public ChunkObserver {
 public:
  ViewChunkObserver(ui::RunView& view, bool stoppable) : view_(view), stoppable_(stoppable) {}
  void chunk_starting(int percent) override { view_.show_progress(percent); }
  bool stop_requested() override { return stoppable_ && view_.stop_requested(); }

 private:
  ui::RunView& view_;
  bool stoppable_;
};

// The free-space checks made before the temporary file is created: the
// temporary drive must hold `temporary_need` bytes, the output drive (the
// first three characters of `output_location`) `output_need` bytes unless
// `check_output` is false. A network path is not checked; a drive whose
// space cannot be read counts as full. False with the message when short.
bool check_free_space(platform::FileSystem& fs, const std::string& temporary_file, std::uint64_t temporary_need,
                      const std::string& output_location, bool check_output, std::uint64_t output_need,
                      std::string& message);
// The temporary-drive message alone, for a further check.
bool temporary_drive_has_room(platform::FileSystem& fs, const std::string& temporary_file, std::uint64_t need,
                              std::string& message);

// The overwrite question across one run: "はい(すべて)" holds until the run ends.
class OverwritePolicy {
 public:
  enum class Decision { replace, skip, cancel_run };
  OverwritePolicy(platform::FileSystem& fs, ui::RunView& view, std::int32_t confirm_overwrite)
      : fs_(fs), view_(view), confirm_(confirm_overwrite) {}
  Decision decide(const std::string& output_path);

 private:
  platform::FileSystem& fs_;
  ui::RunView& view_;
  std::int32_t confirm_;
  int answer_ = ui::overwrite::yes;
};

// Replaces whatever is at `output_path` by the finished temporary file: the
// old output is deleted (refused only when it is read-only), then the
// temporary file is moved. kRunDone, or kRunFileFailure with the message.
int place_output(platform::FileSystem& fs, const std::string& temporary_file, const std::string& output_path,
                 std::string& message);

// Deletes a converted source; when that fails the user is told at once
// (naming the file) and the run goes on.
void delete_source(platform::FileSystem& fs, ui::RunView& view, const std::string& source_path);

// Makes the folder that will hold `output_path`; false with the message.
bool make_output_folder(platform::FileSystem& fs, const std::string& output_path, std::string& message);

// The composed message of the call that just failed.
std::string failure_text(const char* first_line);

}  // namespace kestrove::conversion
