/* A stand-in for a program that a web page could drop beside the setup
   program or in its working folder: when started it leaves a file named
   after itself plus ".ran" and ends. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE self, HINSTANCE previous, LPSTR command, int show) {
  (void)self; (void)previous; (void)command; (void)show;
  WCHAR path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    lstrcpyW(path + n, L".ran");
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  return 0;
}
