#include "conversion/decrypt_worker.h"

#include <cstdio>
#include <vector>

#include "conversion/cp3_codec.h"
#include "conversion/cp3_format.h"
#include "conversion/file_operations.h"
#include "conversion/remove_folder_tree.h"
#include "text/cp932.h"

namespace kestrove::conversion {
namespace {

constexpr const char* kNotYoursOrAltered =
    "暗号ファイルは他の人が作成したか、またはファイル内容が変更されています。";
// Space a file needs beyond its size: the cp3 header and two allowances of
// 64 bytes; the cp2 header and its filler.
constexpr std::uint64_t kCp3Allowance = kBodyOffset + 64;
constexpr std::uint64_t kCp2Allowance = 84;
// Work folders for open in place: "temp" and 10, 11, ... 20 random characters.
constexpr int kWorkFolderAttempts = 11;

enum class Kind { cp3, cp2, other };

Kind kind_of(const std::string& path) {
  if (text::has_extension(path, ".cp3")) return Kind::cp3;
  if (text::has_extension(path, ".cp2")) return Kind::cp2;
  return Kind::other;
}

std::string cipher_failure(const char* format) {
  char text[256];
  std::snprintf(text, sizeof text, format, static_cast<int>(platform::last_error()));
  return text;
}

std::string without_extension(const std::string& path) { return path.substr(0, path.size() - 4); }

std::string join(const std::string& folder, const std::string& name) {
  return text::ends_with_char(folder, '\\') ? folder + name : folder + "\\" + name;
}

struct KindMessages {
  const char* open;
  const char* create_temporary;
  std::uint64_t allowance;
};
constexpr KindMessages kCp3{"ファイルのオープンに失敗しました。<4>", "ファイルのオープンに失敗しました。<5>", kCp3Allowance};
constexpr KindMessages kCp2{"ファイルのオープンに失敗しました。<6>", "ファイルのオープンに失敗しました。<7>", kCp2Allowance};

enum class FileOutcome { converted, skipped, end_run };

class DecryptRun {
 public:
  DecryptRun(RunContext& context, std::string& message)
      : c_(context),
        message_(message),
        overwrite_(context.fs, context.view, context.settings.confirm_overwrite),
        observer_(context.view, true) {
    for (const keys::KeyEntry& entry : context.key_set.entries) keys_.push_back(entry.key.substr(0, 8));
  }

  int run() {
    targets::TargetList& list = c_.targets;
    const std::int32_t count = list.count();
    bool any = false;
    for (std::int32_t i = 0; i < count; ++i) {
      targets::TargetEntry& entry = list[i];
      entry.output_path = entry.source_path;
      const Kind kind = kind_of(entry.source_path);
      entry.decrypted_cp3 = kind == Kind::cp3 ? 1 : 0;
      any = any || kind != Kind::other;
    }
    if (!any) return kRunNothingToConvert;

    for (std::int32_t i = 0; i < count; ++i) {
      c_.view.show_status(progress_status_text(i, count));
      c_.view.show_progress(0);
      targets::TargetEntry& entry = list[i];
      const Kind kind = kind_of(entry.source_path);
      if (kind == Kind::other) continue;
      if (decrypt_one(entry, kind) == FileOutcome::end_run) return result_;
    }
    return kRunDone;
  }

 private:
  FileOutcome fail(int result, std::string message) {
    result_ = result;
    message_ = std::move(message);
    return FileOutcome::end_run;
  }

  // Header checks, key and body of a cp3 file into the open temporary file.
  FileOutcome decipher_cp3(platform::OpenFile& source, std::uint64_t size, platform::OpenFile& temporary,
                           targets::TargetEntry& entry) {
    Cp3Header header;
    StepFailure failure;
    if (!read_cp3_header(source, header, failure)) return fail(failure.result, failure.message);
    std::size_t index = 0;
    const int found = find_file_key(header.key_check, keys_, index);
    if (found < 0) return fail(kRunCipherFailure, cipher_failure("ファイルの復号化に失敗しました。<1>：%d"));
    if (found == 0) return fail(kRunOutOfMemory, kNotYoursOrAltered);
    const std::string& key = keys_[index];
    if (verify_first_chunk(source, key, header, size) != 1) return fail(kRunOutOfMemory, kNotYoursOrAltered);
    entry.key_name = key;
    entry.info_block = header.info;
    entry.offset_table = header.offsets;
    entry.algorithm = header.info.algorithm == kAlgorithmBody ? 2 : 1;
    if (!read_cp3_body(source, size, header, key, temporary, &observer_, failure))
      return fail(failure.result, failure.message);
    return FileOutcome::converted;
  }

  FileOutcome decipher_cp2(platform::OpenFile& source, std::uint64_t size, platform::OpenFile& temporary) {
    Cp2Header header;
    StepFailure failure;
    if (!read_cp2_header(source, header, failure)) return fail(failure.result, failure.message);
    const int fits = check_cp2_key(header.key_check, c_.key_set.personal_key);
    if (fits < 0) return fail(kRunCipherFailure, cipher_failure("ファイルの復号化に失敗しました。<3>：%d"));
    if (fits == 0) return fail(kRunOutOfMemory, kNotYoursOrAltered);
    if (!read_cp2_body(source, size, header, c_.key_set.personal_key, temporary, &observer_, failure)) {
      if (failure.result == kRunOutOfMemory) failure.message = "メモリ領域の確保に失敗しました。<22>";
      return fail(failure.result, failure.message);
    }
    return FileOutcome::converted;
  }

  // A new work folder in the temporary folder; empty after 11 failures.
  std::string make_work_folder() {
    for (int k = 0; k < kWorkFolderAttempts; ++k) {
      const std::string folder =
          join(c_.temporary_folder, "temp" + random_hex_text(static_cast<std::size_t>(10 + k)));
      if (c_.fs.create_directory(folder)) return folder;
    }
    return std::string();
  }

  FileOutcome decrypt_one(targets::TargetEntry& entry, Kind kind) {
    platform::FileSystem& fs = c_.fs;
    const keys::Settings& settings = c_.settings;
    const KindMessages& messages = kind == Kind::cp3 ? kCp3 : kCp2;
    const bool in_place = kind == Kind::cp3 && c_.open_in_place;
    const std::string source_path = entry.source_path;
    c_.view.show_file_name(file_name_of(source_path));
    {
      platform::File source = fs.open(source_path, platform::FileAccess::read_write,
                                      platform::FileCreation::open_existing, platform::share::read_write);
      if (!source) return fail(kRunFileFailure, failure_text(messages.open));
      if (in_place) source->get_times(entry.opened_file_times);
      std::uint64_t size = 0;
      if (!source->size(size)) return fail(kRunFileFailure, failure_text(messages.open));

      const std::string output_location = settings.choose_destination == 1 ? c_.destination_folder : source_path;
      const bool check_output = settings.delete_original == 0 || settings.delete_original == 1;
      const std::uint64_t output_need =
          settings.delete_original == 0 ? messages.allowance + size : messages.allowance;
      std::string space_message;
      if (!check_free_space(fs, c_.temporary_file, messages.allowance + size, output_location, check_output,
                            output_need, space_message))
        return fail(kRunFileFailure, space_message);
      // Opened in place, the temporary drive also holds the work copy and
      // its re-encryption.
      if (in_place && !temporary_drive_has_room(fs, c_.temporary_file, (kBodyOffset + size) * 4 + 256, space_message))
        return fail(kRunFileFailure, space_message);

      platform::File temporary = fs.open(c_.temporary_file, platform::FileAccess::write,
                                         platform::FileCreation::create_new, platform::share::read_write);
      if (!temporary) return fail(kRunFileFailure, failure_text(messages.create_temporary));

      const FileOutcome deciphered =
          kind == Kind::cp3 ? decipher_cp3(*source, size, *temporary, entry) : decipher_cp2(*source, size, *temporary);
      if (deciphered == FileOutcome::end_run) return deciphered;

      // The plain file carries the encrypted file's times.
      platform::FileTimes times;
      if (source->get_times(times)) temporary->set_times(times);
    }
    return place(entry, in_place);
  }

  FileOutcome place(targets::TargetEntry& entry, bool in_place) {
    platform::FileSystem& fs = c_.fs;
    const keys::Settings& settings = c_.settings;
    const std::string source_path = entry.source_path;
    std::string output_path = without_extension(source_path);
    if (settings.choose_destination == 1) {
      output_path = without_extension(destination_path(source_path, c_.targets.base_folder, c_.destination_folder));
      std::string message;
      if (!make_output_folder(fs, output_path, message)) return fail(kRunFileFailure, message);
    }
    entry.output_path = output_path;

    std::string work_folder;
    if (in_place) {
      work_folder = make_work_folder();
      if (work_folder.empty()) {
        std::string message = failure_text("tempフォルダの作成に失敗しました。");
        fs.delete_file(c_.temporary_file);
        return fail(kRunFileFailure, message);
      }
      output_path = work_folder + "\\" + file_name_of(output_path);
      entry.output_path = output_path;
    }

    switch (overwrite_.decide(output_path)) {
      case OverwritePolicy::Decision::replace: break;
      case OverwritePolicy::Decision::skip:
        entry.decrypted_cp3 = 0;
        fs.delete_file(c_.temporary_file);
        return FileOutcome::skipped;
      case OverwritePolicy::Decision::cancel_run:
        entry.decrypted_cp3 = 0;
        fs.delete_file(c_.temporary_file);
        return fail(kRunDone, std::string());
    }

    std::string message;
    if (const int placed = place_output(fs, c_.temporary_file, output_path, message); placed != kRunDone) {
      if (!work_folder.empty()) remove_folder_tree(fs, work_folder);
      return fail(placed, message);
    }
    if (in_place) return FileOutcome::converted;  // the cp3 file stays for the write-back
    if (settings.delete_original == 1) delete_source(fs, c_.view, source_path);
    return FileOutcome::converted;
  }

  RunContext& c_;
  std::string& message_;
  OverwritePolicy overwrite_;
  ViewChunkObserver observer_;
  std::vector<std::string> keys_;
  int result_ = kRunDone;
};

}  // namespace

int decrypt_worker(RunContext& context, std::string& message) { return DecryptRun(context, message).run(); }

int decrypt_thread(RunContext& context) {
  std::string message;
  const int result = decrypt_worker(context, message);
  finish_worker_thread(context, result, message, {"ファイルの復号化が終了しました。", "復号化対象のファイルが存在しません。", "復号化を停止しました。"});
  return result;
}

}  // namespace kestrove::conversion
