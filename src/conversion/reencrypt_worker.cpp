#include "conversion/reencrypt_worker.h"

#include <string_view>

#include "conversion/cp3_codec.h"
#include "conversion/error_text.h"
#include "conversion/file_operations.h"
#include "conversion/run_context.h"
#include "platform/named_mutex.h"
#include "text/cp932.h"

namespace kestrove::conversion {
namespace {

constexpr std::uint64_t kHeaderAllowance = kBodyOffset + 64;
constexpr int kMoveAttempts = 10;
constexpr unsigned kMovePauseMs = 50;
constexpr std::size_t kFallbackStemBytes = 50;

// The writer reports its steps in the encrypt worker's words; the
// re-encryption has numbers of its own for the same steps.
struct Renumbering {
  const char* writer;
  const char* reencrypt;
};
constexpr Renumbering kRenumbering[] = {
    {"ファイルの書き込みに失敗しました。<8>", "ファイルの書き込みに失敗しました。<3>"},
    {"ファイル操作に失敗しました。<1>", "ファイル操作に失敗しました。<6>"},
    {"ファイルの読込みに失敗しました。<1>", "ファイルの読込みに失敗しました。<3>"},
    {"メモリ領域の確保に失敗しました。<28>", "メモリ領域の確保に失敗しました。<26>"},
    {"ファイルの書き込みに失敗しました。<9>", "ファイルの書き込みに失敗しました。<4>"},
    {"ファイル操作に失敗しました。<2>", "ファイル操作に失敗しました。<7>"},
    {"ファイルの暗号化に失敗しました。<1>", "ファイルの暗号化に失敗しました。<3>"},
    {"ファイルの書き込みに失敗しました。<10>", "ファイルの書き込みに失敗しました。<5>"},
    {"ファイル操作に失敗しました。<3>", "ファイル操作に失敗しました。<8>"},
    {"メモリ領域の確保に失敗しました。<13>", "メモリ領域の確保に失敗しました。<15>"},
    {"ファイルの読込みに失敗しました。<2>", "ファイルの読込みに失敗しました。<4>"},
    {"ファイル操作に失敗しました。<4>", "ファイル操作に失敗しました。<9>"},
    {"ファイルの暗号化に失敗しました。<2>", "ファイルの暗号化に失敗しました。<4>"},
    {"ファイルの書き込みに失敗しました。<2>", "ファイルの書き込みに失敗しました。<6>"},
    {"ファイル操作に失敗しました。<5>", "ファイル操作に失敗しました。<10>"},
};

std::string renumbered(const std::string& message) {
  for (const Renumbering& r : kRenumbering) {
    const std::string_view writer(r.writer);
    if (message.compare(0, writer.size(), writer) == 0) return r.reencrypt + message.substr(writer.size());
  }
  return message;
}

// At most `limit` bytes of `s`, never half a double-byte character.
std::string cut_at_character(const std::string& s, std::size_t limit) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t step = text::is_lead_byte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return s.substr(0, i);
}

// Beside the work copy: the first 50 bytes of its stem, "~", its extension
// and ".cp3" (for a move that keeps failing under the usual name).
std::string fallback_output_path(const std::string& plain_path) {
  const std::string name = file_name_of(plain_path);
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  return folder_of(plain_path) + "\\" + cut_at_character(stem, kFallbackStemBytes) + "~" + extension + ".cp3";
}

// False with the error of the last attempt (the pause may clear the
// thread's last error, so it is kept apart).
bool move_with_retries(platform::FileSystem& fs, const std::string& from, const std::string& to,
                       platform::ErrorCode& error) {
  for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
    if (fs.move_file(from, to)) return true;
    error = platform::last_error();
    platform::sleep_ms(kMovePauseMs);
  }
  return false;
}

class Reencryption {
 public:
  Reencryption(ReencryptContext& context, const ReencryptJob& job, platform::FileTimes& edited_times,
               std::string& message)
      : c_(context), job_(job), edited_times_(edited_times), message_(message) {}

  int run() {
    c_.view.show_status("変換中");
    c_.view.show_progress(0);
    if (text::has_extension(job_.plain_path, ".cp2") || text::has_extension(job_.plain_path, ".cp3")) return kRunDone;
    c_.view.show_file_name(file_name_of(job_.plain_path));
    int result = write_temporary();
    if (result == kRunDone) result = place();
    // Both files are closed by now; the temporary file goes unless it was
    // moved somewhere.
    if (result != kRunDone && temporary_created_) c_.fs.delete_file(c_.temporary_file);
    return result;
  }

 private:
  int fail(int result, std::string message) {
    message_ = std::move(message);
    return result;
  }

  int write_temporary() {
    platform::FileSystem& fs = c_.fs;
    platform::File plain = fs.open(job_.plain_path, platform::FileAccess::read_write,
                                   platform::FileCreation::open_existing, platform::share::read_write);
    std::uint64_t size = 0;
    if (!plain || !plain->size(size)) return fail(kRunFileFailure, failure_text("ファイルのオープンに失敗しました。<2>"));

    const std::string output_location = c_.settings.choose_destination == 1 ? c_.destination_folder : job_.plain_path;
    const std::uint64_t output_need = job_.delete_plain ? kHeaderAllowance : kHeaderAllowance + size;
    std::string space_message;
    if (!check_free_space(fs, c_.temporary_file, kHeaderAllowance + size, output_location, true, output_need,
                          space_message))
      return fail(kRunFileFailure, space_message);

    platform::File temporary = fs.open(c_.temporary_file, platform::FileAccess::write,
                                       platform::FileCreation::create_new, platform::share::read_write);
    if (!temporary) return fail(kRunFileFailure, failure_text("ファイルのオープンに失敗しました。<3>"));
    temporary_created_ = true;

    EncryptParameters parameters;
    parameters.key = job_.key.substr(0, 8);
    parameters.algorithm = job_.algorithm == kAlgorithmBody ? kAlgorithmBody : kAlgorithmRecord;
    parameters.is_group = job_.info_block.is_group != 0;
    ViewChunkObserver observer(c_.view, false);
    StepFailure failure;
    if (!write_cp3(*plain, size, *temporary, parameters, &observer, failure))
      return fail(failure.result, renumbered(failure.message));

    // The new cp3 file carries the work copy's times; the write-back
    // compares them with the source's.
    if (plain->get_times(edited_times_)) temporary->set_times(edited_times_);
    return kRunDone;
  }

  int place() {
    platform::FileSystem& fs = c_.fs;
    const std::string output_path = job_.plain_path + ".cp3";
    if (!fs.delete_file(output_path) && platform::last_error() == platform::error::access_denied) {
      return fail(kRunFileFailure, compose_error_text("上書きしようとしたファイルが読み取り専用になっています。",
                                                      static_cast<std::int32_t>(platform::error::access_denied)));
    }
    platform::ErrorCode error = 0;
    if (!move_with_retries(fs, c_.temporary_file, output_path, error)) {
      std::string message = compose_error_text(
          "ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。",
          static_cast<std::int32_t>(error));
      // Keep the result under another name; the plain copy goes only when
      // the encrypted one is in place. Should that fail too, the plain copy
      // stays in the work folder.
      if (fs.move_file(c_.temporary_file, fallback_output_path(job_.plain_path))) {
        temporary_created_ = false;
        fs.delete_file(job_.plain_path);
      }
      return fail(kRunFileFailure, message);
    }
    temporary_created_ = false;
    if (job_.delete_plain) delete_source(fs, c_.view, job_.plain_path);
    return kRunDone;
  }

  ReencryptContext& c_;
  const ReencryptJob& job_;
  platform::FileTimes& edited_times_;
  std::string& message_;
  bool temporary_created_ = false;
};

// select_key(0): the PersonalKey becomes the CurrentKey.
bool select_personal_key(const keys::KeySet& key_set, keys::CurrentKey& current) {
  if (key_set.entries.empty()) return false;
  current.entry = key_set.entries.front();
  current.is_group = false;
  return true;
}

}  // namespace

int reencrypt_worker(ReencryptContext& context, const ReencryptJob& job, platform::FileTimes& edited_times,
                     std::string& message) {
  return Reencryption(context, job, edited_times, message).run();
}

bool choose_reencrypt_key(ReencryptThreadContext& context, std::string& key, std::uint32_t& algorithm) {
  const targets::TargetEntry& entry = context.targets[context.entry_index];
  if (context.launch_status != 0 || context.reencrypt_same_key == 1) {
    key = entry.key_name.substr(0, 8);
    algorithm = entry.algorithm == 2 ? kAlgorithmBody : kAlgorithmRecord;
    return true;
  }
  const bool chosen = context.settings.use_group_key == 1
                          ? context.choose_key && context.choose_key(context.current_key)
                          : select_personal_key(context.key_set, context.current_key);
  if (!chosen) return false;
  key = context.current_key.entry.key.substr(0, 8);
  algorithm = context.settings.encode_type == 2 ? kAlgorithmBody : kAlgorithmRecord;
  return true;
}

int reencrypt_thread(ReencryptThreadContext& context) {
  std::string key;
  std::uint32_t algorithm = kAlgorithmRecord;
  if (!choose_reencrypt_key(context, key, algorithm)) {
    // Nothing is written; the dialog goes straight to telling the monitor.
    context.view.end_run({ui::RunSignal::done, false, std::string(), false});
    return kRunDone;
  }
  targets::TargetEntry& entry = context.targets[context.entry_index];
  ClaimedName claim = context.claim_name ? context.claim_name(context.temporary_folder)
                                         : claim_temporary_name(context.temporary_folder);
  ReencryptContext worker_context{context.fs, context.view, context.settings, context.destination_folder,
                                  claim.temporary_file};
  ReencryptJob job;
  job.plain_path = entry.output_path;
  job.key = key;
  job.algorithm = algorithm;
  job.info_block = entry.info_block;
  job.delete_plain = true;
  std::string message;
  const int result = reencrypt_worker(worker_context, job, entry.edited_file_times, message);
  if (result == kRunDone) {
    context.view.end_run({ui::RunSignal::done, true, "ファイルの暗号化が終了しました。", true});
  } else {
    context.view.end_run({ui::RunSignal::none, true, message, false});
  }
  return result;
}

}  // namespace kestrove::conversion
