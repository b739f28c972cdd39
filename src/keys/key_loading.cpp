#include "keys/key_loading.h"

#include <new>

#include "keys/key_creation.h"
#include "keys/key_device.h"
#include "keys/key_scheme.h"
#include "keys/registry_state.h"
#include "keys/settings_file.h"

namespace kestrove::keys {
namespace {

void set_status_line(ui::KeyViews& views, const char* text) {
  if (views.main_window != nullptr) views.main_window->set_status_line(text);
}

void report_error(ui::MessageBoxView& owner, const char* text) {
  owner.show(text, ui::kCaptionNotice, ui::mb::error_box);
}

}  // namespace

int load_keys(KeyState& state, const KeyServices& services, ui::KeyViews& views) {
  switch (scan_keys(state, services, views)) {
    case kNotRegistered:
      views.boxes.show(
          "最初にあなたのキー登録が必要です。キー作成プログラム「Keyloft.exe」を先に実行してください。",
          ui::kCaptionNotice, ui::mb::warning_box);
      return kAbandonAction;
    case kNoPcKey:
      if (views.boxes.show("パソコンにキー情報が存在しません。作成しますか？\r\n"
                           "作成しない場合はアプリケーションは終了します。",
                           ui::kCaptionConfirm, ui::mb::question_box) != ui::answer::ok) {
        return kAbandonAction;
      }
      return run_key_creation_dialog(state, services, views.password) == 1 ? kKeysReady : kAbandonAction;
    case kGaveUp:
      return kAbandonAction;
    default:
      return kKeysReady;
  }
}

int scan_keys(KeyState& state, const KeyServices& services, ui::KeyViews& views) {
  // Other failures of the registry were reported there and count as a key.
  const bool pc_has_key = read_pc_state(state, services, views.boxes) != kNoPcKey;
  int index = 0;
  bool found = false;
  bool ours = false;
  // The drive whose key data was read last: the scan may go on past it (to
  // drives without key data) and must not leave the device root there.
  std::string key_root;
  for (;;) {
    set_status_line(views, "ドライブ確認中・・・");
    const int drive =
        with_device_lock([&](const DeviceLock& lock) { return find_key_device(lock, state, services, index); });
    set_status_line(views, "  ");
    if (drive == kNoKeyDevice) {
      if (found) break;
      const int answer = views.boxes.show(
          "利用可能なメモリデバイス(またはFD)が無いか、またはキー情報がありません。"
          "正しいデバイスを差し込んでください。",
          ui::kCaptionNotice, ui::mb::warning_box | ui::mb::retry_cancel);
      if (answer != ui::answer::retry) return kGaveUp;
      index = 0;
      found = false;
      key_root.clear();
      continue;
    }
    index = drive + 1;
    const int read = with_device_lock(
        [&](const DeviceLock& lock) { return read_key_section(lock, services, state.device_root, state.raw_keys); });
    if (read != 0) {
      if (index >= kScanOrderSize && !pc_has_key) return kNotRegistered;
      continue;
    }
    found = true;
    key_root = state.device_root;
    Record personal_key{};
    if (!decipher_record(state.record_key, state.raw_keys.keydata, personal_key)) {
      report_error(views.boxes, "キー情報の復号化に失敗しました。");
      return kRecordCipherFailure;
    }
    state.key_set.personal_key = record_text(personal_key);
    if (!has_personal_key_prefix(state.key_set.personal_key)) continue;  // someone else's device
    ours = true;
    break;
  }
  state.device_root = key_root;
  if (!pc_has_key) return kNoPcKey;

  const int groups = with_device_lock([&](const DeviceLock& lock) {
    return read_group_section(lock, services, state.device_root, state.key_set.personal_key, state.raw_groups);
  });
  if (groups == kOutOfMemory) {
    report_error(views.boxes, "メモリ領域の確保に失敗しました。<7>");
    return kOutOfMemory;
  }
  if (decipher_groups(state, views.boxes) != 0) return kGroupRecordFailure;
  if (!ours) {
    views.boxes.show(
        "メモリデバイスのキー情報があなたのものではありません。正しいメモリデバイスを差し込んでください。",
        ui::kCaptionNotice, ui::mb::warning_box);
    return kGaveUp;
  }
  return kKeysReady;
}

int decipher_groups(KeyState& state, ui::MessageBoxView& owner) {
  std::vector<KeyEntry>& entries = state.key_set.entries;
  entries.clear();
  const std::vector<RawGroupEntry>& raw = state.raw_groups.entries;
  try {
    entries.reserve(raw.size());
  } catch (const std::bad_alloc&) {
    report_error(owner, "メモリ領域の確保に失敗しました。<4>");
    return kOutOfMemory;
  }
  for (std::size_t i = 0; i < raw.size(); ++i) {
    KeyEntry entry;
    entry.name = raw[i].name;
    if (i == 0) {
      entry.owner = record_text(raw[i].owner);
      entry.key = record_text(raw[i].key);
    } else {
      Record plain{};
      if (!decipher_record(state.record_key, raw[i].owner, plain)) {
        report_error(owner, "グループ情報の復号化に失敗しました。<1>");
        return kRecordCipherFailure;
      }
      entry.owner = record_text(plain);
      if (!decipher_record(state.record_key, raw[i].key, plain)) {
        report_error(owner, "グループ情報の復号化に失敗しました。<2>");
        return kRecordCipherFailure;
      }
      entry.key = record_text(plain);
    }
    entries.push_back(std::move(entry));
  }
  return 0;
}

}  // namespace kestrove::keys
