#pragma once
// Where the program's DLLs come from.  The program runs elevated and is
// started from folders other programs can write to (Downloads), so no DLL
// may be taken from its own folder or the current one: only Windows' own
// system folder.
#include <windows.h>

#include <string>

namespace platform::win32 {

// The first thing the program does: restricts the DLL search of every later
// load, its own and the system's, to the system folder
// (SetDefaultDllDirectories, looked up at run time because Windows 7 has it
// only with its 2011 update); where that is missing, the current folder is
// at least taken out of the search (SetDllDirectoryW("")).  It also routes
// the delay-loaded imports through LoadSystemLibrary.
void RestrictDllSearch();

// The system folder ("C:\Windows\system32"), no trailing backslash; empty
// when it cannot be read.
std::wstring SystemFolder();

// Loads a DLL of the system folder by its file name: with the search limited
// to the system folder, or, where Windows lacks that flag, by its full path.
// NULL with the thread's error set on failure.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace platform::win32
