// CControlUI: state, attributes, events and the paint stages shared by
// every control.
#include "toolkit/control.h"

#include "render.h"
#include "toolkit/paint_manager.h"
#include "toolkit/resource.h"

#include <cwctype>

using toolkit::EqualsNoCase;
using toolkit::ParseBool;
using toolkit::ParseColor;
using toolkit::ParseRect;
using toolkit::ParseSize;

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (m_pManager) m_pManager->ReleaseControl(this);
}

void CControlUI::SetName(const std::wstring& name) {
  if (name == m_sName) return;
  std::wstring old = m_sName;
  m_sName = name;
  if (m_pManager) m_pManager->RenameControl(this, old);
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  m_pManager = manager;
  m_pParent = parent;
  if (init && manager) {
    manager->InitControl(this, parent);
    Init();
  }
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if ((flags & UIFIND_HITTEST) && !IsMouseEnabled()) return nullptr;
  return proc(this, data);
}

std::wstring CControlUI::GetText() const {
  if (!m_bResourceText) return m_sText;
  return CResourceManager::GetInstance().GetText(m_sText.c_str(), GetClass());
}

void CControlUI::SetText(const std::wstring& text) {
  if (m_sText == text) return;
  m_sText = text;
  Invalidate();
}

std::wstring CControlUI::GetToolTip() const {
  if (!m_bResourceText || m_sToolTip.empty()) return m_sToolTip;
  return CResourceManager::GetInstance().GetText(m_sToolTip.c_str(), GetClass());
}

void CControlUI::SetToolTip(const std::wstring& tip) { m_sToolTip = tip; }

void CControlUI::SetResourceText(bool resourceText) {
  m_bResourceText = resourceText;
  Invalidate();
}

bool CControlUI::IsVisible() const { return m_bVisible && m_bInternVisible; }

void CControlUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  bool was = IsVisible();
  m_bVisible = visible;
  if (!visible && m_bFocused && m_pManager) m_pManager->SetFocus(nullptr);
  if (was != IsVisible()) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
  m_bInternVisible = visible;
  if (!visible && m_bFocused && m_pManager) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enable) {
  if (m_bEnabled == enable) return;
  m_bEnabled = enable;
  Invalidate();
}

void CControlUI::SetMouseEnabled(bool enable) { m_bMouseEnabled = enable; }

void CControlUI::SetFocus() {
  if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::SetFloat(bool isFloat) {
  if (m_bFloat == isFloat) return;
  m_bFloat = isFloat;
  NeedParentUpdate();
}

void CControlUI::SetBkColor(DWORD argb) {
  m_dwBackColor = argb;
  Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& image) {
  m_sBkImage = image;
  Invalidate();
}

void CControlUI::SetForeColor(DWORD argb) {
  m_dwForeColor = argb;
  Invalidate();
}

void CControlUI::SetForeImage(const std::wstring& image) {
  m_sForeImage = image;
  Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
  m_dwBorderColor = argb;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) {
  m_nBorderSize = size;
  Invalidate();
}

void CControlUI::SetBorderRound(SIZE round) {
  m_cxyBorderRound = round;
  Invalidate();
}

void CControlUI::SetPos(RECT rc, bool needInvalidate) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  if (needInvalidate) Invalidate();
  m_rcItem = rc;
  m_bUpdateNeeded = false;
  if (needInvalidate) Invalidate();
}

void CControlUI::SetPadding(RECT padding) {
  m_rcPadding = padding;
  NeedParentUpdate();
}

void CControlUI::SetFixedXY(SIZE xy) {
  m_cXY = xy;
  m_rcFloat.left = xy.cx;
  m_rcFloat.top = xy.cy;
  NeedParentUpdate();
}

void CControlUI::SetFloatPos(RECT pos) {
  m_rcFloat = pos;
  m_cXY = SIZE{pos.left, pos.top};
  if (pos.right > pos.left) m_cxyFixed.cx = pos.right - pos.left;
  if (pos.bottom > pos.top) m_cxyFixed.cy = pos.bottom - pos.top;
  NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  m_cxyFixed.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  m_cxyFixed.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx) {
  if (cx < 0) return;
  m_cxyMin.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int cx) {
  if (cx < 0) return;
  m_cxyMax.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetMinHeight(int cy) {
  if (cy < 0) return;
  m_cxyMin.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int cy) {
  if (cy < 0) return;
  m_cxyMax.cy = cy;
  NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) { return SIZE{Scale(m_cxyFixed.cx), Scale(m_cxyFixed.cy)}; }

// The attributes every control understands; subclasses handle theirs and
// pass the rest here.
void CControlUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  m_attributes[name] = value;
  DWORD color = 0;
  if (name == L"name") SetName(value);
  else if (name == L"text") SetText(value);
  else if (name == L"tooltip") SetToolTip(value);
  else if (name == L"userdata") SetUserData(value);
  else if (name == L"resourcetext") SetResourceText(ParseBool(value));
  else if (name == L"visible") SetVisible(ParseBool(value));
  else if (name == L"enabled") SetEnabled(ParseBool(value));
  else if (name == L"mouse") SetMouseEnabled(ParseBool(value));
  else if (name == L"tabstop") SetTabStop(ParseBool(value));
  else if (name == L"width") SetFixedWidth(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"height") SetFixedHeight(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"minwidth") SetMinWidth(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"maxwidth") SetMaxWidth(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"minheight") SetMinHeight(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"maxheight") SetMaxHeight(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"padding") SetPadding(ParseRect(value));
  else if (name == L"float") SetFloat(ParseBool(value));
  else if (name == L"pos") SetFloatPos(ParseRect(value));
  else if (name == L"bkcolor" && ParseColor(value, color)) SetBkColor(color);
  else if (name == L"forecolor" && ParseColor(value, color)) SetForeColor(color);
  else if (name == L"bordercolor" && ParseColor(value, color)) SetBorderColor(color);
  else if (name == L"bordersize") SetBorderSize(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"borderround") SetBorderRound(ParseSize(value));
  else if (name == L"bkimage") SetBkImage(value);
  else if (name == L"foreimage") SetForeImage(value);
  else if (name == L"style") ApplyStyle(value);
}

// Parses name="value" pairs (either quote) and applies them in order.
void CControlUI::ApplyAttributeList(const std::wstring& list) {
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && iswspace(list[i])) ++i;
    size_t nameStart = i;
    while (i < list.size() && list[i] != L'=' && !iswspace(list[i])) ++i;
    std::wstring name = list.substr(nameStart, i - nameStart);
    while (i < list.size() && iswspace(list[i])) ++i;
    if (name.empty() || i >= list.size() || list[i] != L'=') return;
    ++i;
    while (i < list.size() && iswspace(list[i])) ++i;
    if (i >= list.size() || (list[i] != L'"' && list[i] != L'\'')) return;
    wchar_t q = list[i++];
    size_t end = list.find(q, i);
    if (end == std::wstring::npos) return;
    SetAttribute(name, list.substr(i, end - i));
    i = end + 1;
  }
}

bool CControlUI::ApplyStyle(const std::wstring& styleName) {
  // A style may name another style; one that names itself, directly or
  // through others, would recurse until the stack runs out, so a chain
  // stops at a depth no real markup comes near.
  constexpr int kMaxStyleDepth = 16;
  static thread_local int depth = 0;
  if (depth >= kMaxStyleDepth) return false;
  std::wstring list;
  if (m_pManager) {
    if (!m_pManager->GetStyle(styleName, list)) return false;
  } else {
    CPaintManagerUI scratch;  // shared styles are visible without a window
    if (!scratch.GetStyle(styleName, list)) return false;
  }
  struct Nested {
    Nested() { ++depth; }
    ~Nested() { --depth; }
  } nested;
  ApplyAttributeList(list);
  return true;
}

std::wstring CControlUI::GetAttribute(const std::wstring& name) const {
  auto it = m_attributes.find(toolkit::ToLower(name));
  return it == m_attributes.end() ? std::wstring() : it->second;
}

void CControlUI::Invalidate() {
  if (m_pManager && IsVisible()) m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  if (m_pParent) m_pParent->NeedUpdate();
  else NeedUpdate();
}

void CControlUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_SETFOCUS:
      m_bFocused = true;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      m_bFocused = false;
      Invalidate();
      return;
    case UIEVENT_SCROLLWHEEL:
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_BUTTONUP:
    case UIEVENT_DBLCLICK:
    case UIEVENT_MOUSEMOVE:
      // Mouse input a control does not use belongs to its parent (a label
      // inside a list row clicks the row).
      if (m_pParent) m_pParent->DoEvent(event);
      return;
    default:
      return;
  }
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

int CControlUI::Scale(int unscaled) const { return m_pManager ? m_pManager->ScaleValue(unscaled) : unscaled; }

void CControlUI::SendNotify(const wchar_t* type, WPARAM wParam, LPARAM lParam) {
  if (m_pManager) m_pManager->SendNotify(this, type, wParam, lParam);
}

static bool Intersects(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  if (!Intersects(rcPaint, m_rcItem)) return;
  PaintBkColor(hDC);
  PaintBkImage(hDC);
  PaintStatusImage(hDC);
  PaintForeColor(hDC);
  PaintForeImage(hDC);
  PaintText(hDC);
  PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
  if (m_dwBackColor != 0) render::DrawColor(hDC, m_rcItem, m_dwBackColor);
}

void CControlUI::PaintBkImage(HDC hDC) {
  if (!m_sBkImage.empty()) DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC) {}

void CControlUI::PaintForeColor(HDC hDC) {
  if (m_dwForeColor != 0) render::DrawColor(hDC, m_rcItem, m_dwForeColor);
}

void CControlUI::PaintForeImage(HDC hDC) {
  if (!m_sForeImage.empty()) DrawImage(hDC, m_sForeImage);
}

void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC) {
  if (m_nBorderSize > 0 && m_dwBorderColor != 0)
    render::DrawBorder(hDC, m_rcItem, Scale(m_nBorderSize), m_dwBorderColor,
                       SIZE{Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy)});
}

// Resolves the description, loads the image for the current scale and
// draws it into the control (or into "dest" inside it).
bool CControlUI::DrawImage(HDC hDC, const std::wstring& image, const RECT* dest) {
  if (!m_pManager) return false;
  TDrawImage d;
  if (!ParseImageDescription(image, d)) return false;
  const TImageInfo* info = m_pManager->GetImage(d.file);
  if (!info) return false;
  RECT rc = dest ? *dest : m_rcItem;
  if (d.hasDest) {
    RECT s = m_pManager->ScaleRect(d.dest);
    rc = RECT{m_rcItem.left + s.left, m_rcItem.top + s.top, m_rcItem.left + s.right, m_rcItem.top + s.bottom};
  }
  // Source and corner are in the base image's pixels; a variant for a
  // larger scale is larger by that factor.
  auto byScale = [info](RECT r) {
    return RECT{r.left * info->scale / 100, r.top * info->scale / 100, r.right * info->scale / 100,
                r.bottom * info->scale / 100};
  };
  RECT src = d.hasSource ? byScale(d.source) : RECT{0, 0, info->width, info->height};
  RECT corner = byScale(d.corner);
  render::DrawImage(hDC, *info, rc, src, corner, d.fade);
  return true;
}

// "file='a.png' source='0,0,1,1'" or a bare name.
bool ParseImageDescription(const std::wstring& text, TDrawImage& out) {
  out = TDrawImage();
  if (text.find(L'=') == std::wstring::npos) {
    out.file = text;
    return !text.empty();
  }
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && iswspace(text[i])) ++i;
    size_t ns = i;
    while (i < text.size() && text[i] != L'=' && !iswspace(text[i])) ++i;
    std::wstring key = toolkit::ToLower(text.substr(ns, i - ns));
    while (i < text.size() && iswspace(text[i])) ++i;
    if (i >= text.size() || text[i] != L'=') break;
    ++i;
    while (i < text.size() && iswspace(text[i])) ++i;
    if (i >= text.size() || (text[i] != L'\'' && text[i] != L'"')) break;
    wchar_t q = text[i++];
    size_t end = text.find(q, i);
    if (end == std::wstring::npos) break;
    std::wstring value = text.substr(i, end - i);
    i = end + 1;
    if (key == L"file" || key == L"res") out.file = value;
    else if (key == L"source") { out.source = ParseRect(value); out.hasSource = true; }
    else if (key == L"dest") { out.dest = ParseRect(value); out.hasDest = true; }
    else if (key == L"corner") out.corner = ParseRect(value);
    else if (key == L"fade") out.fade = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
  }
  if (out.fade < 0) out.fade = 0;
  if (out.fade > 255) out.fade = 255;
  return !out.file.empty();
}
