// Text boxes. The portable part keeps the text (and, for the rich edit,
// its formatted runs); where the host has native text boxes (Windows: an
// EDIT or RICHEDIT50W child window) each control also owns one placed
// over it, which does the editing.
#include "toolkit/controls.h"

#include <algorithm>

#include "render.h"
#include "toolkit/paint_manager.h"

using toolkit::ParseBool;
using toolkit::ParseColor;

// ---- CEditUI -------------------------------------------------------------

CEditUI::CEditUI() { m_rcTextPadding = RECT{4, 3, 4, 3}; }

CEditUI::~CEditUI() { render::DestroyTextBox(m_hNative); }

void CEditUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  if (name == L"maxchar") SetMaxChar(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)));
  else if (name == L"readonly") SetReadOnly(ParseBool(value));
  else if (name == L"password") SetPasswordMode(ParseBool(value));
  else if (name == L"numberonly") SetNumberOnly(ParseBool(value));
  else {
    CLabelUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

std::wstring CEditUI::GetText() const { return m_sText; }

// Programmatic changes do not send "textchanged".
void CEditUI::SetText(const std::wstring& text) {
  m_sText = text.size() > static_cast<size_t>(m_iMaxChar) && m_iMaxChar > 0 ? text.substr(0, m_iMaxChar) : text;
  m_selStart = m_selEnd = static_cast<int>(m_sText.size());
  if (m_hNative) {
    m_bSettingText = true;
    render::SetTextBoxText(m_hNative, m_sText);
    m_bSettingText = false;
    ApplyBoxFont(false);
  }
  Invalidate();
}

// The box draws in the control's font, or in one like it whose face has
// all of the text (a Japanese name in a session started in English).
void CEditUI::ApplyBoxFont(bool force) {
  if (!m_hNative || !m_pManager) return;
  HFONT font = render::FontFor(m_pManager, m_iFont, m_sText);
  if (!force && font == m_hBoxFont) return;
  m_hBoxFont = font;
  render::SetTextBoxFont(m_hNative, font, true);
}

void CEditUI::OnUserTextChanged(const std::wstring& text) {
  if (m_bSettingText || text == m_sText) return;
  m_sText = text;
  ApplyBoxFont(false);
  SendNotify(DUI_MSGTYPE_TEXTCHANGED);
}

void CEditUI::SetMaxChar(int maxChar) {
  m_iMaxChar = maxChar;
  if (m_hNative) render::SetTextBoxLimit(m_hNative, maxChar);
}

void CEditUI::SetReadOnly(bool readOnly) {
  m_bReadOnly = readOnly;
  if (m_hNative) render::SetTextBoxReadOnly(m_hNative, readOnly);
}

void CEditUI::SetPasswordMode(bool password) {
  m_bPassword = password;
  if (m_hNative) render::SetTextBoxPassword(m_hNative, password);
}

void CEditUI::SetNumberOnly(bool numberOnly) {
  m_bNumberOnly = numberOnly;
  if (m_hNative) render::SetTextBoxNumberOnly(m_hNative, numberOnly);
}

void CEditUI::SetSel(int start, int end) {
  int len = static_cast<int>(m_sText.size());
  if (start < 0 || start > len) start = len;
  if (end < 0 || end > len) end = len;
  m_selStart = start;
  m_selEnd = end;
  if (m_hNative) render::SelectInTextBox(m_hNative, start, end);
}

void CEditUI::SetSelEnd() { SetSel(-1, -1); }

void CEditUI::SetFocus() {
  CControlUI::SetFocus();
  if (m_hNative) render::FocusTextBox(m_hNative);
}

// Focus given by Tab puts the caret into the native box.
void CEditUI::DoEvent(TEventUI& event) {
  if ((event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) && IsEnabled()) {
    SetFocus();
    return;
  }
  if (event.Type == UIEVENT_SETFOCUS && m_hNative) render::FocusTextBox(m_hNative);
  CLabelUI::DoEvent(event);
}

void CEditUI::SetPos(RECT rc, bool needInvalidate) {
  CLabelUI::SetPos(rc, needInvalidate);
  SyncNative();
}

void CEditUI::SetVisible(bool visible) {
  CLabelUI::SetVisible(visible);
  SyncNative();
}

void CEditUI::SetInternVisible(bool visible) {
  CLabelUI::SetInternVisible(visible);
  SyncNative();
}

void CEditUI::SetEnabled(bool enable) {
  CLabelUI::SetEnabled(enable);
  if (m_hNative) render::EnableTextBox(m_hNative, enable);
}

// Creates the native box on first layout and keeps it over the control.
void CEditUI::SyncNative() {
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (!m_hNative) {
    render::TTextBoxStyle style;
    style.readOnly = m_bReadOnly;
    style.numberOnly = m_bNumberOnly;
    style.password = m_bPassword;
    m_hNative = render::CreateTextBox(this, m_pManager, style);
    if (!m_hNative) return;
    render::SetTextBoxLimit(m_hNative, m_iMaxChar);
    m_bSettingText = true;
    render::SetTextBoxText(m_hNative, m_sText);
    m_bSettingText = false;
    render::EnableTextBox(m_hNative, IsEnabled());
  }
  // A language switch or a new DPI rebuilds the fonts and deletes the one
  // the box holds.
  if (m_fontGeneration != m_pManager->GetFontGeneration()) {
    m_fontGeneration = m_pManager->GetFontGeneration();
    ApplyBoxFont(true);
  }
  RECT rc = m_rcItem;
  rc.left += Scale(m_rcTextPadding.left);
  rc.top += Scale(m_rcTextPadding.top);
  rc.right -= Scale(m_rcTextPadding.right);
  rc.bottom -= Scale(m_rcTextPadding.bottom);
  // The box is one line high and centred, so the text sits in the middle of
  // the field and the field's own border stays visible above and below.
  const LONG line = render::TextBoxLineHeight(m_hNative, m_pManager->GetFont(m_iFont));
  const LONG inner = Scale(2);
  if (line > 0 && rc.bottom - rc.top > line) {
    rc.top += std::max<LONG>((rc.bottom - rc.top - line) / 2, 0);
    rc.bottom = rc.top + line;
  } else {
    rc.top += inner;
    rc.bottom -= inner;
  }
  render::PlaceTextBox(m_hNative, rc, IsVisible() && rc.right > rc.left && rc.bottom > rc.top);
}

// The native box draws the text itself; without one (headless) nothing is
// drawn either.
void CEditUI::PaintText(HDC) {}

// ---- CRichEditUI ---------------------------------------------------------

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() { render::DestroyTextBox(m_hNative); }

void CRichEditUI::SetAttribute(const std::wstring& rawName, const std::wstring& value) {
  std::wstring name = toolkit::ToLower(rawName);
  DWORD color = 0;
  if (name == L"readonly") SetReadOnly(ParseBool(value));
  else if (name == L"wantreturn") m_bWantReturn = ParseBool(value);
  else if (name == L"font") m_iFont = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
  else if (name == L"textcolor" && ParseColor(value, color)) m_dwTextColor = color;
  else {
    CControlUI::SetAttribute(rawName, value);
    return;
  }
  m_attributes[name] = value;
}

std::wstring CRichEditUI::GetText() const {
  if (m_hNative && !m_bReadOnly) return render::TextBoxText(m_hNative);
  return m_text;
}

void CRichEditUI::SetText(const std::wstring& text) {
  m_text = text;
  m_runs.clear();
  if (m_hNative) render::SetTextBoxText(m_hNative, text);
  Invalidate();
}

bool CRichEditUI::SetSelectionCharFormat(const TCharFormatUI& format) {
  m_current = format;
  return !m_hNative || render::FormatTextBoxEnd(m_hNative, format);
}

void CRichEditUI::AppendText(const std::wstring& text, bool canUndo) {
  if (text.empty()) return;
  Run run;
  run.start = m_text.size();
  run.length = text.size();
  run.format = m_current;
  m_text += text;
  if (!m_runs.empty() && m_runs.back().start + m_runs.back().length == run.start &&
      m_runs.back().format.textColor == run.format.textColor && m_runs.back().format.mask == run.format.mask &&
      m_runs.back().format.effects == run.format.effects && m_runs.back().format.heightTwips == run.format.heightTwips &&
      m_runs.back().format.faceName == run.format.faceName)
    m_runs.back().length += run.length;
  else
    m_runs.push_back(run);
  if (m_hNative) render::AppendToTextBox(m_hNative, text, canUndo);
}

void CRichEditUI::EndDown() {
  if (m_hNative) render::ScrollTextBoxToEnd(m_hNative);
}

void CRichEditUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SETFOCUS && m_hNative) render::FocusTextBox(m_hNative);
  CControlUI::DoEvent(event);
}

void CRichEditUI::SetReadOnly(bool readOnly) {
  m_bReadOnly = readOnly;
  if (m_hNative) render::SetTextBoxReadOnly(m_hNative, readOnly);
}

void CRichEditUI::SetEnabled(bool enable) {
  CControlUI::SetEnabled(enable);
  if (m_hNative) render::EnableTextBox(m_hNative, enable);
}

void CRichEditUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  SetPos(m_rcItem, false);
}

void CRichEditUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  SetPos(m_rcItem, false);
}

// Creates the native box (a rich one) on first layout and keeps it over the
// control; the portable text and runs are copied into it.
void CRichEditUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (!m_hNative) {
    render::TTextBoxStyle style;
    style.rich = true;
    style.readOnly = m_bReadOnly;
    style.wantReturn = m_bWantReturn;
    m_hNative = render::CreateTextBox(this, m_pManager, style);
    if (!m_hNative) return;
    render::SetTextBoxFont(m_hNative, m_pManager->GetFont(m_iFont), false);
    if (m_dwTextColor) render::SetTextBoxColor(m_hNative, m_dwTextColor);
    std::wstring text = m_text;
    std::vector<Run> runs = m_runs;
    TCharFormatUI current = m_current;
    SetText(L"");
    size_t at = 0;
    for (const Run& r : runs) {
      if (r.start > at) AppendText(text.substr(at, r.start - at));
      SetSelectionCharFormat(r.format);
      AppendText(text.substr(r.start, r.length));
      at = r.start + r.length;
    }
    if (at < text.size()) AppendText(text.substr(at));
    SetSelectionCharFormat(current);
  }
  render::PlaceTextBox(m_hNative, m_rcItem, IsVisible() && m_rcItem.right > m_rcItem.left);
}
