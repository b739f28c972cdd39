#pragma once
// What the main window claims for this instance when it opens: a writable
// temporary folder, a name no other running instance holds (a named mutex
// held for the instance's life), and from it the instance temporary file,
// where every conversion writes before moving its output into place.
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/named_mutex.h"
#include "ui/message_box.h"

namespace kestrove::app {

struct Instance {
  std::string temporary_folder;  // ends in "\"
  std::string name;              // 8 random characters
  std::string temporary_file;    // temporary folder + name + ".tmp"
  platform::NamedMutex mutex;    // held until the instance ends
};

// Creates and deletes a test file in the temporary folder. 1 writable; 0
// after the message of the failing step.
int check_temp_folder(platform::FileSystem& files, ui::MessageBoxView& owner, std::string& temporary_folder);

// Takes 8 random characters whose mutex nobody holds, and the temporary file
// name built from them. When the mutex cannot be created at all (20 failures
// in a row, about a second) the last name is taken unheld and the result is
// false: the instance still works, only without the guard against a twin.
using MutexCreator = std::function<platform::MutexCreation(const std::string& name, platform::NamedMutex& mutex)>;
bool claim_instance_name(Instance& instance, const MutexCreator& create_mutex = platform::create_named_mutex);

}  // namespace kestrove::app
