#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include "win32_platform.h"
#include "win32_util.h"

namespace platform::win32 {
namespace {

// What the write's completion routine reports back.  It lives on the heap
// so that a routine running after the wait gave up still writes valid memory.
struct PendingWrite {
  OVERLAPPED overlapped = {};
  std::vector<uint8_t> bytes;
  DWORD written = 0;
  DWORD error = 0;
  bool done = false;
};

// hEvent is free for the caller's use with WriteFileEx.
VOID CALLBACK WriteDone(DWORD error, DWORD transferred, LPOVERLAPPED overlapped) {
  auto* pending = static_cast<PendingWrite*>(overlapped->hEvent);
  pending->error = error;
  pending->written = transferred;
  pending->done = true;
}

// Alertable waits until the routine has run or the time is up.
void WaitAlertably(const PendingWrite& pending, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!pending.done) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) break;
    SleepEx(timeoutMs - elapsed, TRUE);
  }
}

}  // namespace

// GetFileAttributesW.
ErrorCode Win32Files::GetAttributes(const std::wstring& path, uint32_t& attributes) {
  const DWORD found = GetFileAttributesW(path.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return GetLastError();
  attributes = found;
  return err::kOk;
}

// CreateDirectoryW of one level.
ErrorCode Win32Files::CreateDir(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) return GetLastError();
  return err::kOk;
}

// A file that could not be written whole is removed rather than left cut short.
ErrorCode Win32Files::WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  ErrorCode error = err::kOk;
  size_t done = 0;
  while (done < bytes.size() && !error) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(bytes.size() - done > 0x100000 ? 0x100000 : bytes.size() - done);
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) error = GetLastError();
    else if (written == 0) error = ERROR_WRITE_FAULT;
    done += written;
  }
  CloseHandle(file);
  if (error) DeleteFileW(path.c_str());
  return error;
}

// After the time-out the write is cancelled and its routine given a chance
// to run; if it still has not, its record is left allocated on purpose.
ErrorCode Win32Files::WriteDevice(const std::wstring& devicePath, const std::vector<uint8_t>& bytes,
                                  uint32_t timeoutMs, uint32_t& written) {
  written = 0;
  HANDLE device = CreateFileW(devicePath.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) return GetLastError();
  auto* pending = new PendingWrite;
  pending->bytes = bytes;
  pending->overlapped.hEvent = pending;
  if (!WriteFileEx(device, pending->bytes.data(), static_cast<DWORD>(pending->bytes.size()),
                   &pending->overlapped, WriteDone)) {
    const ErrorCode error = GetLastError();
    CloseHandle(device);
    delete pending;
    return error;
  }
  WaitAlertably(*pending, timeoutMs);
  const bool inTime = pending->done;
  if (!inTime) {
    CancelIo(device);
    WaitAlertably(*pending, 1000);
  }
  CloseHandle(device);
  if (!pending->done) return ERROR_TIMEOUT;
  written = pending->written;
  const ErrorCode error = inTime ? pending->error : static_cast<ErrorCode>(ERROR_TIMEOUT);
  delete pending;
  return error;
}

// The owner SID of the object itself as text.
ErrorCode Win32Files::GetOwner(const std::wstring& path, std::wstring& ownerSid) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                            nullptr, nullptr, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  ErrorCode result = err::kOk;
  LPWSTR text = nullptr;
  if (owner && ConvertSidToStringSidW(owner, &text)) {
    ownerSid = text;
    LocalFree(text);
  } else {
    result = owner ? GetLastError() : static_cast<ErrorCode>(ERROR_INVALID_SID);
  }
  LocalFree(descriptor);
  return result;
}

// The descriptor lives only for the call: CreateDirectory copies it.
ErrorCode Win32Files::CreateAdminOnlyDir(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlyFolderSddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return GetLastError();
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  const ErrorCode result = CreateDirectoryW(path.c_str(), &attributes) ? err::kOk : GetLastError();
  LocalFree(descriptor);
  return result;
}

// Denying entries are not weighed against the allowing ones: a folder is
// judged by everyone it lets write at all, which errs on the safe side.
ErrorCode Win32Files::GetWriters(const std::wstring& path, std::vector<std::wstring>& sids) {
  const DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                             WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  sids.clear();
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  ErrorCode result = err::kOk;
  if (!dacl) sids.push_back(kSidEveryone);
  for (DWORD index = 0; dacl && index < dacl->AceCount && result == err::kOk; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) {
      result = GetLastError();
      break;
    }
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    // The callback form keeps the mask and the SID where the plain one does.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
      continue;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    if (!(allowed->Mask & kWriteRights)) continue;
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &text)) {
      result = GetLastError();
      break;
    }
    sids.push_back(text);
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

// ShellExecuteEx; the process handle is always closed, after the wait if any.
// Only full paths: a bare name would be looked for in the current folder.
ErrorCode Win32Processes::Launch(const ProcessLaunch& launch) {
  if (!IsFullPath(launch.file)) return ERROR_BAD_PATHNAME;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = static_cast<HWND>(launch.owner);
  info.lpVerb = Text(launch.verb);
  info.lpFile = Text(launch.file);
  info.lpParameters = Text(launch.parameters);
  info.lpDirectory = Text(launch.directory);
  info.nShow = launch.show;
  if (!ShellExecuteExW(&info)) return GetLastError();
  if (info.hProcess) {
    if (launch.wait) WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
  }
  return err::kOk;
}

}  // namespace platform::win32
