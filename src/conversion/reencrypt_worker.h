#pragma once
// The re-encrypt worker of open in place: after the application on a work
// copy has ended, the work copy is written as a new cp3 file beside it
// (work copy + ".cp3") and the plain copy is deleted. One file per run,
// under the key that opened the source or one chosen now, through a
// temporary file of its own so that several re-encryptions may run at once.
#include <cstdint>
#include <functional>
#include <string>

#include "conversion/cp3_format.h"
#include "conversion/temporary_name_claim.h"
#include "keys/key_set.h"
#include "keys/settings.h"
#include "platform/file_system.h"
#include "targets/target_list.h"
#include "ui/run_view.h"

namespace kestrove::conversion {

struct ReencryptContext {
  platform::FileSystem& fs;
  ui::RunView& view;
  const keys::Settings& settings;
  std::string destination_folder;  // used by the space check while choose_destination is 1
  std::string temporary_file;      // this worker's claimed temporary file
};

struct ReencryptJob {
  std::string plain_path;  // the work copy
  std::string key;         // 8 characters
  std::uint32_t algorithm = kAlgorithmRecord;
  // The source cp3 file's InfoBlock, kept from its decryption: the new file
  // keeps its group mark. Offsets and piece size are those of the body as
  // written, so that the file always reads back.
  InfoBlock info_block;
  bool delete_plain = true;
};

// kRunDone (also for a work copy whose own name ends in .cp2 or .cp3, which
// is left alone), kRunOutOfMemory, kRunFileFailure or kRunCipherFailure with
// `message`. `edited_times` receives the work copy's times, which the new
// cp3 file carries.
int reencrypt_worker(ReencryptContext& context, const ReencryptJob& job, platform::FileTimes& edited_times,
                     std::string& message);

// The key choice dialog without a cancel button; true when a key was chosen
// into the CurrentKey.
using ChooseKey = std::function<bool(keys::CurrentKey& current)>;
// Claims the temporary file name; claim_temporary_name when not set.
using ClaimName = std::function<ClaimedName(const std::string& temporary_folder)>;

struct ReencryptThreadContext {
  platform::FileSystem& fs;
  ui::RunView& view;
  targets::TargetList& targets;
  std::int32_t entry_index = 0;
  std::int32_t launch_status = 0;  // not 0: the application was not watched normally
  const keys::Settings& settings;
  const keys::KeySet& key_set;
  keys::CurrentKey& current_key;
  std::int32_t reencrypt_same_key = 0;  // the PC option "元ファイルと同じキーで暗号化する。"
  std::string destination_folder;
  std::string temporary_folder;
  ChooseKey choose_key;
  ClaimName claim_name;
};

// The key and cipher of the re-encryption: the source's own when the launch
// was not normal or the same-key option is on; otherwise a key chosen now
// (the key choice dialog when group keys are in use, else the PersonalKey,
// either way made the CurrentKey) with the cipher of encode_type. False
// when the user made no choice.
bool choose_reencrypt_key(ReencryptThreadContext& context, std::string& key, std::uint32_t& algorithm);

// What the re-encrypt thread does: the key choice, the claim of a temporary
// name, the worker for the entry's work copy, and the end shown. Returns the
// worker's result (kRunDone when no key was chosen and nothing was written).
int reencrypt_thread(ReencryptThreadContext& context);

}  // namespace kestrove::conversion
