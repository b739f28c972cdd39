#include "app/main_window.h"

#include "conversion/decrypt_worker.h"
#include "conversion/encrypt_worker.h"
#include "keys/device_lock.h"
#include "keys/key_loading.h"
#include "keys/key_results.h"
#include "keys/key_selection.h"
#include "keys/lock.h"
#include "keys/registry_state.h"
#include "keys/settings_file.h"
#include "targets/destination_folder.h"
#include "targets/selection.h"

namespace kestrove::app {
namespace {

constexpr const char* kUnlockedStatusLine = "                   ";  // 19 blanks

template <typename Settings>  // keys::Settings, const or not
auto& setting_of(Settings& settings, SettingBox box) {
  switch (box) {
    case SettingBox::confirm_overwrite: return settings.confirm_overwrite;
    case SettingBox::include_subfolders: return settings.include_subfolders;
    case SettingBox::delete_original: return settings.delete_original;
    case SettingBox::choose_destination: return settings.choose_destination;
    case SettingBox::use_group_key: break;
  }
  return settings.use_group_key;
}

}  // namespace

bool MainWindow::open() {
  if (check_temp_folder(services_.files, views_.boxes, state_.instance.temporary_folder) != 1) return false;
  claim_instance_name(state_.instance);
  if (views_.status == nullptr) return true;

  views_.status->set_lock_display(registry_says_locked() ? keys::kLockedDisplay : kUnlockedStatusLine);
  std::string last_access;
  const int read = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::read_access_time(lock, services_.keys, state_.keys.device_root, state_.keys.record_key,
                                  last_access);
  });
  if (read == 1 && !last_access.empty()) views_.status->set_last_access_line("最終アクセス：" + last_access);
  views_.status->set_status_line("   ");
  if (!state_.keys.device_root.empty())
    views_.status->set_drive_line(state_.keys.device_root.substr(0, 1) + "ドライブのキーを使用しています。");
  return true;
}

bool MainWindow::box_checked(SettingBox box) const {
  return setting_of(state_.settings, box) == 1;
}

bool MainWindow::box_clicked(SettingBox box, bool checked) {
  std::int32_t& field = setting_of(state_.settings, box);
  switch (box) {
    case SettingBox::confirm_overwrite:
      if (!checked && views_.boxes.show(kOverwriteCheckQuestion, ui::kCaptionConfirm, ui::mb::question_box) !=
                          ui::answer::ok)
        return true;  // declined: the check stays, and so does the setting
      field = checked ? 1 : 0;
      return checked;
    case SettingBox::use_group_key:
      // Only a key set with a group key besides the personal key turns it on.
      if (!checked) field = 0;
      else if (state_.keys.raw_groups.entries.size() > 1) field = 1;
      return checked;
    default:
      field = checked ? 1 : 0;
      return checked;
  }
}

ui::KeyViews MainWindow::key_views() { return ui::KeyViews{views_.boxes, views_.password, views_.status}; }

bool MainWindow::registry_says_locked() {
  return keys::read_pc_state(state_.keys, services_.keys, views_.boxes) == 0 && state_.keys.lock_flag == '1';
}

bool MainWindow::keys_ready_and_unlocked() {
  ui::KeyViews views = key_views();
  if (keys::load_keys(state_.keys, services_.keys, views) == keys::kAbandonAction) return false;
  return !keys::locked_guard(state_.keys, views_.boxes);
}

bool MainWindow::choose_key_and_destination(Operation operation) {
  if (operation == Operation::encrypt &&
      keys::choose_current_key(state_.settings.use_group_key, state_.keys.key_set, state_.current_key,
                               views_.key_choice) != 1)
    return false;
  if (state_.settings.choose_destination == 1 &&
      targets::destination_folder_dialog(views_.folder, services_.files, state_.destination_folder) != 1)
    return false;
  return true;
}

int MainWindow::run_conversion(Operation operation) {
  const RunWorker worker = [this, operation](ui::RunView& view) {
    conversion::RunContext context{services_.files,     state_.targets,     state_.settings,
                                   state_.keys.key_set, state_.current_key, view};
    context.destination_folder = state_.destination_folder;
    context.temporary_file = state_.instance.temporary_file;
    context.temporary_folder = state_.instance.temporary_folder;
    context.open_in_place = state_.run.open_in_place_run && state_.pc_options.reencrypt_on_save;
    if (operation == Operation::encrypt) conversion::encrypt_thread(context);
    else conversion::decrypt_thread(context);
  };
  return views_.run_conversion ? views_.run_conversion(operation, worker) : 0;
}

bool MainWindow::request_run(Operation operation) {
  if (!keys_ready_and_unlocked()) return false;
  if (!choose_key_and_destination(operation)) return false;
  // Opening a decrypted file in place is built on this road later; a
  // completed decryption ends here for now.
  return run_conversion(operation) == 1;
}

bool MainWindow::start_command_line_run() {
  return request_run(state_.run.run_switch == "-E" ? Operation::encrypt : Operation::decrypt);
}

int MainWindow::choose_and_convert_file(Operation operation) {
  const std::string path = views_.choose_file ? views_.choose_file(operation) : std::string();
  if (path.empty()) return 1;
  targets::SelectionContext selection{services_.files, views_.boxes, services_.system_directory,
                                      state_.settings.include_subfolders};
  const auto purpose =
      operation == Operation::encrypt ? targets::ChosenFor::encryption : targets::ChosenFor::decryption;
  switch (targets::accept_chosen_file(selection, state_.targets, path, purpose)) {
    case targets::ChoiceOutcome::refused: return 1;
    case targets::ChoiceOutcome::failed: return 0;
    case targets::ChoiceOutcome::run: break;
  }
  return run_conversion(operation) == 1 ? 1 : 0;
}

void MainWindow::button_clicked(Operation operation) {
  if (!keys_ready_and_unlocked()) return;
  if (!choose_key_and_destination(operation)) return;
  choose_and_convert_file(operation);
}

void MainWindow::files_dropped(Operation operation, const std::vector<std::string>& paths) {
  state_.run.command_line_run = false;
  targets::SelectionContext selection{services_.files, views_.boxes, services_.system_directory,
                                      state_.settings.include_subfolders};
  if (targets::add_dropped_items(selection, state_.targets, paths) == 0) request_run(operation);
}

bool MainWindow::lock_button() {
  ui::KeyViews views = key_views();
  return keys::toggle_lock(state_.keys, services_.keys, views) == keys::LockToggle::end_program;
}

void MainWindow::options_command() {
  ui::KeyViews views = key_views();
  if (keys::load_keys(state_.keys, services_.keys, views) == keys::kAbandonAction) return;
  if (registry_says_locked()) {
    keys::locked_guard(state_.keys, views_.boxes);
    return;
  }
  if (views_.open_options) views_.open_options();
}

bool MainWindow::end() {
  ui::KeyViews views = key_views();
  const bool loaded = keys::load_keys(state_.keys, services_.keys, views) != keys::kAbandonAction;
  if (loaded) {
    keys::with_device_lock([&](const keys::DeviceLock& lock) {
      if (keys::write_options(lock, services_.keys, state_.keys.device_root, state_.settings, views_.boxes) == 1)
        keys::write_access_time(lock, services_.keys, state_.keys.device_root, state_.keys.record_key,
                                views_.boxes);
      return 0;
    });
  }
  state_.instance.mutex.reset();
  return loaded;
}

RunEndAction run_end_action(Operation operation, ui::RunSignal signal, const RunState& run,
                            const shell::PcOptions& pc_options) {
  const bool encryption = operation == Operation::encrypt;
  RunEndAction action;
  switch (signal) {
    case ui::RunSignal::done:
      action.end_dialog = true;
      action.result = 1;
      if (!run.command_line_run) {
        action.main_status = encryption ? "　暗号化が終了しました。" : "　復号化が終了しました。";
      } else {
        // A decryption opened in place goes on to the edit session, which
        // ends the program itself later.
        action.post_run_finished = encryption || !(run.open_in_place_run && pc_options.reencrypt_on_save);
      }
      break;
    case ui::RunSignal::stopped:
      if (!run.command_line_run) action.main_status = encryption ? "　暗号化を停止しました。" : "　復号化を停止しました。";
      break;
    case ui::RunSignal::failed:
      if (!run.command_line_run) action.main_status = encryption ? "　暗号化に失敗しました。" : "　復号化に失敗しました。";
      break;
    case ui::RunSignal::none:
      break;
  }
  return action;
}

}  // namespace kestrove::app
