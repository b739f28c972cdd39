// Registry keys and REG_SZ values as the program's registry state uses them.
// Each test works below a key of its own under HKEY_CURRENT_USER\Software;
// on POSIX the registry file lies in the test's temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/random.h"
#include "platform/registry.h"
#include "support/temp_folder.h"
#ifndef _WIN32
#include "platform/posix/drive_map.h"
#endif

namespace kestrove::platform {
namespace {

std::string random_name() {
  std::uint8_t bytes[6];
  EXPECT_TRUE(secure_random(bytes, sizeof bytes));
  std::string name = "KestroveTest-";
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    name += two;
  }
  return name;
}

// On POSIX the registry is a file: each test gets its own.
class RegistryFileForTest {
 public:
#ifdef _WIN32
  explicit RegistryFileForTest(const kestrove::testing::TempFolder&) {}
#else
  explicit RegistryFileForTest(const kestrove::testing::TempFolder& folder)
      : env_("KESTROVE_REGISTRY", native(folder / "registry.reg")) {}

 private:
  static std::string native(const Path& path) {
    std::string out;
    ErrorCode error = 0;
    EXPECT_TRUE(posix::to_native_path(path, out, error)) << error;
    return out;
  }
  kestrove::testing::ScopedEnv env_;
#endif
};

class RegistryTest : public ::testing::Test {
 protected:
  ~RegistryTest() override { remove_tree(base); }

  // Deletes a key and everything below it, deepest first.
  void remove_tree(const std::string& subkey) {
    RegistryKeyHandle key;
    if (registry.open_key(RegistryRoot::current_user, subkey, RegistryAccess::read, key) != 0) return;
    std::vector<std::string> children;
    std::string name;
    for (std::uint32_t i = 0; key->enum_subkey(i, name) == 0; ++i) children.push_back(name);
    key.reset();
    for (const std::string& child : children) remove_tree(subkey + "\\" + child);
    registry.delete_key(RegistryRoot::current_user, subkey);
  }

  RegistryKeyHandle create(const std::string& subkey) {
    RegistryKeyHandle key;
    EXPECT_EQ(registry.create_key(RegistryRoot::current_user, subkey, key), 0) << subkey;
    return key;
  }

  kestrove::testing::TempFolder folder;
  RegistryFileForTest registry_file{folder};
  Registry& registry = system_registry();
  std::string base = "Software\\" + random_name();
};

TEST_F(RegistryTest, MissingKeysAndValues) {
  RegistryKeyHandle key;
  EXPECT_EQ(registry.open_key(RegistryRoot::current_user, base + "\\KAVOR\\QEVLINK", RegistryAccess::read, key), 2);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(registry.delete_key(RegistryRoot::current_user, base + "\\KAVOR"), 2);

  RegistryKeyHandle created = create(base + "\\KAVOR\\QEVLINK");
  ASSERT_NE(created, nullptr);
  std::uint32_t size = 77;
  EXPECT_EQ(created->query_size("USERDATA", size), 2);
  EXPECT_EQ(size, 77u);
  std::string value = "untouched";
  EXPECT_EQ(created->query_string("USERDATA", value, 64), 2);
  EXPECT_EQ(value, "untouched");
  // Every system has HKEY_CURRENT_USER\Software, whatever was written before.
  EXPECT_EQ(registry.open_key(RegistryRoot::current_user, "Software", RegistryAccess::write, key), 0);
}

TEST_F(RegistryTest, ValuesKeepTheSizeTheyWereStoredWith) {
  const std::string path = base + "\\KAVOR\\QEVLINK";
  {
    RegistryKeyHandle key = create(path);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->set_string("USERDATA", "ABCD\\\"FG", 9), 0);  // 8 characters and the NUL
    // The digits without a NUL, and no NUL right behind them either: Windows
    // would store that one too.
    const char digits[] = "123045067089101112131415X";
    EXPECT_EQ(key->set_string("EXTENT01", digits, 24), 0);
    EXPECT_EQ(key->set_string("", "既定値", 7), 0);
  }
  RegistryKeyHandle key;
  ASSERT_EQ(registry.open_key(RegistryRoot::current_user, path, RegistryAccess::read, key), 0);
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {
      {"USERDATA", std::string("ABCD\\\"FG\0", 9)},
      {"userdata", std::string("ABCD\\\"FG\0", 9)},  // names without regard to case
      {"EXTENT01", "123045067089101112131415"},
      {"", std::string("既定値\0", 7)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::uint32_t size = 0;
    EXPECT_EQ(key->query_size(row.name, size), 0);
    EXPECT_EQ(size, row.bytes.size());
    std::string value;
    EXPECT_EQ(key->query_string(row.name, value, size), 0);
    EXPECT_EQ(value, row.bytes);
    std::string small = "untouched";
    EXPECT_EQ(key->query_string(row.name, small, size - 1), 234);
    EXPECT_EQ(small, "untouched");
  }
  // A key opened for reading cannot be written.
  EXPECT_EQ(key->set_string("USERDATA", "X", 2), 5);

  // Replacing a value replaces its size too.
  RegistryKeyHandle writer;
  ASSERT_EQ(registry.open_key(RegistryRoot::current_user, path, RegistryAccess::read_write, writer), 0);
  EXPECT_EQ(writer->set_string("USERDATA", "XY", 3), 0);
  std::uint32_t size = 0;
  EXPECT_EQ(key->query_size("USERDATA", size), 0);
  EXPECT_EQ(size, 3u);
}

TEST_F(RegistryTest, SubKeysAndDeletion) {
  create(base + "\\KAVOR\\QEVLINK");
  create(base + "\\KAVOR\\Beta");
  create(base + "\\KAVOR\\alpha");

  RegistryKeyHandle parent;
  ASSERT_EQ(registry.open_key(RegistryRoot::current_user, base + "\\KAVOR", RegistryAccess::read, parent), 0);
  std::vector<std::string> names;
  std::string name;
  std::uint32_t index = 0;
  RegistryStatus status = 0;
  while ((status = parent->enum_subkey(index, name)) == 0) {
    names.push_back(name);
    ++index;
  }
  EXPECT_EQ(status, 259);
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Beta", "QEVLINK"}));

  EXPECT_EQ(registry.delete_key(RegistryRoot::current_user, base + "\\KAVOR"), 5);  // it has sub-keys
  EXPECT_EQ(registry.delete_key(RegistryRoot::current_user, base + "\\KAVOR\\ALPHA"), 0);
  RegistryKeyHandle gone;
  EXPECT_EQ(registry.open_key(RegistryRoot::current_user, base + "\\KAVOR\\alpha", RegistryAccess::read, gone), 2);
  EXPECT_EQ(parent->enum_subkey(0, name), 0);
  EXPECT_EQ(name, "Beta");
  EXPECT_EQ(parent->enum_subkey(2, name), 259);

  // Creating an existing key opens it, values and all.
  RegistryKeyHandle first = create(base + "\\KAVOR\\QEVLINK");
  ASSERT_EQ(first->set_string("USERDATA", "ABCDEFGH", 9), 0);
  RegistryKeyHandle again = create(base + "\\kavor\\qevlink");
  std::uint32_t size = 0;
  EXPECT_EQ(again->query_size("USERDATA", size), 0);
  EXPECT_EQ(size, 9u);
}

}  // namespace
}  // namespace kestrove::platform
