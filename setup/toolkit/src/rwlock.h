// A reader-writer lock on the host's slim lock (the mingw toolchain in use
// has no std::shared_mutex).
#pragma once

#include "toolkit/platform.h"

class RwLock {
 public:
  void LockShared() { AcquireSRWLockShared(&lock_); }
  void UnlockShared() { ReleaseSRWLockShared(&lock_); }
  void Lock() { AcquireSRWLockExclusive(&lock_); }
  void Unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class ReadGuard {
 public:
  explicit ReadGuard(RwLock& l) : l_(l) { l_.LockShared(); }
  ~ReadGuard() { l_.UnlockShared(); }
  ReadGuard(const ReadGuard&) = delete;
  ReadGuard& operator=(const ReadGuard&) = delete;

 private:
  RwLock& l_;
};

class WriteGuard {
 public:
  explicit WriteGuard(RwLock& l) : l_(l) { l_.Lock(); }
  ~WriteGuard() { l_.Unlock(); }
  WriteGuard(const WriteGuard&) = delete;
  WriteGuard& operator=(const WriteGuard&) = delete;

 private:
  RwLock& l_;
};
