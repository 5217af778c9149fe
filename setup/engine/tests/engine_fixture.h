// The engine on a simulated machine behind the real main window (headless
// host, real archive), with the window's log lines recorded.
#pragma once

#include "engine/setup_engine.h"
#include "main_wnd.h"
#include "sim_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The port kinds' own pages, as their rows and the markup name them.
inline constexpr wchar_t kUsbListPage[] = L"page_usb_list";
inline constexpr wchar_t kBluetoothListPage[] = L"page_bluetooth_list";
inline constexpr wchar_t kNetworkPage[] = L"page_network";

// A row of the model table; tests take model and file names from there.
const ModelEntry& Model(size_t row);

struct LogLine {
  std::wstring text;
  bool isError = false;
};

// The main window with the install log recorded line by line.
class RecordingWnd : public CMainWnd {
 public:
  explicit RecordingWnd(SetupEngine& engine) : CMainWnd(engine) {}
  std::vector<LogLine> installLog;
  std::vector<TUiMsgParam> nameStatus;

 protected:
  LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  CControlUI* Find(const wchar_t* name);
  template <class T>
  T* FindAs(const wchar_t* name) { return dynamic_cast<T*>(Find(name)); }
  // A click as the user makes it (options change state after the click).
  void Click(const wchar_t* name);
  // The start-page button of the row that is shown after a run; mid-way
  // through a wizard the window still routes its click.
  void GoHome();
  // A click on a list row.
  void ClickRow(const wchar_t* list, int index);
  void Type(const wchar_t* edit, const std::wstring& text);
  // Pumps the window until every worker thread of the engine has ended.
  void WaitWorkers();
  // Next on the navigation row, then waits for any worker it started.
  void NextPage();
  std::wstring InstallKind() { return engine.CurrentInstallPage(); }
  bool Visible(const wchar_t* name);
  std::wstring Text(const wchar_t* key);
  // The texts of column "label1" of every row of a list.
  std::vector<std::wstring> RowTexts(const wchar_t* list, const wchar_t* label = L"label1");
  // Whether the install log holds a line with exactly this text.
  bool Logged(const std::wstring& text, bool isError);
  // From the start page to the model page of a port kind without a scan.
  void ToPortKind(const wchar_t* option);
  void AddQueue(const std::wstring& name, const std::wstring& port = L"COM1:",
                const std::wstring& driver = L"Generic / Text Only");

  platform::sim::SimPlatform machine;
  platform::Platform view = machine.View();
  SetupEngine engine{view};
  RecordingWnd* wnd = nullptr;
  HWND hwnd = nullptr;
};
