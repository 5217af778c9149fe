#pragma once
// Facts about the running system and the clock.
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

class System {
 public:
  virtual ~System() = default;

  // GetVersionEx.
  virtual ErrorCode GetVersion(OsVersion& out) = 0;
  // IsWow64Process of the current process.
  virtual ErrorCode IsWow64(bool& out) = 0;
  // The system's message text for an error number in a UI language, without
  // the trailing line break; empty when the system has none.
  virtual std::wstring ErrorMessage(ErrorCode code, uint16_t languageId) = 0;
  // The program-files folder, without creating it.
  virtual ErrorCode ProgramFilesFolder(std::wstring& out) = 0;
  // The system folder (GetSystemDirectory), where the programs the engine
  // starts live; no trailing backslash.
  virtual ErrorCode SystemFolder(std::wstring& out) = 0;
  // The text in the system's ANSI code page.
  virtual std::string ToAnsi(const std::wstring& text) = 0;
};

// What every system back end (the simulated and the real Windows) declares.
#define PLATFORM_SYSTEM_OVERRIDES \
  ErrorCode GetVersion(OsVersion& out) override;                            \
  ErrorCode IsWow64(bool& out) override;                                    \
  std::wstring ErrorMessage(ErrorCode code, uint16_t languageId) override;  \
  ErrorCode ProgramFilesFolder(std::wstring& out) override;                 \
  ErrorCode SystemFolder(std::wstring& out) override;                       \
  std::string ToAnsi(const std::wstring& text) override;

// Time as the engine's waits and retries see it; tests replace it.
class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start (GetTickCount); it wraps after
  // 49.7 days, so compare only unsigned differences.
  virtual uint32_t NowMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  // The current UTC time as a FILETIME value.
  virtual uint64_t SystemFileTime() = 0;
};

}  // namespace platform
