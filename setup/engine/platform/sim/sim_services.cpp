#include <algorithm>
#include <stdexcept>

#include "sim_platform.h"

namespace platform::sim {
namespace {

// How often a pending service advances its check point.
constexpr uint32_t kCheckPointMs = 500;

// A start or stop under way.
bool IsPending(uint32_t state) { return state == kServiceStartPending || state == kServiceStopPending; }

}  // namespace

// No services until the machine adds them.
SimServices::SimServices(SimCore& core) : core_(core) {}

// Every caller may open the manager; the rights are kept with the handle.
ErrorCode SimServices::OpenManager(uint32_t access, ServiceHandle& out) {
  if (auto injected = core_.calls.Enter(Op::kOpenManager)) return *injected;
  out = nextHandle_++;
  handles_[out] = Handle{true, L"", access};
  return err::kOk;
}

// Service names ignore case, as in the service manager.
ErrorCode SimServices::OpenServiceByName(ServiceHandle manager, const std::wstring& name, uint32_t access,
                                   ServiceHandle& out) {
  if (auto injected = core_.calls.Enter(Op::kOpenServiceByName)) return *injected;
  auto it = handles_.find(manager);
  if (it == handles_.end() || !it->second.manager) return err::kInvalidHandle;
  Service* service = FindService(name);
  if (!service) return err::kServiceDoesNotExist;
  out = nextHandle_++;
  handles_[out] = Handle{false, service->name, access};
  return err::kOk;
}

// The status as it is at this moment of virtual time.
ErrorCode SimServices::QueryStatus(ServiceHandle handle, ServiceStatus& out) {
  if (auto injected = core_.calls.Enter(Op::kQueryStatus)) return *injected;
  ErrorCode error = err::kOk;
  Service* service = ServiceOf(handle, kServiceQueryStatus, error);
  if (!service) return error;
  out = StatusOf(*service);
  return err::kOk;
}

// Active services whose dependencies name this one, in registration order.
ErrorCode SimServices::EnumActiveDependents(ServiceHandle handle, std::vector<DependentService>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kEnumActiveDependents)) return *injected;
  ErrorCode error = err::kOk;
  Service* service = ServiceOf(handle, kServiceEnumerateDependents, error);
  if (!service) return error;
  const std::wstring name = service->name;
  for (Service& other : services_) {
    const auto& deps = other.config.dependsOn;
    if (std::none_of(deps.begin(), deps.end(), [&](const std::wstring& d) { return SameName(d, name); }))
      continue;
    ServiceStatus status = StatusOf(other);
    if (status.state != kServiceStopped)
      out.push_back(DependentService{other.name, other.config.displayName, status});
  }
  return err::kOk;
}

// The stop control is refused while dependents run or a change is pending.
ErrorCode SimServices::Stop(ServiceHandle handle, ServiceStatus& status) {
  if (auto injected = core_.calls.Enter(Op::kStopService)) return *injected;
  ErrorCode error = err::kOk;
  Service* service = ServiceOf(handle, kServiceStop, error);
  if (!service) return error;
  Settle(*service);
  const uint32_t state = service->config.state;
  if (state == kServiceStopped) return err::kServiceNotActive;
  if (IsPending(state)) return err::kServiceCannotAcceptControl;
  for (Service& other : services_) {
    const auto& deps = other.config.dependsOn;
    if (std::any_of(deps.begin(), deps.end(), [&](const std::wstring& d) { return SameName(d, service->name); }) &&
        StatusOf(other).state != kServiceStopped)
      return err::kDependentServicesRunning;
  }
  service->config.state = service->config.stopDelayMs == 0 ? kServiceStopped : kServiceStopPending;
  service->since = core_.clock.NowMs();
  status = StatusOf(*service);
  return err::kOk;
}

// Only a stopped service starts.
ErrorCode SimServices::Start(ServiceHandle handle) {
  if (auto injected = core_.calls.Enter(Op::kStartService)) return *injected;
  ErrorCode error = err::kOk;
  Service* service = ServiceOf(handle, kServiceStart, error);
  if (!service) return error;
  Settle(*service);
  if (service->config.state != kServiceStopped) return err::kServiceAlreadyRunning;
  service->config.state = service->config.startDelayMs == 0 ? kServiceRunning : kServiceStartPending;
  service->since = core_.clock.NowMs();
  return err::kOk;
}

// Closing an unknown handle does nothing.
void SimServices::Close(ServiceHandle handle) { handles_.erase(handle); }

// A service whose state dates from now.
void SimServices::AddService(const std::wstring& name, const Config& config) {
  services_.push_back(Service{name, config, core_.clock.NowMs()});
}

// Settings of a service; an unknown name is a mistake in the test.
SimServices::Config& SimServices::ServiceConfig(const std::wstring& name) {
  Service* service = FindService(name);
  if (!service) throw std::invalid_argument("no such simulated service");
  return service->config;
}

// The state as it is now; 0 for an unknown service.
uint32_t SimServices::State(const std::wstring& name) {
  Service* service = FindService(name);
  return service ? StatusOf(*service).state : 0;
}

// The service of this name, ignoring case.
SimServices::Service* SimServices::FindService(const std::wstring& name) {
  for (Service& service : services_)
    if (SameName(service.name, name)) return &service;
  return nullptr;
}

// The service behind a handle, when the handle carries the right.
SimServices::Service* SimServices::ServiceOf(ServiceHandle handle, uint32_t right, ErrorCode& error) {
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.manager) {
    error = err::kInvalidHandle;
    return nullptr;
  }
  if ((it->second.access & right) != right) {
    error = err::kAccessDenied;
    return nullptr;
  }
  return FindService(it->second.service);
}

// Ends a pending change whose time has come.
void SimServices::Settle(Service& service) {
  Config& config = service.config;
  if (!IsPending(config.state)) return;
  const uint32_t delay = config.state == kServiceStopPending ? config.stopDelayMs : config.startDelayMs;
  if (delay == kForever || core_.clock.NowMs() - service.since < delay) return;
  config.state = config.state == kServiceStopPending ? kServiceStopped : kServiceRunning;
}

// Pending states report the wait hint and a check point that grows with time.
ServiceStatus SimServices::StatusOf(Service& service) {
  Settle(service);
  ServiceStatus status;
  status.state = service.config.state;
  if (IsPending(status.state)) {
    status.waitHint = service.config.waitHint;
    status.checkPoint = 1 + (core_.clock.NowMs() - service.since) / kCheckPointMs;
  }
  return status;
}

}  // namespace platform::sim
