// The program's small windows: the About, language and add-port dialogs
// (modal over the main window) and the skin chooser (a popup that closes
// when it loses the focus). Each deletes itself when its window is gone.
#pragma once

#include "engine/setup_engine.h"
#include "toolkit/toolkit.h"

#include <functional>
#include <string>
#include <vector>

// Styles the dialogs are created with.
const DWORD kAboutStyle = WS_POPUP | WS_VISIBLE;              // 0x90000000
const DWORD kAboutExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;  // 0x88
const DWORD kPopupDialogStyle =                                // 0x96C80000
    WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;

// The About dialog: the program's version and build date.
class CPopAbout : public WindowImplBase {
 public:
  // Creates the dialog over owner, centred on it, and runs it modally.
  static void ShowModalOver(HWND owner);

 protected:
  const wchar_t* GetWindowClassName() const override { return L"PopAbout"; }
  std::wstring GetSkinFile() override { return L"pop_about.xml"; }
  void InitWindow() override;
  void OnClick(TNotifyUI& msg) override;
  void OnFinalMessage(HWND hWnd) override;
};

// The version and build-date lines of the About dialog.
std::wstring AboutVersionText();
std::wstring AboutBuildDateText();

// The language dialog: one radio option per language; a click switches
// the whole program to that language and the dialog stays open.
class CPopLanguage : public WindowImplBase {
 public:
  explicit CPopLanguage(SetupEngine& engine = SetupEngine::Instance()) : engine_(engine) {}
  static void ShowModalOver(HWND owner, SetupEngine& engine = SetupEngine::Instance());

 protected:
  const wchar_t* GetWindowClassName() const override { return L"PopAbout"; }
  std::wstring GetSkinFile() override { return L"pop_language.xml"; }
  void InitWindow() override;
  void OnClick(TNotifyUI& msg) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  void FitList(CContainerUI& list);

  SetupEngine& engine_;
};

// Adds a port through a port monitor: (monitor name, owner window, error
// text out) -> success.
using AddPortRoutine = std::function<bool(const std::wstring&, HWND, std::wstring&)>;

// The add-port dialog: a numbered list of port monitors; its add button
// hands the chosen monitor (empty when none was chosen) to the routine.
class CPopAddPort : public WindowImplBase {
 public:
  explicit CPopAddPort(AddPortRoutine addPort);
  static void ShowModalOver(HWND owner, AddPortRoutine addPort);

  const std::vector<std::wstring>& GetMonitors() const { return monitors_; }
  const std::wstring& GetSelectedMonitor() const { return selected_; }
  void Notify(TNotifyUI& msg) override;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"PopAddPort"; }
  std::wstring GetSkinFile() override { return L"pop_add_port.xml"; }
  void InitWindow() override;
  void OnClick(TNotifyUI& msg) override;
  LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  AddPortRoutine addPort_;
  std::vector<std::wstring> monitors_;
  std::wstring selected_;
};

// The skin chooser below the main window's skin button: background
// pictures and colours, broadcast through the skin-change observer.
class CSkinFrame : public CWindowWnd, public INotifyUI {
 public:
  CSkinFrame(HWND mainWnd, CControlUI* anchor);
  // Creates the popup anchored below the control; returns it (it deletes
  // itself when it closes).
  static CSkinFrame* Open(HWND mainWnd, CControlUI* anchor);

  CPaintManagerUI& GetPaintManager() { return m_pm; }
  void Notify(TNotifyUI& msg) override;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"UISkinFrame"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  LRESULT OnCreate();
  void PlaceBelowAnchor();
  void CloseOnce();

  CPaintManagerUI m_pm;
  HWND mainWnd_;
  CControlUI* anchor_;
  bool closing_ = false;
};
