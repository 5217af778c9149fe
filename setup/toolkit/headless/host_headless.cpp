// The headless window host for the Linux tests: windows are records in a
// table, messages go through one queue served by the UI thread, and
// nothing is drawn. SendMessageW from another thread queues the message
// and waits for the UI thread, as Windows does.
#include "centering.h"
#include "render.h"
#include "toolkit/headless.h"
#include "toolkit/shapes.h"
#include "toolkit/window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct Window {
  CWindowWnd* object = nullptr;
  HWND parent = nullptr;  // owner or parent
  RECT rect{0, 0, 0, 0};
  RECT restore{0, 0, 0, 0};
  LONG style = 0;
  LONG exStyle = 0;
  std::wstring text;
  bool visible = false;
  bool enabled = true;
  bool zoomed = false;
  bool iconic = false;
};

struct SentMessage {
  HWND hWnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
};

struct Host {
  std::mutex lock;
  std::condition_variable cv;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t nextId = 0x100;
  std::deque<MSG> posted;
  std::deque<SentMessage*> sent;
  std::thread::id uiThread;
  bool uiThreadSet = false;
  HWND focus = nullptr;
  std::wstring lastBoxText, lastBoxCaption;
  int boxAnswer = IDOK;
  std::function<void()> boxHook;  // runs while the next box is open
  HWND openBoxOwner = nullptr;
  bool boxEnded = false;
  int boxEndResult = 0;
  LANGID uiLanguage = 0x0409;
  RECT workArea{0, 0, 1920, 1040};
  int systemDpi = 96;
  bool failCreation = false;
};

Host& H() {
  static Host host;
  return host;
}

uintptr_t Id(HWND h) { return reinterpret_cast<uintptr_t>(h); }

// The record of a live window, or nullptr. Callers hold the lock.
Window* Find(HWND h) {
  auto it = H().windows.find(Id(h));
  return it == H().windows.end() ? nullptr : it->second.get();
}

void EnsureUiThread() {
  Host& host = H();
  if (!host.uiThreadSet) {
    host.uiThread = std::this_thread::get_id();
    host.uiThreadSet = true;
  }
}

bool OnUiThread() {
  std::lock_guard<std::mutex> g(H().lock);
  EnsureUiThread();
  return H().uiThread == std::this_thread::get_id();
}

// Runs the window's handler on the calling (UI) thread.
LRESULT Dispatch(HWND h, UINT msg, WPARAM w, LPARAM l) {
  CWindowWnd* object = nullptr;
  {
    std::lock_guard<std::mutex> g(H().lock);
    Window* win = Find(h);
    if (!win) return 0;
    object = win->object;
  }
  if (!object) return DefWindowProcW(h, msg, w, l);
  return object->DispatchToWindow(h, msg, w, l);
}

// Serves one message sent from another thread; false when none waits.
bool ServeOneSent() {
  SentMessage* m = nullptr;
  {
    std::lock_guard<std::mutex> g(H().lock);
    if (H().sent.empty()) return false;
    m = H().sent.front();
    H().sent.pop_front();
  }
  LRESULT r = Dispatch(m->hWnd, m->msg, m->wParam, m->lParam);
  {
    std::lock_guard<std::mutex> g(H().lock);
    m->result = r;
    m->done = true;
  }
  H().cv.notify_all();
  return true;
}

void SendSize(HWND h) {
  RECT rc;
  GetWindowRect(h, &rc);
  bool zoomed = IsZoomed(h) != FALSE;
  Dispatch(h, WM_SIZE, zoomed ? 2 : 0, MAKELPARAM(rc.right - rc.left, rc.bottom - rc.top));
}

}  // namespace

// ---- the Win32 subset --------------------------------------------------------

LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(hWnd)) return 0;
  if (OnUiThread()) return Dispatch(hWnd, msg, wParam, lParam);
  SentMessage m{hWnd, msg, wParam, lParam};
  std::unique_lock<std::mutex> g(H().lock);
  H().sent.push_back(&m);
  H().cv.notify_all();
  // A window destroyed before the UI thread gets to the message leaves it
  // unanswered: give up then, as Windows fails the call.
  while (!m.done) {
    H().cv.wait_for(g, std::chrono::milliseconds(50));
    if (!m.done && !Find(hWnd)) {
      for (auto it = H().sent.begin(); it != H().sent.end(); ++it) {
        if (*it == &m) {
          H().sent.erase(it);
          return 0;
        }
      }
    }
  }
  return m.result;
}

BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> g(H().lock);
  if (hWnd && !Find(hWnd)) return FALSE;
  H().posted.push_back(MSG{hWnd, msg, wParam, lParam, 0, POINT{0, 0}});
  H().cv.notify_all();
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> g(H().lock);
  H().posted.push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, 0, POINT{0, 0}});
  H().cv.notify_all();
}

BOOL GetMessageW(MSG* msg, HWND, UINT, UINT) {
  {
    std::lock_guard<std::mutex> g(H().lock);
    EnsureUiThread();
  }
  for (;;) {
    while (ServeOneSent()) {
    }
    std::unique_lock<std::mutex> g(H().lock);
    if (!H().posted.empty()) {
      *msg = H().posted.front();
      H().posted.pop_front();
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    if (H().sent.empty()) H().cv.wait(g);
  }
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  return Dispatch(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL IsWindow(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  return Find(hWnd) != nullptr;
}

// Owned windows go first, as on Windows.
BOOL DestroyWindow(HWND hWnd) {
  std::vector<HWND> owned;
  {
    std::lock_guard<std::mutex> g(H().lock);
    if (!Find(hWnd)) return FALSE;
    for (auto& kv : H().windows)
      if (kv.second->parent == hWnd) owned.push_back(reinterpret_cast<HWND>(kv.first));
  }
  for (HWND h : owned) DestroyWindow(h);
  Dispatch(hWnd, WM_DESTROY, 0, 0);
  Dispatch(hWnd, WM_NCDESTROY, 0, 0);
  std::lock_guard<std::mutex> g(H().lock);
  H().windows.erase(Id(hWnd));
  if (H().focus == hWnd) H().focus = nullptr;
  H().cv.notify_all();
  return TRUE;
}

BOOL ShowWindow(HWND hWnd, int cmdShow) {
  bool was, now, sizeChanged = false;
  {
    std::lock_guard<std::mutex> g(H().lock);
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    was = w->visible;
    if (cmdShow == SW_SHOWMAXIMIZED && !w->zoomed) {
      w->restore = w->rect;
      w->rect = H().workArea;
      w->zoomed = true;
      sizeChanged = true;
    } else if (cmdShow == SW_RESTORE && w->zoomed) {
      w->rect = w->restore;
      w->zoomed = false;
      sizeChanged = true;
    }
    if (cmdShow == SW_SHOWMINIMIZED) w->iconic = true;
    else if (cmdShow == SW_RESTORE) w->iconic = false;
    w->visible = cmdShow != SW_HIDE;
    now = w->visible;
  }
  if (was != now) Dispatch(hWnd, WM_SHOWWINDOW, now ? TRUE : FALSE, 0);
  if (sizeChanged) SendSize(hWnd);
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  return w && w->visible;
}

// A change of state is announced with WM_ENABLE, as on Windows.
BOOL EnableWindow(HWND hWnd, BOOL enable) {
  bool wasDisabled;
  {
    std::lock_guard<std::mutex> g(H().lock);
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
  }
  if (wasDisabled == (enable != FALSE)) Dispatch(hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  return w && w->enabled;
}

BOOL IsZoomed(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  return w && w->zoomed;
}

BOOL IsIconic(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  return w && w->iconic;
}

BOOL SetWindowPos(HWND hWnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  bool sized = false, moved = false;
  {
    std::lock_guard<std::mutex> g(H().lock);
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    RECT rc = w->rect;
    if (!(flags & SWP_NOMOVE)) {
      moved = rc.left != x || rc.top != y;
      LONG width = rc.right - rc.left, height = rc.bottom - rc.top;
      rc = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
      if (cx < 0) cx = 0;
      if (cy < 0) cy = 0;
      sized = rc.right - rc.left != cx || rc.bottom - rc.top != cy;
      rc.right = rc.left + cx;
      rc.bottom = rc.top + cy;
    }
    w->rect = rc;
  }
  if (moved) Dispatch(hWnd, WM_MOVE, 0, 0);
  if (sized) SendSize(hWnd);
  return TRUE;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL) {
  return SetWindowPos(hWnd, nullptr, x, y, cx, cy, SWP_NOZORDER);
}

BOOL GetWindowRect(HWND hWnd, RECT* rc) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w || !rc) return FALSE;
  *rc = w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND hWnd, RECT* rc) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w || !rc) return FALSE;
  *rc = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL SetWindowTextW(HWND hWnd, const wchar_t* text) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w) return FALSE;
  w->text = text ? text : L"";
  return TRUE;
}

int GetWindowTextW(HWND hWnd, wchar_t* buffer, int size) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w || !buffer || size <= 0) return 0;
  size_t n = std::min(w->text.size(), static_cast<size_t>(size - 1));
  w->text.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

BOOL InvalidateRect(HWND hWnd, const RECT*, BOOL) { return IsWindow(hWnd); }
BOOL UpdateWindow(HWND hWnd) { return IsWindow(hWnd); }

HWND GetParent(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  return w ? w->parent : nullptr;
}

BOOL ClientToScreen(HWND hWnd, POINT* pt) {
  RECT window;
  if (!pt || !GetWindowRect(hWnd, &window)) return FALSE;
  pt->x += window.left;
  pt->y += window.top;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  LONG dx = 0, dy = 0;
  RECT window;
  if (from && GetWindowRect(from, &window)) {
    dx += window.left;
    dy += window.top;
  }
  if (to && GetWindowRect(to, &window)) {
    dx -= window.left;
    dy -= window.top;
  }
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return static_cast<int>(MAKELPARAM(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

HWND GetWindow(HWND hWnd, UINT cmd) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w || cmd != GW_OWNER || (w->style & WS_CHILD)) return nullptr;
  return w->parent;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

BOOL AdjustWindowRectEx(RECT* rc, DWORD, BOOL, DWORD) { return rc ? TRUE : FALSE; }

// Output still buffered is written first, as Windows has no such buffers.
void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  std::_Exit(static_cast<int>(exitCode));
}

HWND SetFocus(HWND hWnd) {
  std::lock_guard<std::mutex> g(H().lock);
  HWND old = H().focus;
  if (!hWnd || Find(hWnd)) H().focus = hWnd;
  return old;
}

namespace {
std::atomic<unsigned> g_keysDown[8];  // one bit per virtual key
}  // namespace

short GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= 256) return 0;
  return (g_keysDown[virtualKey / 32].load() >> (virtualKey % 32)) & 1u ? static_cast<short>(-128) : 0;
}

HWND GetFocus() {
  std::lock_guard<std::mutex> g(H().lock);
  return H().focus;
}

LONG GetWindowLongW(HWND hWnd, int index) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w) return 0;
  return index == GWL_STYLE ? w->style : index == GWL_EXSTYLE ? w->exStyle : 0;
}

LONG SetWindowLongW(HWND hWnd, int index, LONG value) {
  std::lock_guard<std::mutex> g(H().lock);
  Window* w = Find(hWnd);
  if (!w) return 0;
  LONG old = 0;
  if (index == GWL_STYLE) {
    old = w->style;
    w->style = value;
  } else if (index == GWL_EXSTYLE) {
    old = w->exStyle;
    w->exStyle = value;
  }
  return old;
}

// Closing destroys; the system commands change the window state.
LRESULT DefWindowProcW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_CLOSE) {
    DestroyWindow(hWnd);
  } else if (msg == WM_SYSCOMMAND) {
    switch (wParam & 0xFFF0) {
      case SC_CLOSE: SendMessageW(hWnd, WM_CLOSE, 0, 0); break;
      case SC_MAXIMIZE: ShowWindow(hWnd, SW_SHOWMAXIMIZED); break;
      case SC_MINIMIZE: ShowWindow(hWnd, SW_SHOWMINIMIZED); break;
      case SC_RESTORE: ShowWindow(hWnd, SW_RESTORE); break;
      default: break;
    }
  }
  return 0;
}

// There is no screen: the box goes to standard error and is remembered.
// A hook stands for what the box's own loop handles while it is open.
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT) {
  std::fprintf(stderr, "[%s] %s\n", toolkit::WideToUtf8(caption ? caption : L"").c_str(),
               toolkit::WideToUtf8(text ? text : L"").c_str());
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> g(H().lock);
    H().lastBoxText = text ? text : L"";
    H().lastBoxCaption = caption ? caption : L"";
    hook.swap(H().boxHook);
    H().openBoxOwner = owner;
    H().boxEnded = false;
  }
  if (hook) hook();
  std::lock_guard<std::mutex> g(H().lock);
  H().openBoxOwner = nullptr;
  return H().boxEnded ? H().boxEndResult : H().boxAnswer;
}

void GetLocalTime(SYSTEMTIME* st) {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  st->wYear = static_cast<WORD>(tm.tm_year + 1900);
  st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  st->wDay = static_cast<WORD>(tm.tm_mday);
  st->wHour = static_cast<WORD>(tm.tm_hour);
  st->wMinute = static_cast<WORD>(tm.tm_min);
  st->wSecond = static_cast<WORD>(tm.tm_sec);
  st->wMilliseconds = static_cast<WORD>(ms);
}

DWORD GetTickCount() {
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count());
}

LONG GetMessageTime() { return static_cast<LONG>(GetTickCount()); }

LANGID GetUserDefaultUILanguage() {
  std::lock_guard<std::mutex> g(H().lock);
  return H().uiLanguage;
}

// ---- CWindowWnd and CPaintManagerUI host parts ---------------------------------

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y,
                        int cx, int cy, HMENU) {
  HWND h;
  {
    std::lock_guard<std::mutex> g(H().lock);
    EnsureUiThread();
    if (H().failCreation) return nullptr;
    auto w = std::make_unique<Window>();
    w->object = this;
    w->parent = hwndParent;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (cx == CW_USEDEFAULT) cx = cy = 0;
    w->rect = RECT{x, y, x + cx, y + cy};
    w->style = static_cast<LONG>(dwStyle);
    w->exStyle = static_cast<LONG>(dwExStyle);
    w->text = pstrName ? pstrName : L"";
    h = reinterpret_cast<HWND>(H().nextId++);
    H().windows.emplace(Id(h), std::move(w));
  }
  m_hWnd = h;
  if (Dispatch(h, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!IsWindow(h)) return nullptr;
  SendSize(h);
  if (dwStyle & WS_VISIBLE) {
    {
      std::lock_guard<std::mutex> g(H().lock);
      if (Window* w = Find(h)) w->visible = false;
    }
    ::ShowWindow(h, SW_SHOW);
  }
  return h;
}

RECT CWindowWnd::GetWorkArea() const { return toolkit::headless::GetWorkArea(); }

// Centres on the owner, or on the work area, and keeps the window inside
// the work area.
void CWindowWnd::CenterWindow() {
  if (!m_hWnd) return;
  RECT rc, area = toolkit::headless::GetWorkArea();
  GetWindowRect(m_hWnd, &rc);
  RECT center = area;
  HWND owner = GetParent(m_hWnd);
  if (owner) GetWindowRect(owner, &center);
  const POINT corner = toolkit::CenteredCorner(rc, center, area);
  SetWindowPos(m_hWnd, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CPaintManagerUI::MessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

int CPaintManagerUI::GetSystemDPI() {
  std::lock_guard<std::mutex> g(H().lock);
  return H().systemDpi;
}

// ---- test controls ----------------------------------------------------------------

namespace toolkit {
namespace headless {

int PumpPending() {
  {
    std::lock_guard<std::mutex> g(H().lock);
    EnsureUiThread();
  }
  int n = 0;
  for (;;) {
    if (ServeOneSent()) {
      ++n;
      continue;
    }
    MSG msg;
    {
      // A WM_QUIT stays queued for the message loop, but what was posted
      // behind it is still handled: on Windows the quit comes only once
      // the queue is otherwise empty.
      std::lock_guard<std::mutex> g(H().lock);
      auto& q = H().posted;
      auto it = std::find_if(q.begin(), q.end(), [](const MSG& m) { return m.message != WM_QUIT; });
      if (it == q.end()) return n;
      msg = *it;
      q.erase(it);
    }
    DispatchMessageW(&msg);
    ++n;
  }
}

void SetUiThread() {
  std::lock_guard<std::mutex> g(H().lock);
  H().uiThread = std::this_thread::get_id();
  H().uiThreadSet = true;
}

std::wstring LastMessageBoxText() {
  std::lock_guard<std::mutex> g(H().lock);
  return H().lastBoxText;
}

std::wstring LastMessageBoxCaption() {
  std::lock_guard<std::mutex> g(H().lock);
  return H().lastBoxCaption;
}

void SetMessageBoxHook(std::function<void()> whileOpen) {
  std::lock_guard<std::mutex> g(H().lock);
  H().boxHook = std::move(whileOpen);
}

void SetMessageBoxAnswer(int answer) {
  std::lock_guard<std::mutex> g(H().lock);
  H().boxAnswer = answer;
}

void SetUserUILanguage(LANGID lang) {
  std::lock_guard<std::mutex> g(H().lock);
  H().uiLanguage = lang;
}

void SetWorkArea(const RECT& rc) {
  std::lock_guard<std::mutex> g(H().lock);
  H().workArea = rc;
}

RECT GetWorkArea() {
  std::lock_guard<std::mutex> g(H().lock);
  return H().workArea;
}

void SetSystemDpi(int dpi) {
  std::lock_guard<std::mutex> g(H().lock);
  H().systemDpi = dpi;
}

void SetKeyDown(int virtualKey, bool down) {
  if (virtualKey < 0 || virtualKey >= 256) return;
  const unsigned bit = 1u << (virtualKey % 32);
  if (down) g_keysDown[virtualKey / 32] |= bit;
  else g_keysDown[virtualKey / 32] &= ~bit;
}

void FailWindowCreation(bool fail) {
  std::lock_guard<std::mutex> g(H().lock);
  H().failCreation = fail;
}

int WindowCount() {
  std::lock_guard<std::mutex> g(H().lock);
  return static_cast<int>(H().windows.size());
}

}  // namespace headless
}  // namespace toolkit

// ---- render: nothing is drawn; images are measured from their headers ----------

namespace render {

// Width and height from the PNG, GIF or BMP header; JPEG is accepted with
// unknown size.
bool DecodeImage(const std::vector<uint8_t>& b, TImageInfo& info) {
  auto be32 = [&b](size_t i) { return (b[i] << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]; };
  if (b.size() >= 24 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') {
    info.width = be32(16);
    info.height = be32(20);
  } else if (b.size() >= 10 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') {
    info.width = b[6] | (b[7] << 8);
    info.height = b[8] | (b[9] << 8);
  } else if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
    info.width = b[18] | (b[19] << 8) | (b[20] << 16) | (b[21] << 24);
    info.height = b[22] | (b[23] << 8) | (b[24] << 16) | (b[25] << 24);
  } else if (!(b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8)) {
    return false;
  }
  info.frames = 1;
  info.frameDelays.assign(1, 100);
  return true;
}

void FreeImage(TImageInfo&) {}
void SelectFrame(TImageInfo&, int) {}
void DrawColor(HDC, const RECT&, DWORD) {}
void DrawBorder(HDC, const RECT&, int, DWORD, SIZE) {}
void DrawImage(HDC, const TImageInfo&, const RECT&, const RECT&, const RECT&, int) {}
void DrawText(HDC, CPaintManagerUI*, RECT, const std::wstring&, DWORD, int, UINT) {}
void DrawPalette(HDC, const RECT&) {}
void PushClip(HDC, const RECT&) {}
void PopClip(HDC) {}

// Half the font size per narrow character, the full size per wide one.
SIZE MeasureText(CPaintManagerUI* pm, const std::wstring& text, int font) {
  int size = pm->ScaleValue(pm->GetFontInfo(font).size);
  LONG cx = 0;
  for (wchar_t c : text) cx += c < 0x2E80 ? (size + 1) / 2 : size;
  return SIZE{cx, size};
}

HFONT CreateFontFor(const TFontInfo&, int) { return nullptr; }
std::wstring FaceOf(const TFontInfo& info) { return info.face.empty() ? L"MS Shell Dlg" : info.face; }
void DeleteFontHandle(HFONT) {}
bool StartTimer(HWND, UINT_PTR, UINT) { return true; }
void StopTimer(HWND, UINT_PTR) {}
bool PaintWindow(HWND, CControlUI*) { return false; }
bool HandleNativeCommand(WPARAM, LPARAM) { return false; }

POINT ScreenToClientPoint(HWND hWnd, POINT pt) {
  RECT rc{0, 0, 0, 0};
  GetWindowRect(hWnd, &rc);
  return POINT{pt.x - rc.left, pt.y - rc.top};
}

// The ANSI code page here is UTF-8.
std::string ZipPasswordBytes(const std::wstring& password) { return toolkit::WideToUtf8(password); }

// Windows paths of the resource folder name files here too.
FILE* OpenForReading(const std::wstring& path) {
  std::wstring native = path;
  for (auto& c : native)
    if (c == L'\\') c = L'/';
  return std::fopen(toolkit::WideToUtf8(native).c_str(), "rb");
}

// No window shapes or monitors: WM_GETMINMAXINFO is never sent.
void SetWindowCorners(HWND, SIZE) {}
bool FillMinMaxInfo(HWND, LPARAM, SIZE) { return false; }

// No native text boxes: the edit controls keep their text themselves.
HWND CreateTextBox(CControlUI*, CPaintManagerUI*, const TTextBoxStyle&) { return nullptr; }
void DestroyTextBox(HWND& box) { box = nullptr; }
void PlaceTextBox(HWND, const RECT&, bool) {}
LONG TextBoxLineHeight(HWND, HFONT) { return 0; }
std::wstring TextBoxText(HWND) { return std::wstring(); }
void SetTextBoxText(HWND, const std::wstring&) {}
void SetTextBoxFont(HWND, HFONT, bool) {}
void SetTextBoxLimit(HWND, int) {}
void SetTextBoxReadOnly(HWND, bool) {}
void SetTextBoxPassword(HWND, bool) {}
void SetTextBoxNumberOnly(HWND, bool) {}
void SelectInTextBox(HWND, int, int) {}
void FocusTextBox(HWND) {}
void EnableTextBox(HWND, bool) {}
void SetTextBoxColor(HWND, DWORD) {}
bool FormatTextBoxEnd(HWND, const TCharFormatUI&) { return true; }
void AppendToTextBox(HWND, const std::wstring&, bool) {}
void ScrollTextBoxToEnd(HWND) {}

void CaptureMouse(HWND, bool) {}
void TrackMouseLeave(HWND) {}
void ShutdownHost() {}

// Nothing is drawn, and there are no native children to take keys from.
void DrawFocusMark(HDC, const RECT&, int) {}
void TakeKeyboardFocus(HWND) {}
bool AnswerAccessibleObject(HWND, WPARAM, LPARAM, LRESULT&) { return false; }
void NotifyAccessibleFocus(HWND, int) {}
// Every face has every glyph here.
HFONT FontFor(CPaintManagerUI* pm, int font, const std::wstring&) { return pm->GetFont(font); }
std::wstring FaceFor(CPaintManagerUI* pm, int font, const std::wstring&) { return pm->GetFontFace(font); }

}  // namespace render

namespace toolkit {

void FillPie(HDC, const RECT&, int, int, DWORD, bool) {}
void FillEllipse(HDC, const RECT&, DWORD, bool) {}

}  // namespace toolkit

namespace toolkit {

void EndMessageBox(HWND owner, int result) {
  std::lock_guard<std::mutex> g(H().lock);
  if (!owner || H().openBoxOwner != owner) return;
  H().boxEnded = true;
  H().boxEndResult = result;
}

}  // namespace toolkit
