// SetupEngine: the one object behind the main window. It holds what the
// window hands it (window handle, tab layouts, the start-page choice, the
// known driver names) and the language table, and receives the window's
// notifications and wizard steps.
#pragma once

#include "toolkit/toolkit.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

// One row of the language table.
struct LanguageInfo {
  std::wstring nameKey;   // text key of the language's own name
  LANGID langId = 0;      // Windows language identifier
  std::wstring code;      // short code ("en")
  std::wstring fileName;  // language file in the resource archive
  int fontSize = 14;      // main window's default font size (unscaled)
};

// The current UI language, readable from any thread (system error texts
// are asked for in this language).
extern std::atomic<LANGID> g_currentLangId;

class SetupEngine {
 public:
  static SetupEngine& Instance();

  SetupEngine() = default;
  virtual ~SetupEngine() = default;
  SetupEngine(const SetupEngine&) = delete;
  SetupEngine& operator=(const SetupEngine&) = delete;

  // The window's calls, on the UI thread. The wizard's page flow is not
  // built yet: these receive the calls and change nothing.
  virtual void OnNotify(TNotifyUI& msg);
  virtual void OnClick(TNotifyUI& msg);
  virtual void Home();
  virtual void Next();
  virtual void Previous();

  // Set by the main window during its initialisation.
  HWND hMainWnd = nullptr;
  CTabLayoutUI* tabSwitch = nullptr;
  CTabLayoutUI* tabSwitchInstall = nullptr;
  CTabLayoutUI* tabSwitchDelete = nullptr;
  int installChosen = 1;  // start-page choice: 1 install, 0 removal
  std::vector<std::wstring> knownDriverNames;

  // Language table (ascending langId) and the current language.
  std::map<LANGID, LanguageInfo> languages;
  LANGID currentLanguage = 1033;
};
