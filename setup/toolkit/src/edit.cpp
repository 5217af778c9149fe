// Text boxes. The portable part keeps the text (and, for the rich edit,
// its formatted runs); on Windows each box also owns a native child window
// (EDIT or RICHEDIT50W) placed over the control, which does the editing.
#include "toolkit/controls.h"

#include <algorithm>

#include "render.h"
#include "toolkit/paint_manager.h"

#ifdef _WIN32
#include <richedit.h>
#endif

using toolkit::ParseBool;
using toolkit::ParseColor;

#ifdef _WIN32
namespace {
const wchar_t kControlProp[] = L"toolkit.control";

// Creates a native child over the control; it finds its way back to the
// control through a window property.
HWND CreateNativeChild(CControlUI* owner, CPaintManagerUI* pm, const wchar_t* cls, DWORD style) {
  HWND parent = pm ? pm->GetPaintWindow() : nullptr;
  if (!parent) return nullptr;
  HWND h = CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 0, 0, parent, nullptr,
                           CPaintManagerUI::GetInstance(), nullptr);
  if (h) SetPropW(h, kControlProp, reinterpret_cast<HANDLE>(owner));
  return h;
}

void DestroyNativeChild(HWND& h) {
  if (h && IsWindow(h)) {
    RemovePropW(h, kControlProp);
    DestroyWindow(h);
  }
  h = nullptr;
}

void PlaceNativeChild(HWND h, const RECT& rc, bool visible) {
  if (!h) return;
  SetWindowPos(h, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

// The height of one line of text in a font.
LONG LineHeight(HWND h, HFONT font) {
  HDC dc = GetDC(h);
  if (!dc) return 0;
  HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW tm{};
  const BOOL ok = GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return ok ? tm.tmHeight : 0;
}

std::wstring NativeText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(h, &s[0], n + 1);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

// The rich edit library of the system folder only: the program runs
// elevated and may be started from a folder where anyone can drop a DLL.
// Windows 7 without its 2011 loader update lacks the search flag (error
// 87); the full path serves there.
HMODULE LoadRichEditLibrary() {
  const wchar_t kName[] = L"Msftedit.dll";
  HMODULE module = LoadLibraryExW(kName, nullptr, 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + kName;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
}  // namespace
#endif

// ---- CEditUI -------------------------------------------------------------

CEditUI::CEditUI() { m_rcTextPadding = RECT{4, 3, 4, 3}; }

CEditUI::~CEditUI() {
#ifdef _WIN32
  DestroyNativeChild(m_hNative);
#endif
}

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
#ifdef _WIN32
  if (m_hNative) {
    m_bSettingText = true;
    SetWindowTextW(m_hNative, m_sText.c_str());
    m_bSettingText = false;
  }
#endif
  Invalidate();
}

void CEditUI::OnUserTextChanged(const std::wstring& text) {
  if (m_bSettingText || text == m_sText) return;
  m_sText = text;
  SendNotify(DUI_MSGTYPE_TEXTCHANGED);
}

void CEditUI::SetMaxChar(int maxChar) {
  m_iMaxChar = maxChar;
#ifdef _WIN32
  if (m_hNative) SendMessageW(m_hNative, EM_LIMITTEXT, static_cast<WPARAM>(maxChar), 0);
#endif
}

void CEditUI::SetReadOnly(bool readOnly) {
  m_bReadOnly = readOnly;
#ifdef _WIN32
  if (m_hNative) SendMessageW(m_hNative, EM_SETREADONLY, readOnly, 0);
#endif
}

void CEditUI::SetPasswordMode(bool password) {
  m_bPassword = password;
#ifdef _WIN32
  if (m_hNative) {
    SendMessageW(m_hNative, EM_SETPASSWORDCHAR, password ? L'*' : 0, 0);
    InvalidateRect(m_hNative, nullptr, TRUE);
  }
#endif
}

void CEditUI::SetNumberOnly(bool numberOnly) {
  m_bNumberOnly = numberOnly;
#ifdef _WIN32
  if (m_hNative) {
    LONG style = GetWindowLongW(m_hNative, GWL_STYLE);
    SetWindowLongW(m_hNative, GWL_STYLE, numberOnly ? (style | ES_NUMBER) : (style & ~ES_NUMBER));
  }
#endif
}

void CEditUI::SetSel(int start, int end) {
  int len = static_cast<int>(m_sText.size());
  if (start < 0 || start > len) start = len;
  if (end < 0 || end > len) end = len;
  m_selStart = start;
  m_selEnd = end;
#ifdef _WIN32
  if (m_hNative) SendMessageW(m_hNative, EM_SETSEL, static_cast<WPARAM>(start), end);
#endif
}

void CEditUI::SetSelEnd() { SetSel(-1, -1); }

void CEditUI::SetFocus() {
  CControlUI::SetFocus();
#ifdef _WIN32
  if (m_hNative && IsWindowVisible(m_hNative)) ::SetFocus(m_hNative);
#endif
}

void CEditUI::DoEvent(TEventUI& event) {
  if ((event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) && IsEnabled()) {
    SetFocus();
    return;
  }
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
#ifdef _WIN32
  if (m_hNative) EnableWindow(m_hNative, enable);
#endif
}

// Creates the native box on first layout and keeps it over the control.
void CEditUI::SyncNative() {
#ifdef _WIN32
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (!m_hNative) {
    DWORD style = ES_AUTOHSCROLL | (m_bReadOnly ? ES_READONLY : 0) | (m_bNumberOnly ? ES_NUMBER : 0) |
                  (m_bPassword ? ES_PASSWORD : 0);
    m_hNative = CreateNativeChild(this, m_pManager, L"EDIT", style);
    if (!m_hNative) return;
    SendMessageW(m_hNative, EM_LIMITTEXT, static_cast<WPARAM>(m_iMaxChar), 0);
    m_bSettingText = true;
    SetWindowTextW(m_hNative, m_sText.c_str());
    m_bSettingText = false;
    EnableWindow(m_hNative, IsEnabled());
  }
  // A language switch or a new DPI rebuilds the fonts and deletes the one
  // the box holds.
  if (m_fontGeneration != m_pManager->GetFontGeneration()) {
    m_fontGeneration = m_pManager->GetFontGeneration();
    SendMessageW(m_hNative, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), TRUE);
  }
  RECT rc = m_rcItem;
  rc.left += Scale(m_rcTextPadding.left);
  rc.top += Scale(m_rcTextPadding.top);
  rc.right -= Scale(m_rcTextPadding.right);
  rc.bottom -= Scale(m_rcTextPadding.bottom);
  // The box is one line high and centred, so the text sits in the middle of
  // the field and the field's own border stays visible above and below.
  const LONG line = LineHeight(m_hNative, m_pManager->GetFont(m_iFont));
  const LONG inner = Scale(2);
  if (line > 0 && rc.bottom - rc.top > line) {
    rc.top += std::max<LONG>((rc.bottom - rc.top - line) / 2, 0);
    rc.bottom = rc.top + line;
  } else {
    rc.top += inner;
    rc.bottom -= inner;
  }
  PlaceNativeChild(m_hNative, rc, IsVisible() && rc.right > rc.left && rc.bottom > rc.top);
#endif
}

// The native box draws the text itself; without one (headless) nothing is
// drawn either.
void CEditUI::PaintText(HDC) {}

// ---- CRichEditUI ---------------------------------------------------------

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
#ifdef _WIN32
  DestroyNativeChild(m_hNative);
#endif
}

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
#ifdef _WIN32
  if (m_hNative && !m_bReadOnly) return NativeText(m_hNative);
#endif
  return m_text;
}

void CRichEditUI::SetText(const std::wstring& text) {
  m_text = text;
  m_runs.clear();
#ifdef _WIN32
  if (m_hNative) SetWindowTextW(m_hNative, text.c_str());
#endif
  Invalidate();
}

bool CRichEditUI::SetSelectionCharFormat(const TCharFormatUI& format) {
  m_current = format;
#ifdef _WIN32
  if (m_hNative) {
    CHARFORMAT2W cf;
    ZeroMemory(&cf, sizeof cf);
    cf.cbSize = sizeof cf;
    cf.dwMask = format.mask;
    cf.dwEffects = format.effects;
    cf.yHeight = format.heightTwips;
    cf.crTextColor = format.textColor;
    lstrcpynW(cf.szFaceName, format.faceName.c_str(), LF_FACESIZE);
    // A click into the box moves the selection; the format is meant for the
    // next line at the end, not for the word the user clicked on.
    const int len = GetWindowTextLengthW(m_hNative);
    SendMessageW(m_hNative, EM_SETSEL, static_cast<WPARAM>(len), len);
    return SendMessageW(m_hNative, EM_SETCHARFORMAT, SCF_SELECTION | SCF_WORD, reinterpret_cast<LPARAM>(&cf)) != 0;
  }
#endif
  return true;
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
#ifdef _WIN32
  if (m_hNative) {
    int len = GetWindowTextLengthW(m_hNative);
    SendMessageW(m_hNative, EM_SETSEL, static_cast<WPARAM>(len), len);
    SendMessageW(m_hNative, EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text.c_str()));
  }
#else
  (void)canUndo;
#endif
}

void CRichEditUI::EndDown() {
#ifdef _WIN32
  if (m_hNative) {
    SendMessageW(m_hNative, WM_VSCROLL, SB_BOTTOM, 0);
    SendMessageW(m_hNative, EM_SCROLLCARET, 0, 0);
  }
#endif
}

void CRichEditUI::SetReadOnly(bool readOnly) {
  m_bReadOnly = readOnly;
#ifdef _WIN32
  if (m_hNative) SendMessageW(m_hNative, EM_SETREADONLY, readOnly, 0);
#endif
}

void CRichEditUI::SetEnabled(bool enable) {
  CControlUI::SetEnabled(enable);
#ifdef _WIN32
  if (m_hNative) EnableWindow(m_hNative, enable);
#endif
}

void CRichEditUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  SetPos(m_rcItem, false);
}

void CRichEditUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  SetPos(m_rcItem, false);
}

// Creates the native box (Msftedit's RICHEDIT50W) on first layout and keeps
// it over the control; the portable text and runs are copied into it.
void CRichEditUI::SetPos(RECT rc, bool needInvalidate) {
  CControlUI::SetPos(rc, needInvalidate);
#ifdef _WIN32
  if (!m_pManager || !m_pManager->GetPaintWindow()) return;
  if (!m_hNative) {
    static HMODULE msftedit = LoadRichEditLibrary();
    if (!msftedit) return;
    DWORD style = WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | (m_bReadOnly ? ES_READONLY : 0) |
                  (m_bWantReturn ? ES_WANTRETURN : 0);
    m_hNative = CreateNativeChild(this, m_pManager, L"RICHEDIT50W", style);
    if (!m_hNative) return;
    SendMessageW(m_hNative, WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)), FALSE);
    SendMessageW(m_hNative, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    if (m_dwTextColor) {
      CHARFORMAT2W cf;
      ZeroMemory(&cf, sizeof cf);
      cf.cbSize = sizeof cf;
      cf.dwMask = CFM_COLOR;
      cf.crTextColor = RGB((m_dwTextColor >> 16) & 0xFF, (m_dwTextColor >> 8) & 0xFF, m_dwTextColor & 0xFF);
      SendMessageW(m_hNative, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    }
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
  PlaceNativeChild(m_hNative, m_rcItem, IsVisible() && m_rcItem.right > m_rcItem.left);
#endif
}
