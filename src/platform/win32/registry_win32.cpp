// The registry of Windows through the A functions.
#include <windows.h>

#include <vector>

#include "platform/registry.h"

namespace kestrove::platform {
namespace {

HKEY root_key(RegistryRoot root) {
  return root == RegistryRoot::current_user ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}

REGSAM access_mask(RegistryAccess access) {
  switch (access) {
    case RegistryAccess::read: return KEY_READ;
    case RegistryAccess::write: return KEY_WRITE;
    case RegistryAccess::read_write: break;
    case RegistryAccess::all: return KEY_ALL_ACCESS;
  }
  return KEY_READ | KEY_WRITE;
}

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  RegistryStatus query_size(const std::string& name, std::uint32_t& size) override {
    DWORD type = 0, bytes = 0;
    const LONG status = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &bytes);
    if (status == ERROR_SUCCESS) size = bytes;
    return status;
  }

  RegistryStatus query_string(const std::string& name, std::string& value, std::uint32_t buffer_size) override {
    // A buffer of at least one byte: a null buffer would turn the call into a size query.
    std::vector<BYTE> buffer(buffer_size > 0 ? buffer_size : 1);
    DWORD type = 0, bytes = buffer_size;
    const LONG status = RegQueryValueExA(key_, name.c_str(), nullptr, &type, buffer.data(), &bytes);
    if (status == ERROR_SUCCESS) value.assign(reinterpret_cast<const char*>(buffer.data()), bytes);
    return status;
  }

  RegistryStatus set_string(const std::string& name, const void* data, std::uint32_t size) override {
    return RegSetValueExA(key_, name.c_str(), 0, REG_SZ, static_cast<const BYTE*>(data), size);
  }

  RegistryStatus enum_subkey(std::uint32_t index, std::string& name) override {
    char buffer[256];  // key names hold at most 255 characters
    DWORD length = sizeof buffer;
    const LONG status = RegEnumKeyExA(key_, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) name.assign(buffer, length);
    return status;
  }

 private:
  HKEY key_;
};

class Win32Registry final : public Registry {
 public:
  RegistryStatus open_key(RegistryRoot root, const std::string& subkey, RegistryAccess access,
                          RegistryKeyHandle& key) override {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(root_key(root), subkey.c_str(), 0, access_mask(access), &opened);
    if (status == ERROR_SUCCESS) key = std::make_unique<Win32RegistryKey>(opened);
    return status;
  }

  RegistryStatus create_key(RegistryRoot root, const std::string& subkey, RegistryKeyHandle& key) override {
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG status = RegCreateKeyExA(root_key(root), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_READ | KEY_WRITE, nullptr, &created, &disposition);
    if (status == ERROR_SUCCESS) key = std::make_unique<Win32RegistryKey>(created);
    return status;
  }

  RegistryStatus delete_key(RegistryRoot root, const std::string& subkey) override {
    return RegDeleteKeyA(root_key(root), subkey.c_str());
  }
};

}  // namespace

Registry& system_registry() {
  static Win32Registry instance;
  return instance;
}

}  // namespace kestrove::platform
