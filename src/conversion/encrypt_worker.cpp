#include "conversion/encrypt_worker.h"

#include "conversion/cp3_codec.h"
#include "conversion/file_operations.h"
#include "text/cp932.h"

namespace kestrove::conversion {
namespace {

// Header and the two allowances of 64 bytes that the space checks add.
constexpr std::uint64_t kHeaderAllowance = kBodyOffset + 64;

bool is_encrypted_name(const std::string& path) {
  return text::has_extension(path, ".cp2") || text::has_extension(path, ".cp3");
}

enum class FileOutcome { converted, skipped, end_run };

class EncryptRun {
 public:
  EncryptRun(RunContext& context, std::string& message)
      : c_(context),
        message_(message),
        overwrite_(context.fs, context.view, context.settings.confirm_overwrite),
        observer_(context.view, true) {
    parameters_.key = context.current_key.entry.key.substr(0, 8);
    parameters_.algorithm = context.settings.encode_type == 2 ? kAlgorithmBody : kAlgorithmRecord;
    parameters_.is_group = context.current_key.is_group;
  }

  int run() {
    const std::int32_t count = c_.targets.count();
    if (count < 1) return kRunNothingToConvert;
    bool encrypted = false;
    for (std::int32_t i = 0; i < count; ++i) {
      c_.view.show_progress(0);
      c_.view.show_status(progress_status_text(i, count));
      const std::string& source = c_.targets[i].source_path;
      if (is_encrypted_name(source)) continue;
      c_.view.show_file_name(file_name_of(source));
      const FileOutcome outcome = encrypt_one(source, encrypted);
      if (outcome == FileOutcome::end_run) return result_;
    }
    return encrypted ? kRunDone : kRunNothingToConvert;
  }

 private:
  FileOutcome fail(int result, std::string message) {
    result_ = result;
    message_ = std::move(message);
    return FileOutcome::end_run;
  }

  FileOutcome encrypt_one(const std::string& source_path, bool& encrypted) {
    platform::FileSystem& fs = c_.fs;
    const keys::Settings& settings = c_.settings;
    {
      platform::File source = fs.open(source_path, platform::FileAccess::read_write,
                                      platform::FileCreation::open_existing, platform::share::read_write);
      std::uint64_t size = 0;
      if (!source || !source->size(size))
        return fail(kRunFileFailure, failure_text("ファイルのオープンに失敗しました。<1>"));

      const bool to_destination = settings.choose_destination == 1;
      const std::string output_location = to_destination ? c_.destination_folder : source_path;
      const bool check_output = settings.delete_original == 0 || settings.delete_original == 1;
      const std::uint64_t output_need = settings.delete_original == 0 ? kHeaderAllowance + size : kHeaderAllowance;
      std::string space_message;
      if (!check_free_space(fs, c_.temporary_file, kHeaderAllowance + size, output_location, check_output,
                            output_need, space_message))
        return fail(kRunFileFailure, space_message);

      platform::File temporary = fs.open(c_.temporary_file, platform::FileAccess::write,
                                         platform::FileCreation::create_new, platform::share::read_write);
      if (!temporary) return fail(kRunFileFailure, failure_text("ファイルのオープンに失敗しました。<10>"));

      StepFailure failure;
      if (!write_cp3(*source, size, *temporary, parameters_, &observer_, failure))
        return fail(failure.result, failure.message);

      // The cp3 file carries the plain file's times.
      platform::FileTimes times;
      if (source->get_times(times)) temporary->set_times(times);
    }
    encrypted = true;

    std::string output_path = source_path + ".cp3";
    if (settings.choose_destination == 1) {
      output_path = destination_path(source_path, c_.targets.base_folder, c_.destination_folder) + ".cp3";
      std::string message;
      if (!make_output_folder(fs, output_path, message)) return fail(kRunFileFailure, message);
    }

    switch (overwrite_.decide(output_path)) {
      case OverwritePolicy::Decision::replace: break;
      case OverwritePolicy::Decision::skip:
        fs.delete_file(c_.temporary_file);
        return FileOutcome::skipped;
      case OverwritePolicy::Decision::cancel_run:
        fs.delete_file(c_.temporary_file);
        return fail(kRunDone, std::string());
    }

    std::string message;
    if (const int placed = place_output(fs, c_.temporary_file, output_path, message); placed != kRunDone)
      return fail(placed, message);
    if (settings.delete_original == 1) delete_source(fs, c_.view, source_path);
    return FileOutcome::converted;
  }

  RunContext& c_;
  std::string& message_;
  OverwritePolicy overwrite_;
  ViewChunkObserver observer_;
  EncryptParameters parameters_;
  int result_ = kRunDone;
};

}  // namespace

int encrypt_run(RunContext& context, std::string& message) { return EncryptRun(context, message).run(); }

int encrypt_thread(RunContext& context) {
  std::string message;
  const int result = encrypt_run(context, message);
  finish_worker_thread(context, result, message, {"ファイルの暗号化が終了しました。", "暗号化対象のファイルが存在しません。", "暗号化を停止しました。"});
  return result;
}

}  // namespace kestrove::conversion
