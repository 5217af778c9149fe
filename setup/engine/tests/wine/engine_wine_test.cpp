// The engine on the real Windows print system (run under Wine): an install
// on "COM1:" with the 203 dpi model, driven through the real main window.
#include "app.h"
#include "engine/setup_engine.h"
#include "localization.h"
#include "main_wnd.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

// Opens the archive the program carries, linked into this test as well.
bool OpenOwnArchive() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  CPaintManagerUI::SetInstance(instance);
  HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(129), L"ZIPRES");
  if (!res) return false;
  HGLOBAL loaded = LoadResource(instance, res);
  if (!loaded) return false;
  SetUpResources(L"C:\\", LockResource(loaded), SizeofResource(instance, res));
  return CResourceManager::GetInstance().IsZipOpen();
}

// Handles the window's messages (and the workers' sent ones) until every
// worker has ended or the time is up.
bool PumpUntilIdle(SetupEngine& engine, DWORD limitMs) {
  const DWORD start = GetTickCount();
  while (engine.RunningWorkers() > 0) {
    if (GetTickCount() - start > limitMs) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

std::wstring DriverDirectory() {
  wchar_t path[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), sizeof path, &needed))
    return std::wstring();
  return path;
}

bool DriverInstalled(const std::wstring& name) {
  DWORD needed = 0, count = 0;
  EnumPrinterDriversW(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPrinterDriversW(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count)) return false;
  auto* info = reinterpret_cast<DRIVER_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (info[i].pName && name == info[i].pName) return true;
  }
  return false;
}

// The queue's driver and port, or false when there is no such queue.
bool QueueOf(const std::wstring& name, std::wstring& driver, std::wstring& port) {
  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) return false;
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (info[i].pPrinterName && name == info[i].pPrinterName) {
      driver = info[i].pDriverName ? info[i].pDriverName : L"";
      port = info[i].pPortName ? info[i].pPortName : L"";
      return true;
    }
  }
  return false;
}

void DeleteQueue(const std::wstring& name) {
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, &access)) {
    DeletePrinter(printer);
    ClosePrinter(printer);
  }
}

TEST(EngineOnWindows, ComInstallOfThe203DpiModel) {
  OleInitialize(nullptr);
  ASSERT_TRUE(OpenOwnArchive());
  SetupEngine& engine = SetupEngine::Instance();
  FillLanguageTable(engine);
  auto* wnd = new CMainWnd(engine);
  HWND hwnd = wnd->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(hwnd, nullptr);
  CPaintManagerUI& pm = wnd->GetPaintManager();
  const ModelEntry& model = engine.models[0];

  engine.Next();  // start page -> connection page
  ASSERT_TRUE(pm.FindControl(L"option_port_com")->Activate());
  EXPECT_EQ(engine.portType, SetupEngine::PortKindIndex(L"option_port_com"));
  engine.Next();  // model page, 203 dpi preselected
  EXPECT_EQ(engine.modelId, 0);
  engine.Next();  // port list, COM1: preselected
  EXPECT_EQ(engine.portName, L"COM1:");
  engine.Next();  // printer name, a free one proposed
  const std::wstring name = engine.printerName;
  EXPECT_EQ(name.compare(0, model.displayName.size(), model.displayName), 0);
  EXPECT_EQ(engine.setDefault, 1);
  engine.Next();  // summary
  ASSERT_EQ(engine.CurrentInstallPage(), kSummaryPage);
  engine.Next();  // run
  ASSERT_TRUE(PumpUntilIdle(engine, 120000));

  const std::wstring directory = DriverDirectory();
  ASSERT_FALSE(directory.empty());
  for (const std::wstring& path : model.installLists.at(L"Driver32")) {
    const std::wstring file = path.substr(path.rfind(L'\\') + 1);
    EXPECT_NE(GetFileAttributesW((directory + L"\\" + file).c_str()), INVALID_FILE_ATTRIBUTES)
        << "missing driver file";
  }
  EXPECT_TRUE(DriverInstalled(model.driverName));
  std::wstring driver, port;
  EXPECT_TRUE(QueueOf(name, driver, port));
  EXPECT_EQ(driver, model.driverName);
  EXPECT_EQ(port, L"COM1:");
  wchar_t current[256] = {};
  DWORD size = 256;
  ASSERT_TRUE(GetDefaultPrinterW(current, &size));
  EXPECT_EQ(std::wstring(current), name);
  EXPECT_TRUE(pm.FindControl(L"btn_setup_testpage")->IsVisible());

  DeleteQueue(name);
  DeletePrinterDriverExW(nullptr, nullptr, const_cast<wchar_t*>(model.driverName.c_str()), 0, 0);
  EXPECT_FALSE(QueueOf(name, driver, port));
  DestroyWindow(hwnd);
  delete wnd;
  CPaintManagerUI::Shutdown();
  OleUninitialize();
}

}  // namespace

namespace {

// The workers launch programs through ShellExecuteExW, which needs COM on
// the calling thread: a second initialisation there reports S_FALSE.
TEST(EngineOnWindows, WorkerThreadsHaveComInitialised) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(done, nullptr);
  HRESULT again = E_FAIL;
  ASSERT_TRUE(StartWorkerThread([&again, done]() {
    again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(again)) CoUninitialize();
    SetEvent(done);
  }));
  ASSERT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
  CloseHandle(done);
  EXPECT_EQ(again, S_FALSE);
}

}  // namespace

namespace {

const wchar_t kProbeDriver[] = L"Closing Probe Driver";
const wchar_t kProbeQueue[] = L"Closing Probe Queue";

// The main window, noting how many workers still ran when it went.
class WatchedWnd : public CMainWnd {
 public:
  explicit WatchedWnd(SetupEngine& engine) : CMainWnd(engine), engine_(engine) {}
  int workersAtDestroy = -1;

 protected:
  LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
    workersAtDestroy = engine_.RunningWorkers();
    return CMainWnd::OnDestroy(msg, wParam, lParam, handled);
  }

 private:
  SetupEngine& engine_;
};

// Answers "Yes" to the question the window asks before closing.
DWORD WINAPI AnswerYes(LPVOID title) {
  for (int i = 0; i < 200; ++i) {
    if (HWND box = FindWindowW(L"#32770", static_cast<const wchar_t*>(title))) {
      PostMessageW(box, WM_COMMAND, IDYES, 0);
      return 1;
    }
    Sleep(50);
  }
  return 0;
}

// Alt+F4 while the removal run has the spooler to restart: the window
// asks, stays until the worker is done, and the spooler runs at the end.
TEST(EngineOnWindows, ClosingDuringARemovalWaitsForTheRunAndTheSpooler) {
  MSG left;
  while (PeekMessageW(&left, nullptr, 0, 0, PM_REMOVE)) {
  }  // an earlier test's quit would end the question box at once
  OleInitialize(nullptr);
  ASSERT_TRUE(OpenOwnArchive());
  SetupEngine& engine = SetupEngine::Instance();
  FillLanguageTable(engine);
  platform::Platform& machine = DefaultPlatform();
  DeleteQueue(kProbeQueue);
  machine.spooler.DeleteDriver(kProbeDriver, 0, 0);
  platform::DriverSetup driver;
  driver.name = kProbeDriver;
  driver.driverPath = L"UNIDRV.DLL";
  driver.dataFile = L"probe.gpd";
  driver.configFile = L"UNIDRVUI.DLL";
  ASSERT_EQ(machine.spooler.AddDriver(driver, platform::kCopyAllFiles), 0u);
  platform::PrinterInfo queue;
  queue.name = kProbeQueue;
  queue.port = L"COM1:";
  queue.driver = kProbeDriver;
  queue.printProcessor = L"WinPrint";
  queue.dataType = L"RAW";
  ASSERT_EQ(machine.spooler.AddQueue(queue), 0u);
  engine.StartSpooler();  // the run restarts it only when it stops it itself

  auto* wnd = new WatchedWnd(engine);
  HWND hwnd = wnd->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(hwnd, nullptr);
  engine.installChosen = 0;
  engine.Next();  // printers
  engine.Next();  // drivers
  engine.selectedDrivers = {kProbeDriver};
  engine.Next();  // summary: the queue of the driver is added
  ASSERT_EQ(engine.selectedPrinters, std::vector<std::wstring>{kProbeQueue});
  engine.Next();  // the run, on its worker thread
  ASSERT_EQ(engine.RunningWorkers(), 1);

  const std::wstring title = LangText(L"tip.dlgtitle");
  HANDLE answer = CreateThread(nullptr, 0, AnswerYes, const_cast<wchar_t*>(title.c_str()), 0, nullptr);
  ASSERT_NE(answer, nullptr);
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  WaitForSingleObject(answer, 15000);
  DWORD answered = 0;
  GetExitCodeThread(answer, &answered);
  CloseHandle(answer);
  EXPECT_EQ(answered, 1u);

  const DWORD start = GetTickCount();
  while (IsWindow(hwnd) && GetTickCount() - start < 60000) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(wnd->workersAtDestroy, 0);
  std::wstring driverName, port;
  EXPECT_FALSE(QueueOf(kProbeQueue, driverName, port));
  EXPECT_EQ(engine.StartSpooler(), -1);  // running: not stopped by the run
  delete wnd;
  machine.spooler.DeleteDriver(kProbeDriver, 0, 0);
  CPaintManagerUI::Shutdown();
  OleUninitialize();
}

}  // namespace
