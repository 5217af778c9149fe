// CPopAddPort: the port monitors in a numbered list; the add button asks
// the chosen monitor for a new port and the dialog stays open.
#include "dialogs.h"

#include <cstdio>
#include <utility>

// The monitors offered, in the order they are listed.
CPopAddPort::CPopAddPort(AddPortRoutine addPort)
    : addPort_(std::move(addPort)),
      monitors_{L"WSD Port", L"Standard TCP/IP Port", L"Local Port", L"Appmon"} {}

// Created over the owner, centred on it, and run modally.
void CPopAddPort::ShowModalOver(HWND owner, AddPortRoutine addPort) {
  auto* dialog = new CPopAddPort(std::move(addPort));
  if (!dialog->Create(owner, L"", kPopupDialogStyle, 0, 0, 0, 0, 0)) return;
  dialog->CenterWindow();
  dialog->ShowModal();
}

// One text row per monitor: its number from 1, then its name.
void CPopAddPort::InitWindow() {
  auto* list = m_pm.FindControlAs<CListUI>(L"listex_addport_type");
  if (!list) return;
  int number = 1;
  for (const std::wstring& monitor : monitors_) {
    auto* row = new CListTextExtElementUI();
    row->SetFixedHeight(30);
    list->Add(row);
    row->SetAttribute(L"style", L"listex_item_style");
    wchar_t text[16];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%d", number++);
    row->SetText(0, text);
    row->SetText(1, monitor);
    row->SetName(L"listex_addport_type_item");
  }
}

// A click on a row chooses its monitor; the default routing follows.
void CPopAddPort::Notify(TNotifyUI& msg) {
  if (msg.sType == DUI_MSGTYPE_ITEMCLICK && msg.pSender &&
      toolkit::EqualsNoCase(msg.pSender->GetName(), L"listex_addport_type_item")) {
    if (auto* row = dynamic_cast<CListTextElementUI*>(msg.pSender)) selected_ = row->GetText(1);
  }
  WindowImplBase::Notify(msg);
}

// A failed add is not reported here: the monitor's own dialog has
// already spoken to the user.
void CPopAddPort::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::wstring name = msg.pSender->GetName();
  if (toolkit::EqualsNoCase(name, L"closebtn") || toolkit::EqualsNoCase(name, L"btn_port_cancel")) {
    Close();
  } else if (toolkit::EqualsNoCase(name, L"btn_port_add") && addPort_) {
    std::wstring errorText;
    addPort_(selected_, m_hWnd, errorText);
  }
}

// Every system command, closing included, is Windows' own.
LRESULT CPopAddPort::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

// The dialog owns itself.
void CPopAddPort::OnFinalMessage(HWND) { delete this; }
