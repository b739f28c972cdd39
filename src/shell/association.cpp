#include "shell/association.h"

#include "conversion/error_text.h"
#include "platform/error_codes.h"

namespace kestrove::shell {
namespace {

using platform::RegistryAccess;
using platform::RegistryKeyHandle;
using platform::RegistryRoot;
using platform::RegistryStatus;

constexpr RegistryStatus kSuccess = 0;
constexpr RegistryStatus kNotFound = 2;
constexpr RegistryStatus kNoMoreItems = 259;
constexpr std::uint32_t kLongestValue = 523;  // characters of a value read back

std::string marker_key(int option) { return std::string(kFileTypeKey) + "\\original_option" + std::to_string(option); }

// Creates the key and sets its default value to `text` (without its NUL).
RegistryStatus write_default(platform::Registry& registry, const std::string& path, const std::string& text) {
  RegistryKeyHandle key;
  const RegistryStatus created = registry.create_key(RegistryRoot::classes_root, path, key);
  if (created != kSuccess) return created;
  return key->set_string("", text.data(), static_cast<std::uint32_t>(text.size()));
}

// Opens `path` for deletion and deletes it; the open's failure comes first.
RegistryStatus delete_existing(platform::Registry& registry, const std::string& path) {
  RegistryKeyHandle key;
  const RegistryStatus opened = registry.open_key(RegistryRoot::classes_root, path, RegistryAccess::all, key);
  if (opened != kSuccess) return opened;
  key.reset();
  return registry.delete_key(RegistryRoot::classes_root, path);
}

enum class Read { absent, present, failed };

// The default value of one key of the branch: absent when the key is not
// there; failed (after the message for a failing size query) when it cannot
// be read. A key without a default value reads as present and empty.
Read read_default(platform::Registry& registry, ui::MessageBoxView& boxes, const std::string& path,
                  const char* failure_text, std::string& value) {
  value.clear();
  RegistryKeyHandle key;
  if (registry.open_key(RegistryRoot::classes_root, path, RegistryAccess::read, key) != kSuccess) return Read::absent;
  std::uint32_t size = 0;
  const RegistryStatus sized = key->query_size("", size);
  if (sized == kNotFound) return Read::present;
  if (sized != kSuccess) {
    boxes.show(conversion::compose_code_text(failure_text, sized), ui::kCaptionNotice,
               ui::mb::error_box | ui::mb::retry_cancel);
    return Read::failed;
  }
  const RegistryStatus read = key->query_string("", value, kLongestValue + 1);
  if (read != kSuccess) {
    platform::set_last_error(static_cast<platform::ErrorCode>(read));
    return Read::failed;
  }
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return Read::present;
}

}  // namespace

std::string command_text(const std::string& program_path) {
  return "\"" + program_path + "\" \"-F\" \"%1\"";
}

RegistryStatus add_option(ShellServices& services, int option) {
  if (option == kOpenByDoubleClick) {
    platform::Path program;
    if (!services.program_path(program)) return static_cast<RegistryStatus>(platform::last_error());
    for (const auto& [path, text] : {std::pair<std::string, std::string>{kExtensionKey, kFileTypeKey},
                                     {kOpenCommandKey, command_text(program)},
                                     {kDefaultIconKey, program + ",1"},
                                     {marker_key(option), "1"}}) {
      if (const RegistryStatus status = write_default(services.registry, path, text); status != kSuccess) return status;
    }
    return kSuccess;
  }
  if (option == kReencryptOnSave || option == kReencryptSameKey) {
    return write_default(services.registry, marker_key(option), "1");
  }
  return kSuccess;
}

RegistryStatus remove_option(ShellServices& services, int option) {
  if (option == kOpenByDoubleClick) {
    const RegistryStatus extension = delete_existing(services.registry, kExtensionKey);
    if (extension != kSuccess && extension != kNotFound) return extension;
    const RegistryStatus branch = delete_tree(services.registry, kFileTypeKey);
    return branch == kNotFound ? kSuccess : branch;
  }
  if (option == kReencryptOnSave || option == kReencryptSameKey) {
    return delete_existing(services.registry, marker_key(option));
  }
  return kSuccess;
}

// Sub-keys go first: the registry deletes only keys without sub-keys.
RegistryStatus delete_tree(platform::Registry& registry, const std::string& path) {
  RegistryKeyHandle key;
  const RegistryStatus opened = registry.open_key(RegistryRoot::classes_root, path, RegistryAccess::all, key);
  if (opened != kSuccess) return opened;
  for (;;) {
    std::string name;
    const RegistryStatus listed = key->enum_subkey(0, name);
    if (listed == kNoMoreItems) {
      key.reset();
      return registry.delete_key(RegistryRoot::classes_root, path);
    }
    if (listed != kSuccess) return listed;
    if (const RegistryStatus below = delete_tree(registry, path + "\\" + name); below != kSuccess) return below;
  }
}

int read_association_state(ShellServices& services, ui::MessageBoxView& boxes, PcOptions& options) {
  constexpr int kUnreadable = -9;
  options.double_click_open = options.reencrypt_on_save = options.reencrypt_same_key = false;
  std::string value;
  switch (read_default(services.registry, boxes, kOpenCommandKey, "レジストリ操作に失敗しました。<13>", value)) {
    case Read::failed:
      return kUnreadable;
    case Read::present: {
      platform::Path program;
      if (!services.program_path(program)) return kUnreadable;
      if (value != command_text(program)) return 0;  // another program's or another copy's
      break;
    }
    case Read::absent:
      break;  // the markers alone decide
  }
  struct Marker {
    int option;
    const char* failure_text;
    bool PcOptions::*flag;
  };
  for (const Marker& marker : {Marker{kOpenByDoubleClick, "レジストリ操作に失敗しました。<14>", &PcOptions::double_click_open},
                               Marker{kReencryptOnSave, "レジストリ操作に失敗しました。<15>", &PcOptions::reencrypt_on_save},
                               Marker{kReencryptSameKey, "レジストリ操作に失敗しました。<16>",
                                      &PcOptions::reencrypt_same_key}}) {
    const Read read = read_default(services.registry, boxes, marker_key(marker.option), marker.failure_text, value);
    if (read == Read::failed) return kUnreadable;
    options.*marker.flag = read == Read::present;
  }
  return 0;
}

}  // namespace kestrove::shell
