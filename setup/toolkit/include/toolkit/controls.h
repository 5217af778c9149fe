// The built-in leaf controls.
#pragma once

#include "toolkit/control.h"

#include <string>
#include <vector>

// A text in the control's rectangle.
class CLabelUI : public CControlUI {
 public:
  const wchar_t* GetClass() const override { return L"LabelUI"; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_STATICTEXT; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  SIZE EstimateSize(SIZE available) override;
  void PaintText(HDC hDC) override;

  void SetTextColor(DWORD argb);
  DWORD GetTextColor() const { return m_dwTextColor; }
  void SetDisabledTextColor(DWORD argb);
  DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
  void SetFont(int fontId);  // -1: the window's default font
  int GetFont() const { return m_iFont; }
  void SetTextStyle(UINT style);  // DT_*_UI flags
  UINT GetTextStyle() const { return m_uTextStyle; }
  void SetTextPadding(RECT rc);
  RECT GetTextPadding() const { return m_rcTextPadding; }
  void SetAutoCalcWidth(bool autoCalc);
  bool IsAutoCalcWidth() const { return m_bAutoCalcWidth; }

 protected:
  void DrawTextIn(HDC hDC, const std::wstring& text, DWORD color, RECT rc);

  DWORD m_dwTextColor = 0;
  DWORD m_dwDisabledTextColor = 0;
  int m_iFont = -1;
  UINT m_uTextStyle = DT_VCENTER_UI | DT_SINGLELINE_UI;
  RECT m_rcTextPadding{0, 0, 0, 0};
  bool m_bAutoCalcWidth = false;
};

// A label whose text may wrap over several lines.
class CTextUI : public CLabelUI {
 public:
  CTextUI();
  const wchar_t* GetClass() const override { return L"TextUI"; }
};

// A clickable label with images for its states; sends "click".
class CButtonUI : public CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"ButtonUI"; }
  bool IsTabStopByDefault() const override { return true; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_PUSHBUTTON; }
  bool IsClickable() const override { return true; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoEvent(TEventUI& event) override;
  bool Activate() override;
  void PaintStatusImage(HDC hDC) override;
  void PaintText(HDC hDC) override;

  void SetNormalImage(const std::wstring& image) { m_sNormalImage = image; Invalidate(); }
  void SetHotImage(const std::wstring& image) { m_sHotImage = image; Invalidate(); }
  void SetPushedImage(const std::wstring& image) { m_sPushedImage = image; Invalidate(); }
  void SetDisabledImage(const std::wstring& image) { m_sDisabledImage = image; Invalidate(); }
  bool IsHot() const { return m_bHot; }
  bool IsPushed() const { return m_bPushed; }

 protected:
  bool m_bHot = false;
  bool m_bPushed = false;
  bool m_bCaptured = false;
  // "dblclick": false makes the second press of a double-click no click,
  // for buttons that move on from under the pointer.
  bool m_bDblClick = true;
  DWORD m_dwHotTextColor = 0;
  DWORD m_dwPushedTextColor = 0;
  DWORD m_dwHotBkColor = 0;
  std::wstring m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage;
};

// A button with a selected state: a check box, or a radio button when it
// belongs to a group (selecting one deselects the others). A click sends
// "click" first and then changes the state, so the state read in the
// click handler is the old one.
class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  const wchar_t* GetClass() const override { return L"OptionUI"; }
  // A grouped option is a radio button; a lone one toggles like a check box.
  AccessibleRoleUI GetAccessibleRole() const override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool Activate() override;
  void PaintStatusImage(HDC hDC) override;
  void PaintText(HDC hDC) override;

  std::wstring GetGroup() const { return m_sGroupName; }
  void SetGroup(const std::wstring& group);
  bool IsSelected() const { return m_bSelected; }
  // Changes the state; sends "selectchanged" when it changed and notify
  // is true. Selecting a grouped option deselects the rest of the group.
  virtual void Selected(bool selected, bool notify = true);
  void SetSelectedImage(const std::wstring& image) { m_sSelectedImage = image; Invalidate(); }

 protected:
  bool m_bSelected = false;
  std::wstring m_sGroupName;
  std::wstring m_sSelectedImage, m_sSelectedHotImage;
  DWORD m_dwSelectedTextColor = 0;
  DWORD m_dwSelectedBkColor = 0;
};

class CCheckBoxUI : public COptionUI {
 public:
  const wchar_t* GetClass() const override { return L"CheckBoxUI"; }
  bool IsChecked() const { return IsSelected(); }
  void SetCheck(bool check, bool notify = true) { Selected(check, notify); }
};

// A single-line text box. The Windows host edits it in a native edit
// window; typing sends "textchanged" (SetText from code does not).
class CEditUI : public CLabelUI {
 public:
  CEditUI();
  ~CEditUI() override;
  const wchar_t* GetClass() const override { return L"EditUI"; }
  bool IsTabStopByDefault() const override { return true; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_TEXT; }
  bool IsClickable() const override { return true; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  std::wstring GetText() const override;
  void SetText(const std::wstring& text) override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetEnabled(bool enable = true) override;
  void SetFocus() override;
  void DoEvent(TEventUI& event) override;
  void PaintText(HDC hDC) override;

  void SetMaxChar(int maxChar);
  int GetMaxChar() const { return m_iMaxChar; }
  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const { return m_bReadOnly; }
  void SetPasswordMode(bool password);
  bool IsPasswordMode() const { return m_bPassword; }
  void SetNumberOnly(bool numberOnly);
  // Selection in characters; (-1, -1) or SetSelEnd() puts the caret at the end.
  void SetSel(int start, int end);
  void SetSelEnd();
  int GetSelStart() const { return m_selStart; }
  int GetSelEnd() const { return m_selEnd; }
  // Text typed by the user (called by the host, and by tests): updates
  // the text and sends "textchanged".
  void OnUserTextChanged(const std::wstring& text);

  HWND GetNativeWindow() const { return m_hNative; }

 private:
  void ApplyBoxFont(bool force);

 protected:
  void SyncNative();

  int m_iMaxChar = 255;
  bool m_bReadOnly = false;
  bool m_bPassword = false;
  bool m_bNumberOnly = false;
  int m_selStart = 0;
  int m_selEnd = 0;
  bool m_bSettingText = false;
  HWND m_hNative = nullptr;
  HFONT m_hBoxFont = nullptr;  // what the native box was given last
  int m_fontGeneration = -1;  // of the manager's fonts when the native box got its font
};

// The character format of a rich edit selection (the members of the
// Windows CHARFORMAT2W that the toolkit passes on).
struct TCharFormatUI {
  DWORD mask = 0;            // CFM_ bits (bold 1, italic 2, underline 4, face 0x20000000, size 0x80000000, colour 0x40000000)
  DWORD effects = 0;         // CFE_ bits (bold 1, italic 2, underline 4)
  LONG heightTwips = 0;      // 1/20 point
  COLORREF textColor = 0;    // RGB
  std::wstring faceName;
};

// A multi-line text box with character formatting. The Windows host keeps
// the text in a native "RICHEDIT50W" window; the control also keeps a
// portable record of the text and its formatted runs.
class CRichEditUI : public CControlUI {
 public:
  struct Run {
    size_t start = 0;
    size_t length = 0;
    TCharFormatUI format;
  };

  CRichEditUI();
  ~CRichEditUI() override;
  const wchar_t* GetClass() const override { return L"RichEditUI"; }
  bool IsTabStopByDefault() const override { return true; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_TEXT; }
  bool IsClickable() const override { return true; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  std::wstring GetText() const override;
  // Replaces all text (no format runs remain).
  void SetText(const std::wstring& text) override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetEnabled(bool enable = true) override;
  void DoEvent(TEventUI& event) override;

  // Sets the format that the next insertion at the end takes (the
  // selection-and-word scope: with nothing selected this is the insertion
  // point).
  bool SetSelectionCharFormat(const TCharFormatUI& format);
  // Moves the selection to the end and replaces it with text in the
  // current selection format; canUndo false adds no undo step.
  void AppendText(const std::wstring& text, bool canUndo = false);
  // Scrolls so that the last line is visible.
  void EndDown();
  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const { return m_bReadOnly; }
  // The formatted runs of the text, in order.
  const std::vector<Run>& GetRuns() const { return m_runs; }
  HWND GetNativeWindow() const { return m_hNative; }

 protected:
  std::wstring m_text;
  std::vector<Run> m_runs;
  TCharFormatUI m_current;
  bool m_bReadOnly = false;
  bool m_bWantReturn = true;
  HWND m_hNative = nullptr;
  int m_iFont = -1;
  DWORD m_dwTextColor = 0;
};

// A bar that shows value between minimum and maximum.
class CProgressUI : public CLabelUI {
 public:
  const wchar_t* GetClass() const override { return L"ProgressUI"; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_PROGRESSBAR; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void PaintForeColor(HDC hDC) override;
  void PaintForeImage(HDC hDC) override;

  bool IsHorizontal() const { return m_bHorizontal; }
  void SetHorizontal(bool horizontal = true);
  int GetMinValue() const { return m_nMin; }
  void SetMinValue(int min);
  int GetMaxValue() const { return m_nMax; }
  void SetMaxValue(int max);
  int GetValue() const { return m_nValue; }
  // Clamped to [minimum, maximum].
  virtual void SetValue(int value);

 protected:
  RECT FilledRect() const;
  bool m_bHorizontal = true;
  int m_nMin = 0;
  int m_nMax = 100;
  int m_nValue = 0;
};

// A progress bar with a thumb the user drags; sends "valuechanged".
class CSliderUI : public CProgressUI {
 public:
  const wchar_t* GetClass() const override { return L"SliderUI"; }
  AccessibleRoleUI GetAccessibleRole() const override { return UIROLE_SLIDER; }
  bool IsClickable() const override { return true; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoEvent(TEventUI& event) override;
  void PaintStatusImage(HDC hDC) override;

  int GetChangeStep() const { return m_nStep; }
  void SetChangeStep(int step) { m_nStep = step; }
  void SetThumbSize(SIZE size) { m_szThumb = size; }
  RECT GetThumbRect() const;
  // Sets the value as the user would: sends "valuechanged" when it changed.
  void SetValueByUser(int value);

 protected:
  int ValueAt(POINT pt) const;
  int m_nStep = 1;
  SIZE m_szThumb{10, 10};
  bool m_bDragging = false;
  std::wstring m_sThumbImage, m_sThumbHotImage;
};

// An animated GIF (the "bkimage" or "gif" attribute). Play runs the
// frames on a timer; Stop returns to the first frame.
class CGifAnimUI : public CControlUI {
 public:
  ~CGifAnimUI() override;
  const wchar_t* GetClass() const override { return L"GifAnimUI"; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetVisible(bool visible = true) override;
  void DoEvent(TEventUI& event) override;
  void PaintBkImage(HDC hDC) override;

  void PlayGif();
  void PauseGif();
  void StopGif();  // stops and shows the first frame
  bool IsPlaying() const { return m_bPlaying; }
  int GetCurrentFrame() const { return m_nFrame; }
  int GetFrameCount();
  std::wstring GetGifImage() const { return m_sGif; }
  void SetGifImage(const std::wstring& image);

 protected:
  void ScheduleNextFrame();
  std::wstring m_sGif;
  bool m_bPlaying = false;
  bool m_bAutoPlay = true;
  int m_nFrame = 0;
};

// A field of colours (hue across, brightness down); a click picks the
// colour under the mouse and sends "colorchanged".
class CColorPaletteUI : public CControlUI {
 public:
  const wchar_t* GetClass() const override { return L"ColorPaletteUI"; }
  bool IsClickable() const override { return true; }
  void DoEvent(TEventUI& event) override;
  void PaintBkColor(HDC hDC) override;

  DWORD GetSelectColor() const { return m_dwSelectColor; }
  void SetSelectColor(DWORD argb);
  // The colour shown at a point of the control (client coordinates).
  DWORD ColorAt(POINT pt) const;

 protected:
  DWORD m_dwSelectColor = 0xFF000000;
};
