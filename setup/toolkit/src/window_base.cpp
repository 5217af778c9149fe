// The host-independent part of CWindowWnd, the notification message maps
// and WindowImplBase.
#include "toolkit/window.h"

#include "render.h"
#include "toolkit/builder.h"
#include "toolkit/resource.h"

// ---- CWindowWnd ------------------------------------------------------------

CWindowWnd::CWindowWnd() = default;
CWindowWnd::~CWindowWnd() = default;

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc) {
  return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
  if (!m_hWnd) return;
  ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

// The object may delete itself when its window goes (OnFinalMessage), so
// the loop keeps the handle and the result in locals.
UINT CWindowWnd::ShowModal() {
  HWND hWnd = m_hWnd;
  if (!hWnd) return static_cast<UINT>(-1);
  HWND owner = ::GetWindow(hWnd, GW_OWNER);
  UINT code = IDOK;
  m_pModalCode = &code;
  m_hModalOwner = owner;
  ::ShowWindow(hWnd, SW_SHOWNORMAL);
  if (owner) ::EnableWindow(owner, FALSE);
  MSG msg{};
  bool quit = false;
  while (::IsWindow(hWnd)) {
    if (!::GetMessageW(&msg, nullptr, 0, 0)) {
      quit = true;
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (owner) {
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
  return code;
}

void CWindowWnd::Close(UINT nRet) {
  m_nCloseCode = nRet;
  if (m_pModalCode) *m_pModalCode = nRet;
  if (m_hWnd) ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  if (!m_hWnd) return;
  RECT rc;
  ::GetClientRect(m_hWnd, &rc);
  if (cx >= 0) rc.right = cx;
  if (cy >= 0) rc.bottom = cy;
  ::AdjustWindowRectEx(&rc, static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::SetWindowTitle(const std::wstring& title) {
  if (m_hWnd) ::SetWindowTextW(m_hWnd, title.c_str());
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

// Every message of the window passes here. OnFinalMessage waits until the
// outermost message of this window has returned, so a handler that
// destroys its own window (and the object with it) never returns into a
// deleted object.
LRESULT CWindowWnd::DispatchToWindow(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!m_hWnd) m_hWnd = hWnd;
  // A modal window closing by any way (its button, Alt+F4, the system
  // menu) gives the owner back its input first, so that the owner, not
  // some other program, is activated when this window goes.
  HWND owner = uMsg == WM_CLOSE && m_pModalCode ? m_hModalOwner : nullptr;
  if (owner) {
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  }
  ++m_nDispatchDepth;
  LRESULT r = HandleMessage(uMsg, wParam, lParam);
  --m_nDispatchDepth;
  if (owner && ::IsWindow(hWnd)) {
    ::EnableWindow(owner, FALSE);  // the window refused to close
    ::SetFocus(hWnd);
  }
  if (uMsg == WM_NCDESTROY) {
    m_pModalCode = nullptr;
    m_hModalOwner = nullptr;
    m_bFinalPending = true;
  }
  if (m_bFinalPending && m_nDispatchDepth == 0) {
    m_bFinalPending = false;
    m_hWnd = nullptr;
    OnFinalMessage(hWnd);  // may delete this
  }
  return r;
}

// ---- CNotifyPump -----------------------------------------------------------

void CNotifyPump::AddNotifyHandler(const std::wstring& type, Handler handler, const std::wstring& controlName) {
  m_entries.push_back(Entry{type, controlName, std::move(handler)});
}

bool CNotifyPump::NotifyPump(TNotifyUI& msg) {
  bool ran = false;
  std::vector<Entry> entries = m_entries;  // a handler may add handlers
  for (const Entry& e : entries) {
    if (e.type != msg.sType) continue;
    if (!e.name.empty() && (!msg.pSender || !toolkit::EqualsNoCase(e.name, msg.pSender->GetName()))) continue;
    e.handler(msg);
    ran = true;
  }
  return ran;
}

// ---- WindowImplBase ----------------------------------------------------------

WindowImplBase::WindowImplBase() {
  AddNotifyHandler(DUI_MSGTYPE_CLICK, [this](TNotifyUI& msg) { OnClick(msg); });
}

WindowImplBase::~WindowImplBase() = default;

void WindowImplBase::Notify(TNotifyUI& msg) { NotifyPump(msg); }

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool& bHandled) {
  bHandled = false;
  return 0;
}

CControlUI* WindowImplBase::CreateControl(const wchar_t*) { return nullptr; }

std::wstring WindowImplBase::QueryControlText(const wchar_t*, const wchar_t*) { return std::wstring(); }

void WindowImplBase::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  std::wstring name = msg.pSender->GetName();
  if (name == L"closebtn") Close();
  else if (name == L"minbtn") SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  else if (name == L"maxbtn") SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  else if (name == L"restorebtn") SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT lRes = 0;
  BOOL bHandled = TRUE;
  switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZE: lRes = OnSize(uMsg, wParam, lParam, bHandled); break;
    case WM_GETMINMAXINFO: lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    // The skin draws everything: no frame, no caption.
    case WM_NCCALCSIZE: lRes = 0; break;
    case WM_NCPAINT: lRes = 0; break;
    case WM_NCACTIVATE:
      if (::IsIconic(m_hWnd)) bHandled = FALSE;
      else lRes = wParam == 0 ? TRUE : FALSE;
      break;
    default: bHandled = FALSE; break;
  }
  if (bHandled) return lRes;
  lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
  if (bHandled) return lRes;
  if (m_pm.PreMessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

// Builds the content; a markup that cannot be built ends the process.
LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  ::SetWindowLongW(m_hWnd, GWL_STYLE, style & ~WS_CAPTION);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  m_pm.Init(m_hWnd);
  // A dialog takes the scale its owner was switched to, not the system's.
  if (CPaintManagerUI* owner = CPaintManagerUI::FromWindow(::GetWindow(m_hWnd, GW_OWNER)))
    m_pm.SetDPI(owner->GetDPI(), false);
  m_pm.AddMessageFilter(this);
  std::wstring skin = GetSkinFile();
  CDialogBuilder builder;
  CControlUI* root = builder.Create(skin, this, &m_pm);
  if (!root) {
    OnBuildFailed(skin, builder.GetLastError());
    return -1;
  }
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  SIZE size = m_pm.GetInitSize();
  if (size.cx > 0 && size.cy > 0)
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_pm.ScaleValue(size.cx), m_pm.ScaleValue(size.cy),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  m_pm.UpdateLayout();
  InitWindow();
  m_pm.SendNotify(root, DUI_MSGTYPE_WINDOWINIT);
  return 0;
}

void WindowImplBase::OnBuildFailed(const std::wstring& markup, const std::string& reason) {
  std::wstring text = L"Failed to build the window from the markup \"" + markup + L"\".";
  if (!reason.empty()) text += L"\n" + toolkit::Utf8ToWide(reason);
  ::MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONERROR);
  ::ExitProcess(1);
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  SIZE round = m_pm.GetRoundCorner();
  if ((round.cx != 0 || round.cy != 0) && !::IsIconic(m_hWnd))
    render::SetWindowCorners(m_hWnd, SIZE{m_pm.ScaleValue(round.cx), m_pm.ScaleValue(round.cy)});
  bHandled = FALSE;  // the paint manager lays out on WM_SIZE
  return 0;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  const SIZE mn = m_pm.GetMinInfo();
  const SIZE minTrack{mn.cx > 0 ? m_pm.ScaleValue(mn.cx) : 0, mn.cy > 0 ? m_pm.ScaleValue(mn.cy) : 0};
  bHandled = render::FillMinMaxInfo(m_hWnd, lParam, minTrack) ? TRUE : FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    SendMessage(WM_CLOSE, 0, 0);
    return 0;
  }
  HWND hWnd = m_hWnd;
  BOOL wasZoomed = ::IsZoomed(hWnd);
  LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  if (::IsWindow(hWnd) && wasZoomed != ::IsZoomed(hWnd)) {
    bool zoomed = ::IsZoomed(hWnd) != FALSE;
    if (CControlUI* max = m_pm.FindControl(L"maxbtn")) max->SetVisible(!zoomed);
    if (CControlUI* restore = m_pm.FindControl(L"restorebtn")) restore->SetVisible(zoomed);
  }
  return lRes;
}

// Client area over clickable controls, caption over the rest of the
// caption rectangle, resize borders along the size box.
LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  const POINT pt = render::ScreenToClientPoint(m_hWnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  if (!::IsZoomed(m_hWnd)) {
    RECT box = m_pm.ScaleRect(m_pm.GetSizeBox());
    bool top = pt.y < client.top + box.top, bottom = pt.y >= client.bottom - box.bottom;
    bool left = pt.x < client.left + box.left, right = pt.x >= client.right - box.right;
    if (top && left) return HTTOPLEFT;
    if (top && right) return HTTOPRIGHT;
    if (bottom && left) return HTBOTTOMLEFT;
    if (bottom && right) return HTBOTTOMRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
  }
  RECT cap = m_pm.ScaleRect(m_pm.GetCaptionRect());
  LONG capBottom = cap.bottom < 0 ? client.bottom + cap.bottom + 1 : cap.bottom;
  if (pt.x >= client.left + cap.left && pt.x < client.right - cap.right && pt.y >= cap.top && pt.y < capBottom) {
    CControlUI* c = m_pm.FindControl(pt);
    if (!c || !c->IsClickable()) return HTCAPTION;
  }
  return HTCLIENT;
}
