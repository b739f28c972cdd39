#pragma once
// A small world for the key subsystem: drive letters mapped to folders of a
// temporary folder (so that several removable drives, write-protected ones
// and empty ones exist on every system the tests run on), the registry of
// the real backend under a private key, a settable clock, and scripted
// views. Faults are injected where a test asks for them.
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "keys/key_services.h"
#include "keys/key_state.h"
#include "support/scripted_key_views.h"
#include "support/scripted_message_box.h"
#include "support/temp_folder.h"

namespace kestrove::testing {

enum class DriveKind {
  removable,
  fixed,
  remote,
  cdrom,
  no_medium,        // removable, but every access fails with 21
  write_protected,  // removable; creating or writing a file fails with 19
  full,             // removable; writing fails with 112
};

// The file system and profile functions with drive letters mapped to
// folders; paths on other letters pass through unchanged.
class MappedDrives : public platform::FileSystem, public platform::Profile {
 public:
  explicit MappedDrives(const TempFolder& temp) : temp_(temp) {}

  void add(char letter, DriveKind kind);
  unsigned drive_type(const std::string& root) const;
  // Windows-form path of `name` in the root folder of a mapped drive.
  platform::Path host_path(char letter, const std::string& name = "") const;

  // A profile write of this key fails with this error.
  std::string failing_profile_key;
  platform::ErrorCode failing_profile_error = platform::error::access_denied;

  platform::File open(const platform::Path& path, platform::FileAccess access, platform::FileCreation creation,
                      unsigned share_mode) override;
  std::uint32_t get_attributes(const platform::Path& path) override;
  bool set_attributes(const platform::Path& path, std::uint32_t attributes) override;
  bool delete_file(const platform::Path& path) override;
  bool move_file(const platform::Path& from, const platform::Path& to) override;
  bool replace_file(const platform::Path& replacement, const platform::Path& target) override;
  bool create_directory(const platform::Path& path) override;
  bool remove_directory(const platform::Path& path) override;
  bool find_entry(const platform::Path& path, platform::DirectoryEntry& entry) override;
  bool list_directory(const platform::Path& folder, std::vector<platform::DirectoryEntry>& entries) override;
  bool free_space(const platform::Path& folder, std::uint64_t& bytes_free) override;
  bool temp_folder(platform::Path& folder) override;

  std::uint32_t get_string(const char* section, const char* key, const char* default_value, std::string& value,
                           std::uint32_t buffer_size, const platform::Path& file) override;
  bool write_string(const char* section, const char* key, const char* value, const platform::Path& file) override;

 private:
  // The mapped path, or false with the drive's error set.
  bool map(const platform::Path& path, platform::Path& mapped, bool writing) const;
  const DriveKind* kind_of(const platform::Path& path) const;

  const TempFolder& temp_;
  std::map<char, DriveKind> drives_;
};

// The real registry backend with the program's keys under a private key of
// HKEY_CURRENT_USER\Software, which is removed afterwards; statuses can be
// injected per created key, per written value and per size query.
class PrivateRegistry : public platform::Registry {
 public:
  PrivateRegistry();
  ~PrivateRegistry() override;

  std::map<std::string, platform::RegistryStatus> failing_creates;  // by subkey, as the program names it
  std::map<std::string, platform::RegistryStatus> failing_sets;     // by value name
  std::map<std::string, platform::RegistryStatus> failing_sizes;    // by value name
  platform::RegistryStatus failing_software_open = 0;               // the write probe of "Software"

  platform::RegistryStatus open_key(platform::RegistryRoot root, const std::string& subkey,
                                    platform::RegistryAccess access, platform::RegistryKeyHandle& key) override;
  platform::RegistryStatus create_key(platform::RegistryRoot root, const std::string& subkey,
                                      platform::RegistryKeyHandle& key) override;
  platform::RegistryStatus delete_key(platform::RegistryRoot root, const std::string& subkey) override;

  // Plain access for checks and set-ups, without faults.
  bool read_value(const std::string& name, std::string& value);
  void write_value(const std::string& name, const std::string& bytes);
  void remove_pc_state();  // as if the values had never been written

 private:
  std::string mapped(const std::string& subkey) const;
  platform::RegistryKeyHandle wrap(platform::RegistryKeyHandle key);

  std::string base_;  // "Software\KestroveTests\<random>"
};

struct KeyTestWorld {
  KeyTestWorld();

  TempFolder temp;
  MappedDrives drives{temp};
  PrivateRegistry registry;
  std::time_t clock = 1110153900;  // some instant; tests set what they need
  keys::KeyServices services;

  ScriptedMessageBox boxes;
  ScriptedPasswordPrompt password{boxes};
  ScriptedKeyChoice key_choice{boxes};
  RecordingKeyStatus window;
  ui::KeyViews views{boxes, password, &window};

  // A key device on `letter` for `password` with `record_key`, and groups of
  // these names whose key is the name's first 8 bytes padded with '#'.
  void prepare_device(char letter, const std::string& password, const std::string& record_key,
                      const std::vector<std::string>& groups = {});
  // The PC's registry values for a user with this record key.
  void give_pc_key(const std::string& record_key, char lock_flag = '0');

  std::string settings_text(char letter) const;
  void write_settings(char letter, const std::string& text) const;
  // Names in the root folder of a drive.
  std::vector<std::string> files_on(char letter) const;
};

// The group key prepare_device gives a group name.
std::string group_key_of(const std::string& name);
// A record deciphered by hand, as text.
std::string deciphered(const std::string& key, const std::string& triplet_digits);

}  // namespace kestrove::testing
