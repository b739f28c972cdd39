#include "keys/device_lock.h"

namespace kestrove::keys {

DeviceLock::DeviceLock() {
  for (;;) {
    platform::NamedMutex mutex;
    const platform::MutexCreation creation = platform::create_named_mutex(kDeviceMutexName, mutex);
    if (creation == platform::MutexCreation::created) {
      mutex_ = std::move(mutex);
      return;
    }
    if (creation == platform::MutexCreation::failed) {
      platform::sleep_ms(50);
      return;  // the operation runs unlocked
    }
    mutex.reset();  // another process holds it: close our handle and wait
    platform::sleep_ms(50);
  }
}

DeviceLock::~DeviceLock() = default;

}  // namespace kestrove::keys
