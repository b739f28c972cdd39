#include "keys/registry_state.h"

#include <cstring>

#include "conversion/error_text.h"
#include "keys/key_scheme.h"
#include "keys/triplets.h"
#include "platform/error_codes.h"

namespace kestrove::keys {
namespace {

using platform::RegistryAccess;
using platform::RegistryKeyHandle;
using platform::RegistryRoot;
using platform::RegistryStatus;

constexpr RegistryStatus kSuccess = 0;
constexpr RegistryStatus kFileNotFound = 2;
constexpr RegistryStatus kInvalidHandle = 6;

constexpr std::uint32_t kRetryCancelError = ui::mb::error_box | ui::mb::retry_cancel;

void report_registry_failure(ui::MessageBoxView& owner, const char* first_line, RegistryStatus status) {
  owner.show(conversion::compose_code_text(first_line, status), ui::kCaptionNotice, kRetryCancelError);
}

// The numbered messages of one writer.
struct WriterMessages {
  const char* cannot_write;     // no write access to HKEY_CURRENT_USER\Software
  const char* create_kavor;     // Software\KAVOR
  const char* create_qevlink;   // Software\KAVOR\QEVLINK
  const char* set_record_key;   // USERDATA (write_pc_key only)
  const char* set_lock_flag;    // EXTENT01
};

constexpr WriterMessages kPcKeyMessages = {
    "レジストリ操作に失敗しました。<5>", "レジストリ操作に失敗しました。<5>", "レジストリ操作に失敗しました。<4>",
    "レジストリ操作に失敗しました。<6>", "レジストリ操作に失敗しました。<7>"};
constexpr WriterMessages kLockFlagMessages = {
    "レジストリ操作に失敗しました。<9>", "レジストリ操作に失敗しました。<9>", "レジストリ操作に失敗しました。<8>",
    nullptr, "レジストリ操作に失敗しました。<10>"};

int write_state(const KeyState& state, const KeyServices& services, ui::MessageBoxView& owner,
                const WriterMessages& messages) {
  // Without write access to the user's Software key nothing can be stored;
  // that is reported like the failed creation of the program's key, not
  // passed off as success.
  {
    RegistryKeyHandle software;
    const RegistryStatus status =
        services.registry.open_key(RegistryRoot::current_user, "Software", RegistryAccess::write, software);
    if (status != kSuccess) {
      report_registry_failure(owner, messages.cannot_write, status);
      return kRegistryWriteFailure;
    }
  }
  RegistryKeyHandle key;
  {
    RegistryKeyHandle parent;
    RegistryStatus status = services.registry.create_key(RegistryRoot::current_user, kKavorKey, parent);
    if (status != kSuccess) {
      platform::set_last_error(static_cast<platform::ErrorCode>(status));
      report_registry_failure(owner, messages.create_kavor, status);
    } else {
      status = services.registry.create_key(RegistryRoot::current_user, kPcStateKey, key);
      if (status != kSuccess) {
        platform::set_last_error(static_cast<platform::ErrorCode>(status));
        report_registry_failure(owner, messages.create_qevlink, status);
        key.reset();
      }
    }
  }
  // After a failed creation there is no key to write to: the writes fail.
  auto set = [&](const char* name, const void* data, std::uint32_t size) {
    return key ? key->set_string(name, data, size) : kInvalidHandle;
  };

  if (messages.set_record_key != nullptr) {
    char record_key[9] = {};  // the 8 characters and the NUL, always 9 bytes
    std::memcpy(record_key, state.record_key.data(), state.record_key.size() < 8 ? state.record_key.size() : 8);
    const RegistryStatus status = set(kRecordKeyValue, record_key, sizeof record_key);
    if (status != kSuccess) {
      report_registry_failure(owner, messages.set_record_key, status);
      return kRegistryWriteFailure;
    }
  }

  Record flag{};
  if (!encipher_record(state.record_key, record_of(state.lock_flag == '0' ? kUnlockedPlaintext : kLockedPlaintext),
                       flag)) {
    owner.show("ロックフラグの暗号化に失敗しました。", ui::kCaptionNotice, ui::mb::error_box);
    return kRecordCipherFailure;
  }
  const std::string digits = encode_triplets(flag.data(), flag.size());
  const RegistryStatus status = set(kLockFlagValue, digits.data(), static_cast<std::uint32_t>(digits.size()));
  if (status != kSuccess) {
    report_registry_failure(owner, messages.set_lock_flag, status);
    return kRegistryWriteFailure;
  }
  return 0;
}

}  // namespace

int read_pc_state(KeyState& state, const KeyServices& services, ui::MessageBoxView& owner) {
  RegistryKeyHandle key;
  if (services.registry.open_key(RegistryRoot::current_user, kPcStateKey, RegistryAccess::read, key) != kSuccess) {
    return kNoPcKey;
  }
  std::uint32_t size = 0;
  RegistryStatus status = key->query_size(kRecordKeyValue, size);
  if (status != kSuccess && status != kFileNotFound) {
    report_registry_failure(owner, "レジストリ操作に失敗しました。<3>", status);
    return kRegistryFailure;
  }
  if (status == kFileNotFound) size = 0;
  std::string record_key;
  status = key->query_string(kRecordKeyValue, record_key, size);
  if (status != kSuccess && status != kFileNotFound) {
    platform::set_last_error(static_cast<platform::ErrorCode>(status));
    return kRegistryFailure;
  }
  if (status != kSuccess) record_key.clear();
  // The record key is a text of at most 8 characters, whatever the value holds.
  record_key = record_key.substr(0, record_key.find('\0'));
  state.record_key = record_key.substr(0, 8);

  std::uint32_t flag_size = 1;
  if (key->query_size(kLockFlagValue, flag_size) != kSuccess) flag_size = 1;
  std::string digits;
  if (key->query_string(kLockFlagValue, digits, flag_size) != kSuccess) {
    state.lock_flag = '0';
    return 0;
  }
  Record enciphered{};
  decode_triplets(digits, enciphered.size(), enciphered.data());
  Record flag{};
  if (!decipher_record(state.record_key, enciphered, flag)) {
    owner.show("ロックフラグの復号化に失敗しました。", ui::kCaptionNotice, ui::mb::error_box);
    return kRecordCipherFailure;
  }
  state.lock_flag = flag == record_of(kUnlockedPlaintext) ? '0' : '1';
  return 0;
}

int write_pc_key(const KeyState& state, const KeyServices& services, ui::MessageBoxView& owner) {
  return write_state(state, services, owner, kPcKeyMessages);
}

int write_lock_flag(const KeyState& state, const KeyServices& services, ui::MessageBoxView& owner) {
  return write_state(state, services, owner, kLockFlagMessages);
}

}  // namespace kestrove::keys
