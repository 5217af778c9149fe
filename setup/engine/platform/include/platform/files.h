#pragma once
// Files, devices opened as files, and started processes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeNormal = 0x80;

// ShowWindow values for a started process.
constexpr int kShowHidden = 0;
constexpr int kShowNormal = 1;

class Files {
 public:
  virtual ~Files() = default;

  // GetFileAttributes; 2 or 3 when the path does not exist.
  virtual ErrorCode GetAttributes(const std::wstring& path, uint32_t& attributes) = 0;
  // CreateDirectory of one level; 183 when it exists already.
  virtual ErrorCode CreateDir(const std::wstring& path) = 0;
  // Creates or overwrites a file with exclusive access and writes all bytes.
  virtual ErrorCode WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) = 0;
  // Opens a device path for overlapped writing (write sharing, existing
  // device), writes the bytes with a completion routine and waits alertably
  // up to timeoutMs; `written` is what the completion routine recorded.
  virtual ErrorCode WriteDevice(const std::wstring& devicePath, const std::vector<uint8_t>& bytes,
                                uint32_t timeoutMs, uint32_t& written) = 0;
};

// One program start through the shell (ShellExecuteEx).
struct ProcessLaunch {
  std::wstring file;
  std::wstring parameters;
  std::wstring verb = L"open";
  int show = kShowNormal;
  WindowHandle owner = nullptr;
  bool wait = false;  // wait without limit until the process ends
};

class Processes {
 public:
  virtual ~Processes() = default;

  // Starts the program; with `wait` returns once it has ended.
  virtual ErrorCode Launch(const ProcessLaunch& launch) = 0;
};

}  // namespace platform
