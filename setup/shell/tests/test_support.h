// Shared set-up of the shell tests: the real resource archive opened as
// the program opens it.
#pragma once

#include "toolkit/toolkit.h"

#include <string>
#include <vector>

// Reads the archive built by CMake and opens it like the program's
// start-up; returns false when the file is missing.
bool OpenRealArchive();

// "<title> - V<version>", as the main window's caption shows a title.
std::wstring Versioned(const wchar_t* title);

// The text keys that the program's code uses.
const std::vector<std::wstring>& ProgramTextKeys();
