#include "conversion/run_context.h"

#include <cstdio>

#include "conversion/error_text.h"
#include "conversion/file_operations.h"

namespace kestrove::conversion {
namespace {

bool is_network(const std::string& root) { return !root.empty() && root[0] == '\\'; }

std::string drive_message(const char* format, const std::string& root) {
  char text[512];
  std::snprintf(text, sizeof text, format, root.c_str());
  return text;
}

bool has_room(platform::FileSystem& fs, const std::string& root, std::uint64_t need) {
  const double available = free_space(fs, root);
  return available >= 0 && static_cast<double>(need) <= available;
}

}  // namespace

std::string progress_status_text(std::int32_t done, std::int32_t count) {
  char text[128];
  std::snprintf(text, sizeof text, "変換中・・・・ %d/%d", static_cast<int>(done), static_cast<int>(count));
  return text;
}

bool temporary_drive_has_room(platform::FileSystem& fs, const std::string& temporary_file, std::uint64_t need,
                              std::string& message) {
  const std::string root = drive_root_of(temporary_file);
  if (is_network(root) || has_room(fs, root, need)) return true;
  message = drive_message("PCの空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：%s)", root);
  return false;
}

bool check_free_space(platform::FileSystem& fs, const std::string& temporary_file, std::uint64_t temporary_need,
                      const std::string& output_location, bool check_output, std::uint64_t output_need,
                      std::string& message) {
  if (!temporary_drive_has_room(fs, temporary_file, temporary_need, message)) return false;
  if (!check_output) return true;
  const std::string root = drive_root_of(output_location);
  if (is_network(root) || has_room(fs, root, output_need)) return true;
  message = drive_message("変換先の空き容量が不足しています。空き領域を増やして再度実行してください。(ドライブ：%s)", root);
  return false;
}

OverwritePolicy::Decision OverwritePolicy::decide(const std::string& output_path) {
  if (confirm_ != 1 || answer_ == ui::overwrite::yes_to_all) return Decision::replace;
  // An output counts as present when it can be opened for reading.
  const bool exists = fs_.open(output_path, platform::FileAccess::read, platform::FileCreation::open_existing,
                               platform::share::write) != nullptr;
  if (!exists) return Decision::replace;
  answer_ = view_.ask_overwrite(file_name_of(output_path));
  switch (answer_) {
    case ui::overwrite::yes:
    case ui::overwrite::yes_to_all: return Decision::replace;
    case ui::overwrite::no: return Decision::skip;
    default: return Decision::cancel_run;
  }
}

int place_output(platform::FileSystem& fs, const std::string& temporary_file, const std::string& output_path,
                 std::string& message) {
  if (!fs.delete_file(output_path) && platform::last_error() == platform::error::access_denied) {
    message = compose_error_text("上書きしようとしたファイルが読み取り専用になっています。",
                                 static_cast<std::int32_t>(platform::error::access_denied));
    return kRunFileFailure;
  }
  if (!fs.move_file(temporary_file, output_path)) {
    message = failure_text("ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。");
    return kRunFileFailure;
  }
  return kRunDone;
}

void delete_source(platform::FileSystem& fs, ui::RunView& view, const std::string& source_path) {
  if (fs.delete_file(source_path)) return;
  std::string text = failure_text("元ファイルの削除に失敗しました。");
  text += "\nファイル名：";
  text += file_name_of(source_path);
  view.show(text, ui::kCaptionNotice, ui::mb::warning_box);
}

bool make_output_folder(platform::FileSystem& fs, const std::string& output_path, std::string& message) {
  if (make_folder_chain(fs, folder_of(output_path)) == 1) return true;
  message = failure_text("ディレクトリの作成に失敗しました。");
  return false;
}

std::string failure_text(const char* first_line) {
  return compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error()));
}

void finish_worker_thread(RunContext& context, int result, const std::string& message, const EndTexts& texts) {
  ui::RunEnding ending;
  switch (result) {
    case kRunDone:
      ending = {ui::RunSignal::done, true, texts.done, true};
      break;
    case kRunNothingToConvert:
      ending = {ui::RunSignal::failed, true, texts.nothing, true};
      break;
    case kRunStopped:
      context.fs.delete_file(context.temporary_file);
      ending = {ui::RunSignal::stopped, true, texts.stopped, false};
      break;
    default:
      context.fs.delete_file(context.temporary_file);
      ending = {ui::RunSignal::failed, true, message, false};
      break;
  }
  context.view.end_run(ending);
}

}  // namespace kestrove::conversion
