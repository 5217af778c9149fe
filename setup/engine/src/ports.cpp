// Spooler ports: the port list, USB printer ports and their test print,
// the raw TCP/IP port, and the port buttons of the port list page.
#include "engine/setup_engine.h"

#include "engine_text.h"
#include "platform/bytes.h"
#include "platform/port_data.h"

#include <cwchar>

namespace {

const wchar_t kUsbPortKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\"
    L"##?#%s#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters";
const size_t kMaxKeyChars = 1024;
const uint32_t kTestPrintWaitMs = 1000;
const uint32_t kXcvOutputBytes = 260;
// MB_OKCANCEL; the headless platform header has no name for it.
const UINT kOkCancel = 0x1;

}  // namespace

// Rebuilds the port list; a failed enumeration leaves it empty.
void SetupEngine::RefreshPorts() {
  ports.clear();
  std::vector<platform::PortInfo> listed;
  if (platform_.spooler.ListPorts(listed) != platform::err::kOk) return;
  for (const platform::PortInfo& port : listed) ports.push_back({port.name, port.description, port.monitor});
}

// Exact, case-sensitive match against a fresh enumeration.
bool SetupEngine::PortExists(const std::wstring& name) {
  std::vector<platform::PortInfo> listed;
  if (platform_.spooler.ListPorts(listed) != platform::err::kOk) return false;
  for (const platform::PortInfo& port : listed) {
    if (port.name == name) return true;
  }
  return false;
}

// The USB printing interfaces present, with their spooler port names.
void SetupEngine::ScanUsbPorts() {
  usbPorts.clear();
  // Windows needs a moment after a printer is plugged in before its
  // interface is listed.
  platform_.clock.SleepMs(1000);
  std::vector<platform::DeviceInterfaceRecord> records;
  platform_.devices.EnumInterfaces(platform::guids::kUsbPrintInterface, records);
  for (const platform::DeviceInterfaceRecord& record : records) {
    if (!record.detailRead) break;
    if (!record.description || !record.hardwareId) continue;
    UsbPortEntry entry;
    entry.devicePath = record.devicePath;
    if (!UsbPortName(record.instanceId, entry.portName)) entry.portName.clear();
    const size_t first = record.instanceId.find(L'\\');
    if (first != std::wstring::npos) {
      const size_t second = record.instanceId.find(L'\\', first + 1);
      entry.identity = record.instanceId.substr(first + 1, second == std::wstring::npos ? second : second - first - 1);
      for (wchar_t& c : entry.identity) {
        if (c == L'&') c = L' ';
      }
    } else {
      entry.identity = record.instanceId;
    }
    usbPorts.push_back(entry);
  }
}

// "USB%.3d" from the "Port Number" the USB port monitor stored for the device.
bool SetupEngine::UsbPortName(const std::wstring& instanceId, std::wstring& name) {
  std::wstring escaped = instanceId;
  for (wchar_t& c : escaped) {
    if (c == L'\\') c = L'#';
  }
  const std::wstring key = engine_text::Format(kUsbPortKey, escaped);
  if (key.size() > kMaxKeyChars) return false;
  uint32_t number = 0;
  if (platform_.registry.ReadDword(key, L"Port Number", number) != platform::err::kOk || number == 0) return false;
  wchar_t text[32];
  std::swprintf(text, 32, L"USB%.3u", static_cast<unsigned>(number));
  name = text;
  return true;
}

// Writes the announcement, the port name and a paper feed to the chosen
// USB printer; true when every byte was written in time.
bool SetupEngine::TestPrintUsb() {
  if (usbIndex < 0) {
    Box(engine_text::Text(L"tip.notselectusbport"), MB_ICONINFORMATION);
    return false;
  }
  if (usbIndex >= static_cast<int>(usbPorts.size())) return false;
  const UsbPortEntry& entry = usbPorts[static_cast<size_t>(usbIndex)];
  testBuffer = platform::UsbTestBuffer(platform_.system.ToAnsi(engine_text::Text(L"tip.currentportis")),
                                       platform_.system.ToAnsi(entry.portName));
  // The platform cancels a write still pending after the wait and waits for
  // its completion before the device is closed.
  uint32_t written = 0;
  platform_.files.WriteDevice(entry.devicePath, testBuffer, kTestPrintWaitMs, written);
  return written == testBuffer.size();
}

// A raw TCP port on 9100 through the Standard TCP/IP Port monitor.
bool SetupEngine::AddTcpIpPort(const std::wstring& name, const std::wstring& address) {
  platform::TcpPortSettings settings;
  settings.portName = name;
  settings.hostAddress = address;
  settings.ipAddress = address;
  settings.protocol = platform::kProtocolRawTcp;
  settings.portNumber = 9100;
  std::vector<uint8_t> record;
  const platform::PortDataField refused = platform::EncodePortData1(settings, record);
  if (refused != platform::PortDataField::kNone) {
    const wchar_t* key = refused == platform::PortDataField::kPortName      ? L"tip.toolong.portname"
                         : refused == platform::PortDataField::kHostAddress ? L"tip.toolong.hostaddress"
                                                                            : L"tip.toolong.ipaddress";
    const size_t limit = refused == platform::PortDataField::kPortName      ? platform::kPortNameLen - 1
                         : refused == platform::PortDataField::kHostAddress ? platform::kHostAddressLen - 1
                                                                            : platform::kIpAddressLen - 1;
    LogInstallKey(key, {refused == platform::PortDataField::kPortName ? name : address, std::to_wstring(limit)}, true);
    return false;
  }
  uint32_t status = 0;
  const platform::ErrorCode error = platform_.spooler.XcvCommand(L",XcvMonitor Standard TCP/IP Port", L"AddPort",
                                                                 record, kXcvOutputBytes, status);
  if (error != platform::err::kOk) return false;
  // The call itself can succeed while the monitor reports that the port
  // was not made.
  if (status != platform::err::kOk) {
    LogInstallError(nullptr, status);
    return false;
  }
  return true;
}

// The monitor's own add-port dialog (called by the add-port dialog).
bool SetupEngine::AddMonitorPort(const std::wstring& monitorName, HWND owner, std::wstring& errorText) {
  const platform::ErrorCode error = platform_.spooler.AddPortByMonitor(owner, monitorName);
  if (error == platform::err::kOk) return true;
  errorText = ErrorText(error);
  return false;
}

// btn_port_delete: asks, deletes, and shows the port list again.
void SetupEngine::DeletePort() {
  const std::wstring question = engine_text::KeyFormat(L"tip.isdeleteport", portName);
  if (Box(question, kOkCancel | MB_ICONINFORMATION) != IDOK) return;
  const platform::ErrorCode error = platform_.spooler.RemovePort(hMainWnd, portName);
  if (error != platform::err::kOk) {
    Box(engine_text::KeyFormat(L"tip.deletefailreason", ErrorText(error)), MB_ICONINFORMATION);
    return;
  }
  portName.clear();
  ShowInstallPage(kPortListPage);
}
