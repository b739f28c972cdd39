#include "shell_world.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <vector>

#include "conversion/file_operations.h"
#include "platform/file_system.h"
#include "shell/association.h"
#include "support/private_registry_file.h"

namespace kestrove::testing {
namespace {

using platform::RegistryStatus;
using platform::RegistryRoot;

class FaultyClassKey : public platform::RegistryKey {
 public:
  FaultyClassKey(platform::RegistryKeyHandle inner, RegistryStatus failing_size)
      : inner_(std::move(inner)), failing_size_(failing_size) {}
  RegistryStatus query_size(const std::string& name, std::uint32_t& size) override {
    if (name.empty() && failing_size_ != 0) return failing_size_;
    return inner_->query_size(name, size);
  }
  RegistryStatus query_string(const std::string& name, std::string& value, std::uint32_t buffer_size) override {
    return inner_->query_string(name, value, buffer_size);
  }
  RegistryStatus set_string(const std::string& name, const void* data, std::uint32_t size) override {
    return inner_->set_string(name, data, size);
  }
  RegistryStatus enum_subkey(std::uint32_t index, std::string& name) override {
    return inner_->enum_subkey(index, name);
  }

 private:
  platform::RegistryKeyHandle inner_;
  RegistryStatus failing_size_;
};

RegistryStatus lookup(const std::map<std::string, RegistryStatus>& table, const std::string& path) {
  const auto it = table.find(path);
  return it == table.end() ? 0 : it->second;
}

void remove_tree(platform::Registry& registry, const std::string& path) {
  platform::RegistryKeyHandle key;
  if (registry.open_key(RegistryRoot::current_user, path, platform::RegistryAccess::read, key) != 0) return;
  std::vector<std::string> children;
  std::string name;
  for (std::uint32_t i = 0; key->enum_subkey(i, name) == 0; ++i) children.push_back(name);
  key.reset();
  for (const std::string& child : children) remove_tree(registry, path + "\\" + child);
  registry.delete_key(RegistryRoot::current_user, path);
}

}  // namespace

PrivateClassesRoot::PrivateClassesRoot() {
  use_private_registry_file();
  base_ = "Software\\KestroveTests\\Classes" +
          conversion::random_hex_text(12, static_cast<std::uint32_t>(std::time(nullptr)) ^
                                              static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this)));
}

PrivateClassesRoot::~PrivateClassesRoot() {
  remove_tree(platform::system_registry(), base_);
  platform::system_registry().delete_key(RegistryRoot::current_user, "Software\\KestroveTests");
}

platform::RegistryKeyHandle PrivateClassesRoot::wrap(const std::string& path, platform::RegistryKeyHandle key) {
  if (!key) return key;
  return std::make_unique<FaultyClassKey>(std::move(key), lookup(failing_sizes, path));
}

RegistryStatus PrivateClassesRoot::open_key(RegistryRoot root, const std::string& subkey,
                                            platform::RegistryAccess access, platform::RegistryKeyHandle& key) {
  EXPECT_EQ(root, RegistryRoot::classes_root) << subkey;
  key.reset();
  if (const RegistryStatus fault = lookup(failing_opens, subkey)) return fault;
  platform::RegistryKeyHandle inner;
  const RegistryStatus status =
      platform::system_registry().open_key(RegistryRoot::current_user, mapped(subkey), access, inner);
  key = wrap(subkey, std::move(inner));
  return status;
}

RegistryStatus PrivateClassesRoot::create_key(RegistryRoot root, const std::string& subkey,
                                              platform::RegistryKeyHandle& key) {
  EXPECT_EQ(root, RegistryRoot::classes_root) << subkey;
  key.reset();
  if (const RegistryStatus fault = lookup(failing_creates, subkey)) return fault;
  created.push_back(subkey);
  platform::RegistryKeyHandle inner;
  const RegistryStatus status = platform::system_registry().create_key(RegistryRoot::current_user, mapped(subkey), inner);
  key = wrap(subkey, std::move(inner));
  return status;
}

RegistryStatus PrivateClassesRoot::delete_key(RegistryRoot root, const std::string& subkey) {
  EXPECT_EQ(root, RegistryRoot::classes_root) << subkey;
  if (const RegistryStatus fault = lookup(failing_deletes, subkey)) return fault;
  return platform::system_registry().delete_key(RegistryRoot::current_user, mapped(subkey));
}

bool PrivateClassesRoot::exists(const std::string& path) {
  platform::RegistryKeyHandle key;
  return platform::system_registry().open_key(RegistryRoot::current_user, mapped(path),
                                              platform::RegistryAccess::read, key) == 0;
}

std::string PrivateClassesRoot::value_of(const std::string& path) {
  platform::RegistryKeyHandle key;
  if (platform::system_registry().open_key(RegistryRoot::current_user, mapped(path), platform::RegistryAccess::read,
                                           key) != 0) {
    return "<absent>";
  }
  std::uint32_t size = 0;
  std::string value;
  if (key->query_size("", size) != 0 || key->query_string("", value, size) != 0) return "<no value>";
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

void PrivateClassesRoot::set_value(const std::string& path, const std::string& text) {
  platform::RegistryKeyHandle key;
  ASSERT_EQ(platform::system_registry().create_key(RegistryRoot::current_user, mapped(path), key), 0);
  ASSERT_EQ(key->set_string("", text.data(), static_cast<std::uint32_t>(text.size())), 0);
}

ShellWorld::ShellWorld()
    : program(temp / "tools\\prog.exe"),
      sendto(temp / "SendTo"),
      services{registry, platform::system_file_system(),
               [this](platform::Path& path) {
                 if (!program_path_readable) return false;
                 path = program;
                 return true;
               },
               [this](platform::Path& folder) {
                 folder = sendto;
                 return true;
               },
               platform::create_shortcut} {
  temp.make_folder("tools");
  temp.make_folder("SendTo");
  temp.write_file("tools\\prog.exe", "MZ");
}

std::string ShellWorld::command() const { return shell::command_text(program); }

bool ShellWorld::shortcut(const std::string& suffix) const { return temp.exists("SendTo\\prog" + suffix + ".lnk"); }

void ShellWorld::make_shortcut_file(const std::string& suffix) const {
  temp.write_file("SendTo\\prog" + suffix + ".lnk", "old");
}

}  // namespace kestrove::testing
