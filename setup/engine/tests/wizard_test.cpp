// The wizard's page flow, page preparation and checks.
#include "engine_fixture.h"
#include "localization.h"

#include <algorithm>
#include <cwctype>
#include <functional>
#include <set>

namespace {

const wchar_t kUsbA[] = L"USB\\VID_1A2B&PID_3C4D\\0001";
const wchar_t kUsbB[] = L"USB\\VID_0FE6&PID_811E\\5&2A3B&0&2";

TEST_F(EngineTest, StartPageLeadsIntoTheInstallWizardWithUsbPreselected) {
  EXPECT_EQ(engine.WizardMode, 0);
  EXPECT_TRUE(Visible(L"btn_setup_next"));
  EXPECT_FALSE(Visible(L"btn_setup_previous"));
  EXPECT_TRUE(Visible(L"hor_btn_h2"));
  EXPECT_FALSE(Visible(L"hor_btn_h1"));

  FindAs<COptionUI>(L"option_port_usb")->Selected(false, false);
  NextPage();
  EXPECT_EQ(engine.WizardMode, 1);
  EXPECT_EQ(engine.tabSwitch->GetCurSel(), 1);
  EXPECT_EQ(InstallKind(), kPortTypePage);
  EXPECT_EQ(engine.portType, SetupEngine::PortKindIndex(L"option_port_usb"));
  EXPECT_TRUE(FindAs<COptionUI>(L"option_port_usb")->IsSelected());
  EXPECT_TRUE(Visible(L"btn_setup_previous"));
}

// The port type page's cards are the port-kind rows in order, each
// choosing its own; a page a row names but the markup lacks is reported.
TEST_F(EngineTest, PortCardsFollowTheRowsAndMissingPagesAreNamed) {
  NextPage();
  std::vector<std::wstring> cards;
  std::function<void(CControlUI*)> collect = [&](CControlUI* control) {
    auto* option = dynamic_cast<COptionUI*>(control);
    if (option && option->GetGroup() == L"porttype") cards.push_back(option->GetName());
    if (auto* box = dynamic_cast<IContainerUI*>(control)) {
      for (int i = 0; i < box->GetCount(); ++i) collect(box->GetItemAt(i));
    }
  };
  collect(Find(kPortTypePage));
  ASSERT_GE(cards.size(), 6u);
  for (size_t at = 0; at < cards.size(); ++at) {
    engine.portType = kPortNone;
    Click(cards[at].c_str());
    EXPECT_EQ(engine.portType, static_cast<int>(at)) << cards[at];
  }
  EXPECT_TRUE(FindAs<COptionUI>(cards.back().c_str())->IsSelected());
  EXPECT_FALSE(FindAs<COptionUI>(cards.front().c_str())->IsSelected());

  engine.tabSwitchInstall->Remove(Find(kNetworkPage));
  const std::vector<std::wstring> missing = engine.BindInstallPages();
  EXPECT_NE(std::find(missing.begin(), missing.end(), kNetworkPage), missing.end());
  EXPECT_EQ(std::find(missing.begin(), missing.end(), kModelPage), missing.end());
}

TEST_F(EngineTest, UsbScanWithoutPrintersShowsAnEmptyListAndNoNext) {
  NextPage();
  NextPage();  // scan page: the worker moves on by itself
  EXPECT_EQ(InstallKind(), kUsbListPage);
  EXPECT_EQ(engine.stepIndex, 2);
  EXPECT_TRUE(RowTexts(L"listex_install_show_usb").empty());
  EXPECT_FALSE(Visible(L"btn_setup_next"));
  EXPECT_EQ(engine.usbIndex, -1);
  // The scan always waits a second for Windows to list new devices.
  EXPECT_GE(machine.core.clock.TotalSleptMs(), 1000u);

  // Back leads past the scan to the port type page, and from there home.
  Click(L"btn_setup_previous");
  WaitWorkers();
  EXPECT_EQ(InstallKind(), kPortTypePage);
  EXPECT_EQ(engine.stepIndex, 0);
  EXPECT_TRUE(Visible(L"btn_setup_next"));
  Click(L"btn_setup_previous");
  EXPECT_EQ(engine.WizardMode, 0);
}

TEST_F(EngineTest, UsbScanListsPrintersWithPortNamesAndIdentity) {
  machine.PlugUsbPrinter(kUsbA, 1);
  machine.PlugUsbPrinter(kUsbB, 12);
  machine.PlugUsbPrinter(L"USB\\VID_0001&PID_0002\\X", 0);  // no port number yet
  platform::sim::SimInterface noDescription;
  noDescription.interfaceClass = platform::guids::kUsbPrintInterface;
  noDescription.instanceId = L"USB\\VID_9999&PID_9999\\1";
  noDescription.hardwareId = L"USB\\VID_9999&PID_9999";
  machine.devices.AddInterface(noDescription);

  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kUsbListPage);
  EXPECT_EQ(RowTexts(L"listex_install_show_usb"), (std::vector<std::wstring>{L"USB001", L"USB012", L""}));
  EXPECT_EQ(RowTexts(L"listex_install_show_usb", L"label2"),
            (std::vector<std::wstring>{L"VID_1A2B PID_3C4D", L"VID_0FE6 PID_811E", L"VID_0001 PID_0002"}));
  EXPECT_EQ(engine.usbIndex, 0);
  EXPECT_EQ(engine.portName, L"USB001");
  EXPECT_EQ(FindAs<CListUI>(L"listex_install_show_usb")->GetCurSel(), 0);
  EXPECT_TRUE(Visible(L"btn_setup_next"));

  ClickRow(L"listex_install_show_usb", 1);
  EXPECT_EQ(engine.usbIndex, 1);
  EXPECT_EQ(engine.portName, L"USB012");

  NextPage();
  EXPECT_EQ(InstallKind(), kModelPage);
  // Back and forth keeps the chosen row.
  Click(L"btn_setup_previous");
  EXPECT_EQ(InstallKind(), kUsbListPage);
  EXPECT_EQ(FindAs<CListUI>(L"listex_install_show_usb")->GetCurSel(), 1);
}

TEST_F(EngineTest, UsbPortNameReadsThePortNumberOfTheDevice) {
  machine.PlugUsbPrinter(kUsbA, 3);
  machine.PlugUsbPrinter(L"USB\\VID_0001&PID_0001\\9", 1000);
  machine.PlugUsbPrinter(L"USB\\VID_0002&PID_0002\\9", 0);
  std::wstring name;
  EXPECT_TRUE(engine.UsbPortName(kUsbA, name));
  EXPECT_EQ(name, L"USB003");
  EXPECT_TRUE(engine.UsbPortName(L"USB\\VID_0001&PID_0001\\9", name));
  EXPECT_EQ(name, L"USB1000");
  EXPECT_FALSE(engine.UsbPortName(L"USB\\VID_0002&PID_0002\\9", name));
  EXPECT_FALSE(engine.UsbPortName(L"USB\\VID_0003&PID_0003\\9", name));
  EXPECT_FALSE(engine.UsbPortName(std::wstring(1100, L'A'), name));
}

TEST_F(EngineTest, ModelPagePreselectsThe203DpiModelAndKeepsAChoice) {
  ToPortKind(L"option_port_com");
  ASSERT_EQ(InstallKind(), kModelPage);
  EXPECT_EQ(RowTexts(L"listex_install_driver_moudel"),
            (std::vector<std::wstring>{Model(0).displayName, Model(1).displayName}));
  EXPECT_EQ(engine.modelId, 0);
  EXPECT_TRUE(Visible(L"btn_setup_next"));
  ClickRow(L"listex_install_driver_moudel", 1);
  EXPECT_EQ(engine.modelId, 1);
  NextPage();
  Click(L"btn_setup_previous");
  EXPECT_EQ(FindAs<CListUI>(L"listex_install_driver_moudel")->GetCurSel(), 1);
}

TEST_F(EngineTest, PortListFiltersAndDefaultsByKind) {
  ToPortKind(L"option_port_com");
  NextPage();
  ASSERT_EQ(InstallKind(), kPortListPage);
  std::vector<std::wstring> com = RowTexts(L"listex_install_driver_port");
  ASSERT_FALSE(com.empty());
  for (const auto& name : com) EXPECT_NE(name.find(L"COM"), std::wstring::npos);
  EXPECT_EQ(engine.portName, L"COM1:");
  EXPECT_EQ(RowTexts(L"listex_install_driver_port")[static_cast<size_t>(
                FindAs<CListUI>(L"listex_install_driver_port")->GetCurSel())],
            L"COM1:");
  ClickRow(L"listex_install_driver_port", 1);
  EXPECT_EQ(engine.portName, com[1]);

  // LPT: the COM port chosen before is no LPT port; LPT's default is taken.
  GoHome();
  NextPage();
  Click(L"option_port_lpt");
  NextPage();
  NextPage();
  for (const auto& name : RowTexts(L"listex_install_driver_port")) EXPECT_NE(name.find(L"LPT"), std::wstring::npos);
  EXPECT_EQ(engine.portName, L"LPT1:");
  const int lpt = FindAs<CListUI>(L"listex_install_driver_port")->GetCurSel();
  ASSERT_GE(lpt, 0);
  EXPECT_EQ(RowTexts(L"listex_install_driver_port")[static_cast<size_t>(lpt)], L"LPT1:");
  EXPECT_TRUE(Visible(L"btn_setup_next"));

  // Custom lists every port; with no name chosen it defaults to COM1:.
  engine.portName.clear();
  GoHome();
  NextPage();
  Click(L"option_port_custom");
  NextPage();
  NextPage();
  std::vector<platform::PortInfo> all;
  machine.spooler.ListPorts(all);
  EXPECT_EQ(RowTexts(L"listex_install_driver_port").size(), all.size());
  EXPECT_EQ(engine.portName, L"COM1:");
  EXPECT_TRUE(Visible(L"btn_setup_next"));

  engine.portName.clear();
  GoHome();
  NextPage();
  Click(L"option_port_lpt");
  NextPage();
  NextPage();
  EXPECT_EQ(engine.portName, L"LPT1:");
}

TEST_F(EngineTest, NetworkPageProposesAFreePortName) {
  machine.spooler.AddPortOf(L"Standard TCP/IP Port", L"192.168.1.100", L"Standard TCP/IP Port");
  machine.spooler.AddPortOf(L"Standard TCP/IP Port", L"192.168.1.100_1", L"Standard TCP/IP Port");
  ToPortKind(L"option_port_net");
  NextPage();
  ASSERT_EQ(InstallKind(), kNetworkPage);
  EXPECT_EQ(engine.ipAddress, L"192.168.1.100");
  EXPECT_EQ(engine.portName, L"192.168.1.100_2");
  EXPECT_EQ(Find(L"edit_install_lan_ip")->GetText(), L"192.168.1.100");
  EXPECT_EQ(Find(L"edit_install_lan_portName")->GetText(), L"192.168.1.100_2");

  // Typed values are kept when the page is shown again.
  Type(L"edit_install_lan_ip", L"10.0.0.7");
  Type(L"edit_install_lan_portName", L"shop");
  Click(L"btn_setup_previous");
  NextPage();
  EXPECT_EQ(Find(L"edit_install_lan_ip")->GetText(), L"10.0.0.7");
  EXPECT_EQ(Find(L"edit_install_lan_portName")->GetText(), L"shop");
}

TEST_F(EngineTest, PrinterNameProposalSkipsTakenNamesAndNextRefusesATakenName) {
  const std::wstring proposed = Model(0).displayName;
  AddQueue(proposed);
  AddQueue(proposed + L" (1)");
  ToPortKind(L"option_port_com");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kPrinterNamePage);
  EXPECT_EQ(engine.printerName, proposed + L" (2)");
  EXPECT_EQ(Find(L"edit_install_printer_name")->GetText(), proposed + L" (2)");
  EXPECT_EQ(engine.setDefault, 1);
  EXPECT_TRUE(FindAs<COptionUI>(L"option_selected_defaultPrinter")->IsSelected());

  // The Chinese texts are the product's own wordings.
  SwitchLanguage(engine, 2052, nullptr, hwnd);
  Type(L"edit_install_printer_name", proposed + L" (1)");
  NextPage();
  EXPECT_EQ(InstallKind(), kPrinterNamePage);
  ASSERT_EQ(wnd->nameStatus.size(), 1u);
  EXPECT_EQ(wnd->nameStatus[0].text, L"*打印机名称:" + proposed + L" (1) 不可以使用，请更换名称");
  EXPECT_TRUE(wnd->nameStatus[0].isError);

  // A name differing only in case is free.
  std::wstring lower = proposed + L" (1)";
  std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return std::towlower(c); });
  ASSERT_NE(lower, proposed + L" (1)");
  Type(L"edit_install_printer_name", lower);
  Click(L"btn_checked_printer_name");
  ASSERT_EQ(wnd->nameStatus.size(), 2u);
  EXPECT_EQ(wnd->nameStatus[1].text, L"打印机名称:" + lower + L" 可以使用");
  EXPECT_FALSE(wnd->nameStatus[1].isError);
  SwitchLanguage(engine, 1033, nullptr, hwnd);
  NextPage();
  EXPECT_EQ(InstallKind(), kSummaryPage);
}

// What a page said about an earlier input is gone once the input changed
// or the page is shown again, and a port name chosen for one kind of
// connection is not offered for another.
TEST_F(EngineTest, NoStaleStatusOrPortNameFromAnEarlierChoice) {
  auto label = [this](const wchar_t* name) { return Find(name)->GetText(); };
  ToPortKind(L"option_port_net");
  NextPage();
  ASSERT_EQ(InstallKind(), kNetworkPage);
  Type(L"edit_install_lan_ip", L"10.0.0.300");
  NextPage();
  EXPECT_EQ(label(L"label_show_lanPort_info"), Text(L"tip.ip.invalid"));
  Type(L"edit_install_lan_ip", L"10.0.0.30");
  EXPECT_EQ(label(L"label_show_lanPort_info"), L"");
  Type(L"edit_install_lan_portName", L"COM1:");
  NextPage();
  EXPECT_EQ(label(L"label_show_lanPort_info"), Text(L"tip.port.exists"));
  Type(L"edit_install_lan_portName", L"10.0.0.30");
  EXPECT_EQ(label(L"label_show_lanPort_info"), L"");

  // Back to the kinds, COM instead: its own default port, not the network's.
  Click(L"btn_setup_previous");
  Click(L"btn_setup_previous");
  Click(L"option_port_com");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kPortListPage);
  EXPECT_EQ(engine.portName, L"COM1:");
  NextPage();
  ASSERT_EQ(InstallKind(), kPrinterNamePage);
  const std::wstring name = engine.printerName;
  Click(L"btn_checked_printer_name");
  EXPECT_EQ(label(L"label_show_printername_info"), wnd->nameStatus.back().text);
  Type(L"edit_install_printer_name", name + L"x");
  EXPECT_EQ(label(L"label_show_printername_info"), L"");
  Type(L"edit_install_printer_name", name);
  Click(L"btn_checked_printer_name");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kRunPage);
  ASSERT_EQ(machine.spooler.DefaultPrinter(), name);

  // A second pass: the name page proposes a new name and says nothing of
  // the installed one; the network page proposes a network port again.
  GoHome();
  for (int page = 0; page < 4; ++page) NextPage();
  ASSERT_EQ(InstallKind(), kPrinterNamePage);
  EXPECT_NE(engine.printerName, name);
  EXPECT_EQ(label(L"label_show_printername_info"), L"");
  GoHome();
  ToPortKind(L"option_port_net");
  NextPage();
  ASSERT_EQ(InstallKind(), kNetworkPage);
  EXPECT_EQ(label(L"edit_install_lan_portName"), L"10.0.0.30");
  EXPECT_EQ(label(L"label_show_lanPort_info"), L"");
  NextPage();
  EXPECT_EQ(InstallKind(), kPrinterNamePage);
}

// Names the spooler would refuse stop the wizard on the name page with
// the reason, before any driver is installed.
TEST_F(EngineTest, PrinterNamesWindowsRefusesAreRefusedOnTheNamePage) {
  ToPortKind(L"option_port_com");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kPrinterNamePage);
  std::wstring refusal = Text(L"tip.printername.invalid");
  ASSERT_NE(refusal.find(L"%s"), std::wstring::npos);
  for (const wchar_t* name : {L"Office,2", L"Front\\Desk", L""}) {
    wnd->nameStatus.clear();
    Type(L"edit_install_printer_name", name);
    NextPage();
    EXPECT_EQ(InstallKind(), kPrinterNamePage);
    Click(L"btn_checked_printer_name");
    ASSERT_EQ(wnd->nameStatus.size(), 2u);
    for (const TUiMsgParam& status : wnd->nameStatus) {
      EXPECT_EQ(status.text, std::wstring(refusal).replace(refusal.find(L"%s"), 2, name));
      EXPECT_TRUE(status.isError);
    }
  }
  Type(L"edit_install_printer_name", L"Office 2");
  NextPage();
  EXPECT_EQ(InstallKind(), kSummaryPage);
}

TEST_F(EngineTest, SummaryShowsTheChoicesAndHomeKeepsThem) {
  ToPortKind(L"option_port_com");
  ClickRow(L"listex_install_driver_moudel", 1);
  NextPage();
  ClickRow(L"listex_install_driver_port", 2);
  const std::wstring port = engine.portName;
  NextPage();
  Click(L"option_selected_defaultPrinter");  // unchecks
  EXPECT_EQ(engine.setDefault, 0);
  Type(L"edit_install_printer_name", L"Shop \"front\"");
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  EXPECT_EQ(Find(L"label_ready_driverName")->GetText(), Model(1).driverName);
  EXPECT_EQ(Find(L"label_ready_portName")->GetText(), port);
  EXPECT_EQ(Find(L"label_ready_portName")->GetToolTip(), port);
  EXPECT_EQ(Find(L"label_ready_printerName")->GetText(), L"Shop \"front\"");
  EXPECT_EQ(Find(L"label_ready_prinerDefault")->GetText(), Text(L"tip.no"));

  GoHome();
  EXPECT_EQ(engine.WizardMode, 0);
  EXPECT_EQ(engine.stepIndex, 0);
  EXPECT_EQ(engine.tabSwitch->GetCurSel(), 0);
  EXPECT_FALSE(Visible(L"btn_setup_previous"));
  NextPage();
  EXPECT_EQ(engine.portType, SetupEngine::PortKindIndex(L"option_port_com"));
  EXPECT_TRUE(FindAs<COptionUI>(L"option_port_com")->IsSelected());
  NextPage();
  EXPECT_EQ(FindAs<CListUI>(L"listex_install_driver_moudel")->GetCurSel(), 1);
  NextPage();
  EXPECT_EQ(engine.portName, port);
  NextPage();
  EXPECT_FALSE(FindAs<COptionUI>(L"option_selected_defaultPrinter")->IsSelected());
  // The name is proposed afresh each time the page is shown.
  EXPECT_EQ(engine.printerName, Model(1).displayName);
}

// A printer, an uncategorised device, a headset and a nameless printer.
void AddBluetoothDevices(platform::sim::SimPlatform& machine) {
  machine.bluetooth.AddRadio();
  const std::pair<uint32_t, const wchar_t*> devices[] = {
      {0x040680, L"A4 Printer"}, {0x001F1F, L"Other"}, {0x240404, L"Headset"}, {0x040680, L""}};
  uint64_t address = 0xA1B2C3D4E5F0ULL;
  for (const auto& device : devices) {
    platform::sim::SimBluetoothDevice sim;
    sim.info.address = ++address;
    sim.info.classOfDevice = device.first;
    sim.info.name = device.second;
    sim.info.authenticated = address == 0xA1B2C3D4E5F2ULL;
    machine.bluetooth.AddDevice(sim);
  }
}

TEST_F(EngineTest, BluetoothNeedsAnAdapterWithARadio) {
  NextPage();
  Click(L"option_port_bluetooth");
  EXPECT_TRUE(Visible(L"hor_bluetooth_adapter"));
  EXPECT_EQ(Find(L"label_bluetooth_adapter_info")->GetText(), Text(L"tip.btadapter.none"));
  NextPage();
  EXPECT_EQ(InstallKind(), kPortTypePage);
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.btadapter.pleasechecked"));

  machine.devices.AddDevice(platform::guids::kBluetoothSetupClass);  // adapter switched off: no radio
  NextPage();
  EXPECT_EQ(InstallKind(), kPortTypePage);
  EXPECT_EQ(Find(L"label_bluetooth_adapter_info")->GetText(), Text(L"tip.btadapter.off"));

  Click(L"option_port_usb");
  EXPECT_FALSE(Visible(L"hor_bluetooth_adapter"));
}

TEST_F(EngineTest, BluetoothListShowsNamedPrintersAndThePinGuardsNext) {
  AddBluetoothDevices(machine);
  NextPage();
  Click(L"option_port_bluetooth");
  EXPECT_EQ(Find(L"label_bluetooth_adapter_info")->GetText(), Text(L"tip.btadapter.on"));
  NextPage();  // the scan moves on by itself
  ASSERT_EQ(InstallKind(), kBluetoothListPage);
  EXPECT_EQ(RowTexts(L"listex_install_show_blue"), (std::vector<std::wstring>{L"A4 Printer", L"Other"}));
  EXPECT_EQ(RowTexts(L"listex_install_show_blue", L"label2"),
            (std::vector<std::wstring>{L"A1B2C3D4E5F1", L"A1B2C3D4E5F2"}));
  EXPECT_EQ(RowTexts(L"listex_install_show_blue", L"label1_icon"), (std::vector<std::wstring>{L"", L""}));
  auto* list = FindAs<CListUI>(L"listex_install_show_blue");
  EXPECT_FALSE(wnd->GetPaintManager().FindSubControlByName(list->GetItemAt(0), L"label1_icon")->IsVisibleSelf());
  EXPECT_TRUE(wnd->GetPaintManager().FindSubControlByName(list->GetItemAt(1), L"label1_icon")->IsVisibleSelf());
  EXPECT_EQ(Find(L"edit_usecustom_pin")->GetText(), L"4826");
  EXPECT_FALSE(Visible(L"btn_setup_next"));
  ClickRow(L"listex_install_show_blue", 0);
  EXPECT_EQ(engine.bluetoothIndex, 0);
  EXPECT_TRUE(Visible(L"btn_setup_next"));

  // Blanks and punctuation vanish from the edit at once.
  Type(L"edit_usecustom_pin", L"12 3-4ab!");
  EXPECT_EQ(engine.pin, L"1234ab");
  EXPECT_EQ(Find(L"edit_usecustom_pin")->GetText(), L"1234ab");
  Type(L"edit_usecustom_pin", L"  ");
  EXPECT_EQ(engine.pin, L"");
  NextPage();
  EXPECT_EQ(InstallKind(), kBluetoothListPage);
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.pinerror"));
  Type(L"edit_usecustom_pin", L"0000");
  NextPage();
  EXPECT_EQ(InstallKind(), kModelPage);
}

TEST_F(EngineTest, RemovalSummaryAddsTheQueuesOfSelectedDrivers) {
  AddQueue(L"Front", L"COM1:", Model(0).driverName);
  AddQueue(L"Back", L"COM2:", Model(0).driverName);
  AddQueue(L"Office", L"COM3:", L"Generic / Text Only");
  Click(L"option_delete");
  NextPage();
  ASSERT_EQ(engine.WizardMode, 2);
  auto* printerList = FindAs<CListUI>(L"listex_delete_printer");
  ASSERT_EQ(printerList->GetCount(), 2);  // only queues of our drivers
  Click(L"option_showAll_deletePrinter");
  EXPECT_EQ(printerList->GetCount(), 3);
  Type(L"edit_find_deletePrinter", L"FRO");
  ASSERT_EQ(printerList->GetCount(), 1);
  // A click on the check box sends both notifications and toggles once.
  auto* row = dynamic_cast<CListTextExtElementUI*>(printerList->GetItemAt(0));
  row->SetCheck(true, true);
  wnd->GetPaintManager().SendNotify(row, DUI_MSGTYPE_ITEMCLICK);
  EXPECT_EQ(engine.selectedPrinters, std::vector<std::wstring>{L"Front"});
  EXPECT_TRUE(row->IsChecked());
  // A click on the row itself toggles it.
  wnd->GetPaintManager().SendNotify(row, DUI_MSGTYPE_ITEMCLICK);
  EXPECT_TRUE(engine.selectedPrinters.empty());
  EXPECT_FALSE(row->IsChecked());

  NextPage();
  auto* driverList = FindAs<CListUI>(L"listex_delete_driver");
  ASSERT_EQ(driverList->GetCount(), 1);
  wnd->GetPaintManager().SendNotify(driverList->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  EXPECT_EQ(engine.selectedDrivers.count(Model(0).driverName), 1u);

  NextPage();
  EXPECT_EQ(engine.selectedPrinters, (std::vector<std::wstring>{L"Back", L"Front"}));
  EXPECT_EQ(Find(L"btn_setup_next")->GetText(), Text(L"main.btn.startDelete"));
  EXPECT_TRUE(Find(L"btn_setup_next")->IsEnabled());
  EXPECT_EQ(Find(L"wordedit_deleteInfo")->GetText(),
            Text(L"gb.title.printer") + L":\r\n     Back\r\n     Front\r\n" + Text(L"gb.title.driver") +
                L":\r\n     " + Model(0).driverName + L"\r\n");

  // A chosen driver that goes before the summary is shown is left out
  // there, as the run leaves it out.
  machine.spooler.InstallDriver(L"Other");
  Click(L"btn_setup_previous");
  Click(L"option_showAll_deleteDriver");
  ASSERT_EQ(machine.spooler.DeleteDriver(L"Other", 0, 3), platform::err::kOk);
  for (int i = 0; i < driverList->GetCount(); ++i)
    if (dynamic_cast<CListTextExtElementUI*>(driverList->GetItemAt(i))->GetText(1) == L"Other")
      wnd->GetPaintManager().SendNotify(driverList->GetItemAt(i), DUI_MSGTYPE_ITEMCLICK);
  ASSERT_EQ(engine.selectedDrivers.count(L"Other"), 1u);
  NextPage();
  EXPECT_EQ(Find(L"wordedit_deleteInfo")->GetText(),
            Text(L"gb.title.printer") + L":\r\n     Back\r\n     Front\r\n" + Text(L"gb.title.driver") +
                L":\r\n     " + Model(0).driverName + L"\r\n");

  // Back at the start the button is "Next" again, also in the install wizard.
  GoHome();
  EXPECT_EQ(Find(L"btn_setup_next")->GetText(), Text(L"main.btn.next"));
  Click(L"option_install");
  NextPage();
  EXPECT_EQ(Find(L"btn_setup_next")->GetText(), Text(L"main.btn.next"));
}

// What each row shows under the header column titled with the key (the
// narrow first column holds only the check box).
std::vector<std::wstring> CellsUnder(CListUI* list, const wchar_t* titleKey) {
  std::vector<std::wstring> cells;
  CListHeaderUI* header = list->GetHeader();
  int column = -1;
  for (int i = 0; header && i < header->GetCount(); ++i) {
    if (auto* item = dynamic_cast<CLabelUI*>(header->GetItemAt(i)); item && item->GetRawText() == titleKey) column = i;
  }
  for (int i = 0; column >= 0 && i < list->GetCount(); ++i)
    cells.push_back(dynamic_cast<CListTextElementUI*>(list->GetItemAt(i))->GetText(column));
  return cells;
}

TEST_F(EngineTest, RemovalRowsShowTheirNamesUnderTheTitleColumn) {
  AddQueue(L"Front", L"COM1:", Model(0).driverName);
  AddQueue(L"Office", L"COM3:", L"Generic / Text Only");
  Click(L"option_delete");
  NextPage();
  // The search field has a label in front of it.
  wnd->GetPaintManager().UpdateLayout();
  CControlUI* search = Find(L"label_find_deletePrinter");
  ASSERT_NE(search, nullptr);
  EXPECT_TRUE(search->IsVisible());
  EXPECT_EQ(search->GetText(), Text(L"ui.del.search"));
  EXPECT_GT(search->GetPos().right, search->GetPos().left);
  EXPECT_LE(search->GetPos().right, Find(L"edit_find_deletePrinter")->GetPos().left);
  auto* printers = FindAs<CListUI>(L"listex_delete_printer");
  EXPECT_EQ(CellsUnder(printers, L"gb.title.printer"), std::vector<std::wstring>{L"Front"});
  Click(L"option_showAll_deletePrinter");
  EXPECT_EQ(CellsUnder(printers, L"gb.title.printer"), (std::vector<std::wstring>{L"Front", L"Office"}));
  wnd->GetPaintManager().SendNotify(printers->GetItemAt(1), DUI_MSGTYPE_ITEMCLICK);
  EXPECT_EQ(engine.selectedPrinters, std::vector<std::wstring>{L"Office"});
  NextPage();
  auto* drivers = FindAs<CListUI>(L"listex_delete_driver");
  Click(L"option_showAll_deleteDriver");
  std::vector<std::wstring> names = CellsUnder(drivers, L"gb.title.driver");
  EXPECT_NE(std::find(names.begin(), names.end(), L"Generic / Text Only"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), Model(0).driverName), names.end());
}

// The Next button holds a text key, so a language switch renames it.
TEST_F(EngineTest, NextButtonFollowsALanguageSwitch) {
  AddQueue(L"Front", L"COM1:", Model(0).driverName);
  Click(L"option_delete");
  NextPage();
  wnd->GetPaintManager().SendNotify(FindAs<CListUI>(L"listex_delete_printer")->GetItemAt(0),
                                    DUI_MSGTYPE_ITEMCLICK);
  NextPage();
  NextPage();
  SwitchLanguage(engine, 0x0411, nullptr, hwnd);
  const std::wstring japanese = Text(L"main.btn.startDelete");
  SwitchLanguage(engine, 0x0409, nullptr, hwnd);
  ASSERT_NE(japanese, Text(L"main.btn.startDelete"));
  SwitchLanguage(engine, 0x0411, nullptr, hwnd);
  EXPECT_EQ(Find(L"btn_setup_next")->GetText(), japanese);
  SwitchLanguage(engine, 0x0409, nullptr, hwnd);
}

// Texts the wizard put on its pages before a switch are shown in the new
// language afterwards: the summary, the name check and the network label.
TEST_F(EngineTest, PageTextsFollowALanguageSwitch) {
  AddQueue(Model(0).displayName);
  ToPortKind(L"option_port_net");
  NextPage();
  Type(L"edit_install_lan_ip", L"1.2.3");
  NextPage();
  SwitchLanguage(engine, 0x0411, nullptr, hwnd);
  const std::wstring invalid = Text(L"tip.ip.invalid");
  SwitchLanguage(engine, 0x041E, nullptr, hwnd);
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), Text(L"tip.ip.invalid"));
  EXPECT_NE(Find(L"label_show_lanPort_info")->GetText(), invalid);
  Type(L"edit_install_lan_ip", L"1.2.3.4");
  NextPage();
  Type(L"edit_install_printer_name", Model(0).displayName);
  Click(L"btn_checked_printer_name");
  SwitchLanguage(engine, 0x0411, nullptr, hwnd);
  EXPECT_EQ(Find(L"label_show_printername_info")->GetText(),
            Text(L"tip.printername.taken").replace(Text(L"tip.printername.taken").find(L"%s"), 2, Model(0).displayName));
  Type(L"edit_install_printer_name", L"Shop");
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  EXPECT_EQ(Find(L"label_ready_prinerDefault")->GetText(), Text(L"tip.yes"));
  SwitchLanguage(engine, 0x041E, nullptr, hwnd);
  EXPECT_EQ(Find(L"label_ready_prinerDefault")->GetText(), L"ใช่");
  SwitchLanguage(engine, 0x0409, nullptr, hwnd);
}

// The run page's heading tells how the run ended.
TEST_F(EngineTest, RunHeadingsShowTheOutcome) {
  ToPortKind(L"option_port_com");
  NextPage();
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  machine.FailNext(platform::sim::Op::kAddQueue, 5);
  NextPage();
  EXPECT_EQ(Find(L"label_install_heading")->GetText(), Text(L"ui.run.install.failed"));
  GoHome();
  ToPortKind(L"option_port_com");
  NextPage();
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  NextPage();
  EXPECT_EQ(Find(L"label_install_heading")->GetText(), Text(L"ui.run.install.done"));

  GoHome();
  Click(L"option_delete");
  NextPage();
  wnd->GetPaintManager().SendNotify(FindAs<CListUI>(L"listex_delete_printer")->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  NextPage();
  NextPage();
  machine.FailNext(platform::sim::Op::kDeleteQueue, 5);
  NextPage();
  EXPECT_EQ(Find(L"label_delete_heading")->GetText(), Text(L"ui.del.run.failed"));
  GoHome();
  Click(L"option_delete");
  NextPage();
  wnd->GetPaintManager().SendNotify(FindAs<CListUI>(L"listex_delete_printer")->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  NextPage();
  NextPage();
  NextPage();
  EXPECT_EQ(Find(L"label_delete_heading")->GetText(), Text(L"ui.del.run.done"));
}

TEST_F(EngineTest, RemovalRunPageRemovesTheChoiceAndEmptiesIt) {
  AddQueue(L"Front", L"COM1:", Model(0).driverName);
  AddQueue(L"Office", L"COM3:", L"Generic / Text Only");
  Click(L"option_delete");
  NextPage();
  auto* printerList = FindAs<CListUI>(L"listex_delete_printer");
  ASSERT_EQ(printerList->GetCount(), 1);
  wnd->GetPaintManager().SendNotify(printerList->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  ASSERT_EQ(engine.selectedPrinters, std::vector<std::wstring>{L"Front"});
  NextPage();  // drivers
  NextPage();  // summary
  NextPage();  // the run, on its worker thread
  std::vector<platform::PrinterInfo> left;
  machine.spooler.ListPrinters(platform::kEnumPrinterLocal, left);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].name, L"Office");
  EXPECT_TRUE(engine.selectedPrinters.empty());
  EXPECT_TRUE(engine.selectedDrivers.empty());
  EXPECT_TRUE(Visible(L"hor_btn_h1"));
}

}  // namespace
