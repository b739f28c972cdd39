#pragma once
// System-wide named mutexes as the program uses them: created initially
// owned; "already exists" is told apart from failure; the hold ends when the
// handle is closed (or its process dies).
#include <memory>
#include <string>

namespace kestrove::platform {

enum class MutexCreation { created, already_exists, failed };

class NamedMutexHandle {
 public:
  virtual ~NamedMutexHandle() = default;  // closes the handle
  virtual void release() = 0;             // ReleaseMutex
};
using NamedMutex = std::unique_ptr<NamedMutexHandle>;

// CreateMutexA(NULL, TRUE, name). With already_exists the handle is returned
// too (the caller closes it and tries again later, as on Windows).
MutexCreation create_named_mutex(const std::string& name, NamedMutex& mutex);

// Waits until the name is free and holds it: create, on "exists" close,
// sleep 50 ms and try again; on failure sleep 50 ms and try again. A name
// that cannot be created at all (20 failures in a row, about a second) gives
// an empty handle: the caller then goes on unlocked instead of hanging.
NamedMutex acquire_named_mutex(const std::string& name);

void sleep_ms(unsigned milliseconds);

}  // namespace kestrove::platform
