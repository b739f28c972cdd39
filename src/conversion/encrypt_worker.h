#pragma once
// The encrypt worker: every plain file of the TargetList becomes a cp3 file
// (name + ".cp3"), beside it or below the destination folder. Each output is
// written to the instance temporary file and moved into place only when
// whole; the source is deleted last, and only when asked.
#include <string>

#include "conversion/run_context.h"

namespace kestrove::conversion {

// The run: kRunDone (something was encrypted, or the user cancelled at the
// overwrite question), kRunOutOfMemory, kRunFileFailure, kRunCipherFailure,
// kRunNothingToConvert, kRunStopped. `message` holds the failure's text.
int encrypt_run(RunContext& context, std::string& message);

// What the worker thread does: the run, then, unless it completed or found
// nothing, the instance temporary file is deleted; the end is shown with
// the status line of the result. Returns the run's result.
int encrypt_thread(RunContext& context);

}  // namespace kestrove::conversion
