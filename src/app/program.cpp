#include "app/program.h"

#include "conversion/decrypt_worker.h"
#include "conversion/encrypt_worker.h"
#include "conversion/error_text.h"
#include "keys/device_lock.h"
#include "keys/key_loading.h"
#include "keys/key_results.h"
#include "keys/key_selection.h"
#include "keys/lock.h"
#include "keys/registry_state.h"
#include "keys/settings_file.h"
#include "platform/system_info.h"
#include "targets/destination_folder.h"
#include "targets/path_rules.h"
#include "targets/selection.h"

namespace kestrove::app {
namespace {

constexpr int kEnd = 1;  // exit status of every early end
constexpr int kRunCancelled = -1;

constexpr const char* kStartupLimitMessage =
    "1回のファイル変換の最大数：2560個を超えています。分割して実行してください。";

void error_box(ui::MessageBoxView& boxes, const std::string& text) {
  boxes.show(text, ui::kCaptionNotice, ui::mb::error_box | ui::mb::topmost);
}

void warning_box(ui::MessageBoxView& boxes, const std::string& text) {
  boxes.show(text, ui::kCaptionNotice, ui::mb::warning_box | ui::mb::topmost);
}

std::string composed(const char* first_line) {
  return conversion::compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error()));
}

ui::KeyViews key_views(ProgramViews& views) { return ui::KeyViews{views.boxes, views.password, views.status}; }

int load_settings(ProgramState& state, ProgramServices& services) {
  return keys::with_device_lock([&](const keys::DeviceLock& lock) {
    if (keys::read_options(lock, services.keys, state.keys.device_root, state.settings) != 1) return 0;
    return keys::read_version(lock, services.keys, state.keys.device_root, state.settings);
  });
}

// The file arguments into the target list. 0 to go on; otherwise the exit
// status of the end (after its message).
int walk_file_arguments(const std::vector<std::string>& files, ProgramState& state, ProgramServices& services,
                        ProgramViews& views) {
  targets::SelectionContext selection{services.files, views.boxes, services.system_directory,
                                      state.settings.include_subfolders};
  std::vector<std::string> paths;
  bool attribute_question_asked = false;
  bool cancelled = false;
  for (std::size_t i = 0; i < files.size() && !cancelled; ++i) {
    platform::Path full;
    if (!platform::expand_path(files[i], full)) {
      error_box(views.boxes, composed("ファイルの読込みに失敗しました。<13>") + "\n" + files[i]);
      return kEnd;
    }
    if (i == 0) state.targets.base_folder = targets::record_base_folder(full);
    const std::uint32_t attributes = services.files.get_attributes(full);
    if (attributes == platform::attribute::invalid) {
      error_box(views.boxes, composed("ファイルの属性の取得に失敗しました。<5>"));
      return kEnd;
    }
    if (targets::is_path_allowed(full, services.system_directory) == 0) {
      warning_box(views.boxes, targets::kProtectedMessage);
      return kEnd;
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
      return kEnd;
    }
    paths.push_back(full);
  }
  if (paths.empty()) {
    warning_box(views.boxes, targets::kNothingToConvert);
    state.run.command_line_run = false;
    return kEnd;
  }
  state.targets.assign(paths);
  return 0;
}

// The run of a filled target list: keys again, the lock, the key and the
// destination, then the worker. The worker's result, or kRunCancelled when
// the run never started.
int request_run(Operation operation, ProgramState& state, ProgramServices& services, ProgramViews& views) {
  ui::KeyViews kv = key_views(views);
  if (keys::load_keys(state.keys, services.keys, kv) == keys::kAbandonAction) return kRunCancelled;
  if (keys::locked_guard(state.keys, views.boxes)) return kRunCancelled;
  if (operation == Operation::encrypt &&
      keys::choose_current_key(state.settings.use_group_key, state.keys.key_set, state.current_key,
                               views.key_choice) != 1)
    return kRunCancelled;
  if (state.settings.choose_destination == 1 &&
      targets::destination_folder_dialog(views.folder, services.files, state.destination_folder) != 1)
    return kRunCancelled;

  std::unique_ptr<ui::RunView> view = views.make_run_view(operation);
  conversion::RunContext context{services.files,     state.targets, state.settings,
                                 state.keys.key_set, state.current_key, *view};
  context.destination_folder = state.destination_folder;
  context.temporary_file = state.instance.temporary_file;
  context.temporary_folder = state.instance.temporary_folder;
  return operation == Operation::encrypt ? conversion::encrypt_thread(context) : conversion::decrypt_thread(context);
}

// The main window's ending: with the keys still there, the options and the
// last-access time go back to the key device.
void write_back_settings(ProgramState& state, ProgramServices& services, ProgramViews& views) {
  ui::KeyViews kv = key_views(views);
  if (keys::load_keys(state.keys, services.keys, kv) == keys::kAbandonAction) return;
  keys::with_device_lock([&](const keys::DeviceLock& lock) {
    if (keys::write_options(lock, services.keys, state.keys.device_root, state.settings, views.boxes) == 1)
      keys::write_access_time(lock, services.keys, state.keys.device_root, state.keys.record_key, views.boxes);
    return 0;
  });
}

void show_main_lines(ProgramState& state, ProgramServices& services, ProgramViews& views) {
  if (views.status == nullptr) return;
  if (keys::read_pc_state(state.keys, services.keys, views.boxes) == 0)
    views.status->set_lock_display(keys::lock_display_text(state.keys.lock_flag));
  std::string last_access;
  const int read = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::read_access_time(lock, services.keys, state.keys.device_root, state.keys.record_key, last_access);
  });
  views.status->set_status_line(read == 1 && !last_access.empty() ? "最終アクセス：" + last_access
                                                                  : std::string("前回起動時間は不明です"));
  if (!state.keys.device_root.empty())
    views.status->set_status_line(state.keys.device_root.substr(0, 1) + "ドライブのキーを使用しています。");
}

}  // namespace

std::string switch_of(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return {};
  const std::string& first = arguments[0];
  return (first == "-E" || first == "-D" || first == "-F") ? first : std::string();
}

int run_program(const std::vector<std::string>& arguments, ProgramState& state, ProgramServices& services,
                ProgramViews& views) {
  std::vector<std::string> files;
  if (!arguments.empty()) {
    state.run.command_line_run = true;
    state.run.run_switch = switch_of(arguments);
    if (state.run.run_switch.empty()) {
      state.run.run_switch = views.choose_operation();
      if (state.run.run_switch.empty()) return kEnd;
      files.assign(arguments.begin(), arguments.end());
    } else {
      files.assign(arguments.begin() + 1, arguments.end());
    }
    state.run.open_in_place_run = state.run.run_switch == "-F";
  }

  ui::KeyViews kv = key_views(views);
  if (keys::load_keys(state.keys, services.keys, kv) == keys::kAbandonAction) return kEnd;
  if (load_settings(state, services) != 1) return kEnd;

  if (state.run.command_line_run) {
    const int walked = walk_file_arguments(files, state, services, views);
    if (walked != 0) return walked;
  }

  if (check_temp_folder(services.files, views.boxes, state.instance.temporary_folder) != 1) return kEnd;
  claim_instance_name(state.instance);
  show_main_lines(state, services, views);

  if (!state.run.command_line_run) {
    if (views.show_idle) views.show_idle(state);
    write_back_settings(state, services, views);
    return 0;
  }
  const Operation operation = state.run.run_switch == "-E" ? Operation::encrypt : Operation::decrypt;
  const int result = request_run(operation, state, services, views);
  if (result == kRunCancelled) return kEnd;
  write_back_settings(state, services, views);
  return result == conversion::kRunDone ? 0 : kEnd;
}

}  // namespace kestrove::app
