#pragma once
// Files, devices opened as files, and started processes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeNormal = 0x80;
// A link: a symbolic link, a junction or another reparse point.
constexpr uint32_t kAttributeReparsePoint = 0x400;

// Owners that only administrators can put on a file (text SIDs).
constexpr wchar_t kSidAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kSidLocalSystem[] = L"S-1-5-18";
// The account that owns the system's own files.
constexpr wchar_t kSidTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// Everyone: what a folder without an access list lets in.
constexpr wchar_t kSidEveryone[] = L"S-1-1-0";

// Full control for the administrators and the system, handed down to
// everything inside, nothing taken over from the parent folder.
constexpr wchar_t kAdminOnlyFolderSddl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

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
  // The owner of a file or folder as a text SID (GetNamedSecurityInfo).
  virtual ErrorCode GetOwner(const std::wstring& path, std::wstring& ownerSid) = 0;
  // CreateDirectory of one level with the access list kAdminOnlyFolderSddl
  // instead of the parent's; 183 when it exists already.
  virtual ErrorCode CreateAdminOnlyDir(const std::wstring& path) = 0;
  // The text SIDs that the access list of a file or folder lets write in
  // it, delete it or change its access list or owner (allowed entries
  // that apply to the object itself); kSidEveryone when it has no list.
  virtual ErrorCode GetWriters(const std::wstring& path, std::vector<std::wstring>& sids) = 0;
};

// What every file back end (the simulated and the real Windows) declares.
#define PLATFORM_FILES_OVERRIDES \
  ErrorCode GetAttributes(const std::wstring& path, uint32_t& attributes) override;                \
  ErrorCode CreateDir(const std::wstring& path) override;                                          \
  ErrorCode WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) override;  \
  ErrorCode WriteDevice(const std::wstring& devicePath, const std::vector<uint8_t>& bytes,         \
                        uint32_t timeoutMs, uint32_t& written) override;                           \
  ErrorCode GetOwner(const std::wstring& path, std::wstring& ownerSid) override;                   \
  ErrorCode CreateAdminOnlyDir(const std::wstring& path) override;                                 \
  ErrorCode GetWriters(const std::wstring& path, std::vector<std::wstring>& sids) override;

// One program start through the shell (ShellExecuteEx).  `file` is a full
// path: the program runs elevated, and a bare name would be looked for in
// the current folder first.
struct ProcessLaunch {
  std::wstring file;
  std::wstring parameters;
  std::wstring directory;  // the started program's working folder
  std::wstring verb = L"open";
  int show = kShowNormal;
  WindowHandle owner = nullptr;
  bool wait = false;  // wait without limit until the process ends
};

// A drive path ("C:\...") or a network path ("\\server\..."): one that no
// search completes.
inline bool IsFullPath(const std::wstring& path) {
  const wchar_t drive = static_cast<wchar_t>(path.empty() ? 0 : path[0] | 0x20);
  if (path.size() >= 3 && drive >= L'a' && drive <= L'z' && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
    return true;
  return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

class Processes {
 public:
  virtual ~Processes() = default;

  // Starts the program; with `wait` returns once it has ended.  A file
  // without a full path is refused (ERROR_BAD_PATHNAME).
  virtual ErrorCode Launch(const ProcessLaunch& launch) = 0;
};

// What every process back end (the simulated and the real Windows) declares.
#define PLATFORM_PROCESSES_OVERRIDES \
  ErrorCode Launch(const ProcessLaunch& launch) override;

}  // namespace platform
