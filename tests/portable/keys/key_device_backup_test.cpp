#include <gtest/gtest.h>

#include <functional>

#include "key_test_world.h"
#include "keys/key_device_setup.h"
#include "keys/key_loading.h"
#include "keys/settings_file.h"

namespace kestrove::testing {
namespace {

using keys::DeviceHolds;
using keys::DeviceLock;
using keys::SetupStatus;
using keys::with_device_lock;

constexpr const char* kBackup = "F:\\key.bak";

// E holds the user's key device (abc123, two groups); F takes the backup;
// G is a second device to restore onto.
struct BackupWorld : KeyTestWorld {
  explicit BackupWorld(DriveKind restore_drive = DriveKind::removable,
                       DriveKind backup_drive = DriveKind::removable) {
    drives.add('E', DriveKind::removable);
    drives.add('F', backup_drive);
    drives.add('G', restore_drive);
    prepare_device('E', "abc123", "Rk#4-x9Q", {"営業", "開発"});
  }
  SetupStatus back_up(const std::string& password) {
    return with_device_lock([&](const DeviceLock& l) {
      return keys::back_up_key_device(l, services, "E:\\", password, kBackup).status;
    });
  }
  // read_backup, then open_backup: the first status that is not done.
  SetupStatus load_backup(const std::string& password, keys::SettingsBackup& backup) {
    const SetupStatus read = keys::read_backup(services, kBackup, backup).status;
    return read != SetupStatus::done ? read : keys::open_backup(services, password, backup).status;
  }
  keys::SettingsBackup opened_backup() {
    keys::SettingsBackup backup;
    EXPECT_EQ(back_up("abc123"), SetupStatus::done);
    EXPECT_EQ(load_backup("abc123", backup), SetupStatus::done);
    return backup;
  }
  keys::RestorePlan plan(const keys::SettingsBackup& backup) {
    keys::RestorePlan plan;
    EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
                return keys::plan_restore(l, services, "G:\\", backup, plan).status;
              }),
              SetupStatus::done);
    return plan;
  }
  SetupStatus restore(const keys::SettingsBackup& backup, const keys::RestorePlan& plan) {
    return with_device_lock([&](const DeviceLock& l) {
      return keys::restore_key_device(l, services, "G:\\", backup, plan).status;
    });
  }
  void write_backup(const std::string& text) { write_whole_file(drives.host_path('F', "key.bak"), text); }
};

// A text with its first `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The value of KEYDATA1 with its first two triplets swapped: still 24 digits,
// but no longer the record the device wrote.
std::string with_bent_group_key(const std::string& settings) {
  const std::size_t at = settings.find("KEYDATA1=") + 9;
  std::string bent = settings;
  bent.replace(at, 6, settings.substr(at + 3, 3) + settings.substr(at, 3));
  return bent;
}

TEST(ReadBackup, OpensAWholeBackupAndTellsADamagedOrForeignFileApart) {
  struct Case {
    const char* label;
    std::function<std::string(const std::string&)> edit;  // of the device's settings text
    const char* password;
    SetupStatus expected;
  };
  const Case cases[] = {
      {"whole", [](const std::string& s) { return s; }, "abc123", SetupStatus::done},
      {"another password", [](const std::string& s) { return s; }, "abc124", SetupStatus::wrong_password},
      {"cut inside a line", [](const std::string& s) { return s.substr(0, s.size() - 4); }, "abc123",
       SetupStatus::damaged},
      {"KEYDATA short of digits",
       [](const std::string& s) { return replaced(s, "\nKEYDATA=", "\nKEYDATA=1"); }, "abc123",
       SetupStatus::damaged},
      {"a group key record altered", with_bent_group_key, "abc123", SetupStatus::damaged},
      {"a group without its owner",
       [](const std::string& s) { return replaced(s, "OWNER2=", "ORPHAN2="); }, "abc123", SetupStatus::damaged},
      {"no key data", [](const std::string& s) { return replaced(s, "[QEVLINK]", "[ELSEWHERE]"); }, "abc123",
       SetupStatus::no_key_data},
      {"not an INI file", [](const std::string&) { return std::string("\x89PNG\r\n\x1a\n", 8); }, "abc123",
       SetupStatus::no_key_data},
  };
  for (const Case& c : cases) {
    BackupWorld world;
    world.write_backup(c.edit(world.settings_text('E')));
    keys::SettingsBackup backup;
    EXPECT_EQ(world.load_backup(c.password, backup), c.expected) << c.label;
    if (c.expected != SetupStatus::done) continue;
    EXPECT_EQ(backup.record_key, "Rk#4-x9Q");
    EXPECT_EQ(backup.personal_key, "ZQabc123");
    ASSERT_EQ(backup.groups.size(), 2u);
    EXPECT_EQ(backup.groups[1].name, "開発");
    EXPECT_EQ(backup.groups[1].key, group_key_of("開発"));
  }
}

TEST(BackUpKeyDevice, ARefusedOrFailedBackupLeavesNoFile) {
  struct Case {
    const char* label;
    DriveKind backup_drive;
    bool bend_device;  // a group record on the device no longer whole
    const char* password;
    SetupStatus expected;
  };
  const Case cases[] = {
      {"wrong password", DriveKind::removable, false, "abc124", SetupStatus::wrong_password},
      {"damaged key data", DriveKind::removable, true, "abc123", SetupStatus::damaged},
      {"full drive", DriveKind::full, false, "abc123", SetupStatus::write_failed},
  };
  for (const Case& c : cases) {
    BackupWorld world(DriveKind::removable, c.backup_drive);
    if (c.bend_device) world.write_settings('E', with_bent_group_key(world.settings_text('E')));
    const std::string before = world.settings_text('E');
    EXPECT_EQ(world.back_up(c.password), c.expected) << c.label;
    EXPECT_TRUE(world.files_on('F').empty()) << c.label;
    EXPECT_EQ(world.settings_text('E'), before) << c.label;
  }
}

TEST(PlanRestore, TellsWhoseKeyDataTheDeviceHolds) {
  struct Case {
    const char* label;
    std::function<void(BackupWorld&)> prepare_g;
    DeviceHolds holds;
    bool password_differs;
    std::vector<std::string> lost, gained, rekeyed;
  };
  const Case cases[] = {
      {"no settings file", [](BackupWorld&) {}, DeviceHolds::nothing, false, {}, {}, {}},
      {"the backup's bytes", [](BackupWorld& w) { w.write_settings('G', w.settings_text('E')); },
       DeviceHolds::same_bytes, false, {}, {}, {}},
      {"the same key data, options changed",
       [](BackupWorld& w) { w.write_settings('G', replaced(w.settings_text('E'), "FILEDEL=1", "FILEDEL=0")); },
       DeviceHolds::same_user, false, {}, {}, {}},
      {"the same record key, a later password and groups",
       [](BackupWorld& w) {
         w.prepare_device('G', "new456", "Rk#4-x9Q", {"営業", "総務"});
         with_device_lock([&](const DeviceLock& l) {
           return keys::add_group(l, w.services, "G:\\", "new456", {"開発", "Another1"});
         });
       },
       DeviceHolds::same_user, true, {"総務"}, {}, {"開発"}},
      {"the same record key, fewer groups", [](BackupWorld& w) { w.prepare_device('G', "abc123", "Rk#4-x9Q"); },
       DeviceHolds::same_user, false, {}, {"営業", "開発"}, {}},
      {"the same password under another record key",
       [](BackupWorld& w) { w.prepare_device('G', "abc123", "Other#12", {"営業", "開発"}); },
       DeviceHolds::other_user, false, {}, {}, {}},
      {"no key data", [](BackupWorld& w) { w.write_settings('G', "[OPTION]\r\nFILEDEL=0\r\n"); },
       DeviceHolds::no_key_data, false, {}, {}, {}},
  };
  for (const Case& c : cases) {
    BackupWorld world;
    const keys::SettingsBackup backup = world.opened_backup();
    c.prepare_g(world);
    const keys::RestorePlan plan = world.plan(backup);
    EXPECT_EQ(plan.holds, c.holds) << c.label;
    EXPECT_EQ(plan.password_differs, c.password_differs) << c.label;
    EXPECT_EQ(plan.groups_lost, c.lost) << c.label;
    EXPECT_EQ(plan.groups_gained, c.gained) << c.label;
    EXPECT_EQ(plan.groups_rekeyed, c.rekeyed) << c.label;
  }
}

TEST(RestoreKeyDevice, TheRestoredDeviceGivesTheKeysOfTheLostOne) {
  BackupWorld world;
  const keys::SettingsBackup backup = world.opened_backup();
  // The device is lost; the backup goes onto G, which held another user's
  // key data.
  world.prepare_device('G', "qwe456", "Their#34");
  world.write_settings('E', "");
  ASSERT_EQ(world.restore(backup, world.plan(backup)), SetupStatus::done);
  EXPECT_EQ(world.settings_text('G'), backup.bytes);
  EXPECT_NE(world.drives.get_attributes("G:\\qevlink.ini") & platform::attribute::read_only, 0u);
  EXPECT_EQ(world.files_on('G'), std::vector<std::string>{"qevlink.ini"});

  world.give_pc_key("Rk#4-x9Q");
  keys::KeyState state;
  ASSERT_EQ(keys::load_keys(state, world.services, world.views), keys::kKeysReady);
  EXPECT_EQ(state.device_root, "G:\\");
  EXPECT_EQ(state.key_set.personal_key, "ZQabc123");
  ASSERT_EQ(state.key_set.entries.size(), 3u);
  EXPECT_EQ(state.key_set.entries[1].key, group_key_of("営業"));
  EXPECT_EQ(state.key_set.entries[2].key, group_key_of("開発"));
}

TEST(RestoreKeyDevice, WritesNothingWhenTheDeviceChangedOrTheWriteFails) {
  struct Case {
    const char* label;
    DriveKind drive;
    std::function<void(BackupWorld&)> before_plan, after_plan;
    SetupStatus expected;
  };
  const Case cases[] = {
      {"a settings file appeared", DriveKind::removable, [](BackupWorld&) {},
       [](BackupWorld& w) { w.prepare_device('G', "qwe456", "Their#34"); }, SetupStatus::device_changed},
      {"the key data changed", DriveKind::removable,
       [](BackupWorld& w) { w.prepare_device('G', "qwe456", "Their#34"); },
       [](BackupWorld& w) { w.prepare_device('G', "qwe456", "Their#34", {"営業"}); }, SetupStatus::device_changed},
      {"the settings file went", DriveKind::removable,
       [](BackupWorld& w) { w.prepare_device('G', "qwe456", "Their#34"); },
       [](BackupWorld& w) {
         w.drives.set_attributes("G:\\qevlink.ini", platform::attribute::normal);
         w.drives.delete_file("G:\\qevlink.ini");
       },
       SetupStatus::device_changed},
      {"a full drive", DriveKind::full,
       [](BackupWorld& w) { w.write_settings('G', "[QEVLINK]\r\nKEYDATA=1\r\n"); }, [](BackupWorld&) {},
       SetupStatus::write_failed},
  };
  for (const Case& c : cases) {
    BackupWorld world(c.drive);
    const keys::SettingsBackup backup = world.opened_backup();
    c.before_plan(world);
    const keys::RestorePlan plan = world.plan(backup);
    c.after_plan(world);
    const std::vector<std::string> files = world.files_on('G');
    const std::string before = files.empty() ? "" : world.settings_text('G');
    EXPECT_EQ(world.restore(backup, plan), c.expected) << c.label;
    EXPECT_EQ(world.files_on('G'), files) << c.label;
    if (!files.empty()) {
      EXPECT_EQ(world.settings_text('G'), before) << c.label;
    }
  }
}

}  // namespace
}  // namespace kestrove::testing
