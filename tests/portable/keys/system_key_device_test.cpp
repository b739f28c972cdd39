// The whole key path over the real backend of this build, with a folder
// mapped as the removable drive E: (KESTROVE_DRIVES natively; under Wine the
// prefix's E: drive, announced by KESTROVE_TEST_REMOVABLE_E).
#include <gtest/gtest.h>

#include <cstdlib>

#include "key_test_world.h"
#include "keys/key_device_setup.h"
#include "keys/key_loading.h"
#include "keys/settings_file.h"

namespace kestrove::testing {
namespace {

using keys::DeviceLock;
using keys::with_device_lock;

TEST(SystemKeyDevice, PreparedLoadedAndWrittenBackOnARealRemovableDrive) {
  KeyTestWorld world;  // for its private registry and views
#ifdef _WIN32
  if (std::getenv("KESTROVE_TEST_REMOVABLE_E") == nullptr) GTEST_SKIP() << "no removable drive E: mapped";
  std::unique_ptr<ScopedEnv> drives;
#else
  world.temp.make_folder("usb");
  std::string native = (world.temp / "usb").substr(2);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  auto drives = std::make_unique<ScopedEnv>("KESTROVE_DRIVES", "E=" + native);
#endif
  keys::KeyServices real = keys::system_key_services();
  keys::KeyServices services{real.files, real.profile, world.registry, real.drive_type, real.now};
  auto& files = services.files;
  ASSERT_EQ(services.drive_type("E:\\"), 2u);
  files.set_attributes("E:\\qevlink.ini", platform::attribute::normal);
  files.delete_file("E:\\qevlink.ini");  // what an earlier run may have left

  with_device_lock([&](const DeviceLock& l) {
    ASSERT_EQ(keys::create_key_device(l, services, "E:\\", "abc123", "Rk#4-x9Q", false).status,
              keys::SetupStatus::done);
    ASSERT_EQ(keys::add_group(l, services, "E:\\", "abc123", {"営業", "SalesKey"}).status, keys::SetupStatus::done);
  });

  // A new PC: the password creates its key information, the next loading
  // builds the key set.
  keys::KeyState state;
  world.boxes.answers = {ui::answer::ok};
  world.password.type({"abc123"});
  ASSERT_EQ(keys::load_keys(state, services, world.views), keys::kKeysReady);
  ASSERT_EQ(keys::load_keys(state, services, world.views), keys::kKeysReady);
  EXPECT_EQ(state.device_root, "E:\\");
  ASSERT_EQ(state.key_set.entries.size(), 2u);
  EXPECT_EQ(state.key_set.entries[0].key, "ZQabc123");
  EXPECT_EQ(state.key_set.entries[1].key, "SalesKey");

  // The orderly exit writes the options and the time into the read-only file.
  keys::Settings settings;
  settings.include_subfolders = 0;
  EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
              return keys::write_options(l, services, state.device_root, settings, world.boxes) +
                     keys::write_access_time(l, services, state.device_root, state.record_key, world.boxes);
            }),
            2);
  keys::Settings read;
  std::string time_text;
  with_device_lock([&](const DeviceLock& l) {
    keys::read_options(l, services, state.device_root, read);
    return keys::read_access_time(l, services, state.device_root, state.record_key, time_text);
  });
  EXPECT_EQ(read.include_subfolders, 0);
  EXPECT_EQ(time_text.size(), 16u);
  EXPECT_NE(files.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only, 0u);
  EXPECT_EQ(world.boxes.shown.size(), 2u) << "the creation question and its confirmation only";

  files.set_attributes("E:\\qevlink.ini", platform::attribute::normal);
  files.delete_file("E:\\qevlink.ini");
}

}  // namespace
}  // namespace kestrove::testing
