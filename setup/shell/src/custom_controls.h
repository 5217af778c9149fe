// The program's own control classes, registered with the toolkit's
// factory at start-up: the markup elements "CircleProgress", "MyCombo",
// "ChartView" and "Wnd".
#pragma once

#include "toolkit/toolkit.h"

#include <string>
#include <vector>

// Registers the four classes in the order the start-up gives them.
void RegisterCustomControls();

// The sweep of the progress ring in whole degrees: value / (maximum -
// minimum) * 360, truncated. The value is deliberately not offset by the
// minimum; an empty range (maximum <= minimum) sweeps nothing instead of
// dividing by zero.
int CircleSweepDegrees(int minimum, int maximum, int value);

// A progress bar drawn as a ring: the background colour as a full disc,
// the foreground colour as a sector from the bottom (90 degrees,
// clockwise), and a white centre that leaves a ring kRingWidth wide.
class CCircleProgressUI : public CProgressUI {
 public:
  static const int kRingWidth = 10;  // pixels
  static const int kStartAngle = 90;  // GDI+ degrees: the bottom

  const wchar_t* GetClass() const override { return L"CircleProgress"; }
  void PaintBkColor(HDC hDC) override;
  void PaintStatusImage(HDC hDC) override;
  void PaintForeColor(HDC hDC) override;
  void PaintForeImage(HDC hDC) override;

  int GetSweepDegrees() const { return CircleSweepDegrees(m_nMin, m_nMax, m_nValue); }
  // The white centre: the control's rectangle shrunk by the ring width.
  RECT GetInnerRect() const;
};

// A combo box whose background colour fills the inscribed ellipse.
class CMyComboUI : public CComboUI {
 public:
  const wchar_t* GetClass() const override { return L"MyCombo"; }
  void PaintBkColor(HDC hDC) override;
};

// A chart (pie or bars). The program adds no data, so only the base
// control and, in the bar view, the shadow image along the bottom show.
// It reports its base's class name.
class CChartViewUI : public CControlUI {
 public:
  enum ViewKind { kPie, kHistogram };
  // Label space kept under the bars when item labels are shown.
  static const int kLabelHeight = 25;

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;

  ViewKind GetView() const { return m_view; }
  std::wstring GetShadowImage() const { return m_sShadowImage; }
  int GetShadowImageHeight() const { return m_nShadowImageHeight; }
  std::wstring GetPillarImage() const { return m_sPillarImage; }
  int GetPillarImageWidth() const { return m_nPillarImageWidth; }
  bool IsShowHtml() const { return m_bShowHtml; }
  bool IsShowText() const { return m_bShowText; }
  int GetFont() const { return m_iFont; }
  size_t GetItemCount() const { return m_items.size(); }
  // Where the bar view draws its shadow image: the full width, its bottom
  // kLabelHeight above the control's bottom when labels show.
  RECT GetShadowRect() const;

 private:
  struct Item {
    std::wstring name;
    double value = 0;
  };
  ViewKind m_view = kPie;
  std::wstring m_sShadowImage;
  int m_nShadowImageHeight = 0;
  std::wstring m_sPillarImage;
  int m_nPillarImageWidth = 0;
  bool m_bShowHtml = false;
  bool m_bShowText = true;
  int m_iFont = -1;
  std::vector<Item> m_items;
};

// A control that keeps a native window in step with itself: moved with
// it, shown exactly while it is visible. Without a window it does nothing.
class CWndUI : public CControlUI {
 public:
  const wchar_t* GetClass() const override { return L"Wnd"; }
  void SetPos(RECT rc, bool needInvalidate = true) override;
  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;

  // Hosts a window (nullptr to let it go) and places it at once.
  void Attach(HWND hWnd);
  HWND GetHostedWindow() const { return m_hWnd; }

 private:
  void SyncWindow();
  HWND m_hWnd = nullptr;
};
