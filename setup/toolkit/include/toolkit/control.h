// CControlUI: the base of every control. Sizes and positions given to a
// control (fixed sizes, padding, float positions) are in unscaled units;
// the paint manager's DPI scale is applied when the control is laid out.
#pragma once

#include "toolkit/core.h"

#include <map>
#include <string>
#include <vector>

class CControlUI;
typedef CControlUI* (*FINDCONTROLPROC)(CControlUI*, void*);

// Flags for FindControl(proc, data, flags).
#define UIFIND_ALL 0x00000000
#define UIFIND_VISIBLE 0x00000001
#define UIFIND_ENABLED 0x00000002
#define UIFIND_HITTEST 0x00000004
#define UIFIND_TOP_FIRST 0x00000008
#define UIFIND_ME_FIRST 0x80000000

// Text alignment flags (the values of DrawText's DT_ flags).
#define DT_LEFT_UI 0x0000
#define DT_CENTER_UI 0x0001
#define DT_RIGHT_UI 0x0002
#define DT_VCENTER_UI 0x0004
#define DT_BOTTOM_UI 0x0008
#define DT_WORDBREAK_UI 0x0010
#define DT_SINGLELINE_UI 0x0020
#define DT_END_ELLIPSIS_UI 0x8000

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // Identity.
  virtual std::wstring GetName() const { return m_sName; }
  virtual void SetName(const std::wstring& name);
  virtual const wchar_t* GetClass() const { return L"ControlUI"; }

  // Tree.
  virtual CPaintManagerUI* GetManager() const { return m_pManager; }
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* GetParent() const { return m_pParent; }
  // Finds by visiting this control (and, for containers, its children).
  virtual CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags);

  // Text. A resource-text control treats its text and tooltip as keys of
  // the text table, resolved every time they are read or drawn.
  virtual std::wstring GetText() const;
  virtual void SetText(const std::wstring& text);
  std::wstring GetRawText() const { return m_sText; }
  virtual std::wstring GetToolTip() const;
  virtual void SetToolTip(const std::wstring& tip);
  bool IsResourceText() const { return m_bResourceText; }
  void SetResourceText(bool resourceText);

  // User data (a string) and tag (a number) for the program's own use.
  std::wstring GetUserData() const { return m_sUserData; }
  void SetUserData(const std::wstring& data) { m_sUserData = data; }
  UINT_PTR GetTag() const { return m_pTag; }
  void SetTag(UINT_PTR tag) { m_pTag = tag; }

  // State.
  virtual bool IsVisible() const;  // false also when an ancestor is hidden
  bool IsVisibleSelf() const { return m_bVisible; }
  virtual void SetVisible(bool visible = true);
  virtual void SetInternVisible(bool visible = true);  // hidden by a parent (tab pages)
  virtual bool IsEnabled() const { return m_bEnabled; }
  virtual void SetEnabled(bool enable = true);
  virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
  virtual void SetMouseEnabled(bool enable = true);
  virtual bool IsFocused() const { return m_bFocused; }
  virtual void SetFocus();
  virtual bool IsFloat() const { return m_bFloat; }
  virtual void SetFloat(bool isFloat = true);
  // Whether Tab stops here: the "tabstop" attribute, else the class's
  // own choice (buttons, options, edits, lists).
  bool IsTabStop() const { return m_iTabStop < 0 ? IsTabStopByDefault() : m_iTabStop != 0; }
  void SetTabStop(bool tabStop) { m_iTabStop = tabStop ? 1 : 0; }
  virtual bool IsTabStopByDefault() const { return false; }
  virtual AccessibleRoleUI GetAccessibleRole() const { return UIROLE_NONE; }
  // Whether a click on this control starts a caption drag (false for
  // controls that react to the mouse).
  virtual bool IsClickable() const { return false; }

  // Colours (ARGB) and images (see the image syntax in the README).
  DWORD GetBkColor() const { return m_dwBackColor; }
  void SetBkColor(DWORD argb);
  std::wstring GetBkImage() const { return m_sBkImage; }
  void SetBkImage(const std::wstring& image);
  DWORD GetForeColor() const { return m_dwForeColor; }
  void SetForeColor(DWORD argb);
  std::wstring GetForeImage() const { return m_sForeImage; }
  void SetForeImage(const std::wstring& image);
  DWORD GetBorderColor() const { return m_dwBorderColor; }
  void SetBorderColor(DWORD argb);
  int GetBorderSize() const { return m_nBorderSize; }
  void SetBorderSize(int size);
  SIZE GetBorderRound() const { return m_cxyBorderRound; }
  void SetBorderRound(SIZE round);

  // Geometry. Fixed sizes of 0 mean "share the free space".
  virtual RECT GetPos() const { return m_rcItem; }
  // Places the control at rc (scaled pixels, client coordinates) and lays
  // out its content.
  virtual void SetPos(RECT rc, bool needInvalidate = true);
  int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
  int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
  RECT GetPadding() const { return m_rcPadding; }
  void SetPadding(RECT padding);
  SIZE GetFixedXY() const { return m_cXY; }  // float position (left, top)
  void SetFixedXY(SIZE xy);
  RECT GetFloatPos() const { return m_rcFloat; }  // "pos" of a float control
  void SetFloatPos(RECT pos);
  int GetFixedWidth() const { return m_cxyFixed.cx; }
  void SetFixedWidth(int cx);
  int GetFixedHeight() const { return m_cxyFixed.cy; }
  void SetFixedHeight(int cy);
  int GetMinWidth() const { return m_cxyMin.cx; }
  void SetMinWidth(int cx);
  int GetMaxWidth() const { return m_cxyMax.cx; }
  void SetMaxWidth(int cx);
  int GetMinHeight() const { return m_cxyMin.cy; }
  void SetMinHeight(int cy);
  int GetMaxHeight() const { return m_cxyMax.cy; }
  void SetMaxHeight(int cy);
  // The size the control wants in the available space (scaled pixels);
  // 0 in a dimension means "whatever the layout gives".
  virtual SIZE EstimateSize(SIZE available);

  // Markup attributes. Unknown names are ignored.
  virtual void SetAttribute(const std::wstring& name, const std::wstring& value);
  // Applies a list of the form name="value" name2='value2'.
  void ApplyAttributeList(const std::wstring& list);
  // Applies the named style of the window's markup (or a shared style).
  // False when no such style exists.
  bool ApplyStyle(const std::wstring& styleName);
  // The last value set for an attribute through SetAttribute, or empty.
  std::wstring GetAttribute(const std::wstring& name) const;

  // Invalidation and layout requests.
  virtual void Invalidate();
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  virtual void NeedUpdate();
  virtual void NeedParentUpdate();

  // Input and notification.
  virtual void DoEvent(TEventUI& event);
  virtual bool Activate();  // the control's action (a click); false if disabled or hidden
  virtual void Init() {}    // called once the control belongs to a window

  // Painting: the stages run in this order; subclasses replace stages.
  virtual void DoPaint(HDC hDC, const RECT& rcPaint);
  virtual void PaintBkColor(HDC hDC);
  virtual void PaintBkImage(HDC hDC);
  virtual void PaintStatusImage(HDC hDC);
  virtual void PaintForeColor(HDC hDC);
  virtual void PaintForeImage(HDC hDC);
  virtual void PaintText(HDC hDC);
  virtual void PaintBorder(HDC hDC);
  // Draws an image description into the control's rectangle (or the part
  // it names). False when the image cannot be loaded.
  bool DrawImage(HDC hDC, const std::wstring& image, const RECT* dest = nullptr);

 protected:
  int Scale(int unscaled) const;  // by the manager's DPI scale
  void SendNotify(const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);

  CPaintManagerUI* m_pManager = nullptr;
  CControlUI* m_pParent = nullptr;
  std::wstring m_sName;
  std::wstring m_sText;
  std::wstring m_sToolTip;
  std::wstring m_sUserData;
  UINT_PTR m_pTag = 0;
  bool m_bResourceText = false;
  bool m_bVisible = true;
  bool m_bInternVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bFocused = false;
  bool m_bFloat = false;
  int m_iTabStop = -1;  // -1: the class's choice
  bool m_bUpdateNeeded = true;
  RECT m_rcItem{0, 0, 0, 0};
  RECT m_rcPadding{0, 0, 0, 0};
  RECT m_rcFloat{0, 0, 0, 0};
  SIZE m_cXY{0, 0};
  SIZE m_cxyFixed{0, 0};
  SIZE m_cxyMin{0, 0};
  SIZE m_cxyMax{9999, 9999};
  DWORD m_dwBackColor = 0;
  DWORD m_dwForeColor = 0;
  DWORD m_dwBorderColor = 0;
  int m_nBorderSize = 0;
  SIZE m_cxyBorderRound{0, 0};
  std::wstring m_sBkImage;
  std::wstring m_sForeImage;
  std::map<std::wstring, std::wstring> m_attributes;
};
