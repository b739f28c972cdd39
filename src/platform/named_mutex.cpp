#include "platform/named_mutex.h"

namespace kestrove::platform {

NamedMutex acquire_named_mutex(const std::string& name) {
  constexpr unsigned kRetryMs = 50;
  // A failure that persists (the system cannot make the name at all) must not
  // hang the program; waiting for another holder has no such limit.
  constexpr int kFailuresBeforeGivingUp = 20;
  int failures = 0;
  for (;;) {
    NamedMutex mutex;
    switch (create_named_mutex(name, mutex)) {
      case MutexCreation::created:
        return mutex;
      case MutexCreation::already_exists:
        failures = 0;
        mutex.reset();
        break;
      case MutexCreation::failed:
        if (++failures >= kFailuresBeforeGivingUp) return nullptr;
        break;
    }
    sleep_ms(kRetryMs);
  }
}

}  // namespace kestrove::platform
