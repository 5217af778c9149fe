#include <windows.h>

#include "win32_platform.h"
#include "win32_util.h"

namespace platform::win32 {
namespace {

// Handles travel as integers through the interface.
SC_HANDLE Sc(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
// The integer form of a service manager handle.
ServiceHandle Id(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle>(handle); }

// The plain record of a service status.
ServiceStatus FromStatus(DWORD state, DWORD checkPoint, DWORD waitHint, DWORD exitCode) {
  ServiceStatus status;
  status.state = state;
  status.checkPoint = checkPoint;
  status.waitHint = waitHint;
  status.exitCode = exitCode;
  return status;
}

}  // namespace

// OpenSCManagerW on this computer.
ErrorCode Win32Services::OpenManager(uint32_t access, ServiceHandle& out) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, access);
  if (!manager) return GetLastError();
  out = Id(manager);
  return err::kOk;
}

// OpenServiceW.
ErrorCode Win32Services::OpenServiceByName(ServiceHandle manager, const std::wstring& name, uint32_t access,
                                     ServiceHandle& out) {
  SC_HANDLE service = OpenServiceW(Sc(manager), name.c_str(), access);
  if (!service) return GetLastError();
  out = Id(service);
  return err::kOk;
}

// QueryServiceStatusEx at SC_STATUS_PROCESS_INFO.
ErrorCode Win32Services::QueryStatus(ServiceHandle service, ServiceStatus& out) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(Sc(service), SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                            sizeof status, &needed))
    return GetLastError();
  out = FromStatus(status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint, status.dwWin32ExitCode);
  return err::kOk;
}

// A first call with no buffer succeeds when there are no active dependents.
ErrorCode Win32Services::EnumActiveDependents(ServiceHandle service, std::vector<DependentService>& out) {
  out.clear();
  DWORD needed = 0;
  DWORD count = 0;
  if (EnumDependentServicesW(Sc(service), SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return err::kOk;
  const DWORD first = GetLastError();
  if (first != ERROR_MORE_DATA) return first;
  std::vector<BYTE> buffer(needed);
  auto* list = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data());
  if (!EnumDependentServicesW(Sc(service), SERVICE_ACTIVE, list, needed, &needed, &count)) return GetLastError();
  for (DWORD i = 0; i < count; ++i) {
    const SERVICE_STATUS& s = list[i].ServiceStatus;
    out.push_back(DependentService{Copy(list[i].lpServiceName), Copy(list[i].lpDisplayName),
                                   FromStatus(s.dwCurrentState, s.dwCheckPoint, s.dwWaitHint, s.dwWin32ExitCode)});
  }
  return err::kOk;
}

// ControlService with SERVICE_CONTROL_STOP.
ErrorCode Win32Services::Stop(ServiceHandle service, ServiceStatus& status) {
  SERVICE_STATUS reported = {};
  if (!ControlService(Sc(service), SERVICE_CONTROL_STOP, &reported)) return GetLastError();
  status = FromStatus(reported.dwCurrentState, reported.dwCheckPoint, reported.dwWaitHint, reported.dwWin32ExitCode);
  return err::kOk;
}

// StartServiceW without arguments.
ErrorCode Win32Services::Start(ServiceHandle service) {
  if (!StartServiceW(Sc(service), 0, nullptr)) return GetLastError();
  return err::kOk;
}

// CloseServiceHandle.
void Win32Services::Close(ServiceHandle handle) {
  if (handle) CloseServiceHandle(Sc(handle));
}

}  // namespace platform::win32
