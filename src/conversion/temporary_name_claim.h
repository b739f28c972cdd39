#pragma once
// A temporary file name that no other re-encryption uses, in this instance
// or another: the name is claimed by a named mutex of the same name, held
// while the ClaimedName lives.
#include <string>

#include "platform/named_mutex.h"

namespace kestrove::conversion {

struct ClaimedName {
  platform::NamedMutex hold;   // released and closed when the claim ends
  std::string temporary_file;  // temporary folder + 8 random characters + ".tmp"
};

// Tries random names until one is free; waits 50 ms after a taken name or a
// failed creation.
ClaimedName claim_temporary_name(const std::string& temporary_folder);

}  // namespace kestrove::conversion
