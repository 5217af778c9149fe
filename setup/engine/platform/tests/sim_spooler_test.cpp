#include <gtest/gtest.h>

#include "sim_platform.h"

namespace platform::sim {
namespace {

const wchar_t kDriver[] = L"Acme Label(203dpi)";

PrinterInfo Queue(const std::wstring& name, const std::wstring& port = L"COM1:",
                  const std::wstring& driver = kDriver) {
  PrinterInfo p;
  p.name = name;
  p.port = port;
  p.driver = driver;
  p.printProcessor = L"WinPrint";
  p.dataType = L"RAW";
  p.attributes = kPrinterAttributeLocal;
  return p;
}

std::vector<std::wstring> PrinterNames(Spooler& spooler) {
  std::vector<PrinterInfo> list;
  EXPECT_EQ(spooler.ListPrinters(kEnumPrinterLocal | kEnumPrinterConnections | kEnumPrinterNetwork, list), 0u);
  std::vector<std::wstring> names;
  for (const auto& p : list) names.push_back(p.name);
  return names;
}

class SimSpoolerTest : public ::testing::Test {
 protected:
  SimPlatform machine;
  SimSpooler& spooler = machine.spooler;
};

TEST_F(SimSpoolerTest, AddPrinterRefusesLikeTheSpooler) {
  spooler.InstallDriver(kDriver);
  EXPECT_EQ(spooler.AddQueue(Queue(L"")), err::kInvalidPrinterName);
  EXPECT_EQ(spooler.AddQueue(Queue(L"a,b")), err::kInvalidPrinterName);
  EXPECT_EQ(spooler.AddQueue(Queue(L"a\\b")), err::kInvalidPrinterName);
  EXPECT_EQ(spooler.AddQueue(Queue(std::wstring(221, L'x'))), err::kInvalidPrinterName);
  EXPECT_EQ(spooler.AddQueue(Queue(L"Q", L"USB009")), err::kUnknownPort);
  EXPECT_EQ(spooler.AddQueue(Queue(L"Q", L"COM1:", L"No Such Driver")), err::kUnknownPrinterDriver);
  PrinterInfo noProcessor = Queue(L"Q");
  noProcessor.printProcessor.clear();
  EXPECT_EQ(spooler.AddQueue(noProcessor), 1798u);

  PrinterInfo noDataType = Queue(L"Q");
  noDataType.dataType.clear();  // Windows accepts a NULL data type
  EXPECT_EQ(spooler.AddQueue(noDataType), err::kOk);
  EXPECT_EQ(spooler.AddQueue(Queue(L"q", L"com1:")), err::kPrinterAlreadyExists);
  EXPECT_EQ(PrinterNames(spooler), std::vector<std::wstring>{L"Q"});
}

TEST_F(SimSpoolerTest, QueuesAndDriversAreListedByNameIgnoringCase) {
  spooler.InstallDriver(L"zeta");
  spooler.InstallDriver(L"Alpha", L"C:\\Windows\\INF\\oem7.inf");
  spooler.InstallDriver(kDriver);
  for (const wchar_t* name : {L"b queue", L"C queue", L"a queue"}) ASSERT_EQ(spooler.AddQueue(Queue(name)), 0u);
  EXPECT_EQ(PrinterNames(spooler), (std::vector<std::wstring>{L"a queue", L"b queue", L"C queue"}));
  // Without the local flag nothing is listed: every simulated queue is local.
  std::vector<PrinterInfo> network;
  EXPECT_EQ(spooler.ListPrinters(kEnumPrinterNetwork, network), 0u);
  EXPECT_TRUE(network.empty());

  std::vector<DriverInfo> level8, level6, level1;
  ASSERT_EQ(spooler.ListDrivers(8, level8), 0u);
  ASSERT_EQ(level8.size(), 3u);
  EXPECT_EQ(level8[0].name, kDriver);
  EXPECT_EQ(level8[1].name, L"Alpha");
  EXPECT_EQ(level8[1].infPath, L"C:\\Windows\\INF\\oem7.inf");
  EXPECT_EQ(level8[2].name, L"zeta");
  ASSERT_EQ(spooler.ListDrivers(6, level6), 0u);
  EXPECT_TRUE(level6[1].infPath.empty());
  EXPECT_EQ(level6[1].version, 3u);
  ASSERT_EQ(spooler.ListDrivers(1, level1), 0u);
  EXPECT_TRUE(level1[1].driverPath.empty());
  EXPECT_EQ(spooler.ListDrivers(4, level1), err::kInvalidLevel);
}

TEST_F(SimSpoolerTest, AddDriverCopyingAllFilesNeedsThemInTheDriverDirectory) {
  DriverSetup d;
  d.name = kDriver;
  d.driverPath = L"AcmeRender.DLL";
  d.dataFile = L"Acme203.pcd";
  d.configFile = L"AcmeUi.DLL";
  d.helpFile = L"acme.hlp";
  d.dependentFiles = {L"AcmeUi.dll", L"AcmeRender.dll", L"Acme203.pcd", L"acme.hlp"};
  std::wstring dir;
  ASSERT_EQ(spooler.GetDriverDirectory(dir), 0u);
  for (size_t i = 0; i + 1 < d.dependentFiles.size(); ++i)
    machine.files.PutFile(dir + L"\\" + d.dependentFiles[i], {1});
  EXPECT_EQ(spooler.AddDriver(d, kCopyAllFiles), err::kFileNotFound);  // help file missing
  EXPECT_EQ(spooler.AddDriver(d, 0), err::kOk);                      // no copy, no check
  machine.files.PutFile(dir + L"\\acme.hlp", {1});
  d.driverVersion = 11;
  EXPECT_EQ(spooler.AddDriver(d, kCopyAllFiles), err::kOk);  // replaces the same name
  EXPECT_EQ(spooler.DriverRecord(kDriver)->driverVersion, 11u);
  d.configFile.clear();
  EXPECT_EQ(spooler.AddDriver(d, kCopyAllFiles), err::kInvalidParameter);
}

TEST_F(SimSpoolerTest, DriverInUseCannotBeDeleted) {
  spooler.InstallDriver(kDriver, L"C:\\Windows\\INF\\oem9.inf");
  ASSERT_EQ(spooler.AddQueue(Queue(L"Q")), 0u);
  const uint32_t flags = kDeleteUnusedFiles | kDeleteSpecificVersion;
  EXPECT_EQ(spooler.DeleteDriver(L"other", flags, 3), err::kUnknownPrinterDriver);
  EXPECT_EQ(spooler.DeleteDriver(kDriver, flags, 3), err::kPrinterDriverInUse);
  EXPECT_EQ(spooler.DeleteDriverPackage(L"C:\\Windows\\INF\\oem9.inf").error, 3015u);
  EXPECT_EQ(spooler.DeleteQueue(L"q"), err::kOk);
  EXPECT_EQ(spooler.DeleteQueue(L"Q"), err::kInvalidPrinterName);
  EXPECT_EQ(spooler.DeleteDriver(kDriver, flags, 2), err::kUnknownPrinterDriver);
  EXPECT_EQ(spooler.DeleteDriver(kDriver, flags, 3), err::kOk);
  DynamicResult package = spooler.DeleteDriverPackage(L"C:\\Windows\\INF\\oem9.inf");
  EXPECT_EQ(package.status, DynamicStatus::kCalled);
  EXPECT_EQ(package.error, 0u);
  EXPECT_EQ(spooler.DeleteDriverPackage(L"C:\\Windows\\INF\\oem9.inf").error, err::kFileNotFound);
  spooler.SetPackageDeletionAvailable(false);
  EXPECT_EQ(spooler.DeleteDriverPackage(L"x.inf").status, DynamicStatus::kEntryMissing);
}

TEST_F(SimSpoolerTest, PortsAreListedMonitorByMonitor) {
  spooler.AddPortOf(L"USB Monitor", L"USB001", L"Virtual printer port for USB");
  TcpPortSettings tcp;
  tcp.portName = L"192.168.1.100";
  tcp.hostAddress = tcp.ipAddress = L"192.168.1.100";
  std::vector<uint8_t> record;
  ASSERT_EQ(EncodePortData1(tcp, record), PortDataField::kNone);
  uint32_t status = 99;
  ASSERT_EQ(spooler.XcvCommand(L",XcvMonitor Standard TCP/IP Port", L"AddPort", record, 260, status), 0u);
  EXPECT_EQ(status, 0u);
  spooler.ScriptPortDialog(L"Local Port", L"C:\\out.prn");
  ASSERT_EQ(spooler.AddPortByMonitor(nullptr, L"Local Port"), 0u);

  std::vector<PortInfo> ports;
  ASSERT_EQ(spooler.ListPorts(ports), 0u);
  std::vector<std::wstring> names;
  for (const auto& p : ports) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"LPT1:", L"LPT2:", L"LPT3:", L"COM1:", L"COM2:", L"COM3:",
                                              L"COM4:", L"FILE:", L"C:\\out.prn", L"192.168.1.100",
                                              L"USB001"}));
  EXPECT_EQ(ports[9].monitor, L"Standard TCP/IP Port");
  EXPECT_EQ(spooler.TcpPort(L"192.168.1.100")->portNumber, 9100u);
}

TEST_F(SimSpoolerTest, TcpMonitorReportsItsVerdictInTheStatus) {
  TcpPortSettings tcp;
  tcp.portName = L"COM1:";
  tcp.hostAddress = tcp.ipAddress = L"10.0.0.9";
  std::vector<uint8_t> record;
  ASSERT_EQ(EncodePortData1(tcp, record), PortDataField::kNone);
  uint32_t status = 0;
  EXPECT_EQ(spooler.XcvCommand(L",XcvMonitor Standard TCP/IP Port", L"AddPort", record, 260, status), 0u);
  EXPECT_EQ(status, err::kAlreadyExists);
  record.resize(100);
  EXPECT_EQ(spooler.XcvCommand(L",XcvMonitor Standard TCP/IP Port", L"AddPort", record, 260, status), 0u);
  EXPECT_EQ(status, err::kInvalidParameter);
  EXPECT_EQ(spooler.XcvCommand(L",XcvMonitor WSD Port", L"AddPort", record, 260, status), err::kUnknownPort);
}

TEST_F(SimSpoolerTest, PortDialogsAndPortDeletion) {
  EXPECT_EQ(spooler.AddPortByMonitor(nullptr, L"No Monitor"), err::kUnknownPrintMonitor);
  EXPECT_EQ(spooler.AddPortByMonitor(nullptr, L"Local Port"), err::kCancelled);
  spooler.ScriptPortDialog(L"Local Port", L"com2:");
  EXPECT_EQ(spooler.AddPortByMonitor(nullptr, L"Local Port"), err::kAlreadyExists);

  spooler.InstallDriver(kDriver);
  ASSERT_EQ(spooler.AddQueue(Queue(L"Q", L"COM3:")), 0u);
  EXPECT_EQ(spooler.RemovePort(nullptr, L"COM3:"), err::kBusy);
  EXPECT_EQ(spooler.RemovePort(nullptr, L"COM9:"), err::kUnknownPort);
  EXPECT_EQ(spooler.RemovePort(nullptr, L"com4:"), err::kOk);
  EXPECT_EQ(spooler.ShowPortConfiguration(nullptr, L"COM4:"), err::kUnknownPort);
  EXPECT_EQ(spooler.ShowPortConfiguration(nullptr, L"com1:"), err::kOk);
  EXPECT_EQ(spooler.ConfiguredPorts(), std::vector<std::wstring>{L"COM1:"});
}

TEST_F(SimSpoolerTest, DefaultPrinterFollowsTheQueues) {
  spooler.InstallDriver(kDriver);
  EXPECT_EQ(spooler.SetDefaultQueue(L""), err::kInvalidPrinterName);
  ASSERT_EQ(spooler.AddQueue(Queue(L"B")), 0u);
  ASSERT_EQ(spooler.AddQueue(Queue(L"A")), 0u);
  EXPECT_EQ(spooler.SetDefaultQueue(L"missing"), err::kInvalidPrinterName);
  EXPECT_EQ(spooler.SetDefaultQueue(L"b"), err::kOk);
  EXPECT_EQ(spooler.DefaultPrinter(), L"B");
  EXPECT_EQ(spooler.SetDefaultQueue(L""), err::kOk);  // keeps the existing one
  EXPECT_EQ(spooler.DefaultPrinter(), L"B");
  ASSERT_EQ(spooler.DeleteQueue(L"B"), 0u);
  EXPECT_EQ(spooler.DefaultPrinter(), L"");
  EXPECT_EQ(spooler.SetDefaultQueue(L""), err::kOk);
  EXPECT_EQ(spooler.DefaultPrinter(), L"A");
}

TEST_F(SimSpoolerTest, InjectedFailuresHitOnlyTheirOperationAndRunOut) {
  spooler.InstallDriver(kDriver);
  machine.FailNext(Op::kAddQueue, err::kAccessDenied, 2);
  EXPECT_EQ(spooler.AddQueue(Queue(L"Q")), err::kAccessDenied);
  std::vector<PortInfo> ports;
  EXPECT_EQ(spooler.ListPorts(ports), 0u);
  EXPECT_EQ(spooler.AddQueue(Queue(L"Q")), err::kAccessDenied);
  EXPECT_EQ(spooler.AddQueue(Queue(L"Q")), err::kOk);
  EXPECT_EQ(machine.Calls(Op::kAddQueue), 3);
  EXPECT_EQ(machine.Calls(Op::kListPorts), 1);

  machine.FailNext(Op::kListPrinters, 1722);
  std::vector<PrinterInfo> list(2);
  EXPECT_EQ(spooler.ListPrinters(kEnumPrinterLocal, list), 1722u);
  EXPECT_TRUE(list.empty());
  machine.FailNext(Op::kDeleteDriverPackage, err::kAccessDenied);
  DynamicResult package = spooler.DeleteDriverPackage(L"x.inf");
  EXPECT_EQ(package.status, DynamicStatus::kCalled);
  EXPECT_EQ(package.error, err::kAccessDenied);
}

}  // namespace
}  // namespace platform::sim
