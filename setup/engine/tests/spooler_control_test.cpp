// Stopping and starting the print spooler on simulated services with a
// virtual clock: results, waits and their bounds, diagnostic lines.
#include "engine/setup_engine.h"
#include "sim_platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::sim::Op;
using platform::sim::SimServices;

// Services whose status queries can be made to fail from a given call on,
// or whose pending states stop showing progress.
class ScriptedServices : public SimServices {
 public:
  using SimServices::SimServices;
  platform::ErrorCode QueryStatus(platform::ServiceHandle service, platform::ServiceStatus& out) override {
    ++queries;
    if (failQueriesFrom > 0 && queries >= failQueriesFrom) return platform::err::kAccessDenied;
    const platform::ErrorCode error = SimServices::QueryStatus(service, out);
    if (error == platform::err::kOk && frozenCheckPoint && out.checkPoint != 0) out.checkPoint = 1;
    return error;
  }

  int failQueriesFrom = 0;  // 0: never
  bool frozenCheckPoint = false;
  int queries = 0;
};

class SpoolerControlTest : public ::testing::Test {
 protected:
  void AddSpooler(uint32_t state, uint32_t waitHint = 2000, uint32_t stopDelay = 300, uint32_t startDelay = 300) {
    SimServices::Config config;
    config.state = state;
    config.waitHint = waitHint;
    config.stopDelayMs = stopDelay;
    config.startDelayMs = startDelay;
    services.AddService(L"Spooler", config);
    start = machine.core.clock.NowMs();
  }

  int Stop() {
    testing::internal::CaptureStdout();
    const int result = engine.StopSpooler();
    out = testing::internal::GetCapturedStdout();
    return result;
  }

  int Start() {
    testing::internal::CaptureStdout();
    const int result = engine.StartSpooler();
    out = testing::internal::GetCapturedStdout();
    return result;
  }

  uint32_t Elapsed() { return machine.core.clock.NowMs() - start; }
  uint32_t State() { return services.State(L"Spooler"); }

  platform::sim::SimPlatform machine;
  ScriptedServices services{machine.core};
  platform::Platform view{machine.spooler, machine.devices, machine.registry, machine.files, machine.processes,
                          machine.network, machine.bluetooth, services, machine.system, machine.core.clock};
  SetupEngine engine{view};
  std::string out;
  uint32_t start = 0;
};

TEST_F(SpoolerControlTest, StopsARunningSpoolerOnceAndClosesItsHandles) {
  AddSpooler(platform::kServiceRunning);
  EXPECT_EQ(Stop(), 1);
  EXPECT_EQ(out, "Service stopped successfully\n");
  EXPECT_EQ(State(), platform::kServiceStopped);
  EXPECT_EQ(services.OpenHandles(), 0u);

  // Already stopped: not stopped by this call, and no stop control sent.
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(machine.Calls(Op::kStopService), 1);
  EXPECT_EQ(services.OpenHandles(), 0u);
}

TEST_F(SpoolerControlTest, StopUnderWayElsewhereIsWaitedForButNotClaimed) {
  AddSpooler(platform::kServiceStopPending, 20000, 2500);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(State(), platform::kServiceStopped);
  EXPECT_EQ(machine.Calls(Op::kStopService), 0);
  // A tenth of the hint per look: two looks of two seconds.
  EXPECT_EQ(Elapsed(), 4000u);
}

TEST_F(SpoolerControlTest, StopUnderWayThatNeverEndsGivesUpAfterThirtySeconds) {
  AddSpooler(platform::kServiceStopPending, 2000, SimServices::kForever);
  EXPECT_EQ(Stop(), 0);
  EXPECT_GT(Elapsed(), 30000u);
  EXPECT_LE(Elapsed(), 31000u);
}

TEST_F(SpoolerControlTest, DependentServicesAreStoppedFirst) {
  AddSpooler(platform::kServiceRunning);
  SimServices::Config fax;
  fax.dependsOn = {L"spooler"};
  fax.stopDelayMs = 1200;
  services.AddService(L"Fax", fax);
  EXPECT_EQ(Stop(), 1);
  EXPECT_EQ(services.State(L"Fax"), platform::kServiceStopped);
  EXPECT_EQ(State(), platform::kServiceStopped);
  EXPECT_EQ(services.OpenHandles(), 0u);
}

TEST_F(SpoolerControlTest, DependentThatRefusesToStopKeepsTheSpoolerRunning) {
  AddSpooler(platform::kServiceRunning);
  SimServices::Config fax;
  fax.dependsOn = {L"Spooler"};
  services.AddService(L"Fax", fax);
  machine.FailNext(Op::kStopService, platform::err::kServiceCannotAcceptControl);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(State(), platform::kServiceRunning);
  EXPECT_EQ(services.OpenHandles(), 0u);
}

TEST_F(SpoolerControlTest, HangingStopTimesOutAndOddWaitHintsStayBounded) {
  AddSpooler(platform::kServiceRunning, 3000, SimServices::kForever);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(out, "Wait timed out\n");
  EXPECT_GT(Elapsed(), 30000u);
  EXPECT_LE(Elapsed(), 33000u);

  // A hint of ten minutes does not make the wait ten minutes long.
  services.ServiceConfig(L"Spooler") = SimServices::Config{};
  services.ServiceConfig(L"Spooler").waitHint = 600000;
  services.ServiceConfig(L"Spooler").stopDelayMs = SimServices::kForever;
  start = machine.core.clock.NowMs();
  EXPECT_EQ(Stop(), 0);
  EXPECT_LE(Elapsed(), 40000u);

  // A hint of zero still lets time pass between looks.
  services.ServiceConfig(L"Spooler") = SimServices::Config{};
  services.ServiceConfig(L"Spooler").waitHint = 0;
  EXPECT_EQ(Stop(), 1);
}

TEST_F(SpoolerControlTest, FailedStatusQueriesEndTheStop) {
  AddSpooler(platform::kServiceRunning);
  services.failQueriesFrom = 1;
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(machine.Calls(Op::kStopService), 0);

  services.queries = 0;
  services.failQueriesFrom = 2;  // the look after the stop control
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(out, "QueryServiceStatusEx failed (5)\n");
  EXPECT_EQ(services.OpenHandles(), 0u);
}

TEST_F(SpoolerControlTest, StopAndStartReportServicesThatCannotBeOpened) {
  EXPECT_EQ(Stop(), -1);  // no spooler service at all
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(services.OpenHandles(), 0u);

  AddSpooler(platform::kServiceRunning);
  machine.FailNext(Op::kOpenManager, platform::err::kAccessDenied);
  EXPECT_EQ(Stop(), -1);
  machine.FailNext(Op::kOpenServiceByName, platform::err::kAccessDenied);
  EXPECT_EQ(Stop(), -1);
  EXPECT_EQ(services.OpenHandles(), 0u);

  machine.FailNext(Op::kOpenManager, platform::err::kAccessDenied);
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(out, "OpenSCManager failed (5)\n");
  EXPECT_EQ(State(), platform::kServiceRunning);
}

TEST_F(SpoolerControlTest, StartsAStoppedSpoolerAndWaitsWhileItProgresses) {
  AddSpooler(platform::kServiceStopped, 2000, 300, 3500);
  EXPECT_EQ(Start(), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(State(), platform::kServiceRunning);
  EXPECT_GE(Elapsed(), 3500u);
  EXPECT_EQ(services.OpenHandles(), 0u);
}

TEST_F(SpoolerControlTest, OnlyAStoppedOrStoppingSpoolerIsStarted) {
  AddSpooler(platform::kServiceRunning);
  EXPECT_EQ(Start(), -1);
  services.ServiceConfig(L"Spooler").state = platform::kServiceStartPending;
  services.ServiceConfig(L"Spooler").startDelayMs = SimServices::kForever;
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(machine.Calls(Op::kStartService), 0);
}

TEST_F(SpoolerControlTest, StopThatEndsDuringTheWaitIsFollowedByTheStart) {
  AddSpooler(platform::kServiceStopPending, 2000, 1500);
  EXPECT_EQ(Start(), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(State(), platform::kServiceRunning);
}

TEST_F(SpoolerControlTest, StopWithoutProgressIsNotWaitedForBeyondItsHint) {
  AddSpooler(platform::kServiceStopPending, 2000, SimServices::kForever);
  services.frozenCheckPoint = true;
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(out, "Timeout waiting for service to stop\n");
  EXPECT_EQ(machine.Calls(Op::kStartService), 0);
  EXPECT_EQ(Elapsed(), 3000u);
}

TEST_F(SpoolerControlTest, StartWithoutProgressEndsTheWaitWithZero) {
  AddSpooler(platform::kServiceStopped, 2000, 300, SimServices::kForever);
  services.frozenCheckPoint = true;
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Elapsed(), 3000u);
}

TEST_F(SpoolerControlTest, StartFailuresAreDiagnosed) {
  AddSpooler(platform::kServiceStopped, 2000, 300, 3000);
  machine.FailNext(Op::kStartService, 1058);
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(out, "StartService failed (1058)\n");

  services.queries = 0;
  services.failQueriesFrom = 2;  // right after the start
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(out, "QueryServiceStatusEx failed (5)\n");

  // Started, but the status cannot be followed: not known to run.
  services.ServiceConfig(L"Spooler").state = platform::kServiceStopped;
  services.queries = 0;
  services.failQueriesFrom = 3;
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(out, "QueryServiceStatusEx failed (5)\n");
  EXPECT_EQ(services.OpenHandles(), 0u);
}

}  // namespace
