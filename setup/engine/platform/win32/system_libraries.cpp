#include "system_libraries.h"

#include "delay_import_slots.h"

namespace platform::win32 {
namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// The delay-load helper asks before it loads a DLL by its bare name; the
// system folder's copy is handed to it instead.
FARPROC WINAPI DelayLoadHook(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  wchar_t name[MAX_PATH] = {};
  if (!MultiByteToWideChar(CP_ACP, 0, info->szDll, -1, name, MAX_PATH)) return nullptr;
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(name));
}

}  // namespace

void RestrictDllSearch() {
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto restrict = kernel ? reinterpret_cast<SetDefaultDirectories>(reinterpret_cast<void (*)()>(
                               GetProcAddress(kernel, "SetDefaultDllDirectories")))
                         : nullptr;
  if (!restrict || !restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
  InstallDelayLoadHook(DelayLoadHook);
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(path, length);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// Windows without the 2011 loader update refuses the flag with
// ERROR_INVALID_PARAMETER; the full path then names the one file meant, and
// its own imports are searched from its folder.
HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return nullptr;
  const std::wstring path = folder + L"\\" + fileName;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace platform::win32
