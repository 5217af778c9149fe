// CPaintManagerUI: the control tree of one window, name lookup, input
// routing, notifications, fonts, styles, option groups and DPI scaling.
#include "toolkit/paint_manager.h"

#include "render.h"
#include "toolkit/builder.h"
#include "toolkit/containers.h"
#include "toolkit/controls.h"
#include "toolkit/resource.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {
HINSTANCE g_instance = nullptr;
std::map<std::wstring, std::wstring>& SharedStyles() {
  static std::map<std::wstring, std::wstring> styles;
  return styles;
}
std::map<std::wstring, std::unique_ptr<TImageInfo>>& ImageCache() {
  static std::map<std::wstring, std::unique_ptr<TImageInfo>> cache;
  return cache;
}
bool PtIn(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }
CControlUI* HitProc(CControlUI* c, void* data) { return PtIn(c->GetPos(), *static_cast<POINT*>(data)) ? c : nullptr; }
CControlUI* NameProc(CControlUI* c, void* data) {
  return c->GetName() == *static_cast<const std::wstring*>(data) ? c : nullptr;
}
CControlUI* CollectProc(CControlUI* c, void* data) {
  static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
  return nullptr;
}
std::map<HWND, CPaintManagerUI*>& Managers() {
  static std::map<HWND, CPaintManagerUI*> managers;
  return managers;
}

// Shown controls in tree order. With intoTabStops false a tab stop's
// children are left out: the tab stop handles them itself.
void WalkShown(CControlUI* c, std::vector<CControlUI*>& out, bool intoTabStops) {
  if (!c || !c->IsVisible()) return;
  out.push_back(c);
  if (!intoTabStops && c->IsTabStop()) return;
  if (auto* box = dynamic_cast<CContainerUI*>(c))
    for (int i = 0; i < box->GetCount(); ++i) WalkShown(box->GetItemAt(i), out, intoTabStops);
}

std::wstring Trim(const std::wstring& s) {
  const size_t a = s.find_first_not_of(L" \t\r\n");
  if (a == std::wstring::npos) return std::wstring();
  return s.substr(a, s.find_last_not_of(L" \t\r\n") - a + 1);
}

// An edit's text is what the user typed, not what the box is called.
bool TextNamesControl(CControlUI* c) { return !dynamic_cast<CEditUI*>(c) && !dynamic_cast<CRichEditUI*>(c); }

bool HoldsTabStop(CControlUI* c) {
  if (c->IsTabStop()) return true;
  if (auto* box = dynamic_cast<CContainerUI*>(c))
    for (int i = 0; i < box->GetCount(); ++i)
      if (HoldsTabStop(box->GetItemAt(i))) return true;
  return false;
}

// The first shown text of a label in the subtree; a part that holds
// controls of its own (another field, a page) names nothing beside it.
std::wstring FirstLabelText(CControlUI* c) {
  if (!c || !c->IsVisible() || HoldsTabStop(c)) return std::wstring();
  if (dynamic_cast<CLabelUI*>(c)) {
    std::wstring t = Trim(c->GetText());
    if (!t.empty()) return t;
  }
  if (auto* box = dynamic_cast<CContainerUI*>(c)) {
    for (int i = 0; i < box->GetCount(); ++i) {
      std::wstring t = FirstLabelText(box->GetItemAt(i));
      if (!t.empty()) return t;
    }
  }
  return std::wstring();
}
}  // namespace

const TImageInfo* GetCachedImage(const std::wstring& path, int scale) {
  auto& cache = ImageCache();
  auto it = cache.find(path);
  if (it != cache.end()) return it->second.get();
  std::unique_ptr<TImageInfo> info;
  std::vector<uint8_t> bytes;
  if (CResourceManager::GetInstance().GetFileBytes(path, bytes)) {
    info.reset(new TImageInfo);
    info->path = path;
    info->scale = scale;
    if (!render::DecodeImage(bytes, *info)) info.reset();
  }
  const TImageInfo* result = info.get();
  cache.emplace(path, std::move(info));
  return result;
}

void FreeImageCache() {
  for (auto& kv : ImageCache())
    if (kv.second) render::FreeImage(*kv.second);
  ImageCache().clear();
}

// ---- process-wide ----------------------------------------------------------

void CPaintManagerUI::SetInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE CPaintManagerUI::GetInstance() { return g_instance; }

void CPaintManagerUI::Shutdown() {
  CResourceManager::GetInstance().Release();
  CControlFactory::GetInstance().Release();
  SharedStyles().clear();
  FreeImageCache();
  CDialogBuilder::ClearCache();
  render::ShutdownHost();
}

void CPaintManagerUI::AddSharedStyle(const std::wstring& name, const std::wstring& attributeList) {
  SharedStyles()[name] = attributeList;
}

// ---- lifetime and tree -------------------------------------------------------

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
  for (const Timer& t : m_timers) render::StopTimer(m_hWnd, t.nativeId);
  m_timers.clear();
  std::vector<CControlUI*> delayed;
  delayed.swap(m_delayedCleanup);
  for (CControlUI* c : delayed) delete c;
  CControlUI* root = m_pRoot;
  m_pRoot = nullptr;
  delete root;
  for (auto& kv : m_fonts) render::DeleteFontHandle(kv.second.hFont);
  render::DeleteFontHandle(m_defaultFont.hFont);
  auto it = Managers().find(m_hWnd);
  if (it != Managers().end() && it->second == this) Managers().erase(it);
}

CPaintManagerUI* CPaintManagerUI::FromWindow(HWND hWnd) {
  auto it = Managers().find(hWnd);
  return hWnd && it != Managers().end() ? it->second : nullptr;
}

void CPaintManagerUI::Init(HWND hWnd) {
  m_hWnd = hWnd;
  if (hWnd) Managers()[hWnd] = this;
  m_nDPI = GetSystemDPI();
  m_nScale = toolkit::ScaleForDpi(m_nDPI);
  RebuildFonts();
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  if (!root) return false;
  if (m_pRoot) ReapControl(m_pRoot);
  m_pRoot = root;
  root->SetManager(this, nullptr, true);
  NeedUpdate();
  return true;
}

void CPaintManagerUI::InitControl(CControlUI* control, CControlUI*) {
  std::wstring name = control->GetName();
  if (name.empty()) return;
  auto range = m_names.equal_range(name);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second == control) return;
  m_names.emplace(name, control);
}

void CPaintManagerUI::ReleaseControl(CControlUI* control) {
  for (auto it = m_names.begin(); it != m_names.end();) {
    if (it->second == control) it = m_names.erase(it);
    else ++it;
  }
  for (auto& kv : m_optionGroups) kv.second.erase(std::remove(kv.second.begin(), kv.second.end(), control), kv.second.end());
  if (m_pFocus == control) m_pFocus = nullptr;
  if (m_pHover == control) m_pHover = nullptr;
  if (m_pCapture == control) {
    m_pCapture = nullptr;
    render::CaptureMouse(m_hWnd, false);
  }
  KillTimers(control);
}

void CPaintManagerUI::RenameControl(CControlUI* control, const std::wstring& oldName) {
  auto range = m_names.equal_range(oldName);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == control) {
      m_names.erase(it);
      break;
    }
  }
  if (control->GetManager() == this) InitControl(control, control->GetParent());
}

// Unregisters the whole subtree now, so it can no longer be found, and
// deletes it once no event is being dispatched.
void CPaintManagerUI::ReapControl(CControlUI* control) {
  if (!control) return;
  std::vector<CControlUI*> all;
  control->FindControl(CollectProc, &all, UIFIND_ALL);
  for (CControlUI* c : all) ReleaseControl(c);
  if (m_eventDepth > 0) m_delayedCleanup.push_back(control);
  else delete control;
}

void CPaintManagerUI::BeginEvent() { ++m_eventDepth; }

void CPaintManagerUI::EndEvent() {
  if (--m_eventDepth > 0) return;
  m_eventDepth = 0;
  std::vector<CControlUI*> delayed;
  delayed.swap(m_delayedCleanup);
  for (CControlUI* c : delayed) delete c;
}

CControlUI* CPaintManagerUI::FindControl(const std::wstring& name) const {
  auto it = m_names.find(name);
  return it == m_names.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  if (!m_pRoot) return nullptr;
  return m_pRoot->FindControl(HitProc, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const std::wstring& name) const {
  if (!parent) return nullptr;
  std::wstring n = name;
  return parent->FindControl(NameProc, &n, UIFIND_ALL);
}

void CPaintManagerUI::AddOptionGroup(const std::wstring& group, CControlUI* option) {
  auto& members = m_optionGroups[group];
  if (std::find(members.begin(), members.end(), option) == members.end()) members.push_back(option);
}

const std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(const std::wstring& group) const {
  auto it = m_optionGroups.find(group);
  return it == m_optionGroups.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(const std::wstring& group, CControlUI* option) {
  auto it = m_optionGroups.find(group);
  if (it == m_optionGroups.end()) return;
  it->second.erase(std::remove(it->second.begin(), it->second.end(), option), it->second.end());
}

// ---- notifications ---------------------------------------------------------

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
  if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end()) m_notifiers.push_back(notifier);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
  m_notifiers.erase(std::remove(m_notifiers.begin(), m_notifiers.end(), notifier), m_notifiers.end());
}

// Synchronous; controls removed by a listener stay alive until the
// notification is done, and a listener removed meanwhile is skipped.
void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
  BeginEvent();
  std::vector<INotifyUI*> listeners = m_notifiers;
  for (INotifyUI* n : listeners) {
    if (std::find(m_notifiers.begin(), m_notifiers.end(), n) == m_notifiers.end()) continue;
    n->Notify(msg);
  }
  EndEvent();
}

void CPaintManagerUI::SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = control;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.dwTimestamp = GetTickCount();
  SendNotify(msg);
}

void CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
  if (std::find(m_filters.begin(), m_filters.end(), filter) == m_filters.end()) m_filters.push_back(filter);
}

void CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
  m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), filter), m_filters.end());
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  std::vector<IMessageFilterUI*> filters = m_filters;
  for (IMessageFilterUI* f : filters) {
    bool handled = false;
    LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) {
      lRes = r;
      return true;
    }
  }
  return MessageHandler(uMsg, wParam, lParam, lRes);
}

// ---- messages ----------------------------------------------------------------

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  lRes = 0;
  switch (uMsg) {
    case WM_SIZE:
      NeedUpdate();
      UpdateLayout();
      return false;
    case WM_PAINT:
      if (m_bUpdateNeeded) UpdateLayout();
      return render::PaintWindow(m_hWnd, m_pRoot);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      DispatchMouse(uMsg, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, wParam);
      return false;
    case WM_MOUSELEAVE:
      ClearHover();
      return false;
    case WM_ENABLE:
      // A modal dialog or message box disables the window: the mouse is
      // on the dialog now, and no leave would come for the control below.
      if (!wParam) ClearHover();
      return false;
    case WM_MOUSEWHEEL: {
      POINT pt = render::ScreenToClientPoint(m_hWnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (m_bUpdateNeeded) UpdateLayout();
      CControlUI* c = FindControl(pt);
      if (!c) return false;
      TEventUI e;
      e.Type = UIEVENT_SCROLLWHEEL;
      e.pSender = c;
      e.ptMouse = pt;
      e.wParam = static_cast<WPARAM>(static_cast<LPARAM>(static_cast<short>(HIWORD(wParam))));
      e.dwTimestamp = GetTickCount();
      BeginEvent();
      c->DoEvent(e);
      EndEvent();
      lRes = 0;
      return true;
    }
    case WM_TIMER: {
      for (const Timer& t : m_timers) {
        if (t.nativeId != wParam) continue;
        TEventUI e;
        e.Type = UIEVENT_TIMER;
        e.pSender = t.control;
        e.wParam = t.id;
        e.dwTimestamp = GetTickCount();
        CControlUI* c = t.control;
        BeginEvent();
        c->DoEvent(e);
        EndEvent();
        return true;
      }
      return false;
    }
    case WM_KEYDOWN:
      return HandleKey(wParam, lParam);
    case WM_CHAR:
      if (m_pFocus) SendKeyEvent(UIEVENT_CHAR, wParam, lParam);
      return false;
    case WM_GETOBJECT:
      return render::AnswerAccessibleObject(m_hWnd, wParam, lParam, lRes);
    case WM_COMMAND:
      if (lParam != 0) {
        BeginEvent();
        bool handled = render::HandleNativeCommand(wParam, lParam);
        EndEvent();
        return handled;
      }
      return false;
    default:
      return false;
  }
}

bool CPaintManagerUI::HandleKey(WPARAM key, LPARAM lParam) {
  CControlUI* press = nullptr;
  if (key == VK_TAB) {
    MoveFocus(::GetKeyState(VK_SHIFT) >= 0);
    return true;
  }
  if (key == VK_RETURN) {
    // An option card or an edit box is not pressed by Enter: the page's
    // default button is.
    const bool pushButton = dynamic_cast<CButtonUI*>(m_pFocus) && !dynamic_cast<COptionUI*>(m_pFocus);
    press = pushButton ? m_pFocus : GetDefaultButton();
  } else if (key == VK_ESCAPE) {
    press = GetCancelButton();
  }
  if (press) {
    BeginEvent();
    press->Activate();
    EndEvent();
    return true;
  }
  if (!m_pFocus) return false;
  if (key == VK_SPACE || (key >= VK_END && key <= VK_DOWN)) {
    m_bFocusMarks = true;
    Invalidate();
  }
  SendKeyEvent(UIEVENT_KEYDOWN, key, lParam);
  return false;
}

void CPaintManagerUI::SendKeyEvent(EventTypeUI type, WPARAM key, LPARAM lParam) {
  TEventUI e;
  e.Type = type;
  e.pSender = m_pFocus;
  e.chKey = static_cast<wchar_t>(key);
  e.wParam = key;
  e.lParam = lParam;
  e.dwTimestamp = GetTickCount();
  CControlUI* c = m_pFocus;
  BeginEvent();
  c->DoEvent(e);
  EndEvent();
}

CControlUI* CPaintManagerUI::FirstUsable(const std::wstring& names) const {
  size_t at = 0;
  while (at <= names.size()) {
    size_t comma = names.find(L',', at);
    if (comma == std::wstring::npos) comma = names.size();
    CControlUI* c = FindControl(Trim(names.substr(at, comma - at)));
    if (c && c->IsVisible() && c->IsEnabled()) return c;
    at = comma + 1;
  }
  return nullptr;
}

std::vector<CControlUI*> CPaintManagerUI::GetTabStops() const {
  std::vector<CControlUI*> order, stops;
  WalkShown(m_pRoot, order, false);
  for (CControlUI* c : order)
    if (c->IsTabStop() && c->IsEnabled()) stops.push_back(c);
  return stops;
}

bool CPaintManagerUI::MoveFocus(bool forward) {
  std::vector<CControlUI*> order;
  WalkShown(m_pRoot, order, false);
  // Where the focus is: the control itself, or the tab stop it belongs to
  // (a list row belongs to its list).
  int at = -1;
  for (CControlUI* c = m_pFocus; c && at < 0; c = c->GetParent()) {
    auto it = std::find(order.begin(), order.end(), c);
    if (it != order.end()) at = static_cast<int>(it - order.begin());
  }
  const int n = static_cast<int>(order.size());
  for (int step = 1; step <= n; ++step) {
    int i = at < 0 ? (forward ? step - 1 : n - step) : ((at + (forward ? step : -step)) % n + n) % n;
    CControlUI* c = order[static_cast<size_t>(i)];
    if (!c->IsTabStop() || !c->IsEnabled()) continue;
    m_bFocusMarks = true;
    SetFocus(c);
    Invalidate();
    return true;
  }
  return false;
}

std::vector<CControlUI*> CPaintManagerUI::GetAccessibleControls() const {
  std::vector<CControlUI*> order, shown;
  WalkShown(m_pRoot, order, true);
  for (CControlUI* c : order) {
    const AccessibleRoleUI role = c->GetAccessibleRole();
    if (role == UIROLE_NONE) continue;
    if (role == UIROLE_STATICTEXT && Trim(c->GetText()).empty()) continue;  // spacers, empty status lines
    shown.push_back(c);
  }
  return shown;
}

std::wstring CPaintManagerUI::GetAccessibleName(CControlUI* control) const {
  if (!control) return std::wstring();
  std::wstring name = TextNamesControl(control) ? Trim(control->GetText()) : std::wstring();
  if (name.empty()) name = Trim(control->GetToolTip());
  if (name.empty() && dynamic_cast<CListContainerElementUI*>(control)) name = FirstLabelText(control);
  // The nearest label beside it: before it first (a field's caption),
  // then after it (the texts laid over an option card); one level up
  // when its own row has none.
  for (CControlUI* c = control; name.empty() && c && c != m_pRoot; c = c->GetParent()) {
    auto* box = dynamic_cast<CContainerUI*>(c->GetParent());
    if (!box) break;
    int self = box->GetItemIndex(c);
    for (int i = self - 1; name.empty() && i >= 0; --i) name = FirstLabelText(box->GetItemAt(i));
    for (int i = self + 1; name.empty() && i < box->GetCount(); ++i) name = FirstLabelText(box->GetItemAt(i));
    if (c != control) break;
  }
  return name;
}

void CPaintManagerUI::ClearHover() {
  if (!m_pHover) return;
  TEventUI e;
  e.Type = UIEVENT_MOUSELEAVE;
  e.pSender = m_pHover;
  e.dwTimestamp = GetTickCount();
  CControlUI* hover = m_pHover;
  m_pHover = nullptr;
  BeginEvent();
  hover->DoEvent(e);
  EndEvent();
}

// Hover, press and release: the pressed control keeps the mouse until
// the button is released.
void CPaintManagerUI::DispatchMouse(UINT uMsg, POINT pt, WPARAM wParam) {
  if (m_bUpdateNeeded) UpdateLayout();
  BeginEvent();
  TEventUI e;
  e.ptMouse = pt;
  e.wParam = wParam;
  e.dwTimestamp = GetTickCount();
  if (uMsg == WM_MOUSEMOVE) {
    if (m_pCapture) {
      e.Type = UIEVENT_MOUSEMOVE;
      e.pSender = m_pCapture;
      m_pCapture->DoEvent(e);
    } else {
      CControlUI* c = FindControl(pt);
      if (c && !m_pHover) render::TrackMouseLeave(m_hWnd);
      if (c != m_pHover) {
        if (m_pHover) {
          e.Type = UIEVENT_MOUSELEAVE;
          e.pSender = m_pHover;
          m_pHover->DoEvent(e);
        }
        m_pHover = c;
        if (c) {
          e.Type = UIEVENT_MOUSEENTER;
          e.pSender = c;
          c->DoEvent(e);
        }
      }
    }
  } else if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK) {
    CControlUI* c = FindControl(pt);
    if (c && c->IsEnabled()) {
      SetFocus(c);
      if (c->GetManager() == this) {  // a focus handler may have removed it
        m_pCapture = c;
        render::CaptureMouse(m_hWnd, true);
        e.Type = uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK;
        e.pSender = c;
        c->DoEvent(e);
      }
    }
  } else if (uMsg == WM_LBUTTONUP) {
    CControlUI* c = m_pCapture;
    m_pCapture = nullptr;
    render::CaptureMouse(m_hWnd, false);
    if (c) {
      e.Type = UIEVENT_BUTTONUP;
      e.pSender = c;
      c->DoEvent(e);
    }
  }
  EndEvent();
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (control == m_pFocus) return;
  BeginEvent();
  TEventUI e;
  e.dwTimestamp = GetTickCount();
  if (CControlUI* old = m_pFocus) {
    m_pFocus = nullptr;
    e.Type = UIEVENT_KILLFOCUS;
    e.pSender = old;
    old->DoEvent(e);
  }
  if (control && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
    m_pFocus = control;
    e.Type = UIEVENT_SETFOCUS;
    e.pSender = control;
    control->DoEvent(e);
  }
  // A control drawn by the toolkit gets its keys through the window, so
  // the window takes the keyboard back from a text box it had given it.
  if (m_pFocus && !dynamic_cast<CEditUI*>(m_pFocus) && !dynamic_cast<CRichEditUI*>(m_pFocus))
    render::TakeKeyboardFocus(m_hWnd);
  if (m_pFocus) {
    const std::vector<CControlUI*> shown = GetAccessibleControls();
    auto it = std::find(shown.begin(), shown.end(), m_pFocus);
    if (it != shown.end()) render::NotifyAccessibleFocus(m_hWnd, static_cast<int>(it - shown.begin()) + 1);
  }
  EndEvent();
}

// ---- layout and painting -----------------------------------------------------

RECT CPaintManagerUI::GetClientRect() const {
  RECT rc{0, 0, 0, 0};
  if (m_hWnd) ::GetClientRect(m_hWnd, &rc);
  return rc;
}

void CPaintManagerUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  Invalidate();
}

void CPaintManagerUI::UpdateLayout() {
  m_bUpdateNeeded = false;
  if (m_pRoot) m_pRoot->SetPos(GetClientRect(), false);
}

void CPaintManagerUI::Invalidate() {
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
  if (m_hWnd) ::InvalidateRect(m_hWnd, &rc, FALSE);
}

void CPaintManagerUI::RepaintAll() {
  NeedUpdate();
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPaintManagerUI::SetInitSize(int cx, int cy) { m_szInitWindowSize = SIZE{cx, cy}; }

void CPaintManagerUI::SetWindowAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"size") {
    SIZE s = toolkit::ParseSize(value);
    SetInitSize(s.cx, s.cy);
  } else if (name == L"caption") {
    SetCaptionRect(toolkit::ParseRect(value));
  } else if (name == L"sizebox") {
    SetSizeBox(toolkit::ParseRect(value));
  } else if (name == L"mininfo") {
    SIZE s = toolkit::ParseSize(value);
    SetMinInfo(s.cx, s.cy);
  } else if (name == L"maxinfo") {
    SIZE s = toolkit::ParseSize(value);
    SetMaxInfo(s.cx, s.cy);
  } else if (name == L"roundcorner") {
    SIZE s = toolkit::ParseSize(value);
    SetRoundCorner(s.cx, s.cy);
  } else if (name == L"defaultbutton") {
    SetDefaultButtons(value);
  } else if (name == L"cancelbutton") {
    SetCancelButtons(value);
  }
}

// ---- fonts and styles ----------------------------------------------------------

void CPaintManagerUI::SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  render::DeleteFontHandle(m_defaultFont.hFont);
  m_defaultFont = TFontInfo{face, size, bold, underline, italic, nullptr};
  ++m_fontGeneration;
  m_defaultFont.hFont = render::CreateFontFor(m_defaultFont, m_nScale);
  NeedUpdate();
}

void CPaintManagerUI::AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  auto it = m_fonts.find(id);
  if (it != m_fonts.end()) render::DeleteFontHandle(it->second.hFont);
  TFontInfo info{face, size, bold, underline, italic, nullptr};
  ++m_fontGeneration;
  info.hFont = render::CreateFontFor(info, m_nScale);
  m_fonts[id] = info;
  NeedUpdate();
}

const TFontInfo& CPaintManagerUI::GetFontInfo(int id) const {
  auto it = m_fonts.find(id);
  return it == m_fonts.end() ? m_defaultFont : it->second;
}

std::wstring CPaintManagerUI::GetFontFace(int id) const { return render::FaceOf(GetFontInfo(id)); }

std::wstring CPaintManagerUI::GetFontFaceFor(int id, const std::wstring& text) { return render::FaceFor(this, id, text); }

void CPaintManagerUI::RebuildFonts() {
  ++m_fontGeneration;
  render::DeleteFontHandle(m_defaultFont.hFont);
  m_defaultFont.hFont = render::CreateFontFor(m_defaultFont, m_nScale);
  for (auto& kv : m_fonts) {
    render::DeleteFontHandle(kv.second.hFont);
    kv.second.hFont = render::CreateFontFor(kv.second, m_nScale);
  }
}

void CPaintManagerUI::AddStyle(const std::wstring& name, const std::wstring& attributeList) {
  m_styles[name] = attributeList;
}

bool CPaintManagerUI::GetStyle(const std::wstring& name, std::wstring& attributeList) const {
  auto it = m_styles.find(name);
  if (it != m_styles.end()) {
    attributeList = it->second;
    return true;
  }
  auto shared = SharedStyles().find(name);
  if (shared == SharedStyles().end()) return false;
  attributeList = shared->second;
  return true;
}

void CPaintManagerUI::AddDefaultAttributeList(const std::wstring& controlClass, const std::wstring& attributeList) {
  m_defaultAttributes[toolkit::ToLower(controlClass)] = attributeList;
}

std::wstring CPaintManagerUI::GetDefaultAttributeList(const std::wstring& controlClass) const {
  auto it = m_defaultAttributes.find(toolkit::ToLower(controlClass));
  return it == m_defaultAttributes.end() ? std::wstring() : it->second;
}

// ---- DPI and images --------------------------------------------------------------

void CPaintManagerUI::SetDPI(int dpi, bool resizeWindow) {
  if (dpi <= 0) return;
  int oldScale = m_nScale;
  m_nDPI = dpi;
  m_nScale = toolkit::ScaleForDpi(dpi);
  if (m_nScale == oldScale) return;
  RebuildFonts();
  ReloadImages();
  if (resizeWindow && m_hWnd && !::IsZoomed(m_hWnd)) {
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    SIZE now{rc.right - rc.left, rc.bottom - rc.top};
    // The size at 100 % is remembered while the window keeps the size set
    // here, so that changes back and forth do not drift by rounding.
    if (now.cx != m_szDpiSet.cx || now.cy != m_szDpiSet.cy) {
      m_dpiBaseWidth = now.cx * 100.0 / oldScale;
      m_dpiBaseHeight = now.cy * 100.0 / oldScale;
    }
    m_szDpiSet = SIZE{static_cast<LONG>(std::lround(m_dpiBaseWidth * m_nScale / 100.0)),
                      static_cast<LONG>(std::lround(m_dpiBaseHeight * m_nScale / 100.0))};
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_szDpiSet.cx, m_szDpiSet.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  NeedUpdate();
  UpdateLayout();
}

int CPaintManagerUI::ScaleValue(int unscaled) const {
  if (m_nScale == 100) return unscaled;
  long long v = static_cast<long long>(unscaled) * m_nScale;
  return static_cast<int>(v >= 0 ? (v + 50) / 100 : (v - 50) / 100);
}

RECT CPaintManagerUI::ScaleRect(RECT r) const {
  return RECT{ScaleValue(r.left), ScaleValue(r.top), ScaleValue(r.right), ScaleValue(r.bottom)};
}

std::wstring CPaintManagerUI::GetScaledImageName(const std::wstring& name) const {
  std::wstring path = CResourceManager::GetInstance().GetImagePath(name);
  return toolkit::ScaledImageName(path.empty() ? name : path, m_nScale);
}

// The variant for the scale first, then the base image.
const TImageInfo* CPaintManagerUI::GetImage(const std::wstring& name) const {
  if (name.empty()) return nullptr;
  std::wstring path = CResourceManager::GetInstance().GetImagePath(name);
  if (path.empty()) path = name;
  if (m_nScale != 100) {
    if (const TImageInfo* info = GetCachedImage(toolkit::ScaledImageName(path, m_nScale), m_nScale)) return info;
  }
  return GetCachedImage(path, 100);
}

void CPaintManagerUI::ReloadImages() {
  FreeImageCache();
  Invalidate();
}

// ---- timers ----------------------------------------------------------------

UINT_PTR CPaintManagerUI::NextTimerId() {
  static UINT_PTR next = 0x1000;
  return next++;
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapseMs) {
  KillTimer(control, id);
  UINT_PTR nativeId = NextTimerId();
  if (!render::StartTimer(m_hWnd, nativeId, elapseMs)) return false;
  m_timers.push_back(Timer{control, id, nativeId});
  return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id) {
  for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
    if (it->control == control && it->id == id) {
      render::StopTimer(m_hWnd, it->nativeId);
      m_timers.erase(it);
      return true;
    }
  }
  return false;
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (it->control == control) {
      render::StopTimer(m_hWnd, it->nativeId);
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
}

bool CPaintManagerUI::HasTimer(CControlUI* control, UINT id) const {
  for (const Timer& t : m_timers)
    if (t.control == control && t.id == id) return true;
  return false;
}
