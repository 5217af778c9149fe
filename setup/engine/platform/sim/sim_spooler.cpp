#include <algorithm>

#include "sim_platform.h"

namespace platform::sim {
namespace {

constexpr ErrorCode kUnknownPrintProcessor = 1798;
constexpr ErrorCode kInvalidDataType = 1804;
constexpr ErrorCode kDriverPackageInUse = 3015;
constexpr size_t kMaxPrinterName = 220;
const wchar_t kTcpMonitor[] = L"Standard TCP/IP Port";

// Registry enumeration order, which is how the spooler lists queues and drivers.
template <typename T, typename Name>
void SortByFoldedName(std::vector<T>& items, Name name) {
  std::stable_sort(items.begin(), items.end(),
                   [&](const T& a, const T& b) { return Fold(name(a)) < Fold(name(b)); });
}

// The data types the WinPrint processor accepts.
bool KnownDataType(const std::wstring& type) {
  for (const wchar_t* known : {L"RAW", L"RAW [FF appended]", L"RAW [FF auto]", L"TEXT",
                               L"NT EMF 1.003", L"NT EMF 1.006", L"NT EMF 1.007", L"NT EMF 1.008"})
    if (SameName(type, known)) return true;
  return false;
}

}  // namespace

// A fresh Windows' monitors and local ports.
SimSpooler::SimSpooler(SimCore& core, SimFiles& files) : core_(core), files_(files) {
  for (const wchar_t* monitor : {L"Local Port", kTcpMonitor, L"USB Monitor"}) AddPortMonitor(monitor);
  for (const wchar_t* port : {L"LPT1:", L"LPT2:", L"LPT3:", L"COM1:", L"COM2:", L"COM3:",
                              L"COM4:", L"FILE:"})
    AddPortOf(L"Local Port", port, L"Local Port");
}

// Ports are listed monitor by monitor, each monitor's in creation order.
ErrorCode SimSpooler::ListPorts(std::vector<PortInfo>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kListPorts)) return *injected;
  for (const std::wstring& monitor : monitors_)
    for (const PortInfo& port : ports_)
      if (port.monitor == monitor) out.push_back(port);
  return err::kOk;
}

// All simulated queues are local: without the local flag none is listed.
ErrorCode SimSpooler::ListPrinters(uint32_t flags, std::vector<PrinterInfo>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kListPrinters)) return *injected;
  if (flags & kEnumPrinterLocal) out = printers_;
  SortByFoldedName(out, [](const PrinterInfo& p) { return p.name; });
  return err::kOk;
}

// Fields beyond the level stay empty, as in the Windows records.
ErrorCode SimSpooler::ListDrivers(uint32_t level, std::vector<DriverInfo>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kListDrivers)) return *injected;
  if (level != 1 && level != 6 && level != 8) return err::kInvalidLevel;
  for (const Driver& driver : drivers_) {
    DriverInfo info;
    info.name = driver.setup.name;
    if (level >= 6) {
      info.version = driver.setup.version;
      info.environment = L"Windows NT x86";
      info.driverPath = driverDirectory_ + L"\\3\\" + driver.setup.driverPath;
      info.dataFile = driverDirectory_ + L"\\3\\" + driver.setup.dataFile;
      info.configFile = driverDirectory_ + L"\\3\\" + driver.setup.configFile;
    }
    if (level == 8) info.infPath = driver.infPath;
    out.push_back(info);
  }
  SortByFoldedName(out, [](const DriverInfo& d) { return d.name; });
  return err::kOk;
}

// The x86 driver directory of a fresh Windows.
ErrorCode SimSpooler::GetDriverDirectory(std::wstring& out) {
  if (auto injected = core_.calls.Enter(Op::kGetDriverDirectory)) return *injected;
  out = driverDirectory_;
  return err::kOk;
}

// With "copy all files" every named file must lie in the driver directory;
// a driver of the same name is replaced.
ErrorCode SimSpooler::AddDriver(const DriverSetup& driver, uint32_t copyFlags) {
  if (auto injected = core_.calls.Enter(Op::kAddDriver)) return *injected;
  if (driver.name.empty() || driver.driverPath.empty() || driver.dataFile.empty() ||
      driver.configFile.empty())
    return err::kInvalidParameter;
  if (copyFlags & kCopyAllFiles) {
    std::vector<std::wstring> names = {driver.driverPath, driver.dataFile, driver.configFile};
    if (!driver.helpFile.empty()) names.push_back(driver.helpFile);
    names.insert(names.end(), driver.dependentFiles.begin(), driver.dependentFiles.end());
    for (const std::wstring& name : names) {
      const std::wstring path =
          name.find(L'\\') == std::wstring::npos ? driverDirectory_ + L"\\" + name : name;
      if (!files_.Exists(path)) return err::kFileNotFound;
    }
  }
  if (Driver* existing = FindDriver(driver.name)) {
    existing->setup = driver;
    return err::kOk;
  }
  drivers_.push_back(Driver{driver, L""});
  return err::kOk;
}

// A driver that a queue uses cannot go.
ErrorCode SimSpooler::DeleteDriver(const std::wstring& name, uint32_t deleteFlags, uint32_t version) {
  if (auto injected = core_.calls.Enter(Op::kDeleteDriver)) return *injected;
  auto it = std::find_if(drivers_.begin(), drivers_.end(),
                         [&](const Driver& d) { return SameName(d.setup.name, name); });
  if (it == drivers_.end()) return err::kUnknownPrinterDriver;
  if ((deleteFlags & kDeleteSpecificVersion) && it->setup.version != version)
    return err::kUnknownPrinterDriver;
  for (const PrinterInfo& printer : printers_)
    if (SameName(printer.driver, name)) return err::kPrinterDriverInUse;
  drivers_.erase(it);
  return err::kOk;
}

// A package still used by an installed driver stays.
DynamicResult SimSpooler::DeleteDriverPackage(const std::wstring& infPath) {
  if (auto injected = core_.calls.Enter(Op::kDeleteDriverPackage))
    return {DynamicStatus::kCalled, *injected};
  if (!packageEntry_) return {DynamicStatus::kEntryMissing, err::kProcNotFound};
  for (const Driver& driver : drivers_)
    if (SameName(driver.infPath, infPath)) return {DynamicStatus::kCalled, kDriverPackageInUse};
  auto it = std::find_if(packages_.begin(), packages_.end(),
                         [&](const std::wstring& p) { return SameName(p, infPath); });
  if (it == packages_.end()) return {DynamicStatus::kCalled, err::kFileNotFound};
  packages_.erase(it);
  return {DynamicStatus::kCalled, err::kOk};
}

// Checks in the order the spooler makes them: name, duplicate, port,
// driver, print processor, data type.  An empty data type is allowed.
ErrorCode SimSpooler::AddQueue(const PrinterInfo& printer) {
  if (auto injected = core_.calls.Enter(Op::kAddQueue)) return *injected;
  const std::wstring& name = printer.name;
  if (name.empty() || name.size() > kMaxPrinterName || name.find_first_of(L",\\") != std::wstring::npos)
    return err::kInvalidPrinterName;
  if (FindPrinter(name)) return err::kPrinterAlreadyExists;
  if (!FindPort(printer.port)) return err::kUnknownPort;
  if (!FindDriver(printer.driver)) return err::kUnknownPrinterDriver;
  if (!SameName(printer.printProcessor, L"WinPrint")) return kUnknownPrintProcessor;
  if (!printer.dataType.empty() && !KnownDataType(printer.dataType)) return kInvalidDataType;
  printers_.push_back(printer);
  return err::kOk;
}

// OpenPrinter of an unknown queue fails with "invalid printer name".
ErrorCode SimSpooler::DeleteQueue(const std::wstring& name) {
  if (auto injected = core_.calls.Enter(Op::kDeleteQueue)) return *injected;
  auto it = std::find_if(printers_.begin(), printers_.end(),
                         [&](const PrinterInfo& p) { return SameName(p.name, name); });
  if (it == printers_.end()) return err::kInvalidPrinterName;
  if (SameName(defaultPrinter_, name)) defaultPrinter_.clear();
  printers_.erase(it);
  return err::kOk;
}

// An empty name keeps an existing default, or picks the first queue.
ErrorCode SimSpooler::SetDefaultQueue(const std::wstring& name) {
  if (auto injected = core_.calls.Enter(Op::kSetDefaultQueue)) return *injected;
  if (name.empty()) {
    if (!defaultPrinter_.empty()) return err::kOk;
    std::vector<PrinterInfo> listed = printers_;
    SortByFoldedName(listed, [](const PrinterInfo& p) { return p.name; });
    if (listed.empty()) return err::kInvalidPrinterName;
    defaultPrinter_ = listed.front().name;
    return err::kOk;
  }
  const PrinterInfo* printer = FindPrinter(name);
  if (!printer) return err::kInvalidPrinterName;
  defaultPrinter_ = printer->name;
  return err::kOk;
}

// The monitor's dialog creates the scripted port, or the user cancels it.
ErrorCode SimSpooler::AddPortByMonitor(WindowHandle, const std::wstring& monitor) {
  if (auto injected = core_.calls.Enter(Op::kAddPortByMonitor)) return *injected;
  auto known = std::find_if(monitors_.begin(), monitors_.end(),
                            [&](const std::wstring& m) { return SameName(m, monitor); });
  if (known == monitors_.end()) return err::kUnknownPrintMonitor;
  auto script = portDialogs_.find(Fold(monitor));
  if (script == portDialogs_.end()) return err::kCancelled;
  const std::wstring portName = script->second;
  portDialogs_.erase(script);
  if (FindPort(portName)) return err::kAlreadyExists;
  AddPortOf(*known, portName, *known);
  return err::kOk;
}

// A port that a queue prints to is busy.
ErrorCode SimSpooler::RemovePort(WindowHandle, const std::wstring& port) {
  if (auto injected = core_.calls.Enter(Op::kRemovePort)) return *injected;
  auto it = std::find_if(ports_.begin(), ports_.end(),
                         [&](const PortInfo& p) { return SameName(p.name, port); });
  if (it == ports_.end()) return err::kUnknownPort;
  for (const PrinterInfo& printer : printers_)
    if (SameName(printer.port, port)) return err::kBusy;
  tcpPorts_.erase(Fold(it->name));
  ports_.erase(it);
  return err::kOk;
}

// The monitor's dialog is recorded as shown.
ErrorCode SimSpooler::ShowPortConfiguration(WindowHandle, const std::wstring& port) {
  if (auto injected = core_.calls.Enter(Op::kShowPortConfiguration)) return *injected;
  const PortInfo* found = FindPort(port);
  if (!found) return err::kUnknownPort;
  configured_.push_back(found->name);
  return err::kOk;
}

// Only the TCP/IP monitor's "AddPort" is understood; the monitor's verdict
// travels in `status` while the call itself succeeds.
ErrorCode SimSpooler::XcvCommand(const std::wstring& object, const std::wstring& command,
                              const std::vector<uint8_t>& input, uint32_t, uint32_t& status) {
  status = err::kOk;
  if (auto injected = core_.calls.Enter(Op::kXcvCommand)) return *injected;
  const std::wstring prefix = L",XcvMonitor ";
  if (object.compare(0, prefix.size(), prefix) != 0) return err::kInvalidPrinterName;
  const std::wstring monitor = object.substr(prefix.size());
  if (std::none_of(monitors_.begin(), monitors_.end(),
                   [&](const std::wstring& m) { return SameName(m, monitor); }))
    return err::kUnknownPort;
  TcpPortSettings settings;
  if (!SameName(monitor, kTcpMonitor) || command != L"AddPort" ||
      !DecodePortData1(input, settings) || settings.portName.empty() ||
      settings.hostAddress.empty()) {
    status = err::kInvalidParameter;
    return err::kOk;
  }
  if (FindPort(settings.portName)) {
    status = err::kAlreadyExists;
    return err::kOk;
  }
  AddPortOf(kTcpMonitor, settings.portName, kTcpMonitor);
  tcpPorts_[Fold(settings.portName)] = settings;
  return err::kOk;
}

// A monitor whose ports are listed after those of earlier monitors.
void SimSpooler::AddPortMonitor(const std::wstring& monitor) { monitors_.push_back(monitor); }

// A port of a monitor, bypassing its dialog.
void SimSpooler::AddPortOf(const std::wstring& monitor, const std::wstring& name,
                           const std::wstring& description) {
  ports_.push_back(PortInfo{name, monitor, description});
}

// A driver installed directly, bypassing the file checks.
void SimSpooler::InstallDriver(const std::wstring& name, const std::wstring& infPath, uint32_t version) {
  DriverSetup setup;
  setup.version = version;
  setup.name = name;
  setup.driverPath = L"UNIDRV.DLL";
  setup.dataFile = name + L".gpd";
  setup.configFile = L"UNIDRVUI.DLL";
  drivers_.push_back(Driver{setup, infPath});
  if (!infPath.empty()) packages_.push_back(infPath);
}

// What the next add-port dialog of the monitor creates.
void SimSpooler::ScriptPortDialog(const std::wstring& monitor, const std::wstring& portName) {
  portDialogs_[Fold(monitor)] = portName;
}

// The settings a TCP/IP port was created with.
std::optional<TcpPortSettings> SimSpooler::TcpPort(const std::wstring& name) const {
  auto it = tcpPorts_.find(Fold(name));
  if (it == tcpPorts_.end()) return std::nullopt;
  return it->second;
}

// The record a driver was added with.
std::optional<DriverSetup> SimSpooler::DriverRecord(const std::wstring& name) const {
  for (const Driver& driver : drivers_)
    if (SameName(driver.setup.name, name)) return driver.setup;
  return std::nullopt;
}

// Look-ups ignore case, as the spooler does.
PortInfo* SimSpooler::FindPort(const std::wstring& name) {
  for (PortInfo& port : ports_)
    if (SameName(port.name, name)) return &port;
  return nullptr;
}

// The driver of this name, ignoring case.
SimSpooler::Driver* SimSpooler::FindDriver(const std::wstring& name) {
  for (Driver& driver : drivers_)
    if (SameName(driver.setup.name, name)) return &driver;
  return nullptr;
}

// The queue of this name, ignoring case.
PrinterInfo* SimSpooler::FindPrinter(const std::wstring& name) {
  for (PrinterInfo& printer : printers_)
    if (SameName(printer.name, name)) return &printer;
  return nullptr;
}

}  // namespace platform::sim
