#include "custom_controls.h"

#include <cstdlib>

#ifdef _WIN32
#include <objidl.h>
#include <gdiplus.h>
#endif

namespace {

// Decimal attribute values; text that is not a number gives 0, as the
// markup's other numeric attributes do.
int ToInt(const std::wstring& value) { return static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)); }

#ifdef _WIN32
// GDI+ takes a rectangle as origin and size.
Gdiplus::Rect ToGdiRect(const RECT& rc) {
  return Gdiplus::Rect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}
#endif

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
#ifdef _WIN32
  Gdiplus::Graphics graphics(hDC);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  const Gdiplus::Rect outer = ToGdiRect(m_rcItem);
  Gdiplus::SolidBrush back{Gdiplus::Color(static_cast<Gdiplus::ARGB>(m_dwBackColor))};
  graphics.FillPie(&back, outer, 0.0f, 360.0f);
  Gdiplus::SolidBrush fore{Gdiplus::Color(static_cast<Gdiplus::ARGB>(m_dwForeColor))};
  graphics.FillPie(&fore, outer, static_cast<Gdiplus::REAL>(kStartAngle),
                   static_cast<Gdiplus::REAL>(GetSweepDegrees()));
  Gdiplus::SolidBrush white{Gdiplus::Color(static_cast<Gdiplus::ARGB>(0xFFFFFFFF))};
  graphics.FillEllipse(&white, ToGdiRect(GetInnerRect()));
#else
  (void)hDC;  // the headless host draws nothing
#endif
}

// ---- CMyComboUI ---------------------------------------------------------------

// Round instead of rectangular, with GDI+'s default smoothing.
void CMyComboUI::PaintBkColor(HDC hDC) {
#ifdef _WIN32
  Gdiplus::Graphics graphics(hDC);
  Gdiplus::SolidBrush back{Gdiplus::Color(static_cast<Gdiplus::ARGB>(m_dwBackColor))};
  graphics.FillEllipse(&back, ToGdiRect(m_rcItem));
#else
  (void)hDC;
#endif
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
#ifdef _WIN32
    ::MapWindowPoints(host, nullptr, reinterpret_cast<POINT*>(&rc), 2);
#else
    RECT window;  // headless windows have no frame: client origin = window origin
    if (::GetWindowRect(host, &window)) {
      rc = RECT{rc.left + window.left, rc.top + window.top, rc.right + window.left, rc.bottom + window.top};
    }
#endif
  }
  ::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  ::ShowWindow(m_hWnd, IsVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}
