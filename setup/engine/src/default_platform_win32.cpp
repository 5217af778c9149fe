// The program's engine works on the real Windows; its workers are Win32
// threads (mingw's win32 thread model has no std::thread).
#include "engine/setup_engine.h"

#include "win32_platform.h"

#include <objbase.h>
#include <windows.h>

// One set of real services for the whole process.
platform::Platform& DefaultPlatform() {
  static platform::win32::Win32Platform machine;
  static platform::Platform view = machine.View();
  return view;
}

namespace {

// Runs and frees the body handed to CreateThread. The install run starts
// certutil and rundll32 through ShellExecuteExW, which may hand the work
// to shell extensions and so needs COM on the calling thread, set up as
// its documentation asks.
DWORD WINAPI WorkerMain(LPVOID parameter) {
  auto* body = static_cast<std::function<void()>*>(parameter);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  (*body)();
  delete body;
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace

// The handle is closed at once: workers are never joined.
bool StartWorkerThread(std::function<void()> body) {
  auto* owned = new std::function<void()>(std::move(body));
  HANDLE thread = CreateThread(nullptr, 0, WorkerMain, owned, 0, nullptr);
  if (!thread) {
    delete owned;
    return false;
  }
  CloseHandle(thread);
  return true;
}
