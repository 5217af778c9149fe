#include "custom_controls.h"

#include <cstdlib>

namespace {

// Decimal attribute values; text that is not a number gives 0, as the
// markup's other numeric attributes do.
int ToInt(const std::wstring& value) { return static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)); }

}  // namespace

// The factory stores the names in lower case; the builder finds them as
// "C" + element + "UI".
void RegisterCustomControls() {
  CControlFactory& factory = CControlFactory::GetInstance();
  factory.RegistControl(L"CCircleProgressUI", []() -> CControlUI* { return new CCircleProgressUI; });
  factory.RegistControl(L"CMyComboUI", []() -> CControlUI* { return new CMyComboUI; });
  factory.RegistControl(L"CChartViewUI", []() -> CControlUI* { return new CChartViewUI; });
  factory.RegistControl(L"CWndUI", []() -> CControlUI* { return new CWndUI; });
}

// Floating point, then cut towards zero, as the ring has always been drawn.
int CircleSweepDegrees(int minimum, int maximum, int value) {
  if (maximum <= minimum) return 0;
  double sweep = static_cast<double>(value) / (static_cast<double>(maximum) - minimum) * 360.0;
  return static_cast<int>(sweep);
}

// ---- CCircleProgressUI ------------------------------------------------------

// The disc in the foreground stage replaces the background colour, and
// the ring has no status or foreground image.
void CCircleProgressUI::PaintBkColor(HDC) {}
void CCircleProgressUI::PaintStatusImage(HDC) {}
void CCircleProgressUI::PaintForeImage(HDC) {}

// Shrunk by the ring width on every side.
RECT CCircleProgressUI::GetInnerRect() const {
  return RECT{m_rcItem.left + kRingWidth, m_rcItem.top + kRingWidth, m_rcItem.right - kRingWidth,
              m_rcItem.bottom - kRingWidth};
}

// Disc, sector, white centre; the text stage then draws on the centre.
void CCircleProgressUI::PaintForeColor(HDC hDC) {
  toolkit::FillPie(hDC, m_rcItem, 0, 360, m_dwBackColor, true);
  toolkit::FillPie(hDC, m_rcItem, kStartAngle, GetSweepDegrees(), m_dwForeColor, true);
  toolkit::FillEllipse(hDC, GetInnerRect(), 0xFFFFFFFF, true);
}

// ---- CMyComboUI ---------------------------------------------------------------

// Round instead of rectangular, with GDI+'s default smoothing.
void CMyComboUI::PaintBkColor(HDC hDC) {
  toolkit::FillEllipse(hDC, m_rcItem, m_dwBackColor, false);
}

// ---- CChartViewUI -------------------------------------------------------------

// The chart's own attributes; the flags take only the exact text "true".
void CChartViewUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  const std::wstring key = toolkit::ToLower(name);
  if (key == L"view") {
    if (value == L"pie") m_view = kPie;
    else if (value == L"histpgram") m_view = kHistogram;
  } else if (key == L"shadowimage") {
    m_sShadowImage = value;
  } else if (key == L"shadowimageheight") {
    m_nShadowImageHeight = ToInt(value);
  } else if (key == L"pillarimage") {
    m_sPillarImage = value;
  } else if (key == L"pillarimagewidth") {
    m_nPillarImageWidth = ToInt(value);
  } else if (key == L"showhtml") {
    m_bShowHtml = value == L"true";
  } else if (key == L"showtext") {
    m_bShowText = value == L"true";
  } else if (key == L"font") {
    m_iFont = ToInt(value);
  } else {
    CControlUI::SetAttribute(name, value);
    return;
  }
  Invalidate();
}

// Full width, standing on the label space or on the bottom edge.
RECT CChartViewUI::GetShadowRect() const {
  LONG bottom = m_rcItem.bottom - (m_bShowText ? kLabelHeight : 0);
  return RECT{m_rcItem.left, bottom - m_nShadowImageHeight, m_rcItem.right, bottom};
}

// The base first; with no data items there are no slices, bars or labels.
void CChartViewUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  CControlUI::DoPaint(hDC, rcPaint);
  if (m_view != kHistogram || m_sShadowImage.empty()) return;
  RECT shadow = GetShadowRect();
  if (!DrawImage(hDC, m_sShadowImage, &shadow)) m_sShadowImage.clear();
}

// ---- CWndUI -------------------------------------------------------------------

// Moving, showing and hiding the control carry the hosted window along.
void CWndUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  SyncWindow();
}

void CWndUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  SyncWindow();
}

void CWndUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  SyncWindow();
}

// The window is not owned: the control never destroys it.
void CWndUI::Attach(HWND hWnd) {
  m_hWnd = hWnd;
  SyncWindow();
}

// A child of the skinned window is placed in its client coordinates, any
// other window on the screen.
void CWndUI::SyncWindow() {
  if (!m_hWnd || !::IsWindow(m_hWnd)) return;
  RECT rc = m_rcItem;
  HWND host = m_pManager ? m_pManager->GetPaintWindow() : nullptr;
  if (host && ::GetParent(m_hWnd) != host) {
    ::MapWindowPoints(host, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  }
  ::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  ::ShowWindow(m_hWnd, IsVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}
