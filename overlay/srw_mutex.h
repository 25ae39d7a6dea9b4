#pragma once
// The cache's lock on Windows: a slim reader/writer lock taken exclusively. It cannot fail and
// needs no destruction, unlike the winpthreads mutex behind mingw-w64's std::mutex.

#include <windows.h>

namespace tarnwick {

class SrwMutex {
 public:
  SrwMutex() noexcept = default;
  SrwMutex(const SrwMutex&) = delete;
  SrwMutex& operator=(const SrwMutex&) = delete;

  void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
  void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace tarnwick
