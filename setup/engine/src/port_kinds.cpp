// The kinds of connection the install wizard offers, one row each, and the
// steps that belong to one kind only.
#include "port_kinds.h"

#include "engine_text.h"

#include <algorithm>

namespace {

// Letters and digits only, at least one.
bool PinIsValid(const std::wstring& pin) {
  if (pin.empty()) return false;
  return std::all_of(pin.begin(), pin.end(), [](wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
  });
}

}  // namespace

// Rows in PortType order.  The first row is preselected on the port type
// page.
const std::vector<SetupEngine::PortKind>& SetupEngine::PortKinds() {
  static const std::vector<PortKind> kinds{
      // kPortUsb
      {L"option_port_usb",
       {kPortTypePage, kScanPage, kUsbListPage, kModelPage, kPrinterNamePage, kSummaryPage, kRunPage},
       &SetupEngine::HideAdapterState, &SetupEngine::StartUsbScan, nullptr, nullptr, {}, nullptr},
      // kPortNetwork
      {L"option_port_net",
       {kPortTypePage, kModelPage, kNetworkPage, kPrinterNamePage, kSummaryPage, kRunPage},
       &SetupEngine::HideAdapterState, nullptr, nullptr, nullptr,
       {{kPrinterNamePage, &SetupEngine::CheckNetworkPage}}, &SetupEngine::CreateNetworkPort},
      // kPortBluetooth
      {L"option_port_bluetooth",
       {kPortTypePage, kScanPage, kBluetoothListPage, kModelPage, kPrinterNamePage, kSummaryPage, kRunPage},
       &SetupEngine::ShowAdapterState, &SetupEngine::StartBluetoothScan, nullptr, nullptr,
       {{kScanPage, &SetupEngine::CheckAdapterBeforeScan}, {kModelPage, &SetupEngine::CheckPin}},
       &SetupEngine::CreateBluetoothPort},
      // kPortLpt
      {L"option_port_lpt",
       {kPortTypePage, kModelPage, kPortListPage, kPrinterNamePage, kSummaryPage, kRunPage},
       &SetupEngine::HideAdapterState, nullptr, L"LPT", L"LPT1:", {}, nullptr},
      // kPortCom
      {L"option_port_com",
       {kPortTypePage, kModelPage, kPortListPage, kPrinterNamePage, kSummaryPage, kRunPage},
       &SetupEngine::HideAdapterState, nullptr, L"COM", L"COM1:", {}, nullptr},
      // kPortCustom: any port of the spooler's list, one the add-port dialog made included.
      {L"option_port_custom",
       {kPortTypePage, kModelPage, kPortListPage, kPrinterNamePage, kSummaryPage, kRunPage},
       &SetupEngine::HideAdapterState, nullptr, nullptr, L"COM1:", {}, nullptr},
  };
  return kinds;
}

// Until a kind is chosen the wizard treats the port as one from the full list.
const SetupEngine::PortKind& SetupEngine::CurrentPortKind() const {
  const std::vector<PortKind>& kinds = PortKinds();
  if (portType < 0 || portType >= static_cast<int>(kinds.size())) return kinds[kPortCustom];
  return kinds[static_cast<size_t>(portType)];
}

// The install page kinds in order for the chosen connection.
const std::vector<InstallPage>& SetupEngine::Sequence() const { return CurrentPortKind().pages; }

// The page kind at a position of the sequence, -1 beyond it.
int SetupEngine::KindAt(int index) const {
  const std::vector<InstallPage>& sequence = Sequence();
  if (index < 0 || index >= static_cast<int>(sequence.size())) return -1;
  return sequence[static_cast<size_t>(index)];
}

bool SetupEngine::HasPage(InstallPage kind) const {
  const std::vector<InstallPage>& sequence = Sequence();
  return std::find(sequence.begin(), sequence.end(), kind) != sequence.end();
}

// A click on a port kind's option; false when the control is none of them.
bool SetupEngine::ChoosePortKind(const std::wstring& option) {
  const std::vector<PortKind>& kinds = PortKinds();
  for (size_t row = 0; row < kinds.size(); ++row) {
    if (option != kinds[row].option) continue;
    // A port name belongs to the kind it was chosen or made for: COM1:
    // is no name for a network port, nor a network port's for LPT.
    if (portType != static_cast<int>(row)) {
      portName.clear();
      followedPortName_.clear();
    }
    portType = static_cast<int>(row);
    (this->*kinds[row].chosen)();
    return true;
  }
  return false;
}

// The checks that guard entering a page; false keeps the user where he is.
bool SetupEngine::CheckBeforeInstallPage(int kind) {
  for (const PortKind::PageCheck& check : CurrentPortKind().checks) {
    if (check.page == kind && !(this->*check.check)()) return false;
  }
  if (kind == kSummaryPage && !CheckPrinterName(false)) return false;
  return true;
}

// The adapter row of the port type page belongs to Bluetooth only.
void SetupEngine::HideAdapterState() { Send(UIMSG_BLUETOOTH_ADAPTER, 0); }

void SetupEngine::ShowAdapterState() { CheckBluetoothAdapter(false); }

bool SetupEngine::CheckAdapterBeforeScan() { return CheckBluetoothAdapter(true); }

bool SetupEngine::CheckPin() {
  if (PinIsValid(pin)) return true;
  Box(engine_text::Text(L"tip.pinerror"), MB_ICONINFORMATION);
  return false;
}

// The scan pages: a fresh list on a worker, which then moves on by itself.
void SetupEngine::StartUsbScan() {
  usbIndex = -1;
  RunWorker([this]() {
    ScanUsbPorts();
    Send(UIMSG_WIZARD_NEXT, 0);
  });
}

void SetupEngine::StartBluetoothScan() {
  bluetoothIndex = -1;
  portName.clear();
  RunWorker([this]() {
    ScanBluetoothDevices();
    Send(UIMSG_WIZARD_NEXT, 0);
  });
}

bool SetupEngine::CreateBluetoothPort(InstallResult&) { return PrepareBluetoothPort(); }

bool SetupEngine::CreateNetworkPort(InstallResult& result) {
  LogInstallKey(L"tip.startaddlanport", {});
  if (!AddTcpIpPort(portName, ipAddress)) {
    LogInstallKey(L"tip.addlanportfail", {}, true);
    return false;
  }
  LogInstallKey(L"tip.addlanportsuccess", {});
  result.networkPortAdded = true;
  return true;
}
