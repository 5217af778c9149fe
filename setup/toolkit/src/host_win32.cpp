// The Win32 window host: window classes, the window procedure and the
// message loop.
#include "render.h"
#include "toolkit/window.h"

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
void CWindowWnd::CenterWindow() {
  if (!m_hWnd) return;
  RECT rc;
  GetWindowRect(m_hWnd, &rc);
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  RECT area = mi.rcWork;
  RECT center = area;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &center);
  LONG w = rc.right - rc.left, h = rc.bottom - rc.top;
  LONG x = (center.left + center.right - w) / 2;
  LONG y = (center.top + center.bottom - h) / 2;
  if (x + w > area.right) x = area.right - w;
  if (y + h > area.bottom) y = area.bottom - h;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
