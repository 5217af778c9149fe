// Containers, layouts, tab layouts, lists and the combo box.
#pragma once

#include "toolkit/controls.h"

#include <string>
#include <vector>

class IContainerUI {
 public:
  virtual ~IContainerUI() = default;
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  virtual bool Remove(CControlUI* control) = 0;  // deletes the control
  virtual bool RemoveAt(int index) = 0;
  virtual void RemoveAll() = 0;
};

// Children stacked in the whole inset rectangle (each child gets it
// all); the base of the layouts. Owns its children. Removed children are
// deleted once the current input event has been handled, so a handler
// may clear the container of the control that notified it.
class CContainerUI : public CControlUI, public IContainerUI {
 public:
  ~CContainerUI() override;
  const wchar_t* GetClass() const override { return L"ContainerUI"; }

  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  int GetCount() const override { return static_cast<int>(m_items.size()); }
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void DoEvent(TEventUI& event) override;

  RECT GetInset() const { return m_rcInset; }
  void SetInset(RECT inset);
  int GetChildPadding() const { return m_iChildPadding; }
  void SetChildPadding(int padding);
  bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
  void SetMouseChildEnabled(bool enable = true) { m_bMouseChildEnabled = enable; }
  // Vertical scrolling of content taller than the control (mouse wheel).
  bool IsVScrollEnabled() const { return m_bVScroll; }
  void EnableVScroll(bool enable = true);
  int GetScrollPos() const { return m_iScrollPos; }
  int GetScrollRange() const { return m_iScrollRange; }
  void SetScrollPos(int pos);
  // Scrolls so that a child lies in view.
  void EnsureVisible(CControlUI* child);

 protected:
  RECT InnerRect() const;  // the item rectangle less border and inset
  // The strip along the right edge that takes the mouse for scrolling, and
  // the thumb in it; empty when there is nothing to scroll.
  RECT ScrollStrip() const;
  RECT ScrollThumb() const;
  void PlaceFloat(CControlUI* child, const RECT& inner);
  void ReleaseItem(CControlUI* control);
  // Lays items along one axis in inner (fixed sizes first, the rest share
  // the free space); returns the length they take.
  int LayoutItems(const std::vector<CControlUI*>& items, const RECT& inner, int scrollPos, bool vertical);

  std::vector<CControlUI*> m_items;
  RECT m_rcInset{0, 0, 0, 0};
  int m_iChildPadding = 0;
  bool m_bMouseChildEnabled = true;
  bool m_bVScroll = false;
  int m_iScrollPos = 0;
  int m_iScrollRange = 0;
  // Thumb drag: the mouse's y and the scroll position where it began.
  bool m_bThumbDrag = false;
  int m_iDragY = 0;
  int m_iDragPos = 0;
};

// Children from top to bottom: fixed heights first, the rest share what
// is left; widths fill the row unless fixed.
class CVerticalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"VerticalLayoutUI"; }
  void SetPos(RECT rc, bool needInvalidate = true) override;
  SIZE EstimateSize(SIZE available) override;
};

// Children from left to right, as the vertical layout turned.
class CHorizontalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"HorizontalLayoutUI"; }
  void SetPos(RECT rc, bool needInvalidate = true) override;
  SIZE EstimateSize(SIZE available) override;
};

// One child shown at a time, selected by index; sends "tabselect".
class CTabLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override { return L"TabLayoutUI"; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  void SetPos(RECT rc, bool needInvalidate = true) override;

  int GetCurSel() const { return m_iCurSel; }
  // False for an index outside the pages.
  bool SelectItem(int index);
  bool SelectItem(CControlUI* page);

 protected:
  void ShowOnly(int index);
  int m_iCurSel = -1;
  int m_iInitialSel = 0;
};

// Column layout that a list shares with its rows.
struct TListInfoUI {
  std::vector<RECT> columns;  // left/right of each column (client coordinates)
  int font = -1;
  UINT textStyle = DT_VCENTER_UI | DT_SINGLELINE_UI | DT_END_ELLIPSIS_UI;
  RECT textPadding{4, 0, 4, 0};
  DWORD textColor = 0xFF000000;
  DWORD selectedTextColor = 0xFF000000;
  DWORD selectedBkColor = 0xFFC1E3FF;
  DWORD hotBkColor = 0xFFE9F5FF;
  DWORD lineColor = 0;
};

class IListOwnerUI {
 public:
  virtual ~IListOwnerUI() = default;
  virtual TListInfoUI* GetListInfo() = 0;
  virtual int GetCurSel() const = 0;
  virtual bool SelectItem(int index, bool takeFocus = false) = 0;
  virtual void DoEvent(TEventUI& event) = 0;
};

// A list row: knows its owner and index, can be selected.
class IListItemUI {
 public:
  virtual ~IListItemUI() = default;
  virtual int GetIndex() const = 0;
  virtual void SetIndex(int index) = 0;
  virtual IListOwnerUI* GetOwner() = 0;
  virtual void SetOwner(IListOwnerUI* owner) = 0;
  virtual bool IsSelected() const = 0;
  virtual bool Select(bool select = true) = 0;
};

class CListHeaderItemUI : public CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"ListHeaderItemUI"; }
};

// The column titles of a list; their widths define the columns.
class CListHeaderUI : public CHorizontalLayoutUI {
 public:
  const wchar_t* GetClass() const override { return L"ListHeaderUI"; }
};

// A row built from markup: a container holding any controls. A click
// selects it and sends "itemclick" (sender: the row); selection sends
// "itemselect" from the list.
class CListContainerElementUI : public CHorizontalLayoutUI, public IListItemUI {
 public:
  const wchar_t* GetClass() const override { return L"ListContainerElementUI"; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_LISTITEM; }
  int GetIndex() const override { return m_iIndex; }
  void SetIndex(int index) override { m_iIndex = index; }
  IListOwnerUI* GetOwner() override { return m_pOwner; }
  void SetOwner(IListOwnerUI* owner) override { m_pOwner = owner; }
  bool IsSelected() const override { return m_bSelected; }
  bool Select(bool select = true) override;
  bool IsClickable() const override { return true; }
  void DoEvent(TEventUI& event) override;
  bool Activate() override;
  void PaintBkColor(HDC hDC) override;

 protected:
  int m_iIndex = -1;
  IListOwnerUI* m_pOwner = nullptr;
  bool m_bSelected = false;
  bool m_bHot = false;
};

// A row of column texts drawn in the list's columns.
class CListTextElementUI : public CListContainerElementUI {
 public:
  const wchar_t* GetClass() const override { return L"ListTextElementUI"; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  std::wstring GetText(int column) const;
  void SetText(int column, const std::wstring& text);
  std::wstring GetText() const override { return GetText(0); }
  void SetText(const std::wstring& text) override { SetText(0, text); }
  int GetColumnCount() const { return static_cast<int>(m_texts.size()); }
  void DoPaint(HDC hDC, const RECT& rcPaint) override;

 protected:
  std::vector<std::wstring> m_texts;
};

// A text row with a check box in its first column. A click on the box
// toggles it and sends "listitemchecked" (wParam 1 checked, 0 not) and
// then "itemclick"; a click elsewhere sends "itemclick" only.
class CListTextExtElementUI : public CListTextElementUI {
 public:
  const wchar_t* GetClass() const override { return L"ListTextExElementUI"; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;

  bool IsChecked() const { return m_bChecked; }
  // Changes the box; sends "listitemchecked" when notify is true.
  void SetCheck(bool check, bool notify = false);
  bool HasCheckBox() const { return m_bCheckBox; }
  void SetCheckBox(bool has) { m_bCheckBox = has; Invalidate(); }
  RECT GetCheckBoxRect() const;

 protected:
  bool m_bChecked = false;
  bool m_bCheckBox = true;
  int m_iCheckBoxSize = 16;
};

// A list: an optional header (a "ListHeader" child in markup) and rows
// below it, scrolled vertically. Rows are IListItemUI controls.
class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
 public:
  CListUI();
  const wchar_t* GetClass() const override { return L"ListUI"; }
  bool IsTabStopByDefault() const override { return true; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_LIST; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;

  // Rows (the header is not counted).
  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void DoEvent(TEventUI& event) override;

  CListHeaderUI* GetHeader() const { return m_pHeader; }
  TListInfoUI* GetListInfo() override { return &m_info; }
  int GetCurSel() const override { return m_iCurSel; }
  // Selects a row (-1 clears the selection); sends "itemselect" when the
  // selection changed.
  bool SelectItem(int index, bool takeFocus = false) override;

 protected:
  void Reindex();
  CListHeaderUI* m_pHeader = nullptr;
  TListInfoUI m_info;
  int m_iCurSel = -1;
};

// A selection among list elements shown in one box; the mouse wheel and
// a click step through the items. Sends "itemselect".
class CComboUI : public CContainerUI, public IListOwnerUI {
 public:
  const wchar_t* GetClass() const override { return L"ComboUI"; }
  bool IsTabStopByDefault() const override { return true; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_COMBOBOX; }
  bool IsClickable() const override { return true; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void PaintText(HDC hDC) override;
  std::wstring GetText() const override;

  TListInfoUI* GetListInfo() override { return &m_info; }
  int GetCurSel() const override { return m_iCurSel; }
  bool SelectItem(int index, bool takeFocus = false) override;

 protected:
  void Reindex();
  TListInfoUI m_info;
  int m_iCurSel = -1;
  int m_iFont = -1;
  DWORD m_dwTextColor = 0xFF000000;
  RECT m_rcTextPadding{4, 0, 4, 0};
};
