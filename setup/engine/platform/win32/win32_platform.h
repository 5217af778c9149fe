#pragma once
// The real Windows behind the platform interfaces (cross build only).
#include <memory>

#include "platform/platform.h"

namespace platform::win32 {

class Win32Spooler : public Spooler {
 public:
  ErrorCode ListPorts(std::vector<PortInfo>& out) override;
  ErrorCode ListPrinters(uint32_t flags, std::vector<PrinterInfo>& out) override;
  ErrorCode ListDrivers(uint32_t level, std::vector<DriverInfo>& out) override;
  ErrorCode GetDriverDirectory(std::wstring& out) override;
  ErrorCode AddDriver(const DriverSetup& driver, uint32_t copyFlags) override;
  ErrorCode DeleteDriver(const std::wstring& name, uint32_t deleteFlags, uint32_t version) override;
  DynamicResult DeleteDriverPackage(const std::wstring& infPath) override;
  ErrorCode AddQueue(const PrinterInfo& printer) override;
  ErrorCode DeleteQueue(const std::wstring& name) override;
  ErrorCode SetDefaultQueue(const std::wstring& name) override;
  ErrorCode AddPortByMonitor(WindowHandle owner, const std::wstring& monitor) override;
  ErrorCode RemovePort(WindowHandle owner, const std::wstring& port) override;
  ErrorCode ShowPortConfiguration(WindowHandle owner, const std::wstring& port) override;
  ErrorCode XcvCommand(const std::wstring& object, const std::wstring& command,
                    const std::vector<uint8_t>& input, uint32_t outputSize,
                    uint32_t& status) override;
};

class Win32Devices : public Devices {
 public:
  ErrorCode EnumInterfaces(const Guid& interfaceClass, std::vector<DeviceInterfaceRecord>& out) override;
  ErrorCode PresentDeviceClasses(std::vector<Guid>& out) override;
};

class Win32Registry : public Registry {
 public:
  ErrorCode ReadDword(const std::wstring& keyPath, const std::wstring& value, uint32_t& out) override;
  ErrorCode ReadString(const std::wstring& keyPath, const std::wstring& value, size_t maxBytes,
                       std::wstring& out) override;
};

class Win32Files : public Files {
 public:
  ErrorCode GetAttributes(const std::wstring& path, uint32_t& attributes) override;
  ErrorCode CreateDir(const std::wstring& path) override;
  ErrorCode WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) override;
  ErrorCode WriteDevice(const std::wstring& devicePath, const std::vector<uint8_t>& bytes,
                        uint32_t timeoutMs, uint32_t& written) override;
  ErrorCode GetOwner(const std::wstring& path, std::wstring& ownerSid) override;
  ErrorCode CreateAdminOnlyDir(const std::wstring& path) override;
  ErrorCode GetWriters(const std::wstring& path, std::vector<std::wstring>& sids) override;
};

class Win32Processes : public Processes {
 public:
  ErrorCode Launch(const ProcessLaunch& launch) override;
};

class Win32Network : public Network {
 public:
  ProbeResult ProbeTcp(const std::string& address, uint16_t port, uint32_t timeoutMs) override;
};

class Win32Bluetooth : public Bluetooth {
 public:
  ErrorCode FindRadio() override;
  ErrorCode SearchDevices(const BluetoothSearch& search, std::vector<BluetoothDevice>& out) override;
  ErrorCode Authenticate(const BluetoothDevice& device, const std::wstring& passkey) override;
  DynamicResult SetServiceState(const BluetoothDevice& device, const Guid& service, bool enable) override;
  DynamicResult SetLocalServiceInfo(const Guid& service, uint32_t instance,
                                    const LocalServiceInfo& info) override;
};

class Win32Services : public Services {
 public:
  ErrorCode OpenManager(uint32_t access, ServiceHandle& out) override;
  ErrorCode OpenServiceByName(ServiceHandle manager, const std::wstring& name, uint32_t access,
                        ServiceHandle& out) override;
  ErrorCode QueryStatus(ServiceHandle service, ServiceStatus& out) override;
  ErrorCode EnumActiveDependents(ServiceHandle service, std::vector<DependentService>& out) override;
  ErrorCode Stop(ServiceHandle service, ServiceStatus& status) override;
  ErrorCode Start(ServiceHandle service) override;
  void Close(ServiceHandle handle) override;
};

class Win32System : public System {
 public:
  ErrorCode GetVersion(OsVersion& out) override;
  ErrorCode IsWow64(bool& out) override;
  std::wstring ErrorMessage(ErrorCode code, uint16_t languageId) override;
  ErrorCode ProgramFilesFolder(std::wstring& out) override;
  ErrorCode SystemFolder(std::wstring& out) override;
  std::string ToAnsi(const std::wstring& text) override;
};

class Win32Clock : public Clock {
 public:
  uint32_t NowMs() override;
  void SleepMs(uint32_t ms) override;
  uint64_t SystemFileTime() override;
};

// The one set of real services a program uses.
class Win32Platform {
 public:
  Platform View();

 private:
  Win32Spooler spooler_;
  Win32Devices devices_;
  Win32Registry registry_;
  Win32Files files_;
  Win32Processes processes_;
  Win32Network network_;
  Win32Bluetooth bluetooth_;
  Win32Services services_;
  Win32System system_;
  Win32Clock clock_;
};

}  // namespace platform::win32
