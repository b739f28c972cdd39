#pragma once
// The per-user and classes-root registry. Windows: the real registry. POSIX:
// a REGEDIT4 text file ($XDG_CONFIG_HOME/kestrove/registry.reg, or
// KESTROVE_REGISTRY), replaced atomically on every write.
// Every call returns a Win32 status: 0 success, 2 missing key or value, ...
#include <cstdint>
#include <memory>
#include <string>

namespace kestrove::platform {

using RegistryStatus = std::int32_t;

enum class RegistryRoot { current_user, classes_root };
// all: KEY_ALL_ACCESS, as keys are opened for deletion.
enum class RegistryAccess { read, write, read_write, all };

// An open key; closing is the destructor.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // REG_SZ values. The size is in bytes with the terminating NUL.
  virtual RegistryStatus query_size(const std::string& name, std::uint32_t& size) = 0;
  // Copies at most `buffer_size` bytes; a longer value gives 234 (more data)
  // and nothing, as RegQueryValueExA does.
  virtual RegistryStatus query_string(const std::string& name, std::string& value, std::uint32_t buffer_size) = 0;
  // Stores `size` bytes of `data` as REG_SZ (the caller decides whether the
  // NUL is among them). An empty name is the key's default value.
  // Windows looks one byte further: when the last byte is not NUL but the
  // byte right after the data is, it stores that NUL too (24 digits from a
  // std::string read back as 25 bytes). The POSIX backend stores exactly
  // `size` bytes and never reads past them. Readers that query the size and
  // then the value work with both.
  virtual RegistryStatus set_string(const std::string& name, const void* data, std::uint32_t size) = 0;
  // The name of sub-key `index`; 259 (no more items) after the last one.
  virtual RegistryStatus enum_subkey(std::uint32_t index, std::string& name) = 0;
};
using RegistryKeyHandle = std::unique_ptr<RegistryKey>;

class Registry {
 public:
  virtual ~Registry() = default;
  virtual RegistryStatus open_key(RegistryRoot root, const std::string& subkey, RegistryAccess access,
                                  RegistryKeyHandle& key) = 0;
  // RegCreateKeyExA: opens the key, creating it (and its parents) if needed.
  virtual RegistryStatus create_key(RegistryRoot root, const std::string& subkey, RegistryKeyHandle& key) = 0;
  // RegDeleteKeyA: fails with 5 when the key has sub-keys.
  virtual RegistryStatus delete_key(RegistryRoot root, const std::string& subkey) = 0;
};

Registry& system_registry();

}  // namespace kestrove::platform
