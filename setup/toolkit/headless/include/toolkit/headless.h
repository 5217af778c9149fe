// Test controls of the headless host (Linux): windows are objects,
// nothing is painted, SendMessage runs the handler synchronously on the UI
// thread.
#pragma once

#ifndef _WIN32
#include "toolkit/platform.h"

#include <functional>
#include <string>

namespace toolkit {
namespace headless {

// Handles every queued and sent message without blocking; returns the
// number handled. A WM_QUIT stays queued for the message loop; messages
// posted after it are handled all the same.
int PumpPending();
// Makes the calling thread the UI thread (the first thread that creates
// a window or runs the loop becomes it by default).
void SetUiThread();
// The text and caption of the last MessageBoxW, and the answer boxes give.
std::wstring LastMessageBoxText();
std::wstring LastMessageBoxCaption();
void SetMessageBoxAnswer(int answer);
// Runs once while the next MessageBoxW is open, as the box's own message
// loop would handle messages; EndMessageBox from there sets its result.
void SetMessageBoxHook(std::function<void()> whileOpen);
// What GetUserDefaultUILanguage reports (0x0409 by default).
void SetUserUILanguage(LANGID lang);
// The work area windows are centred and maximised in (0,0,1920,1040 by default).
void SetWorkArea(const RECT& rc);
RECT GetWorkArea();
// The system DPI new windows start with (96 by default).
void SetSystemDpi(int dpi);
// Number of live windows.
int WindowCount();
// Makes every window creation fail, as Windows does when it refuses the
// window class or the window itself.
void FailWindowCreation(bool fail);
// Holds a key down (VK_SHIFT for Shift+Tab) as GetKeyState reports it.
void SetKeyDown(int virtualKey, bool down);

}  // namespace headless
}  // namespace toolkit
#endif
