// A skinned window for the tests: records notifications and offers
// helpers to click controls.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "toolkit/toolkit.h"

class TestWnd : public WindowImplBase {
 public:
  explicit TestWnd(std::wstring markup) : markup_(std::move(markup)) {}

  std::vector<std::pair<std::wstring, std::wstring>> events;  // type, sender name
  std::vector<std::wstring> offered;                          // classes offered to CreateControl
  std::vector<bool> selectedAtClick;                           // option state seen by "click"
  int inits = 0;
  bool* deletedFlag = nullptr;
  bool deleteOnFinal = false;

  HWND Open(DWORD style = WS_VISIBLE | WS_OVERLAPPEDWINDOW, HWND owner = nullptr) {
    return Create(owner, L"test", style, 0, 0, 0, 560, 400);
  }
  CPaintManagerUI& pm() { return m_pm; }
  template <class T = CControlUI>
  T* Find(const std::wstring& name) { return m_pm.FindControlAs<T>(name); }

  // Presses and releases the mouse in the middle of a control.
  void Click(CControlUI* c) {
    m_pm.UpdateLayout();
    RECT rc = c->GetPos();
    ClickAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  }
  void ClickAt(int x, int y) {
    ::SendMessageW(m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(x, y));
    ::SendMessageW(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  std::vector<std::wstring> Types() const {
    std::vector<std::wstring> t;
    for (auto& e : events) t.push_back(e.first + L":" + e.second);
    return t;
  }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"TestWnd"; }
  std::wstring GetSkinFile() override { return markup_; }
  void InitWindow() override { ++inits; }
  void Notify(TNotifyUI& msg) override {
    events.emplace_back(msg.sType, msg.pSender ? msg.pSender->GetName() : L"");
    if (msg.sType == L"click")
      if (auto* o = dynamic_cast<COptionUI*>(msg.pSender)) selectedAtClick.push_back(o->IsSelected());
    WindowImplBase::Notify(msg);
  }
  CControlUI* CreateControl(const wchar_t* cls) override {
    offered.push_back(cls);
    if (std::wstring(cls) == L"Special") {
      auto* c = new CLabelUI;
      c->SetUserData(L"from callback");
      return c;
    }
    return nullptr;
  }
  void OnFinalMessage(HWND) override {
    if (deletedFlag) *deletedFlag = true;
    if (deleteOnFinal) delete this;
  }

 private:
  std::wstring markup_;
};
