// Platform types shared by the toolkit and its users.
//
// On Windows this is <windows.h> itself. Elsewhere (the headless host used
// by the Linux tests) it defines the small subset of the Win32 types,
// constants and window functions that window code needs, with the same
// names and numeric values, so one source compiles on both.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <windowsx.h>
#else
#include <pthread.h>

#include <cstdint>
#include <cwchar>

struct HWND__;
struct HINSTANCE__;
struct HDC__;
struct HFONT__;
struct HMENU__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef HDC__* HDC;
typedef HFONT__* HFONT;
typedef HMENU__* HMENU;
typedef unsigned int UINT;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint16_t LANGID;
typedef uint32_t COLORREF;
typedef long LONG;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct RECT { LONG left, top, right, bottom; };
struct POINT { LONG x, y; };
struct SIZE { LONG cx, cy; };
struct SYSTEMTIME {
  WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
struct MSG { HWND hwnd; UINT message; WPARAM wParam; LPARAM lParam; DWORD time; POINT pt; };

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)(((WORD)(l)) | ((DWORD)((WORD)(h))) << 16))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))

// Window messages (the Win32 values).
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_GETMINMAXINFO 0x0024
#define WM_GETOBJECT 0x003D
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_KEYDOWN 0x0100
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELEAVE 0x02A3
#define WM_DPICHANGED 0x02E0
#define WM_CUT 0x0300
#define WM_COPY 0x0301
#define WM_USER 0x0400
#define WM_APP 0x8000

#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_RESTORE 0xF120

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_NOACTIVATE 0x08000000L
#define CS_DBLCLKS 0x0008
#define CW_USEDEFAULT ((int)0x80000000)
#define DEFAULT_CHARSET 1

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_RESTORE 9

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define MB_OK 0x0L
#define MB_YESNO 0x4L
#define MB_ICONERROR 0x10L
#define MB_ICONQUESTION 0x20L
#define MB_ICONINFORMATION 0x40L
#define MB_ICONWARNING 0x30L

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)

#define GW_OWNER 4

// WM_NCHITTEST answers.
#define HTCLIENT 1
#define HTCAPTION 2
#define HTLEFT 10
#define HTRIGHT 11
#define HTTOP 12
#define HTTOPLEFT 13
#define HTTOPRIGHT 14
#define HTBOTTOM 15
#define HTBOTTOMLEFT 16
#define HTBOTTOMRIGHT 17

// The window functions of the headless host. They behave like their Win32
// namesakes for windows made by CWindowWnd: SendMessageW from another
// thread waits until the UI thread (the one running the message loop)
// has handled the message, as on Windows.
LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessageW(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax);
LRESULT DispatchMessageW(const MSG* msg);
BOOL IsWindow(HWND hWnd);
BOOL DestroyWindow(HWND hWnd);
BOOL ShowWindow(HWND hWnd, int cmdShow);
BOOL IsWindowVisible(HWND hWnd);
BOOL EnableWindow(HWND hWnd, BOOL enable);
BOOL IsWindowEnabled(HWND hWnd);
BOOL IsZoomed(HWND hWnd);
BOOL IsIconic(HWND hWnd);
BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL repaint);
BOOL GetWindowRect(HWND hWnd, RECT* rc);
BOOL GetClientRect(HWND hWnd, RECT* rc);
BOOL SetWindowTextW(HWND hWnd, const wchar_t* text);
int GetWindowTextW(HWND hWnd, wchar_t* buffer, int size);
BOOL InvalidateRect(HWND hWnd, const RECT* rc, BOOL erase);
BOOL UpdateWindow(HWND hWnd);
HWND GetParent(HWND hWnd);
// GW_OWNER only: a popup's owner; a child window has none.
HWND GetWindow(HWND hWnd, UINT cmd);
// There is no keyboard to translate: no WM_CHAR is ever added.
BOOL TranslateMessage(const MSG* msg);
// The windows have no frame, so the window rectangle is the client's.
BOOL AdjustWindowRectEx(RECT* rc, DWORD style, BOOL menu, DWORD exStyle);
[[noreturn]] void ExitProcess(UINT exitCode);
// Headless windows have no frame: the client origin is the window origin.
BOOL ClientToScreen(HWND hWnd, POINT* pt);
// A null window is the screen.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
HWND SetFocus(HWND hWnd);
// Negative while the key is held (headless::SetKeyDown).
short GetKeyState(int virtualKey);
HWND GetFocus();
LONG GetWindowLongW(HWND hWnd, int index);
LONG SetWindowLongW(HWND hWnd, int index, LONG value);
LRESULT DefWindowProcW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
int MessageBoxW(HWND hWnd, const wchar_t* text, const wchar_t* caption, UINT type);
void GetLocalTime(SYSTEMTIME* st);
DWORD GetTickCount();
// The input time of the message being handled (the headless host has no
// input queue: the current time).
LONG GetMessageTime();
LANGID GetUserDefaultUILanguage();

// Slim reader-writer locks, on the POSIX ones.
typedef pthread_rwlock_t SRWLOCK;
#define SRWLOCK_INIT PTHREAD_RWLOCK_INITIALIZER
inline void AcquireSRWLockShared(SRWLOCK* lock) { pthread_rwlock_rdlock(lock); }
inline void ReleaseSRWLockShared(SRWLOCK* lock) { pthread_rwlock_unlock(lock); }
inline void AcquireSRWLockExclusive(SRWLOCK* lock) { pthread_rwlock_wrlock(lock); }
inline void ReleaseSRWLockExclusive(SRWLOCK* lock) { pthread_rwlock_unlock(lock); }

#define SendMessage SendMessageW
#define PostMessage PostMessageW
#define GetMessage GetMessageW
#define DispatchMessage DispatchMessageW
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define GetWindowLong GetWindowLongW
#define SetWindowLong SetWindowLongW
#define DefWindowProc DefWindowProcW
#define MessageBox MessageBoxW
#endif
