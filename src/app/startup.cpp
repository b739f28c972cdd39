#include "app/startup.h"

#include "conversion/error_text.h"
#include "keys/device_lock.h"
#include "keys/key_loading.h"
#include "keys/key_results.h"
#include "keys/settings_file.h"
#include "platform/system_info.h"
#include "targets/path_rules.h"
#include "targets/selection.h"
#include "text/cp932.h"

namespace kestrove::app {
namespace {

constexpr const char* kStartupLimitMessage =
    "1回のファイル変換の最大数：2560個を超えています。分割して実行してください。";
constexpr const char* kDoubleClickOff =
    "ケストローブを実行することができません。以下の内容を確認してください。\n"
    "・ダブルクリックでファイルを開く場合には「ダブルクリックで暗号化したファイルを開く」オプションの設定が必要です。";
constexpr const char* kNameTooLong = "ファイル名が長すぎます。ファイル名を変更して実行してください。";

void error_box(ui::MessageBoxView& boxes, const std::string& text) {
  boxes.show(text, ui::kCaptionNotice, ui::mb::error_box | ui::mb::topmost);
}

void warning_box(ui::MessageBoxView& boxes, const std::string& text) {
  boxes.show(text, ui::kCaptionNotice, ui::mb::warning_box | ui::mb::topmost);
}

std::string composed(const char* first_line) {
  return conversion::compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error()));
}

int load_settings(ProgramState& state, ProgramServices& services) {
  return keys::with_device_lock([&](const keys::DeviceLock& lock) {
    if (keys::read_options(lock, services.keys, state.keys.device_root, state.settings) != 1) return 0;
    return keys::read_version(lock, services.keys, state.keys.device_root, state.settings);
  });
}

// The checks of a double-click start: the association option must be on and
// the work path must fit. False after the message that ends the program.
bool open_in_place_allowed(const std::vector<std::string>& files, ProgramState& state, ProgramServices& services,
                           ProgramViews& views) {
  const int read = services.read_association_state ? services.read_association_state(state.pc_options) : 0;
  if (read != 0) error_box(views.boxes, "このパソコンの情報の取得に失敗しました。<2>");
  if (!state.pc_options.double_click_open) {
    warning_box(views.boxes, kDoubleClickOff);
    return false;
  }
  platform::Path temporary, expanded;
  if (services.files.temp_folder(temporary) && platform::expand_path(temporary, expanded)) temporary = expanded;
  if (open_in_place_path_too_long(temporary, files.empty() ? std::string() : files[0])) {
    warning_box(views.boxes, kNameTooLong);
    return false;
  }
  return true;
}

// The file arguments into the target list. 0 to go on; otherwise the exit
// status of the end (after its message).
int walk_file_arguments(const std::vector<std::string>& files, ProgramState& state, ProgramServices& services,
                        ProgramViews& views) {
  targets::SelectionContext selection{services.files, views.boxes, services.system_directory,
                                      state.settings.include_subfolders};
  state.targets.flags.limit_exceeded = false;
  std::vector<std::string> paths;
  bool attribute_question_asked = false;
  bool cancelled = false;
  for (std::size_t i = 0; i < files.size() && !cancelled; ++i) {
    platform::Path full;
    if (!platform::expand_path(files[i], full)) {
      error_box(views.boxes, composed("ファイルの読込みに失敗しました。<13>") + "\n" + files[i]);
      return kEarlyEnd;
    }
    if (i == 0) state.targets.base_folder = targets::record_base_folder(full);
    const std::uint32_t attributes = services.files.get_attributes(full);
    if (attributes == platform::attribute::invalid) {
      error_box(views.boxes, composed("ファイルの属性の取得に失敗しました。<5>"));
      return kEarlyEnd;
    }
    if (targets::is_path_allowed(full, services.system_directory) == 0) {
      warning_box(views.boxes, targets::kProtectedMessage);
      return kEarlyEnd;
    }
    if (attributes & platform::attribute::directory) {
      const int result = targets::expand_folder(selection, full, paths, state.settings.include_subfolders,
                                                state.targets.flags);
      if (result != 0) {
        if (state.targets.flags.limit_exceeded) warning_box(views.boxes, kStartupLimitMessage);
        return result;
      }
      continue;
    }
    constexpr std::uint32_t kSkipped =
        platform::attribute::read_only | platform::attribute::hidden | platform::attribute::system;
    if (attributes & kSkipped) {
      if (!attribute_question_asked) {
        attribute_question_asked = true;
        if (views.boxes.show(targets::kAttributeQuestion, ui::kCaptionConfirm,
                             ui::mb::question_box | ui::mb::topmost) != ui::answer::ok) {
          paths.clear();
          cancelled = true;
        }
      }
      continue;
    }
    if (paths.size() >= static_cast<std::size_t>(targets::kTargetCapacity)) {
      warning_box(views.boxes, kStartupLimitMessage);
      return kEarlyEnd;
    }
    paths.push_back(full);
  }
  if (paths.empty()) {
    warning_box(views.boxes, targets::kNothingToConvert);
    state.run.command_line_run = false;
    return kEarlyEnd;
  }
  state.targets.assign(paths);
  return 0;
}

}  // namespace

std::string file_title_of(const std::string& path) {
  std::size_t start = 0;
  const std::size_t backslash = text::find_last_char(path, '\\');
  if (backslash != text::npos) start = backslash + 1;
  const std::size_t slash = text::find_last_char(path, '/');
  if (slash != text::npos && slash + 1 > start) start = slash + 1;
  if (start == 0 && path.size() >= 2 && path[1] == ':') start = 2;
  std::string name = path.substr(start);
  const std::size_t dot = text::find_last_char(name, '.');
  if (dot != text::npos) name.resize(dot);
  return name;
}

bool open_in_place_path_too_long(const std::string& expanded_temp_folder, const std::string& file_argument) {
  return expanded_temp_folder.size() + file_title_of(file_argument).size() + 26 >= 260;
}

std::optional<int> start_up(const std::vector<std::string>& arguments, ProgramState& state,
                            ProgramServices& services, ProgramViews& views) {
  std::vector<std::string> files;
  if (!arguments.empty()) {
    state.run.command_line_run = true;
    state.run.run_switch = switch_of(arguments);
    if (state.run.run_switch.empty()) {
      state.run.run_switch = views.choose_operation ? views.choose_operation() : std::string();
      if (state.run.run_switch.empty()) return kEarlyEnd;
      files.assign(arguments.begin(), arguments.end());
    } else {
      files.assign(arguments.begin() + 1, arguments.end());
    }
    state.run.open_in_place_run = state.run.run_switch == "-F";
    if (state.run.open_in_place_run && !open_in_place_allowed(files, state, services, views)) return kEarlyEnd;
  }

  ui::KeyViews key_views{views.boxes, views.password, views.status};
  if (keys::load_keys(state.keys, services.keys, key_views) == keys::kAbandonAction) return kEarlyEnd;
  if (load_settings(state, services) != 1) return kEarlyEnd;

  if (state.run.command_line_run) {
    const int walked = walk_file_arguments(files, state, services, views);
    if (walked != 0) return walked;
  }
  return std::nullopt;
}

}  // namespace kestrove::app
