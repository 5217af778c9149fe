#pragma once
// The service control manager, through handles as Windows hands them out.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

// An open service manager or service; 0 is never a valid handle.
using ServiceHandle = uintptr_t;

// Service states (SERVICE_STATUS_PROCESS.dwCurrentState).
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceStartPending = 2;
constexpr uint32_t kServiceStopPending = 3;
constexpr uint32_t kServiceRunning = 4;

// Access rights.
constexpr uint32_t kManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceQueryStatus = 0x4;
constexpr uint32_t kServiceEnumerateDependents = 0x8;
constexpr uint32_t kServiceStart = 0x10;
constexpr uint32_t kServiceStop = 0x20;
constexpr uint32_t kServiceAllAccess = 0xF01FF;

struct ServiceStatus {
  uint32_t state = 0;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;  // ms
  uint32_t exitCode = 0;
};

// An active service that depends on another one.
struct DependentService {
  std::wstring name;
  std::wstring displayName;
  ServiceStatus status;
};

class Services {
 public:
  virtual ~Services() = default;

  virtual ErrorCode OpenManager(uint32_t access, ServiceHandle& out) = 0;
  virtual ErrorCode OpenServiceByName(ServiceHandle manager, const std::wstring& name, uint32_t access,
                                ServiceHandle& out) = 0;
  // QueryServiceStatusEx at the process-information level.
  virtual ErrorCode QueryStatus(ServiceHandle service, ServiceStatus& out) = 0;
  // The active services that depend on this one.
  virtual ErrorCode EnumActiveDependents(ServiceHandle service, std::vector<DependentService>& out) = 0;
  // ControlService with the stop control; `status` is the one reported back.
  virtual ErrorCode Stop(ServiceHandle service, ServiceStatus& status) = 0;
  // StartService without arguments.
  virtual ErrorCode Start(ServiceHandle service) = 0;
  virtual void Close(ServiceHandle handle) = 0;
};

// What every service manager back end (the simulated and the real Windows) declares.
#define PLATFORM_SERVICES_OVERRIDES \
  ErrorCode OpenManager(uint32_t access, ServiceHandle& out) override;                                 \
  ErrorCode OpenServiceByName(ServiceHandle manager, const std::wstring& name, uint32_t access,        \
                              ServiceHandle& out) override;                                            \
  ErrorCode QueryStatus(ServiceHandle service, ServiceStatus& out) override;                           \
  ErrorCode EnumActiveDependents(ServiceHandle service, std::vector<DependentService>& out) override;  \
  ErrorCode Stop(ServiceHandle service, ServiceStatus& status) override;                               \
  ErrorCode Start(ServiceHandle service) override;                                                     \
  void Close(ServiceHandle handle) override;

}  // namespace platform
