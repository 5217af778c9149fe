// The removal run: the chosen queues, one restart of the print spooler so
// that it lets go of driver files, then the chosen drivers and their driver
// packages. Also the stop and start of the "Spooler" service the restart
// uses; their diagnostic lines go to standard output, the user sees only
// the removal log.
#include "engine/setup_engine.h"

#include "engine_text.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

const wchar_t kSpoolerService[] = L"Spooler";
const uint32_t kPauseAfterItemMs = 200;
const uint32_t kPauseBeforeStartMs = 500;
const uint32_t kStopLimitMs = 30000;
// A zero wait hint would poll without pause and a huge one would sleep far
// past the stop limit; the sleeps between status checks stay in this range.
const uint32_t kShortestWaitMs = 100;
const uint32_t kLongestWaitMs = 10000;

// The sleep before the next look at a pending service: a tenth of its wait
// hint, kept between one and ten seconds.
uint32_t PollInterval(uint32_t waitHint) { return std::clamp<uint32_t>(waitHint / 10, 1000, kLongestWaitMs); }

// The sleep the service's own wait hint asks for, within sane bounds.
uint32_t HintedWait(uint32_t waitHint) { return std::clamp<uint32_t>(waitHint, kShortestWaitMs, kLongestWaitMs); }

// One diagnostic line on standard output.
void Diagnose(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

// "<call> failed (<code>)" on standard output.
void DiagnoseFailure(const char* call, platform::ErrorCode code) {
  std::printf("%s failed (%d)\n", call, static_cast<int>(code));
  std::fflush(stdout);
}

// Closes the service handles a routine opened, on every way out of it.
class OpenHandles {
 public:
  explicit OpenHandles(platform::Services& services) : services_(services) {}
  ~OpenHandles() {
    for (auto it = handles_.rbegin(); it != handles_.rend(); ++it) services_.Close(*it);
  }
  OpenHandles(const OpenHandles&) = delete;
  OpenHandles& operator=(const OpenHandles&) = delete;
  void Keep(platform::ServiceHandle handle) { handles_.push_back(handle); }

 private:
  platform::Services& services_;
  std::vector<platform::ServiceHandle> handles_;
};

// Stops the active services that depend on the spooler, each waited for
// in turn; gives up at the first failed call or after the stop limit.
void StopDependentServices(platform::Services& services, platform::Clock& clock, platform::ServiceHandle manager,
                           platform::ServiceHandle service) {
  std::vector<platform::DependentService> dependents;
  if (services.EnumActiveDependents(service, dependents) != platform::err::kOk) return;
  const uint32_t begin = clock.NowMs();
  for (const platform::DependentService& dependent : dependents) {
    OpenHandles handles(services);
    platform::ServiceHandle handle = 0;
    if (services.OpenServiceByName(manager, dependent.name, platform::kServiceStop | platform::kServiceQueryStatus,
                                   handle) != platform::err::kOk)
      return;
    handles.Keep(handle);
    platform::ServiceStatus status;
    if (services.Stop(handle, status) != platform::err::kOk) return;
    const uint32_t wait = HintedWait(status.waitHint);
    while (status.state != platform::kServiceStopped) {
      clock.SleepMs(wait);
      if (services.QueryStatus(handle, status) != platform::err::kOk) return;
      if (status.state == platform::kServiceStopped) break;
      if (clock.NowMs() - begin > kStopLimitMs) return;
    }
  }
}

}  // namespace

// "Removed", or "not removed" and why.
bool SetupEngine::LogRemoval(const std::wstring& name, platform::ErrorCode error) {
  if (error == platform::err::kOk) {
    LogDeleteKey(L"tip.deletesuccess", {name});
    return true;
  }
  LogDeleteKey(L"tip.deletefail", {name}, true);
  LogDeleteError(L"tip.failreason", error);
  return false;
}

// Stops the spooler; 1 only when this call stopped it.
int SetupEngine::StopSpooler() {
  bool notRunning = false;
  return StopSpooler(notRunning);
}

// notRunning: the spooler was found stopped (or someone else's stop ended
// while this call waited), which is no failure to stop it.
int SetupEngine::StopSpooler(bool& notRunning) {
  notRunning = false;
  platform::Services& services = platform_.services;
  platform::Clock& clock = platform_.clock;
  const uint32_t start = clock.NowMs();
  OpenHandles handles(services);
  platform::ServiceHandle manager = 0;
  if (services.OpenManager(platform::kManagerAllAccess, manager) != platform::err::kOk) return -1;
  handles.Keep(manager);
  platform::ServiceHandle service = 0;
  const uint32_t access =
      platform::kServiceStop | platform::kServiceQueryStatus | platform::kServiceEnumerateDependents;
  if (services.OpenServiceByName(manager, kSpoolerService, access, service) != platform::err::kOk) return -1;
  handles.Keep(service);

  platform::ServiceStatus status;
  if (services.QueryStatus(service, status) != platform::err::kOk) return 0;
  notRunning = status.state == platform::kServiceStopped;
  if (notRunning) return 0;
  // Someone else is stopping it: wait, but the stop is not ours.
  while (status.state == platform::kServiceStopPending) {
    clock.SleepMs(PollInterval(status.waitHint));
    if (services.QueryStatus(service, status) != platform::err::kOk) return 0;
    notRunning = status.state == platform::kServiceStopped;
    if (notRunning) return 0;
    if (clock.NowMs() - start > kStopLimitMs) return 0;
  }

  // Dependents keep the spooler from stopping; their outcome is not ours.
  StopDependentServices(services, clock, manager, service);

  if (services.Stop(service, status) != platform::err::kOk) return 0;
  while (status.state != platform::kServiceStopped) {
    clock.SleepMs(HintedWait(status.waitHint));
    const platform::ErrorCode error = services.QueryStatus(service, status);
    if (error != platform::err::kOk) {
      DiagnoseFailure("QueryServiceStatusEx", error);
      return 0;
    }
    if (status.state == platform::kServiceStopped) break;
    if (clock.NowMs() - start > kStopLimitMs) {
      Diagnose("Wait timed out\n");
      return 0;
    }
  }
  Diagnose("Service stopped successfully\n");
  return 1;
}

// Starts a stopped (or stopping) spooler; 1 when it runs afterwards, 0 when
// it was started but did not get there, -1 when it could not be started.
int SetupEngine::StartSpooler() {
  platform::Services& services = platform_.services;
  platform::Clock& clock = platform_.clock;
  OpenHandles handles(services);
  platform::ServiceHandle manager = 0;
  const platform::ErrorCode managerError = services.OpenManager(platform::kManagerAllAccess, manager);
  if (managerError != platform::err::kOk) {
    DiagnoseFailure("OpenSCManager", managerError);
    return -1;
  }
  handles.Keep(manager);
  platform::ServiceHandle service = 0;
  if (services.OpenServiceByName(manager, kSpoolerService, platform::kServiceAllAccess, service) !=
      platform::err::kOk)
    return -1;
  handles.Keep(service);

  platform::ServiceStatus status;
  if (services.QueryStatus(service, status) != platform::err::kOk) return -1;
  if (status.state != platform::kServiceStopped && status.state != platform::kServiceStopPending) return -1;

  // A stop under way must end first; it may take as long as its wait hint
  // without progress of the check point.
  uint32_t lastProgress = clock.NowMs();
  uint32_t checkPoint = status.checkPoint;
  while (status.state == platform::kServiceStopPending) {
    clock.SleepMs(PollInterval(status.waitHint));
    if (services.QueryStatus(service, status) != platform::err::kOk) return -1;
    if (status.checkPoint > checkPoint) {
      lastProgress = clock.NowMs();
      checkPoint = status.checkPoint;
    } else if (status.state == platform::kServiceStopPending && clock.NowMs() - lastProgress > status.waitHint) {
      Diagnose("Timeout waiting for service to stop\n");
      return -1;
    }
  }

  const platform::ErrorCode startError = services.Start(service);
  if (startError != platform::err::kOk) {
    DiagnoseFailure("StartService", startError);
    return -1;
  }
  const platform::ErrorCode queryError = services.QueryStatus(service, status);
  if (queryError != platform::err::kOk) {
    DiagnoseFailure("QueryServiceStatusEx", queryError);
    return -1;
  }

  lastProgress = clock.NowMs();
  checkPoint = status.checkPoint;
  while (status.state == platform::kServiceStartPending) {
    clock.SleepMs(PollInterval(status.waitHint));
    platform::ServiceStatus now;
    const platform::ErrorCode error = services.QueryStatus(service, now);
    if (error != platform::err::kOk) {
      DiagnoseFailure("QueryServiceStatusEx", error);
      break;
    }
    status = now;
    if (status.checkPoint > checkPoint) {
      lastProgress = clock.NowMs();
      checkPoint = status.checkPoint;
    } else if (clock.NowMs() - lastProgress > status.waitHint) {
      break;
    }
  }
  return status.state == platform::kServiceRunning ? 1 : 0;
}

// Stop, a short pause, start; a spooler this call did not stop (also one
// that was stopped already) is left as it is. A spooler that is not running
// holds no driver files: that is said as it is, not as a failed stop.
void SetupEngine::RestartSpooler() {
  LogDeleteKey(L"tip.tryrestartprintservice", {});
  bool notRunning = false;
  if (StopSpooler(notRunning) != 1) {
    LogDeleteKey(notRunning ? L"tip.printservicenotrunning" : L"tip.stopprintservicefail", {});
    return;
  }
  platform_.clock.SleepMs(kPauseBeforeStartMs);
  LogDeleteKey(StartSpooler() == 1 ? L"tip.startprintserviceok" : L"tip.startprintservicefail", {});
}

std::map<std::wstring, DriverEntry> SetupEngine::ChosenInstalledDrivers() const {
  std::map<std::wstring, DriverEntry> chosen;
  for (const std::wstring& name : selectedDrivers) {
    for (const DriverEntry& entry : drivers) {
      if (entry.name == name) chosen[name] = entry;
    }
  }
  return chosen;
}

// The removal thread's body: queues first, then (after one spooler
// restart) the drivers in name order, each with its package where the
// system has packages. Every item is handled and logged on its own.
void SetupEngine::RunRemoval() {
  Send(UIMSG_DELETE_ANIMATION, 1);
  // The finished row (with the start-page button) stays hidden until the
  // run is over: going back to the start mid-run would let the user change
  // the lists this thread is working through.
  Send(UIMSG_SHOW_ROW_H1, 0);
  Send(UIMSG_SHOW_PRINTER_ACTIONS, 0);
  Send(UIMSG_SHOW_ROW_H2, 0);
  platform::OsVersion version;
  const bool packages = platform_.system.GetVersion(version) == platform::err::kOk && version.major >= 6;

  if (tabSwitchDelete) {
    LogDelete(std::wstring(), false, true);

    // Only chosen drivers that are still installed: one that is gone needs
    // no spooler restart and has nothing to remove.
    const std::map<std::wstring, DriverEntry> driverMap = ChosenInstalledDrivers();

    for (const std::wstring& name : selectedPrinters) {
      LogDeleteKey(L"tip.startdeleteprinter", {name});
      LogRemoval(name, platform_.spooler.DeleteQueue(name));
      platform_.clock.SleepMs(kPauseAfterItemMs);
    }

    if (!driverMap.empty()) RestartSpooler();

    for (const auto& [name, entry] : driverMap) {
      LogDeleteKey(L"tip.startdeletedriver", {name});
      const platform::ErrorCode error = platform_.spooler.DeleteDriver(
          name, platform::kDeleteUnusedFiles | platform::kDeleteSpecificVersion, 3);
      // The spooler still holds the driver's files: a restart frees them
      // for the next run; this one reports the driver as not removed.
      if (error == platform::err::kPrinterDriverInUse) RestartSpooler();
      if (LogRemoval(name, error) && packages && !entry.infPath.empty()) {
        LogDeleteKey(L"tip.startdeletepack", {name});
        const platform::DynamicResult result = platform_.spooler.DeleteDriverPackage(entry.infPath);
        // A system with packages that lacks the deletion call has kept the
        // package: say so rather than report it removed.
        platform::ErrorCode packageError = result.error;
        if (result.status == platform::DynamicStatus::kLibraryMissing) packageError = platform::err::kModNotFound;
        if (result.status == platform::DynamicStatus::kEntryMissing) packageError = platform::err::kProcNotFound;
        LogRemoval(name, packageError);
      }
      platform_.clock.SleepMs(kPauseAfterItemMs);
    }
  }
  Send(UIMSG_DELETE_ANIMATION, 0);
}
