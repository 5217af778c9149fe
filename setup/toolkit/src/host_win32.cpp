// The Win32 window host: window classes, the window procedure, the
// message loop and the native text boxes of the edit controls.
#include "centering.h"
#include "render.h"
#include "toolkit/controls.h"
#include "toolkit/window.h"

#include <commctrl.h>
#include <richedit.h>

#include <set>
#include <string>

namespace {

// Routes every message to the object given at creation.
LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (uMsg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  if (uMsg == WM_NCDESTROY) SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
  return self->DispatchToWindow(hWnd, uMsg, wParam, lParam);
}

HINSTANCE Instance() {
  HINSTANCE h = CPaintManagerUI::GetInstance();
  return h ? h : GetModuleHandleW(nullptr);
}

}  // namespace

namespace render {
void EnsureGdiplus();
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y,
                        int cx, int cy, HMENU hMenu) {
  render::EnsureGdiplus();
  static std::set<std::wstring> registered;
  std::wstring cls = GetWindowClassName();
  if (!registered.count(cls)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = GetClassStyle();
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = cls.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    registered.insert(cls);
  }
  HWND h = CreateWindowExW(dwExStyle, cls.c_str(), pstrName, dwStyle, x, y, cx, cy, hwndParent, hMenu, Instance(),
                           this);
  if (!h) m_hWnd = nullptr;
  return h;
}

// Centres on the owner (or the work area) and keeps the window inside the
// work area of its monitor.
RECT CWindowWnd::GetWorkArea() const {
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  return mi.rcWork;
}

void CWindowWnd::CenterWindow() {
  if (!m_hWnd) return;
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  RECT area = GetWorkArea();
  RECT center = area;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &center);
  const POINT corner = toolkit::CenteredCorner(rc, center, area);
  SetWindowPos(m_hWnd, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CPaintManagerUI::MessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

int CPaintManagerUI::GetSystemDPI() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

namespace render {

std::string ZipPasswordBytes(const std::wstring& password) {
  int n = WideCharToMultiByte(CP_ACP, 0, password.c_str(), static_cast<int>(password.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, password.c_str(), static_cast<int>(password.size()), &out[0], n, nullptr, nullptr);
  return out;
}

FILE* OpenForReading(const std::wstring& path) { return _wfopen(path.c_str(), L"rb"); }

void SetWindowCorners(HWND hWnd, SIZE round) {
  RECT rc;
  GetWindowRect(hWnd, &rc);
  HRGN rgn = IsZoomed(hWnd) ? nullptr
                            : CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, round.cx,
                                                 round.cy);
  SetWindowRgn(hWnd, rgn, TRUE);
}

bool FillMinMaxInfo(HWND hWnd, LPARAM minMaxInfo, SIZE minTrack) {
  auto* info = reinterpret_cast<MINMAXINFO*>(minMaxInfo);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi)) {
    info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
    info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
    info->ptMaxSize.x = mi.rcWork.right - mi.rcWork.left;
    info->ptMaxSize.y = mi.rcWork.bottom - mi.rcWork.top;
  }
  if (minTrack.cx > 0) info->ptMinTrackSize.x = minTrack.cx;
  if (minTrack.cy > 0) info->ptMinTrackSize.y = minTrack.cy;
  return true;
}

}  // namespace render

// ---- native text boxes ---------------------------------------------------------

namespace {

// A text box finds its way back to its control through this property.
const wchar_t kControlProp[] = L"toolkit.control";

// The rich edit library of the system folder only: the program runs
// elevated and may be started from a folder where anyone can drop a DLL.
// Windows 7 without its 2011 loader update lacks the search flag (error
// 87); the full path serves there.
HMODULE LoadRichEditLibrary() {
  const wchar_t kName[] = L"Msftedit.dll";
  HMODULE module = LoadLibraryExW(kName, nullptr, 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + kName;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Tab, Shift+Tab, Esc and Enter belong to the toolkit window even while a
// native text box has the keyboard, whatever message loop runs; a box
// that takes Enter as a new line (an editable rich edit) keeps it.
// The box's own window procedure, kept as a window property: subclassing
// through the window procedure needs only user32 (comctl32's
// SetWindowSubclass would add a load-time import of a DLL that is not a
// known DLL, which the program's folder could plant).
const wchar_t kBoxProcProp[] = L"toolkit.boxproc";

LRESULT CALLBACK TextBoxKeys(HWND box, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto boxProc = reinterpret_cast<WNDPROC>(GetPropW(box, kBoxProcProp));
  if (msg == WM_KEYDOWN || msg == WM_CHAR) {
    const bool keyDown = msg == WM_KEYDOWN;
    const WPARAM tab = keyDown ? VK_TAB : L'\t', enter = keyDown ? VK_RETURN : L'\r', esc = keyDown ? VK_ESCAPE : 0x1B;
    const LONG style = GetWindowLongW(box, GWL_STYLE);
    const bool newLine = (style & ES_WANTRETURN) && !(style & ES_READONLY);
    if (wParam == tab || wParam == esc || (wParam == enter && !newLine)) {
      // The character that follows the key is dropped: a box beeps at it.
      if (keyDown) SendMessageW(GetParent(box), WM_KEYDOWN, wParam, lParam);
      return 0;
    }
  }
  if (msg == WM_GETOBJECT) {
    LRESULT answer = 0;
    if (render::AnswerTextBoxAccessible(box, wParam, lParam, answer)) return answer;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(boxProc));
    RemovePropW(box, kBoxProcProp);
  }
  return boxProc ? CallWindowProcW(boxProc, box, msg, wParam, lParam) : DefWindowProcW(box, msg, wParam, lParam);
}

CHARFORMAT2W EmptyCharFormat() {
  CHARFORMAT2W cf;
  ZeroMemory(&cf, sizeof cf);
  cf.cbSize = sizeof cf;
  return cf;
}

}  // namespace

namespace render {

HWND CreateTextBox(CControlUI* owner, CPaintManagerUI* pm, const TTextBoxStyle& style) {
  HWND parent = pm ? pm->GetPaintWindow() : nullptr;
  if (!parent) return nullptr;
  DWORD bits = 0;
  const wchar_t* cls = L"EDIT";
  if (style.rich) {
    static HMODULE msftedit = LoadRichEditLibrary();
    if (!msftedit) return nullptr;
    cls = L"RICHEDIT50W";
    bits = WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | (style.readOnly ? ES_READONLY : 0) |
           (style.wantReturn ? ES_WANTRETURN : 0);
  } else {
    bits = ES_AUTOHSCROLL | (style.readOnly ? ES_READONLY : 0) | (style.numberOnly ? ES_NUMBER : 0) |
           (style.password ? ES_PASSWORD : 0);
  }
  HWND h = CreateWindowExW(0, cls, L"", WS_CHILD | bits, 0, 0, 0, 0, parent, nullptr,
                           CPaintManagerUI::GetInstance(), nullptr);
  if (!h) return nullptr;
  SetPropW(h, kControlProp, reinterpret_cast<HANDLE>(owner));
  SetPropW(h, kBoxProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrW(h, GWLP_WNDPROC)));
  SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextBoxKeys));
  // A log grows without the rich edit's default limit of 32K characters.
  if (style.rich) SendMessageW(h, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
  return h;
}

std::wstring TextBoxAccessibleName(HWND box) {
  auto* owner = reinterpret_cast<CControlUI*>(GetPropW(box, kControlProp));
  CPaintManagerUI* pm = owner ? owner->GetManager() : nullptr;
  return pm ? pm->GetAccessibleName(owner) : std::wstring();
}

void DestroyTextBox(HWND& box) {
  if (box && IsWindow(box)) {
    RemovePropW(box, kControlProp);
    DestroyWindow(box);
  }
  box = nullptr;
}

void PlaceTextBox(HWND box, const RECT& rc, bool visible) {
  if (!box) return;
  SetWindowPos(box, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

LONG TextBoxLineHeight(HWND box, HFONT font) {
  HDC dc = GetDC(box);
  if (!dc) return 0;
  HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW tm{};
  const BOOL ok = GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(box, dc);
  return ok ? tm.tmHeight : 0;
}

std::wstring TextBoxText(HWND box) {
  int n = GetWindowTextLengthW(box);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(box, &s[0], n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

void SetTextBoxText(HWND box, const std::wstring& text) { SetWindowTextW(box, text.c_str()); }

void SetTextBoxFont(HWND box, HFONT font, bool redraw) {
  SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

void SetTextBoxLimit(HWND box, int maxChar) { SendMessageW(box, EM_LIMITTEXT, static_cast<WPARAM>(maxChar), 0); }

void SetTextBoxReadOnly(HWND box, bool readOnly) { SendMessageW(box, EM_SETREADONLY, readOnly, 0); }

void SetTextBoxPassword(HWND box, bool password) {
  SendMessageW(box, EM_SETPASSWORDCHAR, password ? L'*' : 0, 0);
  InvalidateRect(box, nullptr, TRUE);
}

void SetTextBoxNumberOnly(HWND box, bool numberOnly) {
  LONG style = GetWindowLongW(box, GWL_STYLE);
  SetWindowLongW(box, GWL_STYLE, numberOnly ? (style | ES_NUMBER) : (style & ~ES_NUMBER));
}

void SelectInTextBox(HWND box, int start, int end) { SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(start), end); }

void FocusTextBox(HWND box) {
  if (IsWindowVisible(box)) ::SetFocus(box);
}

void EnableTextBox(HWND box, bool enable) { EnableWindow(box, enable); }

void SetTextBoxColor(HWND box, DWORD argb) {
  CHARFORMAT2W cf = EmptyCharFormat();
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  SendMessageW(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
}

bool FormatTextBoxEnd(HWND box, const TCharFormatUI& format) {
  CHARFORMAT2W cf = EmptyCharFormat();
  cf.dwMask = format.mask;
  cf.dwEffects = format.effects;
  cf.yHeight = format.heightTwips;
  cf.crTextColor = format.textColor;
  lstrcpynW(cf.szFaceName, format.faceName.c_str(), LF_FACESIZE);
  // A click into the box moves the selection; the format is meant for the
  // next line at the end, not for the word the user clicked on.
  const int len = GetWindowTextLengthW(box);
  SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(len), len);
  return SendMessageW(box, EM_SETCHARFORMAT, SCF_SELECTION | SCF_WORD, reinterpret_cast<LPARAM>(&cf)) != 0;
}

void AppendToTextBox(HWND box, const std::wstring& text, bool canUndo) {
  int len = GetWindowTextLengthW(box);
  SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(len), len);
  SendMessageW(box, EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text.c_str()));
}

void ScrollTextBoxToEnd(HWND box) {
  SendMessageW(box, WM_VSCROLL, SB_BOTTOM, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

// Text typed into a native edit box reaches its control; a box clicked
// into gives its control the toolkit's focus, so that Tab goes on from it.
bool HandleNativeCommand(WPARAM wParam, LPARAM lParam) {
  HWND child = reinterpret_cast<HWND>(lParam);
  auto* control = static_cast<CControlUI*>(GetPropW(child, kControlProp));
  if (control && HIWORD(wParam) == EN_SETFOCUS) {
    if (CPaintManagerUI* pm = control->GetManager()) pm->SetFocus(control);
    return true;
  }
  if (!control || HIWORD(wParam) != EN_CHANGE) return false;
  auto* edit = dynamic_cast<CEditUI*>(control);
  if (!edit) return false;
  edit->OnUserTextChanged(TextBoxText(child));
  return true;
}

}  // namespace render

namespace render {

void TakeKeyboardFocus(HWND hWnd) {
  HWND now = ::GetFocus();
  if (hWnd && now && now != hWnd && IsChild(hWnd, now)) ::SetFocus(hWnd);
}

}  // namespace render

namespace toolkit {

namespace {

struct BoxSearch {
  HWND owner;
  HWND box;
};

// A message box is a dialog of the system's dialog class, owned by the
// window it was shown over and run by this thread's nested loop.
BOOL CALLBACK FindMessageBox(HWND window, LPARAM data) {
  auto* wanted = reinterpret_cast<BoxSearch*>(data);
  wchar_t className[16] = {};
  if (GetWindow(window, GW_OWNER) != wanted->owner || !GetClassNameW(window, className, 16) ||
      wcscmp(className, L"#32770") != 0)
    return TRUE;
  wanted->box = window;
  return FALSE;
}

}  // namespace

void EndMessageBox(HWND owner, int result) {
  BoxSearch search{owner, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&search));
  if (search.box) EndDialog(search.box, result);
}

}  // namespace toolkit
