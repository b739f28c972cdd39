// A write of the settings file is one unit: whatever step fails, the device
// holds the old file byte for byte or the new one, with no stray copy but
// the one the next read puts in place; and the bytes are those the profile
// functions give when the same keys are written one by one.
#include <gtest/gtest.h>

#include <algorithm>

#include "conversion/error_text.h"
#include "key_test_world.h"
#include "keys/key_device_setup.h"
#include "keys/settings_file.h"
#include "support/faulty_file_system.h"

namespace kestrove::testing {
namespace {

using keys::DeviceLock;
using keys::with_device_lock;
using namespace std::string_literals;

constexpr const char* kRecordKey = "Rk#4-x9Q";
constexpr const char* kWriteFailed = "ファイルの書き込みに失敗しました。";

std::string value_in(const std::string& settings, const std::string& key) {
  const std::size_t at = settings.find("\n" + key + "=");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 2;
  return settings.substr(start, settings.find_first_of("\r\n", start) - start);
}

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

enum class Writer { options, access_time, add_group };

const char* writer_name(Writer w) {
  switch (w) {
    case Writer::options: return "options";
    case Writer::access_time: return "access time";
    case Writer::add_group: return "add group";
  }
  return "?";
}

// The key whose profile write each writer does last but one or last.
const char* late_key(Writer w) {
  switch (w) {
    case Writer::options: return "FOLDERALL";
    case Writer::access_time: return "ACCESSTIME";
    case Writer::add_group: return "GROUP_NUM";
  }
  return "";
}

struct SwapWorld : KeyTestWorld {
  FaultyFileSystem faulty{drives};
  keys::KeyServices faulty_services{faulty, drives, registry, services.drive_type, services.now};

  SwapWorld() { drives.add('E', DriveKind::removable); }

  // "" when the writer succeeded, else what it reported: the message box
  // text, or keyloft's error code.
  std::string write(Writer w, bool with_faults = false) {
    const keys::KeyServices& s = with_faults ? faulty_services : services;
    boxes.shown.clear();
    return with_device_lock([&](const DeviceLock& l) -> std::string {
      switch (w) {
        case Writer::options: {
          keys::Settings zeros;
          zeros.choose_destination = 1;
          zeros.confirm_overwrite = zeros.include_subfolders = zeros.delete_original = zeros.use_group_key = 0;
          if (keys::write_options(l, s, "E:\\", zeros, boxes) == 1) return "";
          break;
        }
        case Writer::access_time:
          if (keys::write_access_time(l, s, "E:\\", kRecordKey, boxes) == 1) return "";
          break;
        case Writer::add_group: {
          const keys::SetupOutcome outcome = keys::add_group(l, s, "E:\\", "abc123", {"開発", "DevKey01"});
          if (outcome.status == keys::SetupStatus::done) return "";
          return "status " + std::to_string(static_cast<int>(outcome.status)) + " error " +
                 std::to_string(outcome.error);
        }
      }
      return boxes.shown.empty() ? "no message" : boxes.shown.back().text;
    });
  }

  // What `w` reports for a write that failed with `code`.
  static std::string failure(Writer w, platform::ErrorCode code) {
    if (w == Writer::add_group) {
      return "status " + std::to_string(static_cast<int>(keys::SetupStatus::write_failed)) + " error " +
             std::to_string(code);
    }
    return conversion::compose_error_text(kWriteFailed, static_cast<std::int32_t>(code));
  }

  int read_keys() {
    keys::RawKeyRecords raw;
    return with_device_lock([&](const DeviceLock& l) { return keys::read_key_section(l, services, "E:\\", raw); });
  }
};

TEST(SettingsWrites, GiveTheBytesOfTheKeyByKeyWrites) {
  struct Case {
    const char* label;
    Writer writer;
    const char* start;  // nullptr: a prepared device; "" with `no_file`: no settings file
    bool no_file = false;
  };
  const Case cases[] = {
      {"options on a prepared device", Writer::options, nullptr},
      {"options on a hand-made file",
       Writer::options,
       "; kept\r\n[QEVLINK]\r\nKEYDATA = 001\r\n\r\n[OPTION]\nFILEDEL=9\n[営業]\r\n名前=値\r\n"},
      {"options without a settings file", Writer::options, "", true},
      {"access time over an earlier one", Writer::access_time,
       "[ACCESS]\r\nACCESSTIME=123\r\nOTHER=x\r\n[OPTION]\r\nFILEDEL=1\r\n"},
      {"access time on a prepared device", Writer::access_time, nullptr},
      {"keyloft adds a group", Writer::add_group, nullptr},
  };
  for (const Case& c : cases) {
    SwapWorld world;
    if (c.start == nullptr) world.prepare_device('E', "abc123", kRecordKey, {"営業"});
    else if (!c.no_file) world.write_settings('E', c.start);
    const platform::Path scratch = world.drives.host_path('E', "scratch.ini");
    if (!c.no_file) write_whole_file(scratch, world.settings_text('E'));

    ASSERT_EQ(world.write(c.writer), "") << c.label;
    const std::string written = world.settings_text('E');
    auto& profile = platform::system_profile();
    switch (c.writer) {
      case Writer::options:
        for (const char* key : {"APPINT_FOLDER", "OVERWRITECHECK", "FOLDERALL", "FILEDEL", "USEGROUPKEY"}) {
          ASSERT_TRUE(profile.write_string("OPTION", key, std::string(key) == "APPINT_FOLDER" ? "1" : "0", scratch));
        }
        break;
      case Writer::access_time:
        ASSERT_TRUE(profile.write_string("ACCESS", nullptr, nullptr, scratch));
        ASSERT_TRUE(profile.write_string("ACCESS", "ACCESSTIME", value_in(written, "ACCESSTIME").c_str(), scratch));
        break;
      case Writer::add_group:
        for (const char* key : {"GROUPID2", "OWNER2", "KEYDATA2", "GROUP_NUM"}) {
          ASSERT_TRUE(profile.write_string("GROUP", key, value_in(written, key).c_str(), scratch));
        }
        break;
    }
    profile.write_string(nullptr, nullptr, nullptr, scratch);
    EXPECT_EQ(written, read_whole_file(scratch)) << c.label;
    EXPECT_EQ(sorted(world.files_on('E')), (std::vector<std::string>{"qevlink.ini", "scratch.ini"})) << c.label;
    EXPECT_NE(world.drives.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only, 0u) << c.label;
  }
}

TEST(SettingsWrites, AFaultAtAnyStepLeavesTheOldFileWhole) {
  struct Step {
    const char* label;
    Fault fault;
    bool profile_key = false;  // the writer's late key fails instead
  };
  const Step steps[] = {
      {"creating the copy", {FsOp::open, "~qevlink.tmp", 1, platform::error::write_protect}},
      {"copying the current bytes", {FsOp::write, "~qevlink.tmp", 1, platform::error::disk_full}},
      {"a key onto the copy", {}, true},
      {"flushing the copy whole", {FsOp::replace_file, "~qevlink.tmp", 1, 1117}},
      {"the replace", {FsOp::replace_file, "\\qevlink.ini", 1, platform::error::access_denied, 1, Match::ends_with}},
  };
  for (const Writer writer : {Writer::options, Writer::access_time, Writer::add_group}) {
    for (const Step& step : steps) {
      const std::string label = std::string(writer_name(writer)) + ", " + step.label;
      SwapWorld world;
      world.prepare_device('E', "abc123", kRecordKey, {"営業"});
      const std::string before = world.settings_text('E');
      platform::ErrorCode code = step.fault.error;
      if (step.profile_key) {
        world.drives.failing_profile_key = late_key(writer);
        code = world.drives.failing_profile_error;
      } else {
        world.faulty.add_fault(step.fault);
      }
      EXPECT_EQ(world.write(writer, true), SwapWorld::failure(writer, code)) << label;
      EXPECT_EQ(world.settings_text('E'), before) << label;
      EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"}) << label;
      EXPECT_EQ(world.read_keys(), 0) << label;
    }
  }
}

TEST(SettingsWrites, AReplaceThatLosesTheOldFileLeavesTheWholeCopyForTheNextRead) {
  for (const Writer writer : {Writer::options, Writer::access_time, Writer::add_group}) {
    SwapWorld world;
    world.prepare_device('E', "abc123", kRecordKey, {"営業"});
    const std::string before = world.settings_text('E');
    world.faulty.add_fault({FsOp::replace_file, "\\qevlink.ini", 1, platform::error::unable_to_move_replacement_2, 1,
                            Match::ends_with});
    EXPECT_EQ(world.write(writer, true), SwapWorld::failure(writer, platform::error::unable_to_move_replacement_2))
        << writer_name(writer);
    ASSERT_EQ(world.files_on('E'), std::vector<std::string>{"~qevlink.new"}) << writer_name(writer);
    const std::string copy = read_whole_file(world.drives.host_path('E', "~qevlink.new"));
    EXPECT_NE(copy, before) << writer_name(writer);

    EXPECT_EQ(world.read_keys(), 0) << writer_name(writer);
    EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"}) << writer_name(writer);
    EXPECT_EQ(world.settings_text('E'), copy) << writer_name(writer);
    EXPECT_NE(world.drives.get_attributes("E:\\qevlink.ini") & platform::attribute::read_only, 0u);
  }
}

TEST(RecoverSettingsFile, PutsAWholeCopyBackAndRemovesTheRest) {
  const std::string whole = "[QEVLINK]\r\nKEYDATA=001002003004005006007008\r\nREGDATA=255254253252251250249248\r\n";
  const std::string other = "[QEVLINK]\r\nKEYDATA=009009009009009009009009\r\nREGDATA=008008008008008008008008\r\n";
  const std::string cut = "[QEVLINK]\r\nKEYDATA=0010020";
  struct Case {
    const char* label;
    const char* settings;  // nullptr: none
    const char* ready;     // "~qevlink.new"
    const char* copy;      // "~qevlink.tmp"
    const char* expected;  // qevlink.ini afterwards, nullptr: none
  };
  const char* w = whole.c_str();
  const char* o = other.c_str();
  const char* c = cut.c_str();
  const Case cases[] = {
      {"a whole copy without a settings file is put back", nullptr, w, nullptr, w},
      {"and wins over a copy that may be cut", nullptr, w, c, w},
      {"a whole copy beside a settings file goes", o, w, nullptr, o},
      {"a copy that may be cut is never used", nullptr, nullptr, w, nullptr},
      {"nor kept beside a settings file", o, nullptr, c, o},
  };
  for (const Case& k : cases) {
    SwapWorld world;
    if (k.settings != nullptr) world.write_settings('E', k.settings);
    if (k.ready != nullptr) write_whole_file(world.drives.host_path('E', "~qevlink.new"), k.ready);
    if (k.copy != nullptr) write_whole_file(world.drives.host_path('E', "~qevlink.tmp"), k.copy);
    keys::RawKeyRecords raw;
    const int read =
        with_device_lock([&](const DeviceLock& l) { return keys::read_key_section(l, world.services, "E:\\", raw); });
    EXPECT_EQ(read, k.expected != nullptr ? 0 : keys::kNoKeyData) << k.label;
    if (k.expected == nullptr) {
      EXPECT_TRUE(world.files_on('E').empty()) << k.label;
      continue;
    }
    EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"}) << k.label;
    EXPECT_EQ(world.settings_text('E'), k.expected) << k.label;
    EXPECT_EQ(raw.keydata[0], k.expected == whole ? 1 : 9) << k.label;
  }

  // A whole copy that cannot be put back yet stays for the next read.
  {
    SwapWorld world;
    write_whole_file(world.drives.host_path('E', "~qevlink.new"), whole);
    world.faulty.add_fault({FsOp::replace_file, "\\qevlink.ini", 1, platform::error::write_protect, 1,
                            Match::ends_with});
    keys::RawKeyRecords raw;
    EXPECT_EQ(with_device_lock([&](const DeviceLock& l) {
                return keys::read_key_section(l, world.faulty_services, "E:\\", raw);
              }),
              keys::kNoKeyData);
    EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"~qevlink.new"});
    EXPECT_EQ(world.read_keys(), 0);
    EXPECT_EQ(world.settings_text('E'), whole);
  }

  // A writer puts the copy back before it writes, so the key records stay.
  SwapWorld world;
  write_whole_file(world.drives.host_path('E', "~qevlink.new"), whole);
  ASSERT_EQ(world.write(Writer::options), "");
  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
  EXPECT_EQ(value_in(world.settings_text('E'), "KEYDATA"), "001002003004005006007008");
  EXPECT_EQ(value_in(world.settings_text('E'), "FOLDERALL"), "0");
}

}  // namespace
}  // namespace kestrove::testing
