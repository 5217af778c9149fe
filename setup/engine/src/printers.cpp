// Print queues and drivers: creating the queue, the name test, the
// printer actions, and the lists of the removal wizard.
#include "engine/setup_engine.h"

#include "engine_text.h"
#include "system_programs.h"

// The queue on the chosen port with the model's driver, made the default
// printer on request.
bool SetupEngine::CreatePrinter() {
  LogInstallKey(L"tip.startinstallprinter", {});
  platform::PrinterInfo printer;
  printer.name = printerName;
  printer.port = portName;
  if (modelId >= 0 && modelId < static_cast<int>(models.size()))
    printer.driver = models[static_cast<size_t>(modelId)].driverName;
  printer.printProcessor = L"WinPrint";
  // Windows' own Add Printer wizard creates queues with "RAW"; some
  // spoolers (Wine's) refuse a queue without a data type.
  printer.dataType = L"RAW";
  printer.attributes = platform::kPrinterAttributeLocal;
  const platform::ErrorCode error = platform_.spooler.AddQueue(printer);
  if (error != platform::err::kOk) {
    LogInstallError(L"tip.installprinterfail", error);
    if (error == platform::err::kUnknownPort && !PortExists(portName))
      Box(engine_text::Text(L"tip.port.unidentification"), MB_ICONINFORMATION);
    return false;
  }
  LogInstallKey(L"tip.installprintersuccess", {});
  if (setDefault == 1) platform_.spooler.SetDefaultQueue(printerName);
  return true;
}

// Exact, case-sensitive match among local, connected and network queues.
bool SetupEngine::PrinterExists(const std::wstring& name) {
  std::vector<platform::PrinterInfo> listed;
  const uint32_t flags =
      platform::kEnumPrinterLocal | platform::kEnumPrinterConnections | platform::kEnumPrinterNetwork;
  if (platform_.spooler.ListPrinters(flags, listed) != platform::err::kOk) return false;
  for (const platform::PrinterInfo& printer : listed) {
    if (printer.name == name) return true;
  }
  return false;
}

// Hands the new queue to the system's printer user interface.  The name
// goes between the template's quotes escaped, so that whatever it holds it
// stays one argument; rundll32 starts in the system folder.
void SetupEngine::OpenPrinterUi(const wchar_t* parameterTemplate) {
  platform::ProcessLaunch launch;
  if (!SetSystemProgram(platform_.system, kRundll32, launch)) return;
  launch.parameters = engine_text::Format(parameterTemplate, engine_text::QuotedArgumentBody(printerName));
  launch.owner = hMainWnd;
  launch.show = platform::kShowNormal;
  platform_.processes.Launch(launch);
}

// Installed drivers, with their INF path where the system reports one.
void SetupEngine::RefreshDrivers() {
  drivers.clear();
  platform::OsVersion version;
  const bool packages = platform_.system.GetVersion(version) == platform::err::kOk && version.major > 5;
  std::vector<platform::DriverInfo> listed;
  if (platform_.spooler.ListDrivers(packages ? 8 : 6, listed) != platform::err::kOk) return;
  for (const platform::DriverInfo& driver : listed)
    drivers.push_back({driver.name, packages ? driver.infPath : std::wstring()});
}

// Local and connected queues with the INF path of their driver.
void SetupEngine::RefreshPrinters() {
  printers.clear();
  platform::OsVersion version;
  std::vector<platform::DriverInfo> packaged;
  if (platform_.system.GetVersion(version) == platform::err::kOk && version.major > 5)
    platform_.spooler.ListDrivers(8, packaged);
  std::vector<platform::PrinterInfo> listed;
  if (platform_.spooler.ListPrinters(platform::kEnumPrinterLocal | platform::kEnumPrinterConnections, listed) !=
      platform::err::kOk)
    return;
  for (const platform::PrinterInfo& queue : listed) {
    PrinterEntry entry{queue.name, queue.driver, std::wstring()};
    for (const platform::DriverInfo& driver : packaged) {
      if (driver.name == queue.driver) {
        entry.infPath = driver.infPath;
        break;
      }
    }
    printers.push_back(entry);
  }
}
