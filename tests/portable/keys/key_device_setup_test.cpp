#include <gtest/gtest.h>

#include "key_test_world.h"
#include "keys/key_device_setup.h"
#include "keys/key_loading.h"
#include "keys/settings_file.h"

namespace kestrove::testing {
namespace {

using keys::DeviceLock;
using keys::SetupStatus;
using keys::with_device_lock;

std::string value_in(const std::string& settings, const std::string& key) {
  const std::size_t at = settings.find("\n" + key + "=");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 2;
  return settings.substr(start, settings.find_first_of("\r\n", start) - start);
}

struct SetupWorld : KeyTestWorld {
  SetupWorld() { drives.add('E', DriveKind::removable); }
  SetupStatus create(const std::string& password, const std::string& record_key, bool replace = false) {
    return with_device_lock([&](const DeviceLock& l) {
      return keys::create_key_device(l, services, "E:\\", password, record_key, replace).status;
    });
  }
  SetupStatus add(const std::string& password, const std::string& name, const std::string& key) {
    return with_device_lock(
        [&](const DeviceLock& l) { return keys::add_group(l, services, "E:\\", password, {name, key}).status; });
  }
  SetupStatus change(const std::string& old_password, const std::string& new_password) {
    return with_device_lock([&](const DeviceLock& l) {
      return keys::change_password(l, services, "E:\\", old_password, new_password).status;
    });
  }
  std::vector<std::string> names() {
    return with_device_lock([&](const DeviceLock& l) { return keys::group_names(l, services, "E:\\"); });
  }
  keys::KeyState load() {
    keys::KeyState state;
    EXPECT_EQ(keys::load_keys(state, services, views), keys::kKeysReady);
    return state;
  }
};

TEST(CreateKeyDevice, WritesTheKeySchemeTheOptionsAndTheVersion) {
  SetupWorld world;
  ASSERT_EQ(world.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  const std::string settings = world.settings_text('E');
  EXPECT_EQ(deciphered("Rk#4-x9Q", value_in(settings, "KEYDATA")), "ZQabc123");
  EXPECT_EQ(deciphered("ZQabc123", value_in(settings, "REGDATA")), "Rk#4-x9Q");
  EXPECT_EQ(value_in(settings, "ENCODE_TYPE"), "2");
  EXPECT_FALSE(value_in(settings, "VERSION").empty());

  keys::Settings options;
  options.confirm_overwrite = options.include_subfolders = options.delete_original = options.use_group_key = 7;
  options.choose_destination = options.encode_type = 7;
  with_device_lock([&](const DeviceLock& l) {
    keys::read_options(l, world.services, "E:\\", options);
    return keys::read_version(l, world.services, "E:\\", options);
  });
  EXPECT_EQ(options.choose_destination, 0);
  EXPECT_EQ(options.confirm_overwrite, 1);
  EXPECT_EQ(options.include_subfolders, 1);
  EXPECT_EQ(options.delete_original, 1);
  EXPECT_EQ(options.use_group_key, 1);
  EXPECT_EQ(options.encode_type, 2);

  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
  EXPECT_NE(world.drives.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only, 0u);
}

TEST(CreateKeyDevice, ReplacesAPreparedDeviceOnlyWhenAsked) {
  SetupWorld world;
  ASSERT_EQ(world.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  const std::string first = world.settings_text('E');
  EXPECT_EQ(world.create("zzz999", "Other#12"), SetupStatus::already_prepared);
  EXPECT_EQ(world.settings_text('E'), first);
  ASSERT_EQ(world.create("zzz999", "Other#12", true), SetupStatus::done);
  EXPECT_EQ(deciphered("Other#12", value_in(world.settings_text('E'), "KEYDATA")), "ZQzzz999");
  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
}

TEST(AddGroup, GroupsAppearInTheKeySetInOrder) {
  SetupWorld world;
  ASSERT_EQ(world.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  ASSERT_EQ(world.add("abc123", "営業", "SalesKey"), SetupStatus::done);
  ASSERT_EQ(world.add("abc123", "開発", "DevKey01"), SetupStatus::done);
  EXPECT_EQ(value_in(world.settings_text('E'), "GROUP_NUM"), "2");
  EXPECT_EQ(world.names(), (std::vector<std::string>{"営業", "開発"}));

  world.give_pc_key("Rk#4-x9Q");
  const keys::KeyState state = world.load();
  ASSERT_EQ(state.key_set.entries.size(), 3u);
  EXPECT_EQ(state.key_set.entries[1].key, "SalesKey");
  EXPECT_EQ(state.key_set.entries[2].key, "DevKey01");
  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
}

TEST(AddGroup, ColleaguesWhoAddTheSameKeyShareIt) {
  SetupWorld mine;
  ASSERT_EQ(mine.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  ASSERT_EQ(mine.add("abc123", "営業", "Sh4red!k"), SetupStatus::done);
  SetupWorld theirs;
  ASSERT_EQ(theirs.create("qwe456", "Their#34"), SetupStatus::done);
  ASSERT_EQ(theirs.add("qwe456", "営業", "Sh4red!k"), SetupStatus::done);
  EXPECT_NE(value_in(mine.settings_text('E'), "KEYDATA1"), value_in(theirs.settings_text('E'), "KEYDATA1"))
      << "each device holds the group key under its own record key";

  mine.give_pc_key("Rk#4-x9Q");
  theirs.give_pc_key("Their#34");
  const keys::KeyState my_keys = mine.load();
  const keys::KeyState their_keys = theirs.load();
  ASSERT_EQ(my_keys.key_set.entries.size(), 2u);
  ASSERT_EQ(their_keys.key_set.entries.size(), 2u);
  EXPECT_EQ(my_keys.key_set.entries[1].key, "Sh4red!k");
  EXPECT_EQ(their_keys.key_set.entries[1].key, "Sh4red!k");
}

TEST(AddGroup, RefusesWhatWouldHarmTheDevice) {
  SetupWorld world;
  ASSERT_EQ(world.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  ASSERT_EQ(world.add("abc123", "営業", "SalesKey"), SetupStatus::done);
  const std::string before = world.settings_text('E');
  EXPECT_EQ(world.add("abc124", "開発", "DevKey01"), SetupStatus::wrong_password);
  EXPECT_EQ(world.add("abc12", "開発", "DevKey01"), SetupStatus::wrong_password);
  EXPECT_EQ(world.add("abc123", "営業", "OtherKey"), SetupStatus::group_exists);
  EXPECT_EQ(world.settings_text('E'), before);

  world.drives.failing_profile_key = "GROUP_NUM";  // fails after the group records were written
  EXPECT_EQ(world.add("abc123", "開発", "DevKey01"), SetupStatus::write_failed);
  EXPECT_EQ(world.settings_text('E'), before) << "the device keeps its old file whole";
  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
}

TEST(AddGroup, NeverOverwritesAGroupBeyondTheRoom) {
  SetupWorld world;
  ASSERT_EQ(world.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  ASSERT_EQ(world.add("abc123", "one", "Key#0001"), SetupStatus::done);
  ASSERT_EQ(world.add("abc123", "two", "Key#0002"), SetupStatus::done);
  // Someone set GROUP_NUM back to 1: group 2 is out of the program's sight.
  std::string text = world.settings_text('E');
  text.replace(text.find("GROUP_NUM=2"), 11, "GROUP_NUM=1");
  world.write_settings('E', text);
  ASSERT_EQ(world.names(), std::vector<std::string>{"one"});
  ASSERT_EQ(world.add("abc123", "three", "Key#0003"), SetupStatus::done);
  EXPECT_EQ(world.names(), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(ChangePassword, KeepsTheRecordKeyAndTheGroups) {
  SetupWorld world;
  ASSERT_EQ(world.create("abc123", "Rk#4-x9Q"), SetupStatus::done);
  ASSERT_EQ(world.add("abc123", "営業", "SalesKey"), SetupStatus::done);
  EXPECT_EQ(world.change("abc124", "new456"), SetupStatus::wrong_password);
  ASSERT_EQ(world.change("abc123", "new456"), SetupStatus::done);
  EXPECT_EQ(world.add("abc123", "開発", "DevKey01"), SetupStatus::wrong_password);
  EXPECT_EQ(world.add("new456", "開発", "DevKey01"), SetupStatus::done);

  world.give_pc_key("Rk#4-x9Q");  // the PC's key from before stays valid
  const keys::KeyState state = world.load();
  EXPECT_EQ(state.key_set.personal_key, "ZQnew456");
  ASSERT_EQ(state.key_set.entries.size(), 3u);
  EXPECT_EQ(state.key_set.entries[1].key, "SalesKey");
  EXPECT_TRUE(world.boxes.shown.empty());
}

TEST(OpenKeyDevice, ADeviceWithoutKeyDataIsToldApart) {
  const std::pair<const char*, const char*> cases[] = {
      {"no settings file", nullptr},
      {"not an INI file", "\xff\xfe\x00\x01 KEYDATA REGDATA"},
      {"KEYDATA without REGDATA", "[QEVLINK]\r\nKEYDATA=001002003004005006007008\r\n"},
  };
  for (const auto& [label, content] : cases) {
    SetupWorld world;
    if (content != nullptr) world.write_settings('E', content);
    std::string record_key;
    EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
                return keys::open_key_device(l, world.services, "E:\\", "abc123", record_key).status;
              }),
              SetupStatus::no_key_data)
        << label;
    EXPECT_EQ(world.add("abc123", "x", "Key#0001"), SetupStatus::no_key_data) << label;
  }
}

TEST(GroupName, MustSurviveTheSettingsFileAsTyped) {
  const std::pair<std::string, bool> cases[] = {
      {"営業", true},
      {"Team A", true},
      {std::string(30, 'n'), true},
      {std::string(31, 'n'), false},
      {"", false},
      {" lead", false},
      {"trail ", false},
      {"\"quoted\"", false},
      {"two\r\nlines", false},
      {std::string("tab\tname"), false},
      {std::string("\x82", 1), false},  // a lead byte alone
  };
  for (const auto& [name, valid] : cases) EXPECT_EQ(keys::is_valid_group_name(name), valid) << name;
}

}  // namespace
}  // namespace kestrove::testing
