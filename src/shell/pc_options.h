#pragma once
// What this PC's shell configuration says about the program: the SendTo
// shortcut and the ".cp3" association with its re-encryption markers. Read
// from the registry and the SendTo folder; one record per process.
#include <functional>

namespace kestrove::shell {

struct PcOptions {
  bool sendto_present = false;
  bool double_click_open = false;   // "ダブルクリックで暗号化したファイルを開く。"
  bool reencrypt_on_save = false;   // re-encrypt an edited file when its program ends
  bool reencrypt_same_key = false;  // ... with the key that opened it
};

// Fills the association flags; 0 when they were read, non-zero when the
// state cannot be read. A program without the shell integration reads as
// all off.
using AssociationReader = std::function<int(PcOptions&)>;

}  // namespace kestrove::shell
