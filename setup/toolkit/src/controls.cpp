// The leaf controls: labels, buttons, options, progress bars, sliders,
// GIF animations and the colour palette.
#include "toolkit/controls.h"

#include "render.h"
#include "toolkit/paint_manager.h"

#include <algorithm>
#include <cmath>

using toolkit::ParseBool;
using toolkit::ParseColor;
using toolkit::ParseRect;
using toolkit::ParseSize;

static int ToInt(const std::wstring& v) { return static_cast<int>(std::wcstol(v.c_str(), nullptr, 10)); }

static bool PtIn(const RECT& rc, POINT pt) {
  return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}

// ---- CLabelUI ------------------------------------------------------------

void CLabelUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  DWORD color = 0;
  if (name == L"textcolor" && ParseColor(value, color)) SetTextColor(color);
  else if (name == L"disabledtextcolor" && ParseColor(value, color)) SetDisabledTextColor(color);
  else if (name == L"font") SetFont(ToInt(value));
  else if (name == L"textpadding") SetTextPadding(ParseRect(value));
  else if (name == L"autocalcwidth") SetAutoCalcWidth(ParseBool(value));
  else if (name == L"align") {
    m_uTextStyle &= ~static_cast<UINT>(DT_LEFT_UI | DT_CENTER_UI | DT_RIGHT_UI);
    if (value.find(L"center") != std::wstring::npos) m_uTextStyle |= DT_CENTER_UI;
    else if (value.find(L"right") != std::wstring::npos) m_uTextStyle |= DT_RIGHT_UI;
    if (value.find(L"top") != std::wstring::npos) m_uTextStyle &= ~static_cast<UINT>(DT_VCENTER_UI | DT_BOTTOM_UI);
    if (value.find(L"bottom") != std::wstring::npos) m_uTextStyle = (m_uTextStyle & ~static_cast<UINT>(DT_VCENTER_UI)) | DT_BOTTOM_UI;
    Invalidate();
  } else if (name == L"valign") {
    m_uTextStyle &= ~static_cast<UINT>(DT_VCENTER_UI | DT_BOTTOM_UI);
    if (value == L"vcenter" || value == L"center") m_uTextStyle |= DT_VCENTER_UI;
    else if (value == L"bottom") m_uTextStyle |= DT_BOTTOM_UI;
    Invalidate();
  } else if (name == L"wordbreak" || name == L"multiline") {
    if (ParseBool(value)) m_uTextStyle = (m_uTextStyle & ~static_cast<UINT>(DT_SINGLELINE_UI)) | DT_WORDBREAK_UI;
    else m_uTextStyle = (m_uTextStyle & ~static_cast<UINT>(DT_WORDBREAK_UI)) | DT_SINGLELINE_UI;
    Invalidate();
  } else if (name == L"endellipsis") {
    if (ParseBool(value)) m_uTextStyle |= DT_END_ELLIPSIS_UI;
    else m_uTextStyle &= ~static_cast<UINT>(DT_END_ELLIPSIS_UI);
    Invalidate();
  } else {
    CControlUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

// With autocalcwidth the width follows the (resolved) text, at least the
// minimum width.
SIZE CLabelUI::EstimateSize(SIZE available) {
  SIZE sz = CControlUI::EstimateSize(available);
  if (m_bAutoCalcWidth && m_pManager) {
    SIZE text = render::MeasureText(m_pManager, GetText(), m_iFont);
    LONG cx = text.cx + Scale(m_rcTextPadding.left) + Scale(m_rcTextPadding.right);
    sz.cx = std::max<LONG>(cx, Scale(m_cxyMin.cx));
    sz.cx = std::min<LONG>(sz.cx, Scale(m_cxyMax.cx));
  }
  return sz;
}

void CLabelUI::SetTextColor(DWORD argb) {
  m_dwTextColor = argb;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD argb) {
  m_dwDisabledTextColor = argb;
  Invalidate();
}

void CLabelUI::SetFont(int fontId) {
  m_iFont = fontId;
  NeedParentUpdate();
}

void CLabelUI::SetTextStyle(UINT style) {
  m_uTextStyle = style;
  Invalidate();
}

void CLabelUI::SetTextPadding(RECT rc) {
  m_rcTextPadding = rc;
  NeedParentUpdate();
}

void CLabelUI::SetAutoCalcWidth(bool autoCalc) {
  m_bAutoCalcWidth = autoCalc;
  NeedParentUpdate();
}

void CLabelUI::DrawTextIn(HDC hDC, const std::wstring& text, DWORD color, RECT rc) {
  if (text.empty() || !m_pManager) return;
  rc.left += Scale(m_rcTextPadding.left);
  rc.top += Scale(m_rcTextPadding.top);
  rc.right -= Scale(m_rcTextPadding.right);
  rc.bottom -= Scale(m_rcTextPadding.bottom);
  render::DrawText(hDC, m_pManager, rc, text, color ? color : 0xFF000000, m_iFont, m_uTextStyle);
}

void CLabelUI::PaintText(HDC hDC) {
  DWORD color = IsEnabled() ? m_dwTextColor : (m_dwDisabledTextColor ? m_dwDisabledTextColor : 0xFFA0A0A0);
  DrawTextIn(hDC, GetText(), color, m_rcItem);
}

CTextUI::CTextUI() { m_uTextStyle = DT_WORDBREAK_UI; }

// ---- CButtonUI -----------------------------------------------------------

void CButtonUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  DWORD color = 0;
  if (name == L"normalimage") SetNormalImage(value);
  else if (name == L"hotimage") SetHotImage(value);
  else if (name == L"pushedimage") SetPushedImage(value);
  else if (name == L"focusedimage") m_sFocusedImage = value;
  else if (name == L"disabledimage") SetDisabledImage(value);
  else if (name == L"hottextcolor" && ParseColor(value, color)) m_dwHotTextColor = color;
  else if (name == L"pushedtextcolor" && ParseColor(value, color)) m_dwPushedTextColor = color;
  else if (name == L"hotbkcolor" && ParseColor(value, color)) m_dwHotBkColor = color;
  else if (name == L"dblclick") m_bDblClick = toolkit::ToLower(value) != L"false";
  else {
    CLabelUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

// Press inside, release inside: a click. Space and Enter click too.
void CButtonUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_DBLCLICK:
      if (!m_bDblClick) return;
      [[fallthrough]];
    case UIEVENT_BUTTONDOWN:
      if (IsEnabled() && PtIn(m_rcItem, event.ptMouse)) {
        m_bPushed = true;
        m_bCaptured = true;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bCaptured) {
        bool inside = PtIn(m_rcItem, event.ptMouse);
        if (inside != m_bPushed) {
          m_bPushed = inside;
          Invalidate();
        }
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_bCaptured) {
        m_bCaptured = false;
        m_bPushed = false;
        Invalidate();
        if (PtIn(m_rcItem, event.ptMouse)) Activate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        m_bHot = true;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      m_bHot = false;
      Invalidate();
      return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == L' ' || event.chKey == L'\r') Activate();
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  SendNotify(DUI_MSGTYPE_CLICK);
  return true;
}

void CButtonUI::PaintStatusImage(HDC hDC) {
  if (IsEnabled() && m_bHot && m_dwHotBkColor) render::DrawColor(hDC, m_rcItem, m_dwHotBkColor);
  if (!IsEnabled() && !m_sDisabledImage.empty() && DrawImage(hDC, m_sDisabledImage)) return;
  if (m_bPushed && !m_sPushedImage.empty() && DrawImage(hDC, m_sPushedImage)) return;
  if (m_bHot && !m_sHotImage.empty() && DrawImage(hDC, m_sHotImage)) return;
  if (m_bFocused && !m_sFocusedImage.empty() && DrawImage(hDC, m_sFocusedImage)) return;
  if (!m_sNormalImage.empty()) DrawImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintText(HDC hDC) {
  DWORD color = m_dwTextColor;
  if (!IsEnabled()) color = m_dwDisabledTextColor ? m_dwDisabledTextColor : 0xFFA0A0A0;
  else if (m_bPushed && m_dwPushedTextColor) color = m_dwPushedTextColor;
  else if (m_bHot && m_dwHotTextColor) color = m_dwHotTextColor;
  DrawTextIn(hDC, GetText(), color, m_rcItem);
}

// ---- COptionUI -----------------------------------------------------------

COptionUI::~COptionUI() {
  if (m_pManager && !m_sGroupName.empty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  CButtonUI::SetManager(manager, parent, init);
  if (init && manager && !m_sGroupName.empty()) manager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  DWORD color = 0;
  if (name == L"group") SetGroup(value);
  else if (name == L"selected") Selected(ParseBool(value), true);
  else if (name == L"selectedimage") SetSelectedImage(value);
  else if (name == L"selectedhotimage") m_sSelectedHotImage = value;
  else if (name == L"selectedtextcolor" && ParseColor(value, color)) m_dwSelectedTextColor = color;
  else if (name == L"selectedbkcolor" && ParseColor(value, color)) m_dwSelectedBkColor = color;
  else {
    CButtonUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

void COptionUI::SetGroup(const std::wstring& group) {
  if (group == m_sGroupName) return;
  if (m_pManager && !m_sGroupName.empty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  m_sGroupName = group;
  if (m_pManager && !m_sGroupName.empty()) {
    m_pManager->AddOptionGroup(m_sGroupName, this);
    if (m_bSelected) {
      m_bSelected = false;  // re-select so the rest of the new group lets go
      Selected(true, false);
    }
  }
}

// Sets the state, lets the rest of the group go, then reports.
void COptionUI::Selected(bool selected, bool notify) {
  if (m_bSelected == selected) return;
  m_bSelected = selected;
  if (selected && m_pManager && !m_sGroupName.empty()) {
    if (const auto* group = m_pManager->GetOptionGroup(m_sGroupName)) {
      std::vector<CControlUI*> members = *group;  // deselecting may notify and change the group
      for (CControlUI* c : members) {
        auto* other = static_cast<COptionUI*>(c);
        if (other != this && other->IsSelected()) other->Selected(false, notify);
      }
    }
  }
  Invalidate();
  if (notify) SendNotify(DUI_MSGTYPE_SELECTCHANGED);
}

AccessibleRoleUI COptionUI::GetAccessibleRole() const {
  return m_sGroupName.empty() ? UIROLE_CHECKBUTTON : UIROLE_RADIOBUTTON;
}

bool COptionUI::Activate() {
  if (!CButtonUI::Activate()) return false;
  if (!m_sGroupName.empty()) Selected(true);
  else Selected(!m_bSelected);
  return true;
}

void COptionUI::PaintStatusImage(HDC hDC) {
  if (m_bSelected) {
    if (m_dwSelectedBkColor) render::DrawColor(hDC, m_rcItem, m_dwSelectedBkColor);
    if (m_bHot && !m_sSelectedHotImage.empty() && DrawImage(hDC, m_sSelectedHotImage)) return;
    if (!m_sSelectedImage.empty() && DrawImage(hDC, m_sSelectedImage)) return;
  }
  CButtonUI::PaintStatusImage(hDC);
}

void COptionUI::PaintText(HDC hDC) {
  if (m_bSelected && m_dwSelectedTextColor && IsEnabled()) {
    DrawTextIn(hDC, GetText(), m_dwSelectedTextColor, m_rcItem);
    return;
  }
  CButtonUI::PaintText(hDC);
}

// ---- CProgressUI ---------------------------------------------------------

void CProgressUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"hor" || name == L"horizontal") SetHorizontal(ParseBool(value));
  else if (name == L"min") SetMinValue(ToInt(value));
  else if (name == L"max") SetMaxValue(ToInt(value));
  else if (name == L"value") SetValue(ToInt(value));
  else {
    CLabelUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

void CProgressUI::SetHorizontal(bool horizontal) {
  m_bHorizontal = horizontal;
  Invalidate();
}

void CProgressUI::SetMinValue(int min) {
  m_nMin = min;
  if (m_nMax < m_nMin) m_nMax = m_nMin;
  SetValue(m_nValue);
  Invalidate();
}

void CProgressUI::SetMaxValue(int max) {
  m_nMax = max;
  if (m_nMin > m_nMax) m_nMin = m_nMax;
  SetValue(m_nValue);
  Invalidate();
}

void CProgressUI::SetValue(int value) {
  m_nValue = std::min(std::max(value, m_nMin), m_nMax);
  Invalidate();
}

// The part of the bar that the value fills (from the left or the bottom).
RECT CProgressUI::FilledRect() const {
  RECT rc = m_rcItem;
  double range = static_cast<double>(m_nMax) - m_nMin;
  double f = range > 0 ? (static_cast<double>(m_nValue) - m_nMin) / range : 0.0;
  if (m_bHorizontal) rc.right = rc.left + static_cast<LONG>((m_rcItem.right - m_rcItem.left) * f);
  else rc.top = rc.bottom - static_cast<LONG>((m_rcItem.bottom - m_rcItem.top) * f);
  return rc;
}

void CProgressUI::PaintForeColor(HDC hDC) {
  if (m_dwForeColor) render::DrawColor(hDC, FilledRect(), m_dwForeColor);
}

void CProgressUI::PaintForeImage(HDC hDC) {
  if (m_sForeImage.empty()) return;
  RECT rc = FilledRect();
  if (rc.right > rc.left && rc.bottom > rc.top) DrawImage(hDC, m_sForeImage, &rc);
}

// ---- CSliderUI -----------------------------------------------------------

void CSliderUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"step") SetChangeStep(ToInt(value));
  else if (name == L"thumbsize") SetThumbSize(ParseSize(value));
  else if (name == L"thumbimage") m_sThumbImage = value;
  else if (name == L"thumbhotimage") m_sThumbHotImage = value;
  else {
    CProgressUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

RECT CSliderUI::GetThumbRect() const {
  RECT fill = FilledRect();
  LONG cx = m_pManager ? m_pManager->ScaleValue(m_szThumb.cx) : m_szThumb.cx;
  LONG cy = m_pManager ? m_pManager->ScaleValue(m_szThumb.cy) : m_szThumb.cy;
  if (m_bHorizontal) {
    LONG mid = (m_rcItem.top + m_rcItem.bottom) / 2;
    return RECT{fill.right - cx / 2, mid - cy / 2, fill.right - cx / 2 + cx, mid - cy / 2 + cy};
  }
  LONG mid = (m_rcItem.left + m_rcItem.right) / 2;
  return RECT{mid - cx / 2, fill.top - cy / 2, mid - cx / 2 + cx, fill.top - cy / 2 + cy};
}

int CSliderUI::ValueAt(POINT pt) const {
  double range = static_cast<double>(m_nMax) - m_nMin;
  double f;
  if (m_bHorizontal) {
    LONG w = m_rcItem.right - m_rcItem.left;
    f = w > 0 ? static_cast<double>(pt.x - m_rcItem.left) / w : 0.0;
  } else {
    LONG h = m_rcItem.bottom - m_rcItem.top;
    f = h > 0 ? static_cast<double>(m_rcItem.bottom - pt.y) / h : 0.0;
  }
  f = std::min(1.0, std::max(0.0, f));
  return m_nMin + static_cast<int>(std::lround(f * range));
}

void CSliderUI::SetValueByUser(int value) {
  int old = m_nValue;
  SetValue(value);
  if (m_nValue != old) SendNotify(DUI_MSGTYPE_VALUECHANGED);
}

void CSliderUI::DoEvent(TEventUI& event) {
  if (!IsEnabled()) {
    CProgressUI::DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      m_bDragging = true;
      SetValueByUser(ValueAt(event.ptMouse));
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bDragging) SetValueByUser(ValueAt(event.ptMouse));
      return;
    case UIEVENT_BUTTONUP:
      m_bDragging = false;
      return;
    case UIEVENT_SCROLLWHEEL:
      SetValueByUser(m_nValue + (static_cast<LPARAM>(event.wParam) > 0 ? m_nStep : -m_nStep));
      return;
    default:
      CProgressUI::DoEvent(event);
  }
}

void CSliderUI::PaintStatusImage(HDC hDC) {
  RECT thumb = GetThumbRect();
  const std::wstring& image = m_bDragging && !m_sThumbHotImage.empty() ? m_sThumbHotImage : m_sThumbImage;
  if (!image.empty()) DrawImage(hDC, image, &thumb);
}

// ---- CGifAnimUI ----------------------------------------------------------

static const UINT kGifTimer = 1;

CGifAnimUI::~CGifAnimUI() {
  if (m_pManager) m_pManager->KillTimers(this);
}

void CGifAnimUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"bkimage" || name == L"gif") SetGifImage(value);
  else if (name == L"autoplay") m_bAutoPlay = ParseBool(value);
  else {
    CControlUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

void CGifAnimUI::SetGifImage(const std::wstring& image) {
  m_sGif = image;
  m_nFrame = 0;
  Invalidate();
}

void CGifAnimUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (visible && m_bAutoPlay && !m_bPlaying) PlayGif();
}

int CGifAnimUI::GetFrameCount() {
  const TImageInfo* info = m_pManager && !m_sGif.empty() ? m_pManager->GetImage(m_sGif) : nullptr;
  return info ? info->frames : 0;
}

void CGifAnimUI::PlayGif() {
  if (m_bPlaying) return;
  m_bPlaying = true;
  ScheduleNextFrame();
}

void CGifAnimUI::PauseGif() {
  m_bPlaying = false;
  if (m_pManager) m_pManager->KillTimer(this, kGifTimer);
}

void CGifAnimUI::StopGif() {
  PauseGif();
  m_nFrame = 0;
  Invalidate();
}

// Arms the timer with the current frame's delay (100 ms when unknown).
void CGifAnimUI::ScheduleNextFrame() {
  if (!m_pManager) return;
  UINT delay = 100;
  const TImageInfo* info = m_sGif.empty() ? nullptr : m_pManager->GetImage(m_sGif);
  if (info && m_nFrame < static_cast<int>(info->frameDelays.size()) && info->frameDelays[m_nFrame] >= 20)
    delay = info->frameDelays[m_nFrame];
  m_pManager->SetTimer(this, kGifTimer, delay);
}

void CGifAnimUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_TIMER && event.wParam == kGifTimer) {
    if (!m_bPlaying) return;
    int frames = GetFrameCount();
    m_nFrame = frames > 0 ? (m_nFrame + 1) % frames : 0;
    Invalidate();
    ScheduleNextFrame();
    return;
  }
  CControlUI::DoEvent(event);
}

void CGifAnimUI::PaintBkImage(HDC hDC) {
  if (m_sGif.empty() || !m_pManager) return;
  const TImageInfo* info = m_pManager->GetImage(m_sGif);
  if (!info) return;
  render::SelectFrame(const_cast<TImageInfo&>(*info), m_nFrame);
  render::DrawImage(hDC, *info, m_rcItem, RECT{0, 0, info->width, info->height}, RECT{0, 0, 0, 0}, 255);
}

// ---- CColorPaletteUI -----------------------------------------------------

void CColorPaletteUI::SetSelectColor(DWORD argb) {
  m_dwSelectColor = argb;
  Invalidate();
}

// Hue runs left to right; the upper half goes from white to the pure hue,
// the lower half from the pure hue to black.
DWORD CColorPaletteUI::ColorAt(POINT pt) const { return PaletteColorAt(m_rcItem, pt); }

DWORD PaletteColorAt(const RECT& rc, POINT pt) {
  LONG w = std::max<LONG>(1, rc.right - rc.left);
  LONG h = std::max<LONG>(1, rc.bottom - rc.top);
  double hx = std::min(1.0, std::max(0.0, static_cast<double>(pt.x - rc.left) / w));
  double vy = std::min(1.0, std::max(0.0, static_cast<double>(pt.y - rc.top) / h));
  double hue = hx * 6.0;
  int sector = static_cast<int>(hue) % 6;
  double f = hue - std::floor(hue);
  double r = 0, g = 0, b = 0;
  switch (sector) {
    case 0: r = 1; g = f; break;
    case 1: r = 1 - f; g = 1; break;
    case 2: g = 1; b = f; break;
    case 3: g = 1 - f; b = 1; break;
    case 4: r = f; b = 1; break;
    default: r = 1; b = 1 - f; break;
  }
  auto mix = [vy](double c) {
    double v = vy < 0.5 ? 1.0 - (1.0 - c) * (vy * 2.0) : c * (1.0 - (vy - 0.5) * 2.0);
    return static_cast<DWORD>(std::lround(std::min(1.0, std::max(0.0, v)) * 255.0));
  };
  return 0xFF000000u | (mix(r) << 16) | (mix(g) << 8) | mix(b);
}

void CColorPaletteUI::DoEvent(TEventUI& event) {
  if ((event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) && IsEnabled() &&
      PtIn(m_rcItem, event.ptMouse)) {
    SetSelectColor(ColorAt(event.ptMouse));
    SendNotify(DUI_MSGTYPE_COLORCHANGED);
    return;
  }
  CControlUI::DoEvent(event);
}

void CColorPaletteUI::PaintBkColor(HDC hDC) { render::DrawPalette(hDC, m_rcItem); }
