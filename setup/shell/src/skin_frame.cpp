// CSkinFrame: the skin chooser that drops down below the main window's
// skin button. Picture and colour buttons broadcast a SkinChangedParam;
// the popup closes when it loses the keyboard focus.
#include "dialogs.h"
#include "skin_change.h"

namespace {
// The open chooser, and when one last lost the focus to a press on its
// own button (hot or pushed under the pointer): the press's click, which
// comes after the chooser has gone, must not open it again.
CSkinFrame* g_open = nullptr;
bool g_closedByAnchorPress = false;
LONG g_closedByAnchorPressAt = 0;
// Longer than a click's press takes; a press dragged off the button sends
// no click, and a later click on it is a new one.
const LONG kPressClickMs = 2000;

bool PressedOrUnderPointer(CControlUI* control) {
  auto* button = dynamic_cast<CButtonUI*>(control);
  return button && (button->IsPushed() || button->IsHot());
}
}  // namespace

// The main window and its button are used only to place the popup.
CSkinFrame::CSkinFrame(HWND mainWnd, CControlUI* anchor) : mainWnd_(mainWnd), anchor_(anchor) {}

// No owner: the popup must not disable or follow the main window. It
// takes the focus so that clicking elsewhere closes it. Its button works
// as a toggle: pressed while the chooser is open, it closes it, also when
// the press took the focus from the chooser (which closed it) before the
// button's click arrived.
CSkinFrame* CSkinFrame::Open(HWND mainWnd, CControlUI* anchor) {
  if (g_open) {
    g_open->CloseOnce();
    return nullptr;
  }
  // Input times, not the time of handling: a loaded machine may handle
  // the click seconds after the press.
  const LONG sincePress = static_cast<LONG>(static_cast<DWORD>(GetMessageTime()) -
                                            static_cast<DWORD>(g_closedByAnchorPressAt));
  const bool closedByThisPress =
      g_closedByAnchorPress && sincePress > -kPressClickMs && sincePress < kPressClickMs;
  g_closedByAnchorPress = false;
  if (closedByThisPress) return nullptr;
  auto* frame = new CSkinFrame(mainWnd, anchor);
  g_open = frame;
  HWND hWnd = frame->Create(nullptr, L"skinframe", WS_POPUP | WS_VISIBLE,
                            WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 0, 0, 0, 0);
  if (!hWnd) {
    g_open = nullptr;  // the failed window's final message deleted it
    return nullptr;
  }
  ::SetFocus(hWnd);
  return frame;
}

// Builds "skin.xml" into the frame's own paint manager and places it.
LRESULT CSkinFrame::OnCreate() {
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  ::SetWindowLongW(m_hWnd, GWL_STYLE, (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  m_pm.Init(m_hWnd);
  if (CPaintManagerUI* main = CPaintManagerUI::FromWindow(mainWnd_)) m_pm.SetDPI(main->GetDPI(), false);
  CDialogBuilder builder;
  CControlUI* root = builder.Create(L"skin.xml", nullptr, &m_pm);
  if (!root) return -1;
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  PlaceBelowAnchor();
  return 0;
}

// Right edge on the anchor's right edge, top on its bottom, in screen
// coordinates; the markup's size at the window's scale.
void CSkinFrame::PlaceBelowAnchor() {
  SIZE size = m_pm.GetInitSize();
  int cx = m_pm.ScaleValue(size.cx), cy = m_pm.ScaleValue(size.cy);
  POINT corner{0, 0};
  if (anchor_) {
    RECT pos = anchor_->GetPos();
    corner = POINT{pos.right, pos.bottom};
  }
  ::ClientToScreen(mainWnd_, &corner);
  ::SetWindowPos(m_hWnd, nullptr, corner.x - cx, corner.y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Focus loss, Esc and Alt+F4 close; no frame; everything else goes to the
// paint manager and then to the default handling.
LRESULT CSkinFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_CREATE:
      return OnCreate();
    case WM_KILLFOCUS:
      if (!closing_ && PressedOrUnderPointer(anchor_)) {
        g_closedByAnchorPress = true;
        g_closedByAnchorPressAt = GetMessageTime();
      }
      CloseOnce();
      return 0;
    // Esc and Alt+F4 close it like a menu. Wine's default handling ignores
    // the close command of this frameless popup, so it is taken here.
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        CloseOnce();
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        CloseOnce();
        return 0;
      }
      break;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      return 0;  // no frame
    case WM_NCACTIVATE:
      if (!::IsIconic(m_hWnd)) return wParam == 0 ? TRUE : FALSE;
      break;
    default:
      break;
  }
  LRESULT lRes = 0;
  if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

// Tabs switch between pictures and colours; the buttons broadcast.
void CSkinFrame::Notify(TNotifyUI& msg) {
  if (msg.sType != DUI_MSGTYPE_CLICK || !msg.pSender) return;
  CControlUI* sender = msg.pSender;
  const std::wstring name = sender->GetName();
  auto* tabs = m_pm.FindControlAs<CTabLayoutUI>(L"skin_tab");
  if (name == L"closebtn") {
    CloseOnce();
  } else if (name == L"skin_image") {
    if (tabs) tabs->SelectItem(0);
  } else if (name == L"skin_color") {
    if (tabs) tabs->SelectItem(1);
  } else if (name == L"skin_image_btn") {
    SkinChangedParam param;
    param.isColor = false;
    param.image = sender->GetUserData();
    GetSkinChangeObserver().Broadcast(param);
  } else if (name == L"skin_color_btn") {
    SkinChangedParam param;
    param.isColor = true;
    param.color = sender->GetBkColor();
    GetSkinChangeObserver().Broadcast(param);
  }
}

// The focus leaves as the window goes: that loss is no press on the button.
void CSkinFrame::CloseOnce() {
  if (closing_) return;
  closing_ = true;
  Close();
}

// The popup owns itself.
void CSkinFrame::OnFinalMessage(HWND) {
  if (g_open == this) g_open = nullptr;
  delete this;
}
