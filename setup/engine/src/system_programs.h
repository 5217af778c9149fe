// The Windows programs the engine starts, by their full path in the system
// folder: the program runs elevated, and a bare name would be looked for in
// the current folder (often Downloads) first.
#pragma once

#include <string>

#include "platform/platform.h"

inline const wchar_t kRundll32[] = L"rundll32.exe";
inline const wchar_t kCertutil[] = L"certutil.exe";

// Sets the launch's file to the system folder + "\" + the file name and its
// working folder to the system folder; false when the folder cannot be
// read, and then nothing is to be started.
inline bool SetSystemProgram(platform::System& system, const wchar_t* fileName, platform::ProcessLaunch& launch) {
  std::wstring folder;
  if (system.SystemFolder(folder) != platform::err::kOk || folder.empty()) return false;
  launch.file = folder + L"\\" + fileName;
  launch.directory = folder;
  return true;
}
