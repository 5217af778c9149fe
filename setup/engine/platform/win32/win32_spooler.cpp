#include <windows.h>
#include <winspool.h>

#include "delay_import_slots.h"
#include "win32_platform.h"
#include "win32_util.h"

namespace platform::win32 {
namespace {

// Every spooler call is a delay-loaded import: the hook that lets the
// helper write their slots is in place before the program's first instruction.
[[maybe_unused]] const bool g_delayLoadHook = (InstallDelayLoadHook(), true);

// Runs a size-then-fetch enumeration; the list may grow between the calls,
// so it asks again while the buffer is too small.
template <typename Call>
ErrorCode Enumerate(Call call, std::vector<BYTE>& buffer, DWORD& count) {
  count = 0;
  DWORD needed = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (call(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count))
      return err::kOk;
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) return error;
    buffer.assign(needed, 0);
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

// PRINTER_DEFAULTS with an access mask and nothing else.
PRINTER_DEFAULTSW Access(ACCESS_MASK access) {
  PRINTER_DEFAULTSW defaults = {};
  defaults.DesiredAccess = access;
  return defaults;
}

// Pairs each PrinterInfo field with its PRINTER_INFO_2W member, for the
// listing and the creation alike: `each(ours, theirs)` once per field.
template <typename Ours, typename Theirs, typename Each>
void EachPrinterField(Ours& ours, Theirs& theirs, Each each) {
  each(ours.name, theirs.pPrinterName);
  each(ours.shareName, theirs.pShareName);
  each(ours.port, theirs.pPortName);
  each(ours.driver, theirs.pDriverName);
  each(ours.comment, theirs.pComment);
  each(ours.location, theirs.pLocation);
  each(ours.printProcessor, theirs.pPrintProcessor);
  each(ours.dataType, theirs.pDatatype);
  each(ours.attributes, theirs.Attributes);
  each(ours.priority, theirs.Priority);
  each(ours.defaultPriority, theirs.DefaultPriority);
  each(ours.startTime, theirs.StartTime);
  each(ours.untilTime, theirs.UntilTime);
}

// One field out of a Windows record, and one into it.
void Take(std::wstring& to, LPCWSTR from) { to = Copy(from); }
void Take(uint32_t& to, DWORD from) { to = from; }
void Give(const std::wstring& from, LPWSTR& to) { to = Text(from); }
void Give(uint32_t from, DWORD& to) { to = from; }

// The part that level 6 and level 8 driver records share.
template <typename Record>
void TakeDriver(const Record& record, DriverInfo& info) {
  info.name = Copy(record.pName);
  info.version = record.cVersion;
  info.environment = Copy(record.pEnvironment);
  info.driverPath = Copy(record.pDriverPath);
  info.dataFile = Copy(record.pDataFile);
  info.configFile = Copy(record.pConfigFile);
}

}  // namespace

// EnumPortsW at level 2.
ErrorCode Win32Spooler::ListPorts(std::vector<PortInfo>& out) {
  out.clear();
  std::vector<BYTE> buffer;
  DWORD count = 0;
  const ErrorCode error = Enumerate(
      [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) { return EnumPortsW(nullptr, 2, b, size, needed, n); },
      buffer, count);
  if (error) return error;
  const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    out.push_back(PortInfo{Copy(ports[i].pPortName), Copy(ports[i].pMonitorName), Copy(ports[i].pDescription)});
  return err::kOk;
}

// EnumPrintersW at level 2.
ErrorCode Win32Spooler::ListPrinters(uint32_t flags, std::vector<PrinterInfo>& out) {
  out.clear();
  std::vector<BYTE> buffer;
  DWORD count = 0;
  const ErrorCode error = Enumerate(
      [flags](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPrintersW(flags, nullptr, 2, b, size, needed, n);
      },
      buffer, count);
  if (error) return error;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    PrinterInfo info;
    EachPrinterField(info, printers[i], [](auto& ours, const auto& theirs) { Take(ours, theirs); });
    out.push_back(info);
  }
  return err::kOk;
}

// Level 6 and 8 records begin alike; level 8 adds the INF path.
ErrorCode Win32Spooler::ListDrivers(uint32_t level, std::vector<DriverInfo>& out) {
  out.clear();
  if (level != 1 && level != 6 && level != 8) return ERROR_INVALID_LEVEL;
  std::vector<BYTE> buffer;
  DWORD count = 0;
  const ErrorCode error = Enumerate(
      [level](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPrinterDriversW(nullptr, nullptr, level, b, size, needed, n);
      },
      buffer, count);
  if (error) return error;
  for (DWORD i = 0; i < count; ++i) {
    DriverInfo info;
    if (level == 1) {
      info.name = Copy(reinterpret_cast<const DRIVER_INFO_1W*>(buffer.data())[i].pName);
    } else if (level == 6) {
      TakeDriver(reinterpret_cast<const DRIVER_INFO_6W*>(buffer.data())[i], info);
    } else {
      const DRIVER_INFO_8W& record = reinterpret_cast<const DRIVER_INFO_8W*>(buffer.data())[i];
      TakeDriver(record, info);
      info.infPath = Copy(record.pszInfPath);
    }
    out.push_back(info);
  }
  return err::kOk;
}

// GetPrinterDriverDirectoryW for the current environment.
ErrorCode Win32Spooler::GetDriverDirectory(std::wstring& out) {
  std::vector<BYTE> buffer;
  DWORD unused = 0;
  const ErrorCode error = Enumerate(
      [](BYTE* b, DWORD size, DWORD* needed, DWORD*) {
        return GetPrinterDriverDirectoryW(nullptr, nullptr, 1, b, size, needed);
      },
      buffer, unused);
  if (error) return error;
  out = buffer.empty() ? std::wstring()
                       : std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()),
                                      wcsnlen(reinterpret_cast<const wchar_t*>(buffer.data()),
                                              buffer.size() / sizeof(wchar_t)));
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return err::kOk;
}

// AddPrinterDriverExW at level 6; empty texts and lists go as NULL.
ErrorCode Win32Spooler::AddDriver(const DriverSetup& driver, uint32_t copyFlags) {
  const std::wstring dependents = MultiString(driver.dependentFiles);
  const std::wstring previous = MultiString(driver.previousNames);
  DRIVER_INFO_6W info = {};
  info.cVersion = driver.version;
  info.pName = Text(driver.name);
  info.pEnvironment = Text(driver.environment);
  info.pDriverPath = Text(driver.driverPath);
  info.pDataFile = Text(driver.dataFile);
  info.pConfigFile = Text(driver.configFile);
  info.pHelpFile = Text(driver.helpFile);
  info.pDependentFiles = Text(dependents);
  info.pMonitorName = Text(driver.monitorName);
  info.pDefaultDataType = Text(driver.defaultDataType);
  info.pszzPreviousNames = Text(previous);
  info.ftDriverDate.dwLowDateTime = static_cast<DWORD>(driver.driverDate);
  info.ftDriverDate.dwHighDateTime = static_cast<DWORD>(driver.driverDate >> 32);
  info.dwlDriverVersion = driver.driverVersion;
  info.pszMfgName = Text(driver.manufacturer);
  info.pszOEMUrl = Text(driver.oemUrl);
  info.pszHardwareID = Text(driver.hardwareId);
  info.pszProvider = Text(driver.provider);
  if (!AddPrinterDriverExW(nullptr, 6, reinterpret_cast<LPBYTE>(&info), copyFlags)) return GetLastError();
  return err::kOk;
}

// DeletePrinterDriverExW for the current environment.
ErrorCode Win32Spooler::DeleteDriver(const std::wstring& name, uint32_t deleteFlags, uint32_t version) {
  if (!DeletePrinterDriverExW(nullptr, nullptr, Text(name), deleteFlags, version)) return GetLastError();
  return err::kOk;
}

// Looked up at run time: the entry point is missing before Vista and in Wine.
// A failure whose thread error is 0 reports the returned HRESULT instead, so
// a failure is never reported with code 0.
DynamicResult Win32Spooler::DeleteDriverPackage(const std::wstring& infPath) {
  using DeletePackage = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR);
  Library spooler(L"winspool.drv");
  if (!spooler.Loaded()) return {DynamicStatus::kLibraryMissing, GetLastError()};
  auto remove = spooler.Entry<DeletePackage>("DeletePrinterDriverPackageW");
  if (!remove) return {DynamicStatus::kEntryMissing, ERROR_PROC_NOT_FOUND};
  const HRESULT result = remove(nullptr, infPath.c_str(), nullptr);
  if (result == S_OK) return {DynamicStatus::kCalled, err::kOk};
  ErrorCode error = GetLastError();
  if (error == 0) error = HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : static_cast<ErrorCode>(result);
  return {DynamicStatus::kCalled, error};
}

// AddPrinterW at level 2; the handle is closed at once.
ErrorCode Win32Spooler::AddQueue(const PrinterInfo& printer) {
  PRINTER_INFO_2W info = {};
  EachPrinterField(printer, info, [](const auto& ours, auto& theirs) { Give(ours, theirs); });
  HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  if (!handle) return GetLastError();
  ClosePrinter(handle);
  return err::kOk;
}

// The code of whichever step failed: the open or the deletion.
ErrorCode Win32Spooler::DeleteQueue(const std::wstring& name) {
  PRINTER_DEFAULTSW defaults = Access(PRINTER_ALL_ACCESS);
  HANDLE handle = nullptr;
  if (!OpenPrinterW(Text(name), &handle, &defaults)) return GetLastError();
  ErrorCode error = err::kOk;
  if (!::DeletePrinter(handle)) error = GetLastError();
  ClosePrinter(handle);
  return error;
}

// SetDefaultPrinterW is the spooler library's ordinal 204, imported by name.
ErrorCode Win32Spooler::SetDefaultQueue(const std::wstring& name) {
  if (!SetDefaultPrinterW(name.empty() ? nullptr : name.c_str())) return GetLastError();
  return err::kOk;
}

// AddPortW; the monitor shows its own dialog.
ErrorCode Win32Spooler::AddPortByMonitor(WindowHandle owner, const std::wstring& monitor) {
  if (!AddPortW(nullptr, static_cast<HWND>(owner), Text(monitor))) return GetLastError();
  return err::kOk;
}

// DeletePortW.
ErrorCode Win32Spooler::RemovePort(WindowHandle owner, const std::wstring& port) {
  if (!DeletePortW(nullptr, static_cast<HWND>(owner), Text(port))) return GetLastError();
  return err::kOk;
}

// ConfigurePortW; the monitor shows its dialog.
ErrorCode Win32Spooler::ShowPortConfiguration(WindowHandle owner, const std::wstring& port) {
  if (!ConfigurePortW(nullptr, static_cast<HWND>(owner), Text(port))) return GetLastError();
  return err::kOk;
}

// OpenPrinterW with administer access, XcvDataW, ClosePrinter.
ErrorCode Win32Spooler::XcvCommand(const std::wstring& object, const std::wstring& command,
                                const std::vector<uint8_t>& input, uint32_t outputSize,
                                uint32_t& status) {
  status = err::kOk;
  PRINTER_DEFAULTSW defaults = Access(SERVER_ACCESS_ADMINISTER);
  HANDLE handle = nullptr;
  if (!OpenPrinterW(Text(object), &handle, &defaults)) return GetLastError();
  std::vector<BYTE> in(input.begin(), input.end());
  std::vector<BYTE> out(outputSize ? outputSize : 1);
  DWORD needed = 0;
  DWORD monitorStatus = 0;
  ErrorCode error = err::kOk;
  if (!XcvDataW(handle, command.c_str(), in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()),
                out.data(), outputSize, &needed, &monitorStatus))
    error = GetLastError();
  status = monitorStatus;
  ClosePrinter(handle);
  return error;
}

}  // namespace platform::win32
