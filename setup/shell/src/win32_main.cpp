// The Windows entry point: COM and OLE around the program's run, and the
// resource archive read from the program's own module.
#include "app.h"

#include <ole2.h>
#include <windows.h>

#include "system_libraries.h"

#include <string>

namespace {

// The directory part of the module's file name, with its backslash.
std::wstring ModuleFolder(HINSTANCE instance) {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
  std::wstring folder(path, n < MAX_PATH ? n : 0);
  size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

}  // namespace

// Takes the module handle; the command line and show flag are ignored.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // Before anything can load a DLL: the program runs elevated, and its own
  // folder (often Downloads) must not supply any.
  platform::win32::RestrictDllSearch();
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
  OleInitialize(nullptr);
  CPaintManagerUI::SetInstance(instance);

  // "ZIPRES"/129; a missing, unloadable or empty resource leaves the
  // archive closed, and the main window's markup reports it.
  const void* bytes = nullptr;
  DWORD size = 0;
  if (HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(129), L"ZIPRES")) {
    if (HGLOBAL loaded = LoadResource(instance, res)) {
      size = SizeofResource(instance, res);
      if (size != 0) bytes = LockResource(loaded);
    }
  }
  SetUpResources(ModuleFolder(instance), bytes, bytes ? size : 0);

  int result = RunMainWindow();
  OleUninitialize();
  CoUninitialize();
  return result;
}
