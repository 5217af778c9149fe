// CPopLanguage: one radio option per language of the table; a click
// switches the program's language while the dialog stays open.
#include "dialogs.h"
#include "localization.h"

#include <algorithm>
#include <cstdlib>
#include <string>

// Created over the owner (the main window, which the switch notifies),
// centred on it, and run modally.
void CPopLanguage::ShowModalOver(HWND owner, SetupEngine& engine) {
  auto* dialog = new CPopLanguage(engine);
  if (!dialog->Create(owner, L"", kPopupDialogStyle, 0, 0, 0, 0, 0)) return;
  dialog->CenterWindow();
  dialog->ShowModal();
}

// The options' texts are the languages' name keys, so each shows its name
// in the current language and follows a switch.
void CPopLanguage::InitWindow() {
  auto* list = m_pm.FindControlAs<CContainerUI>(L"verLanList");
  if (!list) return;
  for (const auto& entry : engine_.languages) {
    const LanguageInfo& row = entry.second;
    auto* option = new COptionUI();
    list->Add(option);
    option->SetResourceText(true);
    option->SetText(row.NameKey());
    option->SetUserData(std::to_wstring(row.langId));
    option->SetAttribute(L"name", L"radiolan");
    option->ApplyStyle(L"radio_style");
    option->SetAttribute(L"autocalcwidth", L"true");
    option->SetAttribute(L"minWidth", L"180");
    option->SetAttribute(L"align", L"left");
    option->SetAttribute(L"group", L"lanGroup");
    option->SetAttribute(L"textpadding", L"20,0,6,0");
    if (row.langId == engine_.currentLanguage) option->SetAttribute(L"selected", L"true");
  }
  FitList(*list);
}

// The markup's height holds seven options. For more the dialog grows by
// what the list cannot show, up to the height of the work area; beyond
// that the list scrolls.
void CPopLanguage::FitList(CContainerUI& list) {
  m_pm.UpdateLayout();
  const int missing = list.GetScrollRange();
  if (missing <= 0) return;
  RECT rc{}, area = GetWorkArea();
  GetWindowRect(m_hWnd, &rc);
  const LONG height = std::min<LONG>(rc.bottom - rc.top + missing, area.bottom - area.top);
  SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  m_pm.UpdateLayout();
}

// Names are compared without regard to case. The switch repaints this
// dialog and tells the owner, the main window.
void CPopLanguage::OnClick(TNotifyUI& msg) {
  CControlUI* sender = msg.pSender;
  if (!sender) return;
  const std::wstring name = sender->GetName();
  if (toolkit::EqualsNoCase(name, L"closebtn")) {
    Close();
  } else if (toolkit::EqualsNoCase(name, L"radiolan") && dynamic_cast<COptionUI*>(sender)) {
    long langId = std::wcstol(sender->GetUserData().c_str(), nullptr, 10);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    SwitchLanguage(engine_, static_cast<LANGID>(langId), &m_pm, owner);
  }
}

// The dialog owns itself.
void CPopLanguage::OnFinalMessage(HWND) { delete this; }
