// The POSIX registry file: its text, what it accepts from a hand-edited file,
// where it lies, and writers in several processes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include "platform/posix/registry_file.h"
#include "platform/registry.h"
#include "posix/platform/posix_test_support.h"

namespace kestrove::platform::posix {
namespace {

using test::native;

class RegistryPosixTest : public ::testing::Test {
 protected:
  RegistryKeyHandle open(const std::string& subkey, RegistryAccess access = RegistryAccess::read) {
    RegistryKeyHandle key;
    EXPECT_EQ(registry.open_key(RegistryRoot::current_user, subkey, access, key), 0) << subkey;
    return key;
  }
  std::string value_of(RegistryKey& key, const std::string& name) {
    std::uint32_t size = 0;
    if (key.query_size(name, size) != 0) return "<missing>";
    std::string value;
    EXPECT_EQ(key.query_string(name, value, size), 0);
    return value;
  }

  kestrove::testing::TempFolder folder;
  std::string file = native(folder / "registry.reg");
  kestrove::testing::ScopedEnv env{"KESTROVE_REGISTRY", file};
  Registry& registry = system_registry();
};

TEST_F(RegistryPosixTest, WritesRegedit4Text) {
  RegistryKeyHandle key;
  ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR\\QEVLINK", key), 0);
  ASSERT_EQ(key->set_string("USERDATA", "AB\\C\"DEF", 9), 0);
  ASSERT_EQ(key->set_string("EXTENT01", "123456", 6), 0);  // no NUL: kept as exact bytes
  ASSERT_EQ(key->set_string("", "表示", 5), 0);
  RegistryKeyHandle classes;
  ASSERT_EQ(registry.create_key(RegistryRoot::classes_root, ".cp3", classes), 0);
  ASSERT_EQ(classes->set_string("", "cp3_file", 9), 0);

  EXPECT_EQ(folder.read_file("registry.reg"),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\KAVOR]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\KAVOR\\QEVLINK]\n"
            "\"USERDATA\"=\"AB\\\\C\\\"DEF\"\n"
            "\"EXTENT01\"=hex(1):31,32,33,34,35,36\n"
            "@=\"\xE8\xA1\xA8\xE7\xA4\xBA\"\n"  // UTF-8 in the file
            "\n"
            "[HKEY_CLASSES_ROOT\\.cp3]\n"
            "@=\"cp3_file\"\n"
            "\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryPosixTest, ReadsAHandEditedFileAndIgnoresWhatDoesNotParse) {
  std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "garbage line\r\n"
      "\"ORPHAN\"=\"no key above\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\KAVOR\\QEVLINK]\r\n"
      "\"USERDATA\"=\"x\\\\y\\\"z\"\r\n"
      "\"Japanese\"=\"\xE8\xA1\xA8\"\r\n"
      "\"LONG\"=hex(1):41,42,\\\r\n"
      "  43,00\r\n"
      "\"COUNT\"=dword:0000002a\r\n"
      "\"BAD\"=dword:zz\r\n"
      "\"UNTERMINATED=\"x\r\n"
      "\"EMOJI\"=\"\xF0\x9F\x98\x80\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
      "\"ELSEWHERE\"=\"1\"\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
      "[HKEY_CURRENT_USER\\Software\\KAVOR\\QEVLINK\r\n"
      "\"AFTER_BROKEN_HEADER\"=\"1\"\r\n";
  text += std::string("\0\x01\xff[\n", 5);
  folder.write_file("registry.reg", text);

  RegistryKeyHandle key = open("Software\\KAVOR\\QEVLINK");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(value_of(*key, "USERDATA"), std::string("x\\y\"z\0", 6));
  EXPECT_EQ(value_of(*key, "Japanese"), std::string("表\0", 3));  // CP932 in memory
  EXPECT_EQ(value_of(*key, "LONG"), std::string("ABC\0", 4));
  EXPECT_EQ(value_of(*key, "COUNT"), std::string("\x2a\0\0\0", 4));
  for (const char* name : {"ORPHAN", "BAD", "UNTERMINATED", "EMOJI", "ELSEWHERE", "AFTER_BROKEN_HEADER"}) {
    EXPECT_EQ(value_of(*key, name), "<missing>") << name;
  }
  RegistryKeyHandle gone;
  EXPECT_EQ(registry.open_key(RegistryRoot::current_user, "Software\\Gone", RegistryAccess::read, gone), 2);

  // A write keeps what parsed, other types included.
  RegistryKeyHandle writer = open("Software\\KAVOR\\QEVLINK", RegistryAccess::read_write);
  ASSERT_EQ(writer->set_string("EXTENT01", "0", 2), 0);
  const std::string rewritten = folder.read_file("registry.reg");
  EXPECT_NE(rewritten.find("\"COUNT\"=dword:0000002a\n"), std::string::npos) << rewritten;
  EXPECT_NE(rewritten.find("\"LONG\"=\"ABC\"\n"), std::string::npos) << rewritten;
  EXPECT_EQ(value_of(*key, "Japanese"), std::string("表\0", 3));
}

TEST_F(RegistryPosixTest, LongHexDataIsWrappedAndReadBack) {
  RegistryKeyHandle key;
  ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR\\QEVLINK", key), 0);
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes.push_back(static_cast<char>('0' + i % 10));
  ASSERT_EQ(key->set_string("EXTENT01", bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
  const std::string text = folder.read_file("registry.reg");
  std::size_t longest = 0, start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    longest = std::max(longest, end - start);
  EXPECT_LE(longest, 80u);
  EXPECT_EQ(value_of(*open("Software\\KAVOR\\QEVLINK"), "EXTENT01"), bytes);
}

TEST_F(RegistryPosixTest, JunkFileDoesNotStopTheRegistry) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 7919) & 0xFF));
  junk += "[" + std::string(100000, '\\') + "]\n[HKEY_CURRENT_USER\\\\\\]\n\"A\"=hex(1):4";
  folder.write_file("registry.reg", junk);
  RegistryKeyHandle key;
  EXPECT_EQ(registry.open_key(RegistryRoot::current_user, "Software\\KAVOR", RegistryAccess::read, key), 2);
  ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR", key), 0);
  ASSERT_EQ(key->set_string("X", "1", 2), 0);
  EXPECT_EQ(value_of(*open("Software\\KAVOR"), "X"), std::string("1\0", 2));
}

TEST_F(RegistryPosixTest, ReadOnlyFileRefusesWrites) {
  RegistryKeyHandle key;
  ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR\\QEVLINK", key), 0);
  ASSERT_EQ(key->set_string("USERDATA", "ABCDEFGH", 9), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

  EXPECT_EQ(key->set_string("USERDATA", "12345678", 9), 5);
  RegistryKeyHandle other;
  EXPECT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\Other", other), 5);
  EXPECT_EQ(registry.open_key(RegistryRoot::current_user, "Software", RegistryAccess::write, other), 5);
  EXPECT_EQ(registry.delete_key(RegistryRoot::current_user, "Software\\KAVOR\\QEVLINK"), 5);
  EXPECT_EQ(value_of(*open("Software\\KAVOR\\QEVLINK"), "USERDATA"), std::string("ABCDEFGH\0", 9));
}

TEST_F(RegistryPosixTest, DefaultLocationFollowsXdgConfigHome) {
  test::ScopedUnset no_registry("KESTROVE_REGISTRY");
  const std::string base = native(folder.path());
  RegistryKeyHandle key;
  {
    kestrove::testing::ScopedEnv config("XDG_CONFIG_HOME", base + "/config");
    ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR", key), 0);
  }
  EXPECT_TRUE(folder.exists("config\\kestrove\\registry.reg"));
  {
    test::ScopedUnset no_config("XDG_CONFIG_HOME");
    kestrove::testing::ScopedEnv home("HOME", base + "/home");
    ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR", key), 0);
  }
  EXPECT_TRUE(folder.exists("home\\.config\\kestrove\\registry.reg"));
}

TEST_F(RegistryPosixTest, WritersInSeveralProcessesLoseNothing) {
  RegistryKeyHandle key;
  ASSERT_EQ(registry.create_key(RegistryRoot::current_user, "Software\\KAVOR", key), 0);
  constexpr int kProcesses = 4, kValuesEach = 20;
  const bool fine = test::run_in_children(kProcesses, [&](int child) {
    for (int i = 0; i < kValuesEach; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "V%d_%d", child, i);
      if (key->set_string(name, "1", 2) != 0) return 1;
    }
    return 0;
  });
  ASSERT_TRUE(fine);
  for (int child = 0; child < kProcesses; ++child) {
    for (int i = 0; i < kValuesEach; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "V%d_%d", child, i);
      EXPECT_EQ(value_of(*key, name), std::string("1\0", 2)) << name;
    }
  }
}

}  // namespace
}  // namespace kestrove::platform::posix
