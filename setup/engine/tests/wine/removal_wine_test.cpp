// The removal run, the spooler's stop and start and the Bluetooth adapter
// check on the real Windows interfaces (run under Wine), through the Win32
// platform layer. What Wine cannot do is listed in the engine's README.
#include "engine/setup_engine.h"
#include "message_recorder.h"
#include "win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::wstring>;

const wchar_t kDriver[] = L"Removal Probe Driver";
const wchar_t kQueue[] = L"Removal Probe Queue";
const wchar_t kBoxTitle[] = L"Removal probe";

class RemovalWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    SetTexts({{L"tip.dlgtitle", kBoxTitle}});
    SetRemovalLogTexts();
    ASSERT_TRUE(recorder.Open());
    engine.hMainWnd = recorder.GetHWND();
    engine.tabSwitchDelete = &deleteTab;
  }

  void TearDown() override {
    engine.tabSwitchDelete = nullptr;
    recorder.CloseNow();
    CResourceManager::GetInstance().Release();
  }

  // The spooler's state as the service manager reports it, 0 if unknown.
  uint32_t SpoolerState() {
    platform::Services& services = view.services;
    platform::ServiceHandle manager = 0, service = 0;
    platform::ServiceStatus status;
    if (services.OpenManager(platform::kManagerAllAccess, manager) == 0) {
      if (services.OpenServiceByName(manager, L"Spooler", platform::kServiceQueryStatus, service) == 0) {
        services.QueryStatus(service, status);
        services.Close(service);
      }
      services.Close(manager);
    }
    return status.state;
  }

  bool QueueExists(const std::wstring& name) {
    std::vector<platform::PrinterInfo> queues;
    view.spooler.ListPrinters(platform::kEnumPrinterLocal, queues);
    for (const auto& queue : queues)
      if (queue.name == name) return true;
    return false;
  }

  bool DriverExists(const std::wstring& name) {
    std::vector<platform::DriverInfo> drivers;
    view.spooler.ListDrivers(6, drivers);
    for (const auto& driver : drivers)
      if (driver.name == name) return true;
    return false;
  }

  platform::win32::Win32Platform machine;
  platform::Platform view = machine.View();
  SetupEngine engine{view};
  MessageRecorder recorder;
  CTabLayoutUI deleteTab;
};

TEST_F(RemovalWineTest, SpoolerStopsAndStartsForReal) {
  // A fresh Wine session has the spooler stopped; an earlier run may not.
  const int first = engine.StartSpooler();
  EXPECT_TRUE(first == 1 || first == -1) << first;
  ASSERT_EQ(SpoolerState(), platform::kServiceRunning);
  EXPECT_EQ(engine.StartSpooler(), -1);  // running already

  EXPECT_EQ(engine.StopSpooler(), 1);
  EXPECT_EQ(SpoolerState(), platform::kServiceStopped);
  EXPECT_EQ(engine.StopSpooler(), 0);  // not stopped by this call

  EXPECT_EQ(engine.StartSpooler(), 1);
  EXPECT_EQ(SpoolerState(), platform::kServiceRunning);
}

TEST_F(RemovalWineTest, QueueAndDriverAreRemovedWithARealSpoolerRestart) {
  // Leftovers of an interrupted earlier run would be counted twice.
  while (QueueExists(kQueue) && view.spooler.DeleteQueue(kQueue) == 0) {
  }
  view.spooler.DeleteDriver(kDriver, 0, 0);
  platform::DriverSetup driver;
  driver.name = kDriver;
  driver.driverPath = L"UNIDRV.DLL";
  driver.dataFile = L"probe.gpd";
  driver.configFile = L"UNIDRVUI.DLL";
  ASSERT_EQ(view.spooler.AddDriver(driver, platform::kCopyAllFiles), 0u);
  platform::PrinterInfo queue;
  queue.name = kQueue;
  queue.port = L"COM1:";
  queue.driver = kDriver;
  queue.printProcessor = L"WinPrint";
  queue.dataType = L"RAW";
  ASSERT_EQ(view.spooler.AddQueue(queue), 0u);
  // The restart is exercised only when this run stops the spooler itself.
  engine.StartSpooler();
  ASSERT_EQ(SpoolerState(), platform::kServiceRunning);

  // Only the driver is chosen; the summary adds its queue.
  engine.RefreshPrinters();
  engine.RefreshDrivers();
  engine.selectedDrivers = {kDriver};
  engine.ShowRemovalPage(kRemovalSummaryPage);
  ASSERT_EQ(engine.selectedPrinters, Lines{kQueue});
  engine.RunRemoval();

  const Lines log = recorder.Log(UIMSG_DELETE_LOG);
  ASSERT_EQ(log.size(), 7u);
  const std::wstring queueName = kQueue, driverName = kDriver;
  EXPECT_EQ(log,
            (Lines{L"printer " + queueName, L"removed " + queueName, L"restart", L"running", L"driver " + driverName,
                   L"! not removed " + driverName, log[6]}));
  // Wine refuses any delete flag with "invalid parameter".
  EXPECT_EQ(log[6].rfind(L"! reason Code: 87 - ", 0), 0u) << log[6].c_str();
  EXPECT_FALSE(QueueExists(kQueue));
  EXPECT_EQ(SpoolerState(), platform::kServiceRunning);

  // Wine deletes with no flags; this leaves the prefix as it was.
  EXPECT_TRUE(DriverExists(kDriver));
  EXPECT_EQ(view.spooler.DeleteDriver(kDriver, 0, 0), 0u);
  EXPECT_FALSE(DriverExists(kDriver));
  // The package step is never reached under Wine, whose spooler also
  // lacks the package deletion entry point.
  EXPECT_EQ(view.spooler.DeleteDriverPackage(L"C:\\windows\\inf\\none.inf").status,
            platform::DynamicStatus::kEntryMissing);
}

// Confirms the adapter message box, which runs its own modal loop on the
// test's thread.
DWORD WINAPI DismissBox(LPVOID) {
  for (int i = 0; i < 200; ++i) {
    if (HWND box = FindWindowW(L"#32770", kBoxTitle)) {
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return 1;
    }
    Sleep(50);
  }
  return 0;
}

TEST_F(RemovalWineTest, BluetoothStopsAtTheAdapterCheck) {
  // No Bluetooth adapter, and the radio search fails as Wine has none.
  EXPECT_FALSE(engine.CheckBluetoothAdapter(false));
  ASSERT_EQ(recorder.Params(UIMSG_BLUETOOTH_ADAPTER), (std::vector<WPARAM>{1}));
  const std::wstring label = recorder.messages.back().record.text;
  EXPECT_TRUE(label == L"tip.btadapter.none" || label == L"tip.btadapter.off") << label.c_str();
  EXPECT_NE(view.bluetooth.FindRadio(), 0u);

  // The wizard stays on the connection page; no search is started.
  engine.WizardMode = 1;
  engine.portType = SetupEngine::PortKindIndex(L"option_port_bluetooth");
  HANDLE closer = CreateThread(nullptr, 0, DismissBox, nullptr, 0, nullptr);
  ASSERT_NE(closer, nullptr);
  engine.Next();
  WaitForSingleObject(closer, 15000);
  DWORD dismissed = 0;
  GetExitCodeThread(closer, &dismissed);
  CloseHandle(closer);
  EXPECT_EQ(dismissed, 1u);
  EXPECT_EQ(engine.stepIndex, 0);
  EXPECT_EQ(engine.RunningWorkers(), 0);
}

}  // namespace
