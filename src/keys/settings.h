#pragma once
// The option record of the settings file on the key device.
#include <cstdint>
#include <string>

namespace kestrove::keys {

struct Settings {
  std::int32_t confirm_overwrite = 1;   // OVERWRITECHECK
  std::int32_t include_subfolders = 1;  // FOLDERALL
  std::int32_t delete_original = 1;     // FILEDEL
  std::int32_t choose_destination = 0;  // APPINT_FOLDER
  std::int32_t use_group_key = 1;       // USEGROUPKEY
  std::int32_t encode_type = 1;         // ENCODE_TYPE: 2 selects the AES body cipher
  std::string version;                  // VERSION, at most 127 bytes
};

}  // namespace kestrove::keys
