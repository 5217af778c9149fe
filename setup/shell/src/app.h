// Start-up and shutdown of the program, apart from the Windows-only steps
// (COM and OLE, reading the archive resource) that the entry point does.
#pragma once

#include "toolkit/toolkit.h"

#include <cstddef>
#include <string>

// The archive's password, as the program holds it.
extern const wchar_t kArchivePassword[];

// Selects the archive resource mode, sets the resource folder to
// moduleFolder + "skin\Mirendo\", opens the archive from the bytes (when
// there are any) and loads the resource index. A missing or unreadable
// archive is not reported here: the main window's markup then fails.
// Then registers the program's own control classes.
void SetUpResources(const std::wstring& moduleFolder, const void* archive, size_t size);

// Fills the language table, creates and centres the main window, runs
// the message loop until the window is destroyed, deletes the window and
// shuts the toolkit down. Returns 0; 1 when the window could not be
// created, which is reported in a message box.
int RunMainWindow();
