#pragma once
// The decrypt worker: every ".cp3" and ".cp2" file of the TargetList (any
// case) becomes its plain file again, the name without the last four
// characters, beside it, below the destination folder, or, opened in place,
// in a new work folder. Other entries are passed over. Each output is
// written to the instance temporary file and moved into place when whole.
#include <string>

#include "conversion/run_context.h"

namespace kestrove::conversion {

// The run: kRunDone (every entry handled, or the user cancelled at the
// overwrite question), kRunOutOfMemory (also a file not the user's or
// altered), kRunFileFailure, kRunCipherFailure, kRunNothingToConvert,
// kRunStopped. Writes output_path, the header copies, key_name, algorithm,
// decrypted_cp3 and (opened in place) opened_file_times into the entries.
int decrypt_worker(RunContext& context, std::string& message);

// What the worker thread does: the run, the clean-up of the instance
// temporary file, and the end shown with the status line of the result.
int decrypt_thread(RunContext& context);

}  // namespace kestrove::conversion
