// CPopAbout: the program's version and build date, closed by its button
// or Alt+F4.
#include "dialogs.h"
#include "localization.h"
#include "main_wnd.h"

namespace {
const wchar_t kBuildDate[] = L"2025-05-19 ";
}  // namespace

namespace {
// A language text with its "%s" replaced by the value.
std::wstring KeyWithValue(const wchar_t* key, const std::wstring& value) {
  std::wstring text = LangText(key);
  const size_t at = text.find(L"%s");
  return at == std::wstring::npos ? text : text.replace(at, 2, value);
}
}  // namespace

// The language texts keep blanks after the colon that line the version up
// with the date below.
std::wstring AboutVersionText() { return KeyWithValue(L"about.version", kVersionText); }

// The date keeps its trailing blank.
std::wstring AboutBuildDateText() { return KeyWithValue(L"about.builddate", kBuildDate); }

// Created over the owner, centred on it, and run modally; the object
// deletes itself when its window goes.
void CPopAbout::ShowModalOver(HWND owner) {
  auto* dialog = new CPopAbout();
  if (!dialog->Create(owner, L"", kAboutStyle, kAboutExStyle, 0, 0, 0, 0)) return;
  dialog->CenterWindow();
  dialog->ShowModal();
}

// A label the markup lacks is skipped.
void CPopAbout::InitWindow() {
  if (CControlUI* version = m_pm.FindControl(L"app_version")) version->SetText(AboutVersionText());
  if (CControlUI* date = m_pm.FindControl(L"app_time")) date->SetText(AboutBuildDateText());
}

// Names are compared without regard to case.
void CPopAbout::OnClick(TNotifyUI& msg) {
  if (msg.pSender && toolkit::EqualsNoCase(msg.pSender->GetName(), L"closebtn")) Close();
}

// The dialog owns itself.
void CPopAbout::OnFinalMessage(HWND) { delete this; }
