// Containers and the vertical, horizontal and tab layouts.
#include "toolkit/containers.h"

#include "render.h"
#include "toolkit/paint_manager.h"

#include <algorithm>

using toolkit::ParseBool;
using toolkit::ParseRect;

namespace {
bool PtIn(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }
bool Intersects(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
const int kWheelStep = 30;
const int kStripWidth = 8;  // where the mouse takes the scroll indicator
}  // namespace

CContainerUI::~CContainerUI() {
  for (CControlUI* c : m_items) delete c;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= static_cast<int>(m_items.size())) return nullptr;
  return m_items[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  auto it = std::find(m_items.begin(), m_items.end(), control);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, static_cast<int>(m_items.size())); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control || index < 0 || index > static_cast<int>(m_items.size())) return false;
  m_items.insert(m_items.begin() + index, control);
  control->SetManager(m_pManager, this, m_pManager != nullptr);
  if (!IsVisible()) control->SetInternVisible(false);
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  return index >= 0 && RemoveAt(index);
}

bool CContainerUI::RemoveAt(int index) {
  if (index < 0 || index >= static_cast<int>(m_items.size())) return false;
  CControlUI* c = m_items[static_cast<size_t>(index)];
  m_items.erase(m_items.begin() + index);
  ReleaseItem(c);
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items;
  items.swap(m_items);
  for (CControlUI* c : items) ReleaseItem(c);
  m_iScrollPos = 0;
  NeedUpdate();
}

// The manager deletes it, after the current event if one is running.
void CContainerUI::ReleaseItem(CControlUI* control) {
  if (m_pManager) m_pManager->ReapControl(control);
  else delete control;
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CControlUI::SetManager(manager, parent, init);
  for (CControlUI* c : m_items) c->SetManager(manager, this, init);
}

// Visits children (topmost first for hit tests) and then this container,
// or this container first with UIFIND_ME_FIRST.
CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if (flags & UIFIND_HITTEST) {
    const POINT& pt = *static_cast<POINT*>(data);
    if (!PtIn(m_rcItem, pt)) return nullptr;
    if (!m_bMouseChildEnabled) return IsMouseEnabled() ? proc(this, data) : nullptr;
    // The scroll strip belongs to the container, not to the child under it.
    if (PtIn(ScrollStrip(), pt)) return proc(this, data);
  }
  if (flags & UIFIND_ME_FIRST) {
    if (CControlUI* c = CControlUI::FindControl(proc, data, flags)) return c;
  }
  if (flags & UIFIND_TOP_FIRST) {
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
      if (CControlUI* c = (*it)->FindControl(proc, data, flags)) return c;
  } else {
    for (CControlUI* child : m_items)
      if (CControlUI* c = child->FindControl(proc, data, flags)) return c;
  }
  if (!(flags & UIFIND_ME_FIRST)) return CControlUI::FindControl(proc, data, flags);
  return nullptr;
}

void CContainerUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  for (CControlUI* c : m_items) c->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  for (CControlUI* c : m_items) c->SetInternVisible(IsVisible());
}

void CContainerUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"inset") SetInset(ParseRect(value));
  else if (name == L"childpadding") SetChildPadding(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"mousechild") SetMouseChildEnabled(ParseBool(value));
  else if (name == L"vscrollbar") EnableVScroll(ParseBool(value));
  else {
    CControlUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

void CContainerUI::SetInset(RECT inset) {
  m_rcInset = inset;
  NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
  m_iChildPadding = padding;
  NeedUpdate();
}

void CContainerUI::EnableVScroll(bool enable) {
  m_bVScroll = enable;
  if (!enable) m_iScrollPos = 0;
  NeedUpdate();
}

void CContainerUI::SetScrollPos(int pos) {
  pos = std::max(0, std::min(pos, m_iScrollRange));
  if (pos == m_iScrollPos) return;
  m_iScrollPos = pos;
  SetPos(m_rcItem, true);
}

void CContainerUI::EnsureVisible(CControlUI* child) {
  if (!m_bVScroll || !child) return;
  RECT inner = InnerRect();
  RECT rc = child->GetPos();
  if (rc.top < inner.top) SetScrollPos(m_iScrollPos - (inner.top - rc.top));
  else if (rc.bottom > inner.bottom) SetScrollPos(m_iScrollPos + (rc.bottom - inner.bottom));
}

RECT CContainerUI::InnerRect() const {
  int border = Scale(m_nBorderSize);
  RECT rc = m_rcItem;
  rc.left += Scale(m_rcInset.left) + border;
  rc.top += Scale(m_rcInset.top) + border;
  rc.right -= Scale(m_rcInset.right) + border;
  rc.bottom -= Scale(m_rcInset.bottom) + border;
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  return rc;
}

// A float child sits at its "pos" inside the inner rectangle; without a
// fixed size it reaches the inner rectangle's far edge.
void CContainerUI::PlaceFloat(CControlUI* child, const RECT& inner) {
  RECT f = child->GetFloatPos();
  RECT rc;
  rc.left = inner.left + Scale(f.left);
  rc.top = inner.top + Scale(f.top);
  rc.right = child->GetFixedWidth() > 0 ? rc.left + Scale(child->GetFixedWidth()) : inner.right;
  rc.bottom = child->GetFixedHeight() > 0 ? rc.top + Scale(child->GetFixedHeight()) : inner.bottom;
  child->SetPos(rc, false);
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  RECT inner = InnerRect();
  for (CControlUI* c : m_items) {
    if (!c->IsVisibleSelf()) continue;
    if (c->IsFloat()) {
      PlaceFloat(c, inner);
      continue;
    }
    RECT p = c->GetPadding();
    RECT crc{inner.left + Scale(p.left), inner.top + Scale(p.top), inner.right - Scale(p.right),
             inner.bottom - Scale(p.bottom)};
    c->SetPos(crc, false);
  }
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  if (!Intersects(rcPaint, m_rcItem)) return;
  PaintBkColor(hDC);
  PaintBkImage(hDC);
  PaintStatusImage(hDC);
  PaintForeColor(hDC);
  PaintForeImage(hDC);
  PaintText(hDC);
  RECT inner = InnerRect();
  render::PushClip(hDC, inner);
  for (CControlUI* c : m_items) {
    if (!c->IsVisible()) continue;
    RECT crc = c->GetPos();
    if (Intersects(crc, inner) || c->IsFloat()) c->DoPaint(hDC, rcPaint);
  }
  if (m_bVScroll && m_iScrollRange > 0) {
    // A thin indicator of the scrolled position along the right edge,
    // darker while it is dragged.
    RECT thumb = ScrollThumb();
    thumb.left = thumb.right - Scale(4);
    render::DrawColor(hDC, thumb, m_bThumbDrag ? 0xC0606060 : 0x80808080);
  }
  render::PopClip(hDC);
  PaintBorder(hDC);
}

RECT CContainerUI::ScrollStrip() const {
  if (!m_bVScroll || m_iScrollRange <= 0) return RECT{0, 0, 0, 0};
  RECT inner = InnerRect();
  return RECT{inner.right - Scale(kStripWidth), inner.top, inner.right, inner.bottom};
}

RECT CContainerUI::ScrollThumb() const {
  RECT strip = ScrollStrip();
  if (strip.right <= strip.left) return strip;
  LONG h = strip.bottom - strip.top;
  LONG total = h + m_iScrollRange;
  LONG barH = std::min<LONG>(h, std::max<LONG>(Scale(20), h * h / std::max<LONG>(1, total)));
  LONG top = strip.top + (h - barH) * m_iScrollPos / std::max(1, m_iScrollRange);
  return RECT{strip.left, top, strip.right, top + barH};
}

void CContainerUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SCROLLWHEEL && m_bVScroll && m_iScrollRange > 0) {
    int step = Scale(kWheelStep);
    SetScrollPos(m_iScrollPos + (static_cast<LPARAM>(event.wParam) > 0 ? -step : step));
    return;
  }
  // The strip: the thumb follows the mouse; a press above or below it
  // moves a page.
  if (event.Type == UIEVENT_BUTTONDOWN && PtIn(ScrollStrip(), event.ptMouse)) {
    RECT thumb = ScrollThumb();
    RECT inner = InnerRect();
    if (event.ptMouse.y < thumb.top) {
      SetScrollPos(m_iScrollPos - (inner.bottom - inner.top));
    } else if (event.ptMouse.y >= thumb.bottom) {
      SetScrollPos(m_iScrollPos + (inner.bottom - inner.top));
    } else {
      m_bThumbDrag = true;
      m_iDragY = event.ptMouse.y;
      m_iDragPos = m_iScrollPos;
      Invalidate();
    }
    return;
  }
  if (m_bThumbDrag && event.Type == UIEVENT_MOUSEMOVE) {
    RECT strip = ScrollStrip(), thumb = ScrollThumb();
    LONG travel = (strip.bottom - strip.top) - (thumb.bottom - thumb.top);
    if (travel > 0) {
      SetScrollPos(m_iDragPos + static_cast<int>(static_cast<long long>(event.ptMouse.y - m_iDragY) *
                                                 m_iScrollRange / travel));
    }
    return;
  }
  if (m_bThumbDrag && event.Type == UIEVENT_BUTTONUP) {
    m_bThumbDrag = false;
    Invalidate();
    return;
  }
  CControlUI::DoEvent(event);
}

// ---- linear layouts ------------------------------------------------------

namespace {

// Lays children out along one axis: fixed sizes first, the rest share the
// free space, each within its minimum and maximum. vertical picks the axis.
int LayoutLine(CContainerUI* box, const std::vector<CControlUI*>& items, const RECT& inner, int childPadding,
               int scrollPos, bool vertical, CPaintManagerUI* pm) {
  auto S = [pm](int v) { return pm ? pm->ScaleValue(v) : v; };
  LONG mainAvail = vertical ? inner.bottom - inner.top : inner.right - inner.left;
  LONG crossAvail = vertical ? inner.right - inner.left : inner.bottom - inner.top;
  struct Slot {
    CControlUI* c;
    LONG main;
  };
  std::vector<Slot> slots;
  LONG fixedTotal = 0;
  for (CControlUI* c : items) {
    if (!c->IsVisibleSelf() || c->IsFloat()) continue;
    SIZE est = c->EstimateSize(vertical ? SIZE{crossAvail, mainAvail} : SIZE{mainAvail, crossAvail});
    RECT p = c->GetPadding();
    LONG padMain = vertical ? S(p.top) + S(p.bottom) : S(p.left) + S(p.right);
    LONG m = vertical ? est.cy : est.cx;
    if (m > 0) {
      LONG mn = vertical ? S(c->GetMinHeight()) : S(c->GetMinWidth());
      LONG mx = vertical ? S(c->GetMaxHeight()) : S(c->GetMaxWidth());
      m = std::max(mn, std::min(m, mx));
      fixedTotal += m;
    }
    fixedTotal += padMain;
    slots.push_back({c, m});
  }
  if (!slots.empty()) fixedTotal += S(childPadding) * static_cast<LONG>(slots.size() - 1);
  // Children whose limits cut their share are settled first and leave
  // the rest of the space to the others; the remaining pixels go one by
  // one to the last children, so nothing is lost to rounding.
  LONG free = std::max<LONG>(0, mainAvail - fixedTotal);
  LONG total = fixedTotal;
  std::vector<Slot*> open;
  for (Slot& s : slots)
    if (s.main <= 0) open.push_back(&s);
  for (bool settled = true; settled && !open.empty();) {
    settled = false;
    LONG share = free / static_cast<LONG>(open.size());
    for (auto it = open.begin(); it != open.end();) {
      CControlUI* c = (*it)->c;
      LONG mn = vertical ? S(c->GetMinHeight()) : S(c->GetMinWidth());
      LONG mx = vertical ? S(c->GetMaxHeight()) : S(c->GetMaxWidth());
      LONG v = std::max(mn, std::min(share, mx));
      if (v == share) {
        ++it;
        continue;
      }
      (*it)->main = v;
      free -= v;
      total += v;
      it = open.erase(it);
      settled = true;
    }
  }
  free = std::max<LONG>(0, free);
  for (size_t i = 0; i < open.size(); ++i) {
    LONG share = free / static_cast<LONG>(open.size() - i);
    open[i]->main = share;
    free -= share;
    total += share;
  }
  LONG pos = (vertical ? inner.top : inner.left) - scrollPos;
  for (Slot& s : slots) {
    RECT p = s.c->GetPadding();
    SIZE est = s.c->EstimateSize(vertical ? SIZE{crossAvail, mainAvail} : SIZE{mainAvail, crossAvail});
    LONG crossPadA = vertical ? S(p.left) : S(p.top);
    LONG crossPadB = vertical ? S(p.right) : S(p.bottom);
    LONG cross = vertical ? est.cx : est.cy;
    if (cross <= 0) cross = crossAvail - crossPadA - crossPadB;
    LONG mn = vertical ? S(s.c->GetMinWidth()) : S(s.c->GetMinHeight());
    LONG mx = vertical ? S(s.c->GetMaxWidth()) : S(s.c->GetMaxHeight());
    cross = std::max(mn, std::min(cross, mx));
    RECT rc;
    if (vertical) {
      pos += S(p.top);
      rc = RECT{inner.left + crossPadA, pos, inner.left + crossPadA + cross, pos + s.main};
      pos += s.main + S(p.bottom) + S(childPadding);
    } else {
      pos += S(p.left);
      rc = RECT{pos, inner.top + crossPadA, pos + s.main, inner.top + crossPadA + cross};
      pos += s.main + S(p.right) + S(childPadding);
    }
    s.c->SetPos(rc, false);
  }
  (void)box;
  return static_cast<int>(total);
}

}  // namespace

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  RECT inner = InnerRect();
  int content = LayoutLine(this, m_items, inner, m_iChildPadding, m_bVScroll ? m_iScrollPos : 0, true, m_pManager);
  int range = m_bVScroll ? std::max(0, content - static_cast<int>(inner.bottom - inner.top)) : 0;
  if (range != m_iScrollRange) {
    m_iScrollRange = range;
    if (m_iScrollPos > range) {
      m_iScrollPos = range;
      LayoutLine(this, m_items, inner, m_iChildPadding, m_iScrollPos, true, m_pManager);
    }
  }
  for (CControlUI* c : m_items)
    if (c->IsVisibleSelf() && c->IsFloat()) PlaceFloat(c, inner);
}

int CContainerUI::LayoutItems(const std::vector<CControlUI*>& items, const RECT& inner, int scrollPos, bool vertical) {
  return LayoutLine(this, items, inner, m_iChildPadding, scrollPos, vertical, m_pManager);
}

SIZE CVerticalLayoutUI::EstimateSize(SIZE available) { return CContainerUI::EstimateSize(available); }

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  RECT inner = InnerRect();
  LayoutLine(this, m_items, inner, m_iChildPadding, 0, false, m_pManager);
  for (CControlUI* c : m_items)
    if (c->IsVisibleSelf() && c->IsFloat()) PlaceFloat(c, inner);
}

SIZE CHorizontalLayoutUI::EstimateSize(SIZE available) { return CContainerUI::EstimateSize(available); }

// ---- CTabLayoutUI --------------------------------------------------------

void CTabLayoutUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"selectedid") {
    m_iInitialSel = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
    if (m_iInitialSel < GetCount()) ShowOnly(m_iInitialSel);
    m_attributes[name] = value;
    return;
  }
  CContainerUI::SetAttribute(rawName, value);
}

bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  if (m_iCurSel >= index) ++m_iCurSel;  // pages after the insertion shift
  int show = m_iCurSel >= 0 ? m_iCurSel : (m_iInitialSel < GetCount() ? m_iInitialSel : -1);
  ShowOnly(show);
  return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  if (index < 0) return false;
  bool wasCurrent = index == m_iCurSel;
  CContainerUI::RemoveAt(index);
  if (index < m_iCurSel) --m_iCurSel;
  if (wasCurrent) {
    m_iCurSel = -1;
    if (GetCount() > 0) ShowOnly(std::min(index, GetCount() - 1));
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  CContainerUI::RemoveAll();
  m_iCurSel = -1;
}

void CTabLayoutUI::ShowOnly(int index) {
  for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == index);
  m_iCurSel = index;
  NeedUpdate();
}

bool CTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == m_iCurSel) return true;
  int old = m_iCurSel;
  ShowOnly(index);
  if (m_pManager) {
    m_pManager->SetFocus(nullptr);
    SendNotify(DUI_MSGTYPE_TABSELECT, static_cast<WPARAM>(index), old);
  }
  return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* page) { return SelectItem(GetItemIndex(page)); }

void CTabLayoutUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  RECT inner = InnerRect();
  for (CControlUI* c : m_items) {
    if (!c->IsVisibleSelf()) continue;
    if (c->IsFloat()) {
      PlaceFloat(c, inner);
      continue;
    }
    RECT p = c->GetPadding();
    c->SetPos(RECT{inner.left + Scale(p.left), inner.top + Scale(p.top), inner.right - Scale(p.right),
                   inner.bottom - Scale(p.bottom)},
              false);
  }
}
