// Lists, their rows, and the combo box.
#include "toolkit/containers.h"

#include "render.h"
#include "toolkit/paint_manager.h"

#include <algorithm>

using toolkit::ParseBool;
using toolkit::ParseColor;
using toolkit::ParseRect;

namespace {
bool PtIn(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }
}  // namespace

// ---- rows ----------------------------------------------------------------

bool CListContainerElementUI::Select(bool select) {
  if (m_bSelected == select) return true;
  m_bSelected = select;
  Invalidate();
  return true;
}

// Press selects the row; release inside it is a click ("itemclick").
void CListContainerElementUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled()) {
        m_bHot = true;
        if (m_pOwner) m_pOwner->SelectItem(m_iIndex, true);
        else Select(true);
      }
      return;
    case UIEVENT_BUTTONUP:
      if (IsEnabled() && PtIn(m_rcItem, event.ptMouse)) Activate();
      return;
    case UIEVENT_MOUSEENTER:
      m_bHot = true;
      Invalidate();
      return;
    case UIEVENT_MOUSELEAVE:
      m_bHot = false;
      Invalidate();
      return;
    case UIEVENT_SCROLLWHEEL:
      if (m_pParent) m_pParent->DoEvent(event);
      return;
    case UIEVENT_KEYDOWN:  // a clicked row has the focus; its list moves on
      if (auto* list = dynamic_cast<CControlUI*>(m_pOwner)) list->DoEvent(event);
      return;
    default:
      CHorizontalLayoutUI::DoEvent(event);
  }
}

bool CListContainerElementUI::Activate() {
  if (!CControlUI::Activate()) return false;
  SendNotify(DUI_MSGTYPE_ITEMCLICK);
  return true;
}

void CListContainerElementUI::PaintBkColor(HDC hDC) {
  TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
  if (info && m_bSelected && info->selectedBkColor) render::DrawColor(hDC, m_rcItem, info->selectedBkColor);
  else if (info && m_bHot && info->hotBkColor) render::DrawColor(hDC, m_rcItem, info->hotBkColor);
  else CHorizontalLayoutUI::PaintBkColor(hDC);
}

void CListTextElementUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  if (toolkit::EqualsNoCase(rawName, L"text")) {
    SetText(0, value);
    m_attributes[L"text"] = value;
    return;
  }
  CListContainerElementUI::SetAttribute(rawName, value);
}

std::wstring CListTextElementUI::GetText(int column) const {
  if (column < 0 || column >= static_cast<int>(m_texts.size())) return std::wstring();
  return m_texts[static_cast<size_t>(column)];
}

void CListTextElementUI::SetText(int column, const std::wstring& text) {
  if (column < 0 || column > 255) return;
  if (column >= static_cast<int>(m_texts.size())) m_texts.resize(static_cast<size_t>(column) + 1);
  m_texts[static_cast<size_t>(column)] = text;
  Invalidate();
}

// Each column's text in the owner's column bounds.
void CListTextElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  CListContainerElementUI::DoPaint(hDC, rcPaint);
  TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
  if (!info || !m_pManager) return;
  DWORD color = m_bSelected ? info->selectedTextColor : info->textColor;
  for (size_t i = 0; i < m_texts.size() && i < info->columns.size(); ++i) {
    RECT rc{info->columns[i].left + Scale(info->textPadding.left), m_rcItem.top + Scale(info->textPadding.top),
            info->columns[i].right - Scale(info->textPadding.right), m_rcItem.bottom - Scale(info->textPadding.bottom)};
    if (i == 0) {
      if (auto* ext = dynamic_cast<CListTextExtElementUI*>(this); ext && ext->HasCheckBox())
        rc.left = ext->GetCheckBoxRect().right + Scale(4);
    }
    render::DrawText(hDC, m_pManager, rc, m_texts[i], color, info->font, info->textStyle);
  }
  if (info->lineColor)
    render::DrawColor(hDC, RECT{m_rcItem.left, m_rcItem.bottom - 1, m_rcItem.right, m_rcItem.bottom}, info->lineColor);
}

void CListTextExtElementUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"checkbox") SetCheckBox(ParseBool(value));
  else if (name == L"checked") SetCheck(ParseBool(value), false);
  else {
    CListTextElementUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

RECT CListTextExtElementUI::GetCheckBoxRect() const {
  TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
  LONG left = (info && !info->columns.empty() ? info->columns[0].left : m_rcItem.left) + Scale(4);
  LONG size = Scale(m_iCheckBoxSize);
  LONG top = (m_rcItem.top + m_rcItem.bottom - size) / 2;
  return RECT{left, top, left + size, top + size};
}

void CListTextExtElementUI::SetCheck(bool check, bool notify) {
  if (m_bChecked == check) return;
  m_bChecked = check;
  Invalidate();
  if (notify) SendNotify(DUI_MSGTYPE_LISTITEMCHECKED, check ? 1 : 0);
}

// A release on the box toggles it ("listitemchecked") before the row's
// "itemclick".
void CListTextExtElementUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_BUTTONUP && IsEnabled() && PtIn(m_rcItem, event.ptMouse)) {
    if (m_bCheckBox && PtIn(GetCheckBoxRect(), event.ptMouse)) SetCheck(!m_bChecked, true);
    Activate();
    return;
  }
  CListTextElementUI::DoEvent(event);
}

void CListTextExtElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  CListTextElementUI::DoPaint(hDC, rcPaint);
  if (!m_bCheckBox) return;
  RECT box = GetCheckBoxRect();
  render::DrawColor(hDC, box, 0xFFFFFFFF);
  render::DrawBorder(hDC, box, 1, 0xFF606060, SIZE{0, 0});
  if (m_bChecked) {
    LONG inset = Scale(4);
    render::DrawColor(hDC, RECT{box.left + inset, box.top + inset, box.right - inset, box.bottom - inset}, 0xFF2A7AE2);
  }
}

// ---- CListUI -------------------------------------------------------------

CListUI::CListUI() { m_bVScroll = true; }

void CListUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  DWORD color = 0;
  if (name == L"itemfont") m_info.font = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
  else if (name == L"itemtextcolor" && ParseColor(value, color)) m_info.textColor = color;
  else if (name == L"itemselectedtextcolor" && ParseColor(value, color)) m_info.selectedTextColor = color;
  else if (name == L"itemselectedbkcolor" && ParseColor(value, color)) m_info.selectedBkColor = color;
  else if (name == L"itemhotbkcolor" && ParseColor(value, color)) m_info.hotBkColor = color;
  else if (name == L"itemlinecolor" && ParseColor(value, color)) m_info.lineColor = color;
  else if (name == L"itemtextpadding") m_info.textPadding = ParseRect(value);
  else {
    CVerticalLayoutUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

CControlUI* CListUI::GetItemAt(int index) const { return CContainerUI::GetItemAt(index + (m_pHeader ? 1 : 0)); }

int CListUI::GetItemIndex(CControlUI* control) const {
  int i = CContainerUI::GetItemIndex(control);
  if (i < 0 || control == m_pHeader) return -1;
  return i - (m_pHeader ? 1 : 0);
}

int CListUI::GetCount() const { return CContainerUI::GetCount() - (m_pHeader ? 1 : 0); }

bool CListUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

// A ListHeader becomes the header (the first child); anything else a row.
bool CListUI::AddAt(CControlUI* control, int index) {
  if (!control) return false;
  if (auto* header = dynamic_cast<CListHeaderUI*>(control)) {
    if (m_pHeader) return false;
    if (!CContainerUI::AddAt(control, 0)) return false;
    m_pHeader = header;
    return true;
  }
  if (index < 0 || index > GetCount()) return false;
  if (!CContainerUI::AddAt(control, index + (m_pHeader ? 1 : 0))) return false;
  if (m_iCurSel >= index) ++m_iCurSel;
  Reindex();
  return true;
}

bool CListUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  return index >= 0 && RemoveAt(index);
}

bool CListUI::RemoveAt(int index) {
  if (!CContainerUI::RemoveAt(index + (m_pHeader ? 1 : 0))) return false;
  if (index == m_iCurSel) m_iCurSel = -1;
  else if (index < m_iCurSel) --m_iCurSel;
  Reindex();
  return true;
}

// Removes every row; the header stays.
void CListUI::RemoveAll() {
  while (GetCount() > 0) CContainerUI::RemoveAt(CContainerUI::GetCount() - 1);
  m_iCurSel = -1;
  m_iScrollPos = 0;
  NeedUpdate();
}

void CListUI::Reindex() {
  for (int i = 0; i < GetCount(); ++i) {
    if (auto* item = dynamic_cast<IListItemUI*>(GetItemAt(i))) {
      item->SetIndex(i);
      item->SetOwner(this);
    }
  }
}

bool CListUI::SelectItem(int index, bool takeFocus) {
  if (index < -1 || index >= GetCount()) return false;
  if (index == m_iCurSel) return true;
  int old = m_iCurSel;
  if (auto* prev = dynamic_cast<IListItemUI*>(GetItemAt(old))) prev->Select(false);
  m_iCurSel = index;
  if (auto* item = dynamic_cast<IListItemUI*>(GetItemAt(index))) {
    item->Select(true);
    EnsureVisible(GetItemAt(index));
    if (takeFocus) GetItemAt(index)->SetFocus();
  }
  SendNotify(DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(index), old);
  return true;
}

// Header at the top with its fixed height; rows below it, scrolled; the
// columns follow the header items.
void CListUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  RECT inner = InnerRect();
  RECT body = inner;
  m_info.columns.clear();
  if (m_pHeader && m_pHeader->IsVisibleSelf()) {
    LONG h = Scale(m_pHeader->GetFixedHeight() > 0 ? m_pHeader->GetFixedHeight() : 24);
    m_pHeader->SetPos(RECT{inner.left, inner.top, inner.right, inner.top + h}, false);
    body.top = std::min(inner.bottom, inner.top + h);
    for (int i = 0; i < m_pHeader->GetCount(); ++i) {
      RECT hr = m_pHeader->GetItemAt(i)->GetPos();
      m_info.columns.push_back(RECT{hr.left, 0, hr.right, 0});
    }
  }
  if (m_info.columns.empty()) m_info.columns.push_back(RECT{inner.left, 0, inner.right, 0});
  std::vector<CControlUI*> rows(m_items.begin() + (m_pHeader ? 1 : 0), m_items.end());
  int content = LayoutItems(rows, body, m_iScrollPos, true);
  m_iScrollRange = std::max(0, content - static_cast<int>(body.bottom - body.top));
  if (m_iScrollPos > m_iScrollRange) {
    m_iScrollPos = m_iScrollRange;
    LayoutItems(rows, body, m_iScrollPos, true);
  }
}

// Arrows, Home and End move the selection; Space ticks the selected row's
// check box.
void CListUI::DoEvent(TEventUI& event) {
  if (event.Type != UIEVENT_KEYDOWN) {
    CVerticalLayoutUI::DoEvent(event);
    return;
  }
  const int first = m_pHeader ? 1 : 0, last = GetCount() - 1;
  if (last < first) return;
  int target = -1;
  switch (event.wParam) {
    case VK_UP: target = m_iCurSel < first ? first : std::max(first, m_iCurSel - 1); break;
    case VK_DOWN: target = m_iCurSel < first ? first : std::min(last, m_iCurSel + 1); break;
    case VK_HOME: target = first; break;
    case VK_END: target = last; break;
    case VK_SPACE:
      if (auto* row = dynamic_cast<CListTextExtElementUI*>(GetItemAt(m_iCurSel)))
        if (row->HasCheckBox() && row->IsEnabled()) row->SetCheck(!row->IsChecked(), true);
      return;
    default: return;
  }
  if (target != m_iCurSel) SelectItem(target, false);
}

// ---- CComboUI ------------------------------------------------------------

void CComboUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  DWORD color = 0;
  if (name == L"font" || name == L"itemfont") m_iFont = m_info.font = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
  else if (name == L"textcolor" && ParseColor(value, color)) m_dwTextColor = color;
  else if (name == L"textpadding") m_rcTextPadding = ParseRect(value);
  else if (name == L"selectedid") SelectItem(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else {
    CContainerUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

bool CComboUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CComboUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  control->SetInternVisible(false);  // items show only through the box's text
  if (m_iCurSel >= index) ++m_iCurSel;
  Reindex();
  return true;
}

bool CComboUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  return index >= 0 && RemoveAt(index);
}

bool CComboUI::RemoveAt(int index) {
  if (!CContainerUI::RemoveAt(index)) return false;
  if (index == m_iCurSel) m_iCurSel = -1;
  else if (index < m_iCurSel) --m_iCurSel;
  Reindex();
  return true;
}

void CComboUI::RemoveAll() {
  CContainerUI::RemoveAll();
  m_iCurSel = -1;
}

void CComboUI::Reindex() {
  for (int i = 0; i < GetCount(); ++i) {
    if (auto* item = dynamic_cast<IListItemUI*>(GetItemAt(i))) {
      item->SetIndex(i);
      item->SetOwner(this);
    }
  }
}

bool CComboUI::SelectItem(int index, bool) {
  if (index < -1 || index >= GetCount()) return false;
  if (index == m_iCurSel) return true;
  int old = m_iCurSel;
  if (auto* prev = dynamic_cast<IListItemUI*>(GetItemAt(old))) prev->Select(false);
  m_iCurSel = index;
  if (auto* item = dynamic_cast<IListItemUI*>(GetItemAt(index))) item->Select(true);
  Invalidate();
  SendNotify(DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(index), old);
  return true;
}

std::wstring CComboUI::GetText() const {
  CControlUI* item = GetItemAt(m_iCurSel);
  return item ? item->GetText() : std::wstring();
}

// The items are not laid out: only the box is shown.
void CComboUI::SetPos(RECT rc, bool needInvalidate) { CControlUI::SetPos(rc, needInvalidate); }

void CComboUI::DoEvent(TEventUI& event) {
  if (!IsEnabled() || GetCount() == 0) {
    CContainerUI::DoEvent(event);
    return;
  }
  if (event.Type == UIEVENT_BUTTONUP && PtIn(m_rcItem, event.ptMouse)) {
    SelectItem((m_iCurSel + 1) % GetCount());
    return;
  }
  if (event.Type == UIEVENT_SCROLLWHEEL) {
    int next = m_iCurSel + (static_cast<LPARAM>(event.wParam) > 0 ? -1 : 1);
    if (next >= 0 && next < GetCount()) SelectItem(next);
    return;
  }
  if (event.Type == UIEVENT_BUTTONDOWN) return;
  CContainerUI::DoEvent(event);
}

void CComboUI::DoPaint(HDC hDC, const RECT& rcPaint) { CControlUI::DoPaint(hDC, rcPaint); }

void CComboUI::PaintText(HDC hDC) {
  if (!m_pManager) return;
  RECT rc{m_rcItem.left + Scale(m_rcTextPadding.left), m_rcItem.top + Scale(m_rcTextPadding.top),
          m_rcItem.right - Scale(m_rcTextPadding.right), m_rcItem.bottom - Scale(m_rcTextPadding.bottom)};
  render::DrawText(hDC, m_pManager, rc, GetText(), m_dwTextColor, m_iFont,
                   DT_VCENTER_UI | DT_SINGLELINE_UI | DT_END_ELLIPSIS_UI);
}
