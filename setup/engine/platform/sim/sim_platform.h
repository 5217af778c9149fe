#pragma once
// A simulated Windows for the engine's tests: every platform service kept in
// memory, with Windows' error codes and list orders, a virtual clock (a sleep
// advances time at once) and per-operation failure injection.  Single-threaded.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/port_data.h"

namespace platform::sim {

// Every simulated call that can be made to fail.
enum class Op {
  kListPorts, kListPrinters, kListDrivers, kGetDriverDirectory, kAddDriver, kDeleteDriver,
  kDeleteDriverPackage, kAddQueue, kDeleteQueue, kSetDefaultQueue, kAddPortByMonitor, kRemovePort,
  kShowPortConfiguration, kXcvCommand,
  kEnumInterfaces, kPresentDeviceClasses, kReadDword, kReadString,
  kGetAttributes, kCreateDir, kWriteWholeFile, kWriteDevice, kGetOwner, kCreateAdminOnlyDir, kGetWriters, kLaunch,
  kProbeTcp,
  kFindRadio, kSearchDevices, kAuthenticate, kSetServiceState, kSetLocalServiceInfo,
  kOpenManager, kOpenServiceByName, kQueryStatus, kEnumActiveDependents, kStopService, kStartService,
  kGetVersion, kIsWow64, kProgramFilesFolder, kSystemFolder,
  kCount
};

// Time that moves only when slept through or advanced.
class VirtualClock : public Clock {
 public:
  uint32_t NowMs() override { return now_; }
  void SleepMs(uint32_t ms) override { Advance(ms); }
  uint64_t SystemFileTime() override { return fileTime_; }
  // Moves time on; the tick count wraps like GetTickCount.
  void Advance(uint32_t ms);
  void SetNow(uint32_t ms) { now_ = ms; }
  void SetFileTime(uint64_t fileTime) { fileTime_ = fileTime; }
  uint64_t TotalSleptMs() const { return slept_; }

 private:
  uint32_t now_ = 1000;
  uint64_t fileTime_ = 133500000000000000ULL;  // early 2024
  uint64_t slept_ = 0;
};

// Counts calls and hands out injected failures.
class CallLog {
 public:
  // The next `count` calls of `op` fail with `code`.
  void FailNext(Op op, ErrorCode code, int count = 1);
  // Records a call; an injected failure code when one is due.
  std::optional<ErrorCode> Enter(Op op);
  int Count(Op op) const { return counts_[static_cast<size_t>(op)]; }

 private:
  struct Pending { ErrorCode code; int left; };
  std::array<int, static_cast<size_t>(Op::kCount)> counts_{};
  std::array<Pending, static_cast<size_t>(Op::kCount)> pending_{};
};

struct SimCore {
  VirtualClock clock;
  CallLog calls;
};

// Files and directories, paths compared without regard to case and with
// "/" and "\" alike; drive roots always exist.  Everything belongs to the
// administrators unless a test gives it another owner; a link is a folder
// with the reparse-point attribute (its target is not simulated).  Access
// lists are kept as the SIDs that may write: a drive root lets the
// administrators, the system and every signed-in user (S-1-5-11) write, a
// folder made by CreateDir takes its parent's writers, one made by
// CreateAdminOnlyDir only the administrators and the system, and one a
// test makes with MakeDirs or PutFile the same unless SetWriters says else.
class SimFiles : public Files {
 public:
  explicit SimFiles(SimCore& core) : core_(core) {}
  PLATFORM_FILES_OVERRIDES

  static constexpr wchar_t kSidAuthenticatedUsers[] = L"S-1-5-11";
  // Another access list for an existing entry (the SIDs that may write).
  void SetWriters(const std::wstring& path, const std::vector<std::wstring>& sids);

  // Creates a directory and all its parents.
  void MakeDirs(const std::wstring& path);
  // Creates the parents and the file.
  void PutFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
  bool Exists(const std::wstring& path) const;
  std::optional<std::vector<uint8_t>> Read(const std::wstring& path) const;
  // A locked file refuses writes with a sharing violation.
  void SetLocked(const std::wstring& path, bool locked);
  // An existing file or folder gets another owner (a text SID).
  void SetOwner(const std::wstring& path, const std::wstring& ownerSid);
  // Creates the parents and a link (reparse point) to a folder elsewhere.
  void MakeLink(const std::wstring& path);
  // A device that can be opened by its path; an unresponsive one never
  // completes a write.
  void AddDevice(const std::wstring& devicePath, bool responsive = true);
  std::vector<uint8_t> DeviceBytes(const std::wstring& devicePath) const;

 private:
  struct Entry {
    std::wstring path;
    bool directory = false;
    bool locked = false;
    std::vector<uint8_t> bytes;
    std::wstring owner = kSidAdministrators;
    bool link = false;
    std::vector<std::wstring> writers{kSidAdministrators, kSidLocalSystem};
  };
  ErrorCode MakeDir(const std::wstring& path, bool adminOnly);
  struct Device { bool responsive = true; std::vector<uint8_t> received; };
  SimCore& core_;
  std::map<std::wstring, Entry> entries_;  // by folded path
  std::map<std::wstring, Device> devices_;
};

// Programs started through the shell; a handler plays their effect.
class SimProcesses : public Processes {
 public:
  using Handler = std::function<ErrorCode(const ProcessLaunch&)>;
  explicit SimProcesses(SimCore& core) : core_(core) {}
  PLATFORM_PROCESSES_OVERRIDES
  void SetHandler(Handler handler) { handler_ = std::move(handler); }
  const std::vector<ProcessLaunch>& Launched() const { return launched_; }

 private:
  SimCore& core_;
  Handler handler_;
  std::vector<ProcessLaunch> launched_;
};

// The print spooler of a fresh Windows: the "Local Port" monitor's ports,
// the "Standard TCP/IP Port" and "USB Monitor" monitors, no queues.
class SimSpooler : public Spooler {
 public:
  SimSpooler(SimCore& core, SimFiles& files);
  PLATFORM_SPOOLER_OVERRIDES

  // Set-up and inspection for tests.
  void AddPortMonitor(const std::wstring& monitor);
  void AddPortOf(const std::wstring& monitor, const std::wstring& name, const std::wstring& description);
  // Installs a driver directly, bypassing the file checks; infPath makes it
  // part of a driver package.
  void InstallDriver(const std::wstring& name, const std::wstring& infPath = L"", uint32_t version = 3);
  // The name of the port the monitor's add-port dialog will create; without
  // one the user cancels the dialog.
  void ScriptPortDialog(const std::wstring& monitor, const std::wstring& portName);
  // False makes the package deletion entry point missing (as before Vista).
  void SetPackageDeletionAvailable(bool available) { packageEntry_ = available; }
  const std::wstring& DefaultPrinter() const { return defaultPrinter_; }
  const std::vector<std::wstring>& ConfiguredPorts() const { return configured_; }
  std::optional<TcpPortSettings> TcpPort(const std::wstring& name) const;
  std::optional<DriverSetup> DriverRecord(const std::wstring& name) const;

 private:
  struct Driver { DriverSetup setup; std::wstring infPath; };
  PortInfo* FindPort(const std::wstring& name);
  Driver* FindDriver(const std::wstring& name);
  PrinterInfo* FindPrinter(const std::wstring& name);

  SimCore& core_;
  SimFiles& files_;
  std::wstring driverDirectory_ = L"C:\\Windows\\system32\\spool\\DRIVERS\\W32X86";
  std::vector<std::wstring> monitors_;
  std::vector<PortInfo> ports_;  // in creation order; listed by monitor
  std::vector<PrinterInfo> printers_;
  std::vector<Driver> drivers_;
  std::vector<std::wstring> packages_;
  std::map<std::wstring, TcpPortSettings> tcpPorts_;
  std::map<std::wstring, std::wstring> portDialogs_;  // monitor -> port name
  std::vector<std::wstring> configured_;
  std::wstring defaultPrinter_;
  bool packageEntry_ = true;
};

// A device interface as the simulated device manager holds it: the
// "PortName" value is kept as raw registry bytes so bounds can be tested.
struct SimInterface {
  Guid interfaceClass;
  bool detailReadable = true;
  std::wstring devicePath;
  std::wstring instanceId;
  std::optional<std::wstring> description;
  std::optional<std::wstring> hardwareId;
  std::optional<std::vector<uint8_t>> portNameBytes;
};

// Registry value bytes of a text with its terminator (UTF-16LE).
std::vector<uint8_t> RegistryStringBytes(const std::wstring& text);

class SimDevices : public Devices {
 public:
  explicit SimDevices(SimCore& core) : core_(core) {}
  PLATFORM_DEVICES_OVERRIDES

  void AddInterface(const SimInterface& item) { interfaces_.push_back(item); }
  // A present device of a setup class (a Bluetooth adapter, say).
  void AddDevice(const Guid& setupClass) { classes_.push_back(setupClass); }
  void RemoveInterfaces(const Guid& interfaceClass);

 private:
  SimCore& core_;
  std::vector<SimInterface> interfaces_;
  std::vector<Guid> classes_;
};

// HKEY_LOCAL_MACHINE values; key paths and value names ignore case.
class SimRegistry : public Registry {
 public:
  static constexpr uint32_t kRegSz = 1;
  static constexpr uint32_t kRegExpandSz = 2;
  static constexpr uint32_t kRegDword = 4;

  explicit SimRegistry(SimCore& core) : core_(core) {}
  PLATFORM_REGISTRY_OVERRIDES

  void SetDword(const std::wstring& keyPath, const std::wstring& value, uint32_t data);
  void SetString(const std::wstring& keyPath, const std::wstring& value, const std::wstring& data);
  void SetRaw(const std::wstring& keyPath, const std::wstring& value, uint32_t type,
              std::vector<uint8_t> bytes);

 private:
  struct Value { uint32_t type; std::vector<uint8_t> bytes; };
  const Value* Find(const std::wstring& keyPath, const std::wstring& value, ErrorCode& error) const;
  SimCore& core_;
  std::map<std::wstring, std::map<std::wstring, Value>> keys_;
};

// TCP listeners by address text and port; anything else never answers.
class SimNetwork : public Network {
 public:
  enum class Peer { kAccepts, kRefuses, kSilent };
  explicit SimNetwork(SimCore& core) : core_(core) {}
  PLATFORM_NETWORK_OVERRIDES
  void SetPeer(const std::string& address, uint16_t port, Peer peer);

 private:
  SimCore& core_;
  std::map<std::pair<std::string, uint16_t>, Peer> peers_;
};

// A remote device with what the simulated stack knows about it.
struct SimBluetoothDevice {
  BluetoothDevice info;
  std::wstring pin = L"0000";
  bool inRange = true;
  bool offersSerial = true;
  std::wstring comPort;  // created when the serial service is switched on
  bool serialEnabled = false;
};

// A local service registration as it was made.
struct SimLocalService {
  Guid service;
  uint32_t instance = 0;
  LocalServiceInfo info;
};

class SimBluetooth : public Bluetooth {
 public:
  SimBluetooth(SimCore& core, SimDevices& devices) : core_(core), devices_(devices) {}
  PLATFORM_BLUETOOTH_OVERRIDES

  // An adapter also appears as a present device of the Bluetooth setup class.
  void AddRadio();
  void AddDevice(const SimBluetoothDevice& device) { remote_.push_back(device); }
  // False makes "bthprops.cpl" impossible to load.
  void SetLibraryAvailable(bool available) { library_ = available; }
  const SimBluetoothDevice* Device(uint64_t address) const;
  const std::vector<SimLocalService>& LocalServices() const { return localServices_; }
  std::vector<std::wstring> LastPasskeys() const { return passkeys_; }

 private:
  SimBluetoothDevice* FindDevice(uint64_t address);
  SimCore& core_;
  SimDevices& devices_;
  int radios_ = 0;
  bool library_ = true;
  std::vector<SimBluetoothDevice> remote_;
  std::vector<SimLocalService> localServices_;
  std::vector<std::wstring> passkeys_;
};

// Services with timed state changes: a stop or start passes through the
// pending state for the service's delay, with the check point advancing.
class SimServices : public Services {
 public:
  static constexpr uint32_t kForever = UINT32_MAX;
  struct Config {
    std::wstring displayName;
    uint32_t state = kServiceRunning;
    uint32_t waitHint = 2000;
    uint32_t stopDelayMs = 300;
    uint32_t startDelayMs = 300;
    std::vector<std::wstring> dependsOn;
  };

  explicit SimServices(SimCore& core);
  PLATFORM_SERVICES_OVERRIDES

  void AddService(const std::wstring& name, const Config& config);
  Config& ServiceConfig(const std::wstring& name);
  // The state as it is now, for inspection.
  uint32_t State(const std::wstring& name);
  size_t OpenHandles() const { return handles_.size(); }

 private:
  struct Service { std::wstring name; Config config; uint32_t since = 0; };
  struct Handle { bool manager; std::wstring service; uint32_t access; };
  Service* FindService(const std::wstring& name);
  Service* ServiceOf(ServiceHandle handle, uint32_t right, ErrorCode& error);
  void Settle(Service& service);
  ServiceStatus StatusOf(Service& service);

  SimCore& core_;
  std::vector<Service> services_;
  std::map<ServiceHandle, Handle> handles_;
  ServiceHandle nextHandle_ = 0x100;
};

class SimSystem : public System {
 public:
  explicit SimSystem(SimCore& core);
  // ToAnsi: Latin-1 for the first 256 code points, "?" for the rest.
  PLATFORM_SYSTEM_OVERRIDES

  void SetVersion(uint32_t major, uint32_t minor, uint32_t build = 0) { version_ = {major, minor, build}; }
  void SetWow64(bool wow64) { wow64_ = wow64; }
  // An empty folder makes the look-up fail.
  void SetProgramFiles(const std::wstring& folder) { programFiles_ = folder; }
  // A message for a language; language 0 is the fallback for all others.
  void SetMessage(ErrorCode code, uint16_t languageId, const std::wstring& text);

 private:
  SimCore& core_;
  OsVersion version_{10, 0, 19045};
  bool wow64_ = false;
  std::wstring programFiles_ = L"C:\\Program Files";
  std::wstring systemFolder_ = L"C:\\Windows\\system32";
  std::map<std::pair<ErrorCode, uint16_t>, std::wstring> messages_;
};

// The whole simulated machine.
class SimPlatform {
 public:
  SimPlatform();
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  Platform View();
  // Plugs in a USB printer the way Windows registers one: its printing
  // interface, the "Port Number" of its device parameters, its spooler port
  // "USB%03u" and a device path that takes writes.  Returns the device path.
  std::wstring PlugUsbPrinter(const std::wstring& instanceId, uint32_t portNumber, bool responsive = true);
  void FailNext(Op op, ErrorCode code, int count = 1) { core.calls.FailNext(op, code, count); }
  int Calls(Op op) const { return core.calls.Count(op); }

  SimCore core;
  SimFiles files{core};
  SimProcesses processes{core};
  SimSpooler spooler{core, files};
  SimDevices devices{core};
  SimRegistry registry{core};
  SimNetwork network{core};
  SimBluetooth bluetooth{core, devices};
  SimServices services{core};
  SimSystem system{core};
};

// Case-insensitive comparison as the Windows name look-ups make it.
bool SameName(const std::wstring& a, const std::wstring& b);
std::wstring Fold(const std::wstring& text);

}  // namespace platform::sim
