// CMainWnd: the program's only top-level window. It forwards notifications
// and clicks to SetupEngine and applies the UI changes that the wizard
// asks for through the UIMSG_* messages.
#pragma once

#include "engine/setup_engine.h"
#include "engine/ui_messages.h"
#include "skin_change.h"
#include "toolkit/toolkit.h"

#include <string>
#include <vector>

extern const wchar_t kVersionText[];  // "V" and the project version, "V1.0.9"

// "HH:MM:SS.mmm : ", the prefix of every log line.
std::wstring FormatLogTimestamp(const SYSTEMTIME& time);

// Appends one time-stamped line (red for errors, blue otherwise) to a log
// box, or empties the box when the request says clear.
void AppendLogLine(CRichEditUI* box, const TUiMsgParam& request, const SYSTEMTIME& now);

class CMainWnd : public WindowImplBase, public CWebBrowserEventHandler, public SkinChangeReceiver {
 public:
  explicit CMainWnd(SetupEngine& engine = SetupEngine::Instance());
  ~CMainWnd() override;

  void Notify(TNotifyUI& msg) override;
  CControlUI* CreateControl(const wchar_t* pstrClass) override;
  std::wstring QueryControlText(const wchar_t* key, const wchar_t* controlClass) override;
  int Receive(SkinChangedParam param) override;

  // The caption: "mainTitle" text, " - ", version.
  static std::wstring BuildTitle();

 protected:
  const wchar_t* GetWindowClassName() const override { return L"MainWnd"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  std::wstring GetSkinFile() override { return L"XML_MAIN"; }
  void InitWindow() override;
  void OnClick(TNotifyUI& msg) override;
  LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 private:
  bool RouteClick(TNotifyUI& msg);
  // Every way of closing the window: at once when no worker runs,
  // otherwise only when the user agrees, and then once the work is done.
  void RequestClose();
  void ApplyTitle();
  void ApplyFonts();
  void RewriteLogs();
  void SetDpiFromUserData(CControlUI* sender);
  void OnDpiChanged(WPARAM wParam, LPARAM lParam);
  template <class T>
  T* Find(const wchar_t* name) { return m_pm.FindControlAs<T>(name); }

  SetupEngine& engine_;
  CLabelUI* titleLabel_ = nullptr;
  CTabLayoutUI* tabSwitch_ = nullptr;
  CTabLayoutUI* tabInstall_ = nullptr;
  CTabLayoutUI* tabDelete_ = nullptr;
  CButtonUI* btnPrevious_ = nullptr;
  CButtonUI* btnNext_ = nullptr;
  COptionUI* optionDelete_ = nullptr;
  CButtonUI* btnClose_ = nullptr;
  CButtonUI* btnMin_ = nullptr;
  CButtonUI* btnMax_ = nullptr;
  CButtonUI* btnRestore_ = nullptr;
  CButtonUI* btnSkin_ = nullptr;
  CButtonUI* btnAbout_ = nullptr;
  CButtonUI* btnLan_ = nullptr;
  CRichEditUI* installLog_ = nullptr;
  CRichEditUI* deleteLog_ = nullptr;
  CGifAnimUI* gifInstall_ = nullptr;
  CGifAnimUI* gifDelete_ = nullptr;
  CControlUI* rowH1_ = nullptr;
  CControlUI* rowH2_ = nullptr;
  CControlUI* btnPreferences_ = nullptr;
  CControlUI* btnProperties_ = nullptr;
  CControlUI* btnTestPage_ = nullptr;
  CLabelUI* printerNameInfo_ = nullptr;
  CControlUI* bluetoothRow_ = nullptr;
  CLabelUI* bluetoothInfo_ = nullptr;
  bool closeWhenIdle_ = false;
  bool closeQuestionOpen_ = false;
  // The lines of each log since it was last emptied, so that a language
  // switch can write them again in the new language.
  struct LogEntry {
    SYSTEMTIME time;
    TUiMsgParam request;
  };
  std::vector<LogEntry> installLines_;
  std::vector<LogEntry> deleteLines_;
};
