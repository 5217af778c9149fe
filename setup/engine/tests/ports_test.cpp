// The USB test print, the TCP/IP port of a network install, and the port
// buttons of the port list page.
#include "engine_fixture.h"

#include "platform/port_data.h"

#include <algorithm>

namespace {

const wchar_t kUsb[] = L"USB\\VID_1A2B&PID_3C4D\\0001";

// Keeps what the engine sends to the port monitor.
class CapturingSpooler : public platform::sim::SimSpooler {
 public:
  using SimSpooler::SimSpooler;
  platform::ErrorCode XcvCommand(const std::wstring& target, const std::wstring& verb,
                                 const std::vector<uint8_t>& bytes, uint32_t outputBytes, uint32_t& status) override {
    object = target;
    command = verb;
    input = bytes;
    outputSize = outputBytes;
    return SimSpooler::XcvCommand(target, verb, bytes, outputBytes, status);
  }
  std::wstring object, command;
  std::vector<uint8_t> input;
  uint32_t outputSize = 0;
};

uint32_t Dword(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// UTF-16LE text of a zero-terminated field.
std::wstring Field(const std::vector<uint8_t>& bytes, size_t at, size_t units) {
  std::wstring text;
  for (size_t i = 0; i < units; ++i) {
    const wchar_t c = static_cast<wchar_t>(bytes[at + 2 * i] | bytes[at + 2 * i + 1] << 8);
    if (c == 0) return text;
    text += c;
  }
  return L"<unterminated>";
}

class PortsTest : public EngineTest {
 protected:
  // Start page to the network page, then the given names, then the summary.
  void ToNetworkSummary(const std::wstring& ip, const std::wstring& port) {
    ToPortKind(L"option_port_net");
    NextPage();
    ASSERT_EQ(InstallKind(), kNetworkPage);
    Type(L"edit_install_lan_ip", ip);
    Type(L"edit_install_lan_portName", port);
    NextPage();
    NextPage();
    ASSERT_EQ(InstallKind(), kSummaryPage);
  }
};

TEST_F(PortsTest, UsbTestPrintWritesTextPortNameAndFeed) {
  const std::wstring device = machine.PlugUsbPrinter(kUsb, 3);
  EXPECT_FALSE(engine.TestPrintUsb());  // nothing chosen yet
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.notselectusbport"));
  EXPECT_EQ(machine.Calls(platform::sim::Op::kWriteDevice), 0);

  NextPage();
  NextPage();
  ASSERT_EQ(engine.usbIndex, 0);
  Click(L"btn_test_usb");
  std::vector<uint8_t> expected;
  for (wchar_t c : Text(L"tip.currentportis") + L"USB003") expected.push_back(static_cast<uint8_t>(c));
  expected.insert(expected.end(), {0x1B, 0x4A, 0x78});
  EXPECT_EQ(engine.testBuffer, expected);
  EXPECT_EQ(machine.files.DeviceBytes(device), expected);
}

TEST_F(PortsTest, UsbTestPrintToASilentPrinterFailsWithinTheWait) {
  machine.PlugUsbPrinter(kUsb, 3, false);
  NextPage();
  NextPage();
  const uint64_t before = machine.core.clock.TotalSleptMs();
  EXPECT_FALSE(engine.TestPrintUsb());
  EXPECT_LE(machine.core.clock.TotalSleptMs() - before, 2000u);
  engine.usbIndex = 5;  // beyond the list: nothing happens
  EXPECT_FALSE(engine.TestPrintUsb());
}

TEST_F(PortsTest, NetworkInstallCreatesARawPortAndEmptiesTheNamesAfterwards) {
  ToNetworkSummary(L"192.168.1.100", L"192.168.1.100_1");
  NextPage();
  auto port = machine.spooler.TcpPort(L"192.168.1.100_1");
  ASSERT_TRUE(port);
  EXPECT_EQ(port->hostAddress, L"192.168.1.100");
  EXPECT_EQ(port->ipAddress, L"192.168.1.100");
  EXPECT_EQ(port->portNumber, 9100u);
  EXPECT_EQ(port->protocol, platform::kProtocolRawTcp);
  EXPECT_FALSE(port->snmpEnabled);
  EXPECT_FALSE(port->doubleSpool);
  EXPECT_TRUE(port->queue.empty());
  EXPECT_TRUE(Logged(Text(L"tip.addlanportsuccess"), false));
  std::vector<platform::PrinterInfo> queues;
  machine.spooler.ListPrinters(platform::kEnumPrinterLocal, queues);
  ASSERT_EQ(queues.size(), 1u);
  EXPECT_EQ(queues[0].port, L"192.168.1.100_1");
  EXPECT_TRUE(engine.portName.empty());
  EXPECT_TRUE(engine.ipAddress.empty());
}

TEST_F(PortsTest, TheTcpPortRecordIsAVersion1RawRecordOf964Bytes) {
  CapturingSpooler spooler(machine.core, machine.files);
  spooler.AddPortMonitor(L"Standard TCP/IP Port");
  platform::Platform capturing{spooler,          machine.devices, machine.registry, machine.files,
                               machine.processes, machine.network, machine.bluetooth, machine.services,
                               machine.system,   machine.core.clock};
  SetupEngine windowless(capturing);
  ASSERT_TRUE(windowless.AddTcpIpPort(L"192.168.1.100_1", L"192.168.1.100"));
  EXPECT_EQ(spooler.object, L",XcvMonitor Standard TCP/IP Port");
  EXPECT_EQ(spooler.command, L"AddPort");
  EXPECT_EQ(spooler.outputSize, 260u);
  const std::vector<uint8_t>& record = spooler.input;
  ASSERT_EQ(record.size(), 964u);
  EXPECT_EQ(Field(record, 0, 64), L"192.168.1.100_1");
  EXPECT_EQ(Dword(record, 128), 1u);    // version
  EXPECT_EQ(Dword(record, 132), 1u);    // raw TCP
  EXPECT_EQ(Dword(record, 136), 964u);  // cbSize
  EXPECT_EQ(Dword(record, 140), 0u);
  EXPECT_EQ(Field(record, 144, 49), L"192.168.1.100");
  EXPECT_EQ(Field(record, 242, 33), L"");  // no SNMP community
  EXPECT_EQ(Dword(record, 308), 0u);       // no double spool
  EXPECT_EQ(Field(record, 312, 33), L"");  // no queue
  EXPECT_EQ(Field(record, 378, 16), L"192.168.1.100");
  EXPECT_EQ(Dword(record, 952), 9100u);
  EXPECT_EQ(Dword(record, 956), 0u);  // SNMP off
  EXPECT_EQ(Dword(record, 960), 0u);

  // A 15-character address fits; a host text of 16 does not reach the monitor.
  EXPECT_TRUE(windowless.AddTcpIpPort(L"p", L"255.255.255.255"));
  spooler.input.clear();
  EXPECT_FALSE(windowless.AddTcpIpPort(L"q", L"255.255.255.2555"));
  EXPECT_TRUE(spooler.input.empty());
}

TEST_F(PortsTest, APortNameTooLongForTheRecordIsRefusedWithALogLine) {
  ToNetworkSummary(L"10.0.0.9", std::wstring(64, L'p'));
  NextPage();
  EXPECT_EQ(machine.Calls(platform::sim::Op::kXcvCommand), 0);
  ASSERT_GE(wnd->installLog.size(), 3u);
  EXPECT_TRUE(wnd->installLog[1].isError);
  EXPECT_NE(wnd->installLog[1].text.find(L"63"), std::wstring::npos);
  EXPECT_TRUE(Logged(Text(L"tip.addlanportfail"), true));
  EXPECT_FALSE(Logged(Text(L"tip.startcopyfile"), false));
  EXPECT_FALSE(engine.ipAddress.empty());  // kept for a second try
}

TEST_F(PortsTest, AMonitorStatusFailureCountsAsFailure) {
  machine.system.SetMessage(183, 0, L"Cannot create a file when that file already exists.");
  ToNetworkSummary(L"10.0.0.9", L"taken");
  // Someone else creates the port after the page was checked.
  machine.spooler.AddPortOf(L"Standard TCP/IP Port", L"taken", L"Standard TCP/IP Port");
  NextPage();
  EXPECT_EQ(machine.Calls(platform::sim::Op::kXcvCommand), 1);
  EXPECT_TRUE(Logged(L"Code: 183 - Cannot create a file when that file already exists.", true));
  EXPECT_TRUE(Logged(Text(L"tip.addlanportfail"), true));
  EXPECT_FALSE(Logged(Text(L"tip.addlanportsuccess"), false));

  machine.FailNext(platform::sim::Op::kXcvCommand, 1796);
  engine.AddTcpIpPort(L"other", L"10.0.0.9");
  EXPECT_FALSE(machine.spooler.TcpPort(L"other"));
}

TEST(Ipv4Text, FourDecimalPartsUpTo255) {
  for (const wchar_t* good : {L"192.168.1.100", L"192.168.1.100.", L"0.0.0.0", L" 1.+2.3x.4", L"255.255.255.255"})
    EXPECT_TRUE(SetupEngine::IsValidIpv4(good)) << toolkit::WideToUtf8(good);
  for (const wchar_t* bad : {L"", L"192.168.1", L"1.2.3.4.5", L"192.168.1.256", L"1..2.3", L"a.b.c.d", L"-1.2.3.4",
                             L"1.2.3.99999999999", L"1.2.3.4..", L"."})
    EXPECT_FALSE(SetupEngine::IsValidIpv4(bad)) << toolkit::WideToUtf8(bad);
}

TEST_F(PortsTest, NetworkPageRefusesABadAddressOrATakenPortName) {
  machine.spooler.AddPortOf(L"Standard TCP/IP Port", L"shop", L"Standard TCP/IP Port");
  ToPortKind(L"option_port_net");
  NextPage();
  Type(L"edit_install_lan_ip", L"192.168.1.256");
  NextPage();
  EXPECT_EQ(InstallKind(), kNetworkPage);
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), Text(L"tip.ip.invalid"));
  EXPECT_TRUE(Find(L"edit_install_lan_ip")->IsFocused());
  Type(L"edit_install_lan_ip", L"192.168.1.25");
  Type(L"edit_install_lan_portName", L"shop");
  NextPage();
  EXPECT_EQ(InstallKind(), kNetworkPage);
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), Text(L"tip.port.exists"));
  Type(L"edit_install_lan_portName", L"Shop");  // names are compared exactly
  NextPage();
  EXPECT_EQ(InstallKind(), kPrinterNamePage);
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), L"");
}

TEST_F(PortsTest, ReachabilityButtonProbesPort9100) {
  machine.network.SetPeer("10.1.2.3", 9100, platform::sim::SimNetwork::Peer::kAccepts);
  ToPortKind(L"option_port_net");
  NextPage();
  Type(L"edit_install_lan_ip", L"10.1.2.3");
  Click(L"btn_checked_ip");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.lancheckedok"));
  Type(L"edit_install_lan_ip", L"10.1.2.4");
  Click(L"btn_checked_ip");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.lancheckedfail"));
}

TEST_F(PortsTest, ThePortNameFollowsTheAddressUntilTheUserNamesIt) {
  machine.spooler.AddPortOf(L"Standard TCP/IP Port", L"10.0.0.7", L"Standard TCP/IP Port");
  ToPortKind(L"option_port_net");
  NextPage();
  Type(L"edit_install_lan_ip", L"10.0.0.7");
  EXPECT_EQ(Find(L"edit_install_lan_portName")->GetText(), L"10.0.0.7_1");
  Type(L"edit_install_lan_ip", L"10.0.0.8");
  EXPECT_EQ(Find(L"edit_install_lan_portName")->GetText(), L"10.0.0.8");
  EXPECT_EQ(engine.portName, L"10.0.0.8");
  Type(L"edit_install_lan_portName", L"shop");
  Type(L"edit_install_lan_ip", L"10.0.0.9");
  EXPECT_EQ(engine.portName, L"shop");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  EXPECT_TRUE(Visible(L"label_ready_ipAddress"));
  EXPECT_EQ(Find(L"label_ready_ipAddress")->GetText(), L"10.0.0.9");
  EXPECT_EQ(Find(L"label_ready_portName")->GetText(), L"shop");
}

TEST_F(PortsTest, CheckSaysAnInvalidAddressIsInvalidAndASuccessClearsTheText) {
  machine.network.SetPeer("10.1.2.3", 9100, platform::sim::SimNetwork::Peer::kAccepts);
  ToPortKind(L"option_port_net");
  NextPage();
  Type(L"edit_install_lan_ip", L"10.1.2.300");
  Click(L"btn_checked_ip");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.ip.invalid"));
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), Text(L"tip.ip.invalid"));
  EXPECT_EQ(machine.Calls(platform::sim::Op::kProbeTcp), 0);
  Type(L"edit_install_lan_ip", L"10.1.2.3");
  Click(L"btn_checked_ip");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.lancheckedok"));
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), L"");
  // A taken port name is not the address's business.
  machine.spooler.AddPortOf(L"Standard TCP/IP Port", L"shop", L"Standard TCP/IP Port");
  Type(L"edit_install_lan_portName", L"shop");
  NextPage();
  Click(L"btn_checked_ip");
  EXPECT_EQ(Find(L"label_show_lanPort_info")->GetText(), Text(L"tip.port.exists"));
}

TEST_F(PortsTest, PortExistsComparesTheWholeNameWithCase) {
  EXPECT_TRUE(engine.PortExists(L"COM1:"));
  EXPECT_FALSE(engine.PortExists(L"com1:"));
  EXPECT_FALSE(engine.PortExists(L"COM1"));
  machine.FailNext(platform::sim::Op::kListPorts, 5);
  EXPECT_FALSE(engine.PortExists(L"COM1:"));
}

TEST_F(PortsTest, DeletingThePortAsksAndReselectsTheDefault) {
  machine.spooler.AddPortOf(L"Local Port", L"COM9:", L"Local Port");
  ToPortKind(L"option_port_com");
  NextPage();
  const int rows = static_cast<int>(RowTexts(L"listex_install_driver_port").size());
  ClickRow(L"listex_install_driver_port", rows - 1);
  ASSERT_EQ(engine.portName, L"COM9:");

  toolkit::headless::SetMessageBoxAnswer(IDCANCEL);
  Click(L"btn_port_delete");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), L"Delete the port COM9:?");
  EXPECT_TRUE(engine.PortExists(L"COM9:"));
  EXPECT_EQ(engine.portName, L"COM9:");

  machine.system.SetMessage(5, 0, L"Access is denied.");
  machine.FailNext(platform::sim::Op::kRemovePort, 5);
  toolkit::headless::SetMessageBoxAnswer(IDOK);
  Click(L"btn_port_delete");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), L"The port could not be deleted. Code: 5 - Access is denied.");
  EXPECT_EQ(engine.portName, L"COM9:");

  Click(L"btn_port_delete");
  EXPECT_FALSE(engine.PortExists(L"COM9:"));
  EXPECT_EQ(engine.portName, L"COM1:");
  EXPECT_EQ(static_cast<int>(RowTexts(L"listex_install_driver_port").size()), rows - 1);

  Click(L"btn_port_configure");
  EXPECT_EQ(machine.spooler.ConfiguredPorts(), std::vector<std::wstring>{L"COM1:"});
}

TEST_F(PortsTest, AddPortButtonOpensTheDialogAndListsTheNewPort) {
  int opened = 0;
  engine.showAddPortDialog = [&](HWND owner) {
    EXPECT_EQ(owner, hwnd);
    ++opened;
    std::wstring error;
    machine.spooler.ScriptPortDialog(L"Local Port", L"COM7:");
    EXPECT_TRUE(engine.AddMonitorPort(L"Local Port", owner, error));
    machine.system.SetMessage(1223, 0, L"The operation was cancelled by the user.");
    EXPECT_FALSE(engine.AddMonitorPort(L"Local Port", owner, error));
    EXPECT_EQ(error, L"Code: 1223 - The operation was cancelled by the user.");
  };
  ToPortKind(L"option_port_com");
  NextPage();
  Click(L"btn_port_add");
  EXPECT_EQ(opened, 1);
  const std::vector<std::wstring> rows = RowTexts(L"listex_install_driver_port");
  EXPECT_NE(std::find(rows.begin(), rows.end(), L"COM7:"), rows.end());
}

}  // namespace
