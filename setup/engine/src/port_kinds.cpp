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

// The kinds' own pages.
const wchar_t kUsbListPage[] = L"page_usb_list";
const wchar_t kBluetoothListPage[] = L"page_bluetooth_list";
const wchar_t kNetworkPage[] = L"page_network";

}  // namespace

// The first row is preselected on the port type page; the cards appear in
// row order, two to a line.
const std::vector<SetupEngine::PortKind>& SetupEngine::PortKinds() {
  using E = SetupEngine;
  static const std::vector<PortKind> kinds{
      {
          .option = L"option_port_usb",
          .text = L"ui.port.usb",
          .icon = L"main/port_usb.png",
          .pages = {kPortTypePage, kScanPage, kUsbListPage, kModelPage, kPrinterNamePage, kSummaryPage, kRunPage},
          .page = {kUsbListPage, [](E& e) { e.ShowUsbListPage(); }},
          .chosen = [](E& e) { e.HideAdapterState(); },
          .startScan = [](E& e) { e.StartUsbScan(); },
          .clicks = {{L"btn_test_usb", [](E& e, bool) { e.TestPrintUsb(); }}},
          .notifications = {{L"listex_install_show_usb_item", false,
                             [](E& e, TNotifyUI& m) { e.ChooseUsbRow(m.pSender); }}},
      },
      {
          .option = L"option_port_net",
          .text = L"ui.port.net",
          .icon = L"main/port_net.png",
          .pages = {kPortTypePage, kModelPage, kNetworkPage, kPrinterNamePage, kSummaryPage, kRunPage},
          .page = {kNetworkPage, [](E& e) { e.ShowNetworkPage(); }},
          .chosen = [](E& e) { e.HideAdapterState(); },
          .addressOnSummary = true,
          .checks = {{kPrinterNamePage, [](E& e) { return e.CheckNetworkPage(); }}},
          .clicks = {{L"btn_checked_ip", [](E& e, bool) { e.CheckPrinterReachable(); }}},
          .notifications = {{L"edit_install_lan_ip", true,
                             [](E& e, TNotifyUI& m) { e.OnAddressTyped(m.pSender->GetText()); }},
                            {L"edit_install_lan_portName", true,
                             [](E& e, TNotifyUI& m) { e.OnPortNameTyped(m.pSender->GetText()); }}},
          .fields = {&E::ipAddress},
          .createPort =
              [](E& e, InstallResult& result) {
                e.LogInstallKey(L"tip.startaddlanport", {});
                if (!e.AddTcpIpPort(e.portName, e.ipAddress)) {
                  e.LogInstallKey(L"tip.addlanportfail", {}, true);
                  return false;
                }
                e.LogInstallKey(L"tip.addlanportsuccess", {});
                result.portAdded = true;
                return true;
              },
      },
      {
          .option = L"option_port_bluetooth",
          .text = L"ui.port.bluetooth",
          .icon = L"main/port_bluetooth.png",
          .pages = {kPortTypePage, kScanPage, kBluetoothListPage, kModelPage, kPrinterNamePage, kSummaryPage,
                    kRunPage},
          .page = {kBluetoothListPage, [](E& e) { e.ShowBluetoothListPage(); }},
          .chosen = [](E& e) { e.CheckBluetoothAdapter(false); },
          .startScan = [](E& e) { e.StartBluetoothScan(); },
          .checks = {{kScanPage, [](E& e) { return e.CheckBluetoothAdapter(true); }},
                     {kModelPage, [](E& e) { return e.CheckPin(); }}},
          .clicks = {{L"option_usecustom_pin", [](E& e, bool on) { e.useCustomPin = on; }}},
          .notifications = {{L"listex_install_show_blue_item", false,
                             [](E& e, TNotifyUI& m) { e.ChooseBluetoothRow(m.pSender); }},
                            {L"edit_usecustom_pin", true, [](E& e, TNotifyUI& m) { e.OnPinTyped(m.pSender); }}},
          .createPort = [](E& e, InstallResult&) { return e.PrepareBluetoothPort(); },
      },
      {
          .option = L"option_port_lpt",
          .text = L"ui.port.lpt",
          .icon = L"main/port_lpt.png",
          .pages = {kPortTypePage, kModelPage, kPortListPage, kPrinterNamePage, kSummaryPage, kRunPage},
          .chosen = [](E& e) { e.HideAdapterState(); },
          .portFilter = L"LPT",
          .defaultPort = L"LPT1:",
      },
      {
          .option = L"option_port_com",
          .text = L"ui.port.com",
          .icon = L"main/port_com.png",
          .pages = {kPortTypePage, kModelPage, kPortListPage, kPrinterNamePage, kSummaryPage, kRunPage},
          .chosen = [](E& e) { e.HideAdapterState(); },
          .portFilter = L"COM",
          .defaultPort = L"COM1:",
      },
      // Any port of the spooler's list, one the add-port dialog made included.
      {
          .option = L"option_port_custom",
          .text = L"ui.port.custom",
          .icon = L"main/port_custom.png",
          .pages = {kPortTypePage, kModelPage, kPortListPage, kPrinterNamePage, kSummaryPage, kRunPage},
          .chosen = [](E& e) { e.HideAdapterState(); },
          .defaultPort = L"COM1:",
          .beforeChoice = true,
      },
  };
  return kinds;
}

// Until a kind is chosen the wizard assumes the row marked for that.
const SetupEngine::PortKind& SetupEngine::CurrentPortKind() const {
  const std::vector<PortKind>& kinds = PortKinds();
  if (portType >= 0 && portType < static_cast<int>(kinds.size())) return kinds[static_cast<size_t>(portType)];
  return *std::find_if(kinds.begin(), kinds.end(), [](const PortKind& kind) { return kind.beforeChoice; });
}

// The row whose card has this markup name, -1 for none.
int SetupEngine::PortKindIndex(const std::wstring& option) {
  const std::vector<PortKind>& kinds = PortKinds();
  for (size_t row = 0; row < kinds.size(); ++row) {
    if (option == kinds[row].option) return static_cast<int>(row);
  }
  return -1;
}

// The install pages in order for the chosen connection.
const std::vector<const wchar_t*>& SetupEngine::Sequence() const { return CurrentPortKind().pages; }

// The page at a position of the sequence, empty beyond it.
std::wstring SetupEngine::PageAt(int index) const {
  const std::vector<const wchar_t*>& sequence = Sequence();
  if (index < 0 || index >= static_cast<int>(sequence.size())) return std::wstring();
  return sequence[static_cast<size_t>(index)];
}

// A click on a port kind's card; false when the control is none of them.
bool SetupEngine::ChoosePortKind(const std::wstring& option) {
  const int row = PortKindIndex(option);
  if (row < 0) return false;
  // A port name belongs to the kind it was chosen or made for: COM1:
  // is no name for a network port, nor a network port's for LPT.
  if (portType != row) {
    portName.clear();
    followedPortName_.clear();
  }
  portType = row;
  PortKinds()[static_cast<size_t>(row)].chosen(*this);
  return true;
}

// The checks that guard entering a page; false keeps the user where he is.
bool SetupEngine::CheckBeforeInstallPage(const std::wstring& page) {
  for (const PortKind::PageCheck& check : CurrentPortKind().checks) {
    if (page == check.page && !check.check(*this)) return false;
  }
  if (page == kSummaryPage && !CheckPrinterName(false)) return false;
  return true;
}

// The rows' routes: true when one took the click or the notification.
bool SetupEngine::RouteKindClick(const std::wstring& control, bool newState) {
  for (const PortKind& kind : PortKinds()) {
    for (const PortKind::ClickRoute& route : kind.clicks) {
      if (control == route.control) {
        route.handle(*this, newState);
        return true;
      }
    }
  }
  return false;
}

bool SetupEngine::RouteKindNotify(const std::wstring& control, TNotifyUI& msg) {
  for (const PortKind& kind : PortKinds()) {
    for (const PortKind::NotifyRoute& route : kind.notifications) {
      if (control != route.control) continue;
      if (msg.sType == DUI_MSGTYPE_TEXTCHANGED || !route.typedOnly) route.handle(*this, msg);
      return true;
    }
  }
  return false;
}

// After the run made a port: every kind's fields start empty again.
void SetupEngine::ClearPortFields() {
  portName.clear();
  for (const PortKind& kind : PortKinds()) {
    for (std::wstring SetupEngine::*field : kind.fields) (this->*field).clear();
  }
}

// The adapter row of the port type page belongs to Bluetooth only.
void SetupEngine::HideAdapterState() { Send(UIMSG_BLUETOOTH_ADAPTER, 0); }

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
