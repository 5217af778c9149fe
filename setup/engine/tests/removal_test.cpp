// The removal run on the simulated machine: what is deleted, in which order,
// when the spooler is restarted, and the removal log each case leaves.
#include "engine/setup_engine.h"
#include "message_recorder.h"
#include "sim_platform.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::wstring>;
using platform::sim::Op;

const std::wstring kA4 = BuildModelTable().at(0).driverName;

class RemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRemovalLogTexts();
    ASSERT_TRUE(recorder.Open());
    engine.hMainWnd = recorder.GetHWND();
    engine.tabSwitchDelete = &deleteTab;
  }

  void TearDown() override {
    engine.tabSwitchDelete = nullptr;
    recorder.CloseNow();
    toolkit::headless::PumpPending();
    CResourceManager::GetInstance().Release();
  }

  void AddQueue(const std::wstring& name, const std::wstring& driver) {
    platform::PrinterInfo queue;
    queue.name = name;
    queue.port = L"COM1:";
    queue.driver = driver;
    queue.printProcessor = L"WinPrint";
    queue.dataType = L"RAW";
    ASSERT_EQ(machine.spooler.AddQueue(queue), 0u);
  }

  // What the removal pages leave behind before the run starts.
  void Choose(const Lines& printerNames, const Lines& driverNames) {
    engine.RefreshPrinters();
    engine.RefreshDrivers();
    engine.selectedPrinters = printerNames;
    engine.selectedDrivers = {driverNames.begin(), driverNames.end()};
  }

  Lines Queues() {
    std::vector<platform::PrinterInfo> listed;
    machine.spooler.ListPrinters(platform::kEnumPrinterLocal, listed);
    Lines names;
    for (const auto& queue : listed) names.push_back(queue.name);
    return names;
  }

  bool DriverInstalled(const std::wstring& name) { return machine.spooler.DriverRecord(name).has_value(); }

  Lines Log() { return recorder.Log(UIMSG_DELETE_LOG); }

  platform::sim::SimPlatform machine;
  platform::Platform view = machine.View();
  SetupEngine engine{view};
  MessageRecorder recorder;
  CTabLayoutUI deleteTab;
};

TEST_F(RemovalTest, QueuesOnlyIncludingOneThatVanished) {
  machine.spooler.InstallDriver(kA4);
  AddQueue(L"Front desk", kA4);
  AddQueue(L"Back office", kA4);
  Choose({L"Front desk", L"Gone", L"Back office"}, {});
  recorder.messages.clear();

  engine.RunRemoval();

  EXPECT_EQ(Log(), (Lines{L"printer Front desk", L"removed Front desk", L"printer Gone", L"! not removed Gone",
                          L"! reason Code: 1801 - The printer name is invalid.", L"printer Back office",
                          L"removed Back office"}));
  EXPECT_TRUE(Queues().empty());
  // Without a driver to delete the spooler is left alone.
  EXPECT_EQ(machine.Calls(Op::kOpenManager), 0);
  EXPECT_TRUE(DriverInstalled(kA4));
  EXPECT_EQ(machine.core.clock.TotalSleptMs(), 3u * 200);
  // Animation on, finished row, actions and navigation hidden, animation off.
  std::vector<std::pair<UINT, WPARAM>> rows;
  for (const SentMessage& sent : recorder.messages)
    if (sent.msg != UIMSG_DELETE_LOG) rows.emplace_back(sent.msg, sent.wParam);
  EXPECT_EQ(rows, (std::vector<std::pair<UINT, WPARAM>>{{UIMSG_DELETE_ANIMATION, 1},
                                                         {UIMSG_SHOW_ROW_H1, 0},
                                                         {UIMSG_SHOW_PRINTER_ACTIONS, 0},
                                                         {UIMSG_SHOW_ROW_H2, 0},
                                                         {UIMSG_DELETE_ANIMATION, 0}}));
}

TEST_F(RemovalTest, DriverOnlyRemovesItsQueuesFirstThenRestartsOnceThenTheDriverAndPackage) {
  machine.spooler.InstallDriver(kA4, L"C:\\Windows\\INF\\oem7.inf");
  machine.spooler.InstallDriver(L"Generic / Text Only");
  AddQueue(L"A4 one", kA4);
  AddQueue(L"Text", L"Generic / Text Only");
  AddQueue(L"A4 two", kA4);
  Choose({}, {kA4});
  // The summary page adds the queues that use a chosen driver.
  engine.ShowRemovalPage(kRemovalSummaryPage);
  ASSERT_EQ(engine.selectedPrinters, (Lines{L"A4 one", L"A4 two"}));

  engine.RunRemoval();

  EXPECT_EQ(Log(), (Lines{L"printer A4 one", L"removed A4 one", L"printer A4 two", L"removed A4 two", L"restart",
                          L"running", L"driver " + kA4, L"removed " + kA4,
                          L"package " + kA4, L"removed " + kA4}));
  EXPECT_EQ(Queues(), (Lines{L"Text"}));
  EXPECT_FALSE(DriverInstalled(kA4));
  EXPECT_EQ(machine.Calls(Op::kStopService), 1);
  EXPECT_EQ(machine.Calls(Op::kStartService), 1);
  EXPECT_EQ(machine.Calls(Op::kDeleteDriverPackage), 1);
  EXPECT_EQ(machine.services.State(L"Spooler"), platform::kServiceRunning);
  EXPECT_EQ(machine.services.OpenHandles(), 0u);
}

TEST_F(RemovalTest, QueuesAndDriversTogetherRestartOnlyBeforeTheDrivers) {
  machine.spooler.InstallDriver(kA4);
  machine.spooler.InstallDriver(L"Other");
  AddQueue(L"Mine", L"Other");
  Choose({L"Mine"}, {kA4, L"Other"});
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"printer Mine", L"removed Mine", L"restart", L"running", L"driver " + kA4,
                          L"removed " + kA4, L"driver Other", L"removed Other"}));
  EXPECT_EQ(machine.Calls(Op::kStopService), 1);
  // 200 ms after the queue and after each driver, 500 ms inside the restart.
  EXPECT_GE(machine.core.clock.TotalSleptMs(), 3u * 200 + 500);
}

TEST_F(RemovalTest, DriversAreDeletedInCodeValueOrderOfTheirNames) {
  // "Z" sorts before "a" by code value, and so does every upper-case name.
  for (const wchar_t* name : {L"alpha", L"Zeta", L"Beta"}) machine.spooler.InstallDriver(name);
  Choose({}, {L"alpha", L"Zeta", L"Beta"});
  engine.RunRemoval();
  Lines started;
  for (const std::wstring& line : Log())
    if (line.rfind(L"driver ", 0) == 0) started.push_back(line);
  EXPECT_EQ(started, (Lines{L"driver Beta", L"driver Zeta", L"driver alpha"}));
}

TEST_F(RemovalTest, DriverInUseRestartsTheSpoolerAgainAndIsReportedAsNotRemoved) {
  machine.spooler.InstallDriver(kA4, L"C:\\Windows\\INF\\oem7.inf");
  Choose({}, {kA4});
  machine.FailNext(Op::kDeleteDriver, platform::err::kPrinterDriverInUse);
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"running", L"driver " + kA4, L"restart", L"running",
                          L"! not removed " + kA4,
                          L"! reason Code: 3001 - The specified printer driver is currently in use."}));
  // Not tried again in this run, and its package is kept.
  EXPECT_EQ(machine.Calls(Op::kDeleteDriver), 1);
  EXPECT_EQ(machine.Calls(Op::kDeleteDriverPackage), 0);
  EXPECT_EQ(machine.Calls(Op::kStopService), 2);
  EXPECT_TRUE(DriverInstalled(kA4));
}

TEST_F(RemovalTest, SpoolerStoppedAlreadyIsSaidSoNotStartedAndDriversAreStillTried) {
  machine.spooler.InstallDriver(kA4);
  machine.services.ServiceConfig(L"Spooler").state = platform::kServiceStopped;
  Choose({}, {kA4});
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"not running", L"driver " + kA4, L"removed " + kA4}));
  EXPECT_EQ(machine.Calls(Op::kStartService), 0);
  EXPECT_EQ(machine.services.State(L"Spooler"), platform::kServiceStopped);

  // A stop that really fails is still reported as one.
  machine.services.ServiceConfig(L"Spooler").state = platform::kServiceRunning;
  machine.spooler.InstallDriver(kA4);
  Choose({}, {kA4});
  machine.FailNext(Op::kStopService, platform::err::kAccessDenied);
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"stop failed", L"driver " + kA4, L"removed " + kA4}));
}

TEST_F(RemovalTest, SpoolerThatWillNotStartAgainIsReported) {
  machine.spooler.InstallDriver(kA4);
  Choose({}, {kA4});
  machine.FailNext(Op::kStartService, platform::err::kAccessDenied);
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"start failed", L"driver " + kA4, L"removed " + kA4}));
}

TEST_F(RemovalTest, PackageStepOnlyFromVersionSixAndWithAnInfPath) {
  // Below version 6 there are no packages, even with an INF path at hand.
  machine.system.SetVersion(5, 1);
  machine.spooler.InstallDriver(kA4, L"C:\\Windows\\INF\\oem7.inf");
  machine.spooler.InstallDriver(L"Plain");
  Choose({}, {kA4});
  engine.drivers = {{kA4, L"C:\\Windows\\INF\\oem7.inf"}};
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"running", L"driver " + kA4, L"removed " + kA4}));
  EXPECT_EQ(machine.Calls(Op::kDeleteDriverPackage), 0);

  // Version 6: a driver without an INF path has no package step either.
  machine.system.SetVersion(6, 0);
  Choose({}, {L"Plain"});
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"running", L"driver Plain", L"removed Plain"}));
  EXPECT_EQ(machine.Calls(Op::kDeleteDriverPackage), 0);
}

TEST_F(RemovalTest, PackageFailureAndAMissingEntryPointAreReported) {
  const wchar_t inf[] = L"C:\\Windows\\INF\\oem9.inf";
  machine.spooler.InstallDriver(L"First", inf);
  machine.spooler.InstallDriver(L"Second", inf);  // keeps the shared package in use
  machine.system.SetMessage(3015, 0, L"The specified printer driver package is currently in use.");
  Choose({}, {L"First"});
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"running", L"driver First", L"removed First", L"package First",
                          L"! not removed First",
                          L"! reason Code: 3015 - The specified printer driver package is currently in use."}));

  // Without the deletion call the package stays, and the log says so.
  machine.spooler.SetPackageDeletionAvailable(false);
  machine.system.SetMessage(127, 0, L"The specified procedure could not be found.");
  Choose({}, {L"Second"});
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"running", L"driver Second", L"removed Second", L"package Second",
                          L"! not removed Second",
                          L"! reason Code: 127 - The specified procedure could not be found."}));
}

TEST_F(RemovalTest, ChosenDriverNoLongerInstalledIsLeftOut) {
  machine.spooler.InstallDriver(L"Kept");
  Choose({}, {});
  engine.selectedDrivers = {L"Removed meanwhile"};
  engine.RunRemoval();
  // No restart, no line: there is nothing to remove.
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(machine.Calls(Op::kStopService), 0);
  EXPECT_EQ(machine.Calls(Op::kDeleteDriver), 0);

  // Beside an installed one only that one is handled.
  engine.selectedDrivers = {L"Removed meanwhile", L"Kept"};
  engine.RunRemoval();
  EXPECT_EQ(Log(), (Lines{L"restart", L"running", L"driver Kept", L"removed Kept"}));
}

TEST_F(RemovalTest, WithoutTheRemovalPagesNothingIsDeleted) {
  machine.spooler.InstallDriver(kA4);
  AddQueue(L"Kept", kA4);
  Choose({L"Kept"}, {kA4});
  engine.tabSwitchDelete = nullptr;
  engine.RunRemoval();
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(Queues(), (Lines{L"Kept"}));
  EXPECT_EQ(recorder.Params(UIMSG_DELETE_ANIMATION), (std::vector<WPARAM>{1, 0}));
}

}  // namespace
