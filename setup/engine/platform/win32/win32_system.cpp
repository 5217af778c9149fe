#include <windows.h>
#include <shlobj.h>

#include "system_libraries.h"
#include "win32_platform.h"

namespace platform::win32 {

// GetVersionEx reports what the manifest allows, which is what the engine
// decides by.
ErrorCode Win32System::GetVersion(OsVersion& out) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return GetLastError();
  out = OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  return err::kOk;
}

// IsWow64Process of this process.
ErrorCode Win32System::IsWow64(bool& out) {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64)) return GetLastError();
  out = wow64 != FALSE;
  return err::kOk;
}

// Falls back to the system's default language chain when the requested
// language has no text; the trailing line break is dropped.
std::wstring Win32System::ErrorMessage(ErrorCode code, uint16_t languageId) {
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
  for (DWORD language : {static_cast<DWORD>(languageId), 0UL}) {
    LPWSTR buffer = nullptr;
    const DWORD length =
        FormatMessageW(flags, nullptr, code, language, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (length && buffer) {
      std::wstring text(buffer, length);
      LocalFree(buffer);
      while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
      return text;
    }
    if (buffer) LocalFree(buffer);
    if (languageId == 0) break;
  }
  return std::wstring();
}

// SHGetSpecialFolderPath sets no error of its own.
ErrorCode Win32System::ProgramFilesFolder(std::wstring& out) {
  WCHAR path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE)) return ERROR_FILE_NOT_FOUND;
  out.assign(path, wcsnlen(path, MAX_PATH));
  return err::kOk;
}

// GetSystemDirectoryW.
ErrorCode Win32System::SystemFolder(std::wstring& out) {
  out = platform::win32::SystemFolder();
  if (!out.empty()) return err::kOk;
  const DWORD error = GetLastError();
  return error ? error : ERROR_PATH_NOT_FOUND;
}

// WideCharToMultiByte into the system's ANSI code page.
std::string Win32System::ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

// GetTickCount rather than the 64-bit count, which older systems lack.
uint32_t Win32Clock::NowMs() { return GetTickCount(); }

// Sleep.
void Win32Clock::SleepMs(uint32_t ms) { Sleep(ms); }

// GetSystemTimeAsFileTime as one number.
uint64_t Win32Clock::SystemFileTime() {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace platform::win32
