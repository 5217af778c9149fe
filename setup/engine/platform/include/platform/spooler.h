#pragma once
// The print spooler as the installer engine sees it: ports, queues, drivers,
// the driver directory and the transceive channel of a port monitor.
// Empty strings in records stand for absent (NULL) pointers of the Windows
// records, in both directions.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

// ListPrinters flags.
constexpr uint32_t kEnumPrinterLocal = 0x2;
constexpr uint32_t kEnumPrinterConnections = 0x4;
constexpr uint32_t kEnumPrinterNetwork = 0x40;

// Printer attribute "local queue".
constexpr uint32_t kPrinterAttributeLocal = 0x40;

// AddPrinterDriverEx and DeletePrinterDriverEx flags.
constexpr uint32_t kCopyAllFiles = 0x4;
constexpr uint32_t kDeleteUnusedFiles = 0x1;
constexpr uint32_t kDeleteSpecificVersion = 0x2;
constexpr uint32_t kDeleteAllFiles = 0x4;

// One spooler port (PORT_INFO_2).
struct PortInfo {
  std::wstring name;
  std::wstring monitor;
  std::wstring description;
};

// A print queue as listed (PRINTER_INFO_2) and as created with AddQueue.
struct PrinterInfo {
  std::wstring name;
  std::wstring shareName;
  std::wstring port;
  std::wstring driver;
  std::wstring comment;
  std::wstring location;
  std::wstring printProcessor;
  std::wstring dataType;
  uint32_t attributes = 0;
  uint32_t priority = 0;
  uint32_t defaultPriority = 0;
  uint32_t startTime = 0;
  uint32_t untilTime = 0;
};

// An installed driver; fields beyond the enumeration level stay empty
// (level 1: name; 6: files; 8: also the INF path).
struct DriverInfo {
  std::wstring name;
  uint32_t version = 0;
  std::wstring environment;
  std::wstring driverPath;
  std::wstring dataFile;
  std::wstring configFile;
  std::wstring infPath;
};

// The DRIVER_INFO_6 record given to AddPrinterDriverEx.
struct DriverSetup {
  uint32_t version = 3;
  std::wstring name;
  std::wstring environment;
  std::wstring driverPath;
  std::wstring dataFile;
  std::wstring configFile;
  std::wstring helpFile;
  std::vector<std::wstring> dependentFiles;  // sent as a double-zero list
  std::wstring monitorName;
  std::wstring defaultDataType;
  std::vector<std::wstring> previousNames;
  uint64_t driverDate = 0;  // FILETIME, 100 ns since 1601
  uint64_t driverVersion = 0;
  std::wstring manufacturer;
  std::wstring oemUrl;
  std::wstring hardwareId;
  std::wstring provider;
};

class Spooler {
 public:
  virtual ~Spooler() = default;

  // Local ports at level 2, in the spooler's order.
  virtual ErrorCode ListPorts(std::vector<PortInfo>& out) = 0;
  // Queues at level 2 for a combination of kEnumPrinter* flags.
  virtual ErrorCode ListPrinters(uint32_t flags, std::vector<PrinterInfo>& out) = 0;
  // Drivers of the current environment at level 1, 6 or 8.
  virtual ErrorCode ListDrivers(uint32_t level, std::vector<DriverInfo>& out) = 0;
  // The printer-driver directory of the current environment, no trailing "\".
  virtual ErrorCode GetDriverDirectory(std::wstring& out) = 0;
  // AddPrinterDriverEx at level 6; the files are taken from the driver directory.
  virtual ErrorCode AddDriver(const DriverSetup& driver, uint32_t copyFlags) = 0;
  // DeletePrinterDriverEx for the current environment.
  virtual ErrorCode DeleteDriver(const std::wstring& name, uint32_t deleteFlags, uint32_t version) = 0;
  // DeletePrinterDriverPackage looked up at run time in the spooler library;
  // a failed call reports the thread's error code taken right after it.
  virtual DynamicResult DeleteDriverPackage(const std::wstring& infPath) = 0;
  // AddQueue at level 2; the new queue's handle is closed again.
  virtual ErrorCode AddQueue(const PrinterInfo& printer) = 0;
  // Opens the queue with full access, deletes it and closes the handle.
  virtual ErrorCode DeleteQueue(const std::wstring& name) = 0;
  // Makes the queue the user's default printer.
  virtual ErrorCode SetDefaultQueue(const std::wstring& name) = 0;
  // AddPortByMonitor: the monitor shows its own dialog for the new port.
  virtual ErrorCode AddPortByMonitor(WindowHandle owner, const std::wstring& monitor) = 0;
  virtual ErrorCode RemovePort(WindowHandle owner, const std::wstring& port) = 0;
  // ShowPortConfiguration: the port's monitor shows its configuration dialog.
  virtual ErrorCode ShowPortConfiguration(WindowHandle owner, const std::wstring& port) = 0;
  // Opens the transceive object (",XcvMonitor NAME" or ",XcvPort NAME") with
  // administer access, sends one XcvCommand command and closes it again.  The
  // result is XcvCommand's own; `status` receives the monitor's status value.
  virtual ErrorCode XcvCommand(const std::wstring& object, const std::wstring& command,
                            const std::vector<uint8_t>& input, uint32_t outputSize,
                            uint32_t& status) = 0;
};

// What every spooler back end (the simulated and the real Windows) declares.
#define PLATFORM_SPOOLER_OVERRIDES \
  ErrorCode ListPorts(std::vector<PortInfo>& out) override;                                                 \
  ErrorCode ListPrinters(uint32_t flags, std::vector<PrinterInfo>& out) override;                           \
  ErrorCode ListDrivers(uint32_t level, std::vector<DriverInfo>& out) override;                             \
  ErrorCode GetDriverDirectory(std::wstring& out) override;                                                 \
  ErrorCode AddDriver(const DriverSetup& driver, uint32_t copyFlags) override;                              \
  ErrorCode DeleteDriver(const std::wstring& name, uint32_t deleteFlags, uint32_t version) override;        \
  DynamicResult DeleteDriverPackage(const std::wstring& infPath) override;                                  \
  ErrorCode AddQueue(const PrinterInfo& printer) override;                                                  \
  ErrorCode DeleteQueue(const std::wstring& name) override;                                                 \
  ErrorCode SetDefaultQueue(const std::wstring& name) override;                                             \
  ErrorCode AddPortByMonitor(WindowHandle owner, const std::wstring& monitor) override;                     \
  ErrorCode RemovePort(WindowHandle owner, const std::wstring& port) override;                              \
  ErrorCode ShowPortConfiguration(WindowHandle owner, const std::wstring& port) override;                   \
  ErrorCode XcvCommand(const std::wstring& object, const std::wstring& command,                             \
                       const std::vector<uint8_t>& input, uint32_t outputSize, uint32_t& status) override;

}  // namespace platform
