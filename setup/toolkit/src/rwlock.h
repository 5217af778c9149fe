// A reader-writer lock that builds with both compilers (the mingw
// toolchain in use has no std::shared_mutex).
#pragma once

#ifdef _WIN32
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
#else
#include <shared_mutex>

class RwLock {
 public:
  void LockShared() { m_.lock_shared(); }
  void UnlockShared() { m_.unlock_shared(); }
  void Lock() { m_.lock(); }
  void Unlock() { m_.unlock(); }

 private:
  std::shared_mutex m_;
};
#endif

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
