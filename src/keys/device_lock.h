#pragma once
// Every access to the key device, in every process of the program, runs
// while the system-wide mutex "KAVOR_USB_MUTEX" is held, so that no instance
// reads the settings file while another writes it or while a drive scan's
// test file exists. The operations that touch the device take a DeviceLock,
// which only with_device_lock hands out: holding one is the proof.
//
// The mutex is not recursive across calls: never call with_device_lock from
// inside an operation that already runs under it.
#include <utility>

#include "platform/named_mutex.h"

namespace kestrove::keys {

inline constexpr const char* kDeviceMutexName = "KAVOR_USB_MUTEX";

class DeviceLock {
 public:
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;
  ~DeviceLock();  // closes the handle, which ends the hold

 private:
  DeviceLock();  // waits for the mutex
  platform::NamedMutex mutex_;

  template <class Operation>
  friend auto with_device_lock(Operation&& operation);
};

// Creates the mutex initially owned; while another process has it ("already
// exists") closes the handle, sleeps 50 ms and tries again, without time-out.
// When the creation fails for any other reason the operation runs unlocked
// after a pause of 50 ms. Returns the operation's result.
template <class Operation>
auto with_device_lock(Operation&& operation) {
  const DeviceLock lock;
  return std::forward<Operation>(operation)(lock);
}

}  // namespace kestrove::keys
