#include <gtest/gtest.h>

#include "sim_platform.h"

namespace platform::sim {
namespace {

class SimMachineTest : public ::testing::Test {
 protected:
  // Opens "Spooler" with the given rights; both handles stay open.
  ServiceHandle OpenSpooler(uint32_t access) {
    ServiceHandle manager = 0, service = 0;
    EXPECT_EQ(machine.services.OpenManager(kManagerAllAccess, manager), 0u);
    EXPECT_EQ(machine.services.OpenServiceByName(manager, L"spooler", access, service), 0u);
    return service;
  }

  SimPlatform machine;
};

TEST_F(SimMachineTest, ClockMovesOnlyBySleepingAndWrapsLikeTheTickCount) {
  Clock& clock = machine.View().clock;
  const uint32_t start = clock.NowMs();
  const uint64_t fileTime = clock.SystemFileTime();
  clock.SleepMs(250);
  EXPECT_EQ(clock.NowMs() - start, 250u);
  EXPECT_EQ(clock.SystemFileTime() - fileTime, 2500000u);
  machine.core.clock.SetNow(0xFFFFFF00u);
  const uint32_t before = clock.NowMs();
  clock.SleepMs(0x200);
  EXPECT_LT(clock.NowMs(), before);
  EXPECT_EQ(clock.NowMs() - before, 0x200u);
}

TEST_F(SimMachineTest, SpoolerStopsAndStartsThroughPendingStates) {
  SimServices& services = machine.services;
  services.ServiceConfig(L"Spooler").stopDelayMs = 1200;
  const ServiceHandle spooler = OpenSpooler(kServiceAllAccess);
  ServiceStatus status;
  ASSERT_EQ(services.Start(spooler), err::kServiceAlreadyRunning);
  ASSERT_EQ(services.Stop(spooler, status), 0u);
  EXPECT_EQ(status.state, kServiceStopPending);
  EXPECT_EQ(status.waitHint, 2000u);
  EXPECT_EQ(status.checkPoint, 1u);
  EXPECT_EQ(services.Stop(spooler, status), err::kServiceCannotAcceptControl);
  machine.core.clock.Advance(600);
  ASSERT_EQ(services.QueryStatus(spooler, status), 0u);
  EXPECT_EQ(status.state, kServiceStopPending);
  EXPECT_EQ(status.checkPoint, 2u);
  machine.core.clock.Advance(600);
  ASSERT_EQ(services.QueryStatus(spooler, status), 0u);
  EXPECT_EQ(status.state, kServiceStopped);
  EXPECT_EQ(status.waitHint, 0u);
  EXPECT_EQ(services.Stop(spooler, status), err::kServiceNotActive);

  ASSERT_EQ(services.Start(spooler), 0u);
  ASSERT_EQ(services.QueryStatus(spooler, status), 0u);
  EXPECT_EQ(status.state, kServiceStartPending);
  machine.core.clock.Advance(300);
  EXPECT_EQ(services.State(L"Spooler"), kServiceRunning);
}

TEST_F(SimMachineTest, ServiceRightsHandlesAndNames) {
  SimServices& services = machine.services;
  ServiceHandle manager = 0, service = 0;
  ASSERT_EQ(services.OpenManager(kManagerAllAccess, manager), 0u);
  EXPECT_EQ(services.OpenServiceByName(manager, L"NoSuchService", kServiceAllAccess, service), err::kServiceDoesNotExist);
  EXPECT_EQ(services.OpenServiceByName(12345, L"Spooler", kServiceAllAccess, service), err::kInvalidHandle);
  ASSERT_EQ(services.OpenServiceByName(manager, L"Spooler", kServiceQueryStatus, service), 0u);
  ServiceStatus status;
  EXPECT_EQ(services.Stop(service, status), err::kAccessDenied);
  EXPECT_EQ(services.Start(service), err::kAccessDenied);
  std::vector<DependentService> dependents;
  EXPECT_EQ(services.EnumActiveDependents(service, dependents), err::kAccessDenied);
  EXPECT_EQ(services.QueryStatus(manager, status), err::kInvalidHandle);
  EXPECT_EQ(services.OpenHandles(), 2u);
  services.Close(service);
  services.Close(manager);
  EXPECT_EQ(services.OpenHandles(), 0u);
  EXPECT_EQ(services.QueryStatus(service, status), err::kInvalidHandle);
}

TEST_F(SimMachineTest, ActiveDependentsBlockTheStop) {
  SimServices& services = machine.services;
  SimServices::Config fax;
  fax.displayName = L"Fax";
  fax.dependsOn = {L"SPOOLER"};
  services.AddService(L"Fax", fax);
  SimServices::Config idle;
  idle.state = kServiceStopped;
  idle.dependsOn = {L"Spooler"};
  services.AddService(L"Idle", idle);

  const ServiceHandle spooler = OpenSpooler(kServiceAllAccess);
  std::vector<DependentService> dependents;
  ASSERT_EQ(services.EnumActiveDependents(spooler, dependents), 0u);
  ASSERT_EQ(dependents.size(), 1u);
  EXPECT_EQ(dependents[0].name, L"Fax");
  EXPECT_EQ(dependents[0].status.state, kServiceRunning);
  ServiceStatus status;
  EXPECT_EQ(services.Stop(spooler, status), err::kDependentServicesRunning);

  services.ServiceConfig(L"Fax").stopDelayMs = 0;
  ServiceHandle manager = 0, faxHandle = 0;
  ASSERT_EQ(services.OpenManager(kManagerAllAccess, manager), 0u);
  ASSERT_EQ(services.OpenServiceByName(manager, L"Fax", kServiceStop | kServiceQueryStatus, faxHandle), 0u);
  ASSERT_EQ(services.Stop(faxHandle, status), 0u);
  EXPECT_EQ(status.state, kServiceStopped);
  EXPECT_EQ(services.Stop(spooler, status), 0u);
}

TEST_F(SimMachineTest, HungServiceStaysPendingForever) {
  machine.services.ServiceConfig(L"Spooler").stopDelayMs = SimServices::kForever;
  const ServiceHandle spooler = OpenSpooler(kServiceAllAccess);
  ServiceStatus status;
  ASSERT_EQ(machine.services.Stop(spooler, status), 0u);
  machine.core.clock.Advance(3600 * 1000);
  EXPECT_EQ(machine.services.State(L"Spooler"), kServiceStopPending);
}

TEST_F(SimMachineTest, UsbInterfacesEndAtTheFirstUnreadableDetail) {
  SimDevices& devices = machine.devices;
  SimInterface good;
  good.interfaceClass = guids::kUsbPrintInterface;
  good.devicePath = L"\\\\?\\usb#vid_1a2b&pid_3c4d#0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  good.instanceId = L"USB\\VID_1A2B&PID_3C4D\\0001";
  good.description = L"USB Printing Support";
  good.hardwareId = L"USB\\VID_1A2B&PID_3C4D&REV_0100";
  SimInterface longName = good;
  longName.instanceId = L"USB\\VID_1A2B&PID_3C4D\\0002";
  longName.description = std::wstring(259, L'd');  // 520 bytes with the terminator: fits
  longName.hardwareId = std::wstring(260, L'h');   // 522 bytes: does not
  SimInterface broken;
  broken.interfaceClass = guids::kUsbPrintInterface;
  broken.detailReadable = false;
  SimInterface comPort;
  comPort.interfaceClass = guids::kComPortInterface;
  devices.AddInterface(good);
  devices.AddInterface(comPort);
  devices.AddInterface(longName);
  devices.AddInterface(broken);
  devices.AddInterface(good);

  std::vector<DeviceInterfaceRecord> list;
  ASSERT_EQ(devices.EnumInterfaces(guids::kUsbPrintInterface, list), 0u);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_TRUE(list[0].detailRead);
  EXPECT_EQ(list[0].instanceId, good.instanceId);
  EXPECT_EQ(list[0].description, good.description);
  EXPECT_TRUE(list[1].description.has_value());
  EXPECT_FALSE(list[1].hardwareId.has_value());
  EXPECT_FALSE(list[2].detailRead);
}

TEST_F(SimMachineTest, PluggedUsbPrinterIsFoundWhereWindowsKeepsIt) {
  const std::wstring path = machine.PlugUsbPrinter(L"USB\\VID_1A2B&PID_3C4D\\0001", 3);
  std::vector<DeviceInterfaceRecord> list;
  ASSERT_EQ(machine.devices.EnumInterfaces(guids::kUsbPrintInterface, list), 0u);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].devicePath, path);
  EXPECT_EQ(list[0].instanceId, L"USB\\VID_1A2B&PID_3C4D\\0001");
  uint32_t number = 0;
  EXPECT_EQ(machine.registry.ReadDword(
                L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\"
                L"##?#USB#VID_1A2B&PID_3C4D#0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters",
                L"Port Number", number),
            0u);
  EXPECT_EQ(number, 3u);
  std::vector<PortInfo> ports;
  ASSERT_EQ(machine.spooler.ListPorts(ports), 0u);
  EXPECT_EQ(ports.back().name, L"USB003");
  EXPECT_EQ(ports.back().monitor, L"USB Monitor");
  uint32_t written = 0;
  EXPECT_EQ(machine.files.WriteDevice(path, {0x1B, 0x4A, 0x78}, 1000, written), 0u);
  EXPECT_EQ(written, 3u);
}

TEST_F(SimMachineTest, ComPortNamesAreBoundedAndTerminated) {
  SimInterface port;
  port.interfaceClass = guids::kComPortInterface;
  port.portNameBytes = std::vector<uint8_t>{'C', 0, 'O', 0, 'M', 0, '5', 0};  // no terminator
  machine.devices.AddInterface(port);
  port.portNameBytes = std::vector<uint8_t>(256, 'A');  // beyond 255 bytes
  machine.devices.AddInterface(port);
  port.portNameBytes = std::vector<uint8_t>(255, 0x41);  // 127 units and a stray byte
  machine.devices.AddInterface(port);
  std::vector<DeviceInterfaceRecord> list;
  ASSERT_EQ(machine.devices.EnumInterfaces(guids::kComPortInterface, list), 0u);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].portName, std::wstring(L"COM5"));
  EXPECT_FALSE(list[1].portName.has_value());
  EXPECT_EQ(list[2].portName->size(), 127u);
}

TEST_F(SimMachineTest, RegistryReadsCheckPresenceTypeAndSize) {
  SimRegistry& registry = machine.registry;
  const std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\x\\#\\Device Parameters";
  registry.SetDword(key, L"Port Number", 3);
  registry.SetString(key, L"Name", L"text");
  registry.SetRaw(key, L"Wide", SimRegistry::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0});
  registry.SetRaw(key, L"Bare", SimRegistry::kRegSz, {'C', 0, 'O', 0, 'M', 0, '8', 0});
  uint32_t number = 0;
  EXPECT_EQ(registry.ReadDword(key, L"port number", number), 0u);
  EXPECT_EQ(number, 3u);
  EXPECT_EQ(registry.ReadDword(key, L"Missing", number), err::kFileNotFound);
  EXPECT_EQ(registry.ReadDword(key + L"x", L"Port Number", number), err::kFileNotFound);
  EXPECT_EQ(registry.ReadDword(key, L"Wide", number), err::kMoreData);
  EXPECT_EQ(registry.ReadDword(key, L"Name", number), err::kMoreData);
  std::wstring text;
  EXPECT_EQ(registry.ReadString(key, L"Port Number", 255, text), err::kInvalidData);
  EXPECT_EQ(registry.ReadString(key, L"Bare", 255, text), 0u);
  EXPECT_EQ(text, L"COM8");
  EXPECT_EQ(registry.ReadString(key, L"Bare", 7, text), err::kMoreData);
}

TEST_F(SimMachineTest, FilesBehaveLikeTheWindowsFileSystem) {
  Files& files = machine.files;
  EXPECT_EQ(files.CreateDir(L"C:\\Program Files\\Drevon\\DorvaPlovex"), err::kPathNotFound);
  EXPECT_EQ(files.CreateDir(L"C:\\Program Files\\Drevon"), 0u);
  EXPECT_EQ(files.CreateDir(L"c:/program files/drevon/"), err::kAlreadyExists);
  uint32_t attributes = 0;
  EXPECT_EQ(files.GetAttributes(L"C:\\Program Files\\Drevon\\a.dll", attributes), err::kFileNotFound);
  EXPECT_EQ(files.GetAttributes(L"C:\\Nowhere\\a.dll", attributes), err::kPathNotFound);
  EXPECT_EQ(files.WriteWholeFile(L"C:\\Nowhere\\a.dll", {1}), err::kPathNotFound);
  EXPECT_EQ(files.WriteWholeFile(L"C:\\Program Files\\Drevon", {1}), err::kAccessDenied);
  EXPECT_EQ(files.WriteWholeFile(L"C:\\Program Files\\Drevon\\a.dll", {1, 2}), 0u);
  EXPECT_EQ(files.GetAttributes(L"C:\\PROGRAM FILES\\Drevon\\A.DLL", attributes), 0u);
  EXPECT_EQ(attributes, kAttributeNormal);
  machine.files.SetLocked(L"C:\\Program Files\\Drevon\\a.dll", true);
  EXPECT_EQ(files.WriteWholeFile(L"C:\\Program Files\\Drevon\\a.dll", {3}), err::kSharingViolation);
  EXPECT_EQ(machine.files.Read(L"C:\\Program Files\\Drevon\\a.dll"), (std::vector<uint8_t>{1, 2}));
}

TEST_F(SimMachineTest, DeviceWritesCompleteOrTimeOut) {
  Files& files = machine.files;
  machine.files.AddDevice(L"\\\\?\\usb#printer1");
  machine.files.AddDevice(L"\\\\?\\usb#asleep", false);
  uint32_t written = 99;
  EXPECT_EQ(files.WriteDevice(L"\\\\?\\usb#missing", {1}, 1000, written), err::kFileNotFound);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(files.WriteDevice(L"\\\\?\\usb#printer1", {1, 2, 3}, 1000, written), 0u);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(machine.files.DeviceBytes(L"\\\\?\\usb#printer1"), (std::vector<uint8_t>{1, 2, 3}));
  const uint32_t start = machine.core.clock.NowMs();
  EXPECT_NE(files.WriteDevice(L"\\\\?\\usb#asleep", {1}, 1000, written), 0u);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(machine.core.clock.NowMs() - start, 1000u);
}

TEST_F(SimMachineTest, ProbeAcceptsRefusesOrWaitsOut) {
  Network& network = machine.network;
  machine.network.SetPeer("192.168.1.100", 9100, SimNetwork::Peer::kAccepts);
  machine.network.SetPeer("192.168.1.101", 9100, SimNetwork::Peer::kRefuses);
  const uint32_t start = machine.core.clock.NowMs();
  EXPECT_TRUE(network.ProbeTcp("192.168.1.100", 9100, 1000).connected);
  ProbeResult refused = network.ProbeTcp("192.168.1.101", 9100, 1000);
  EXPECT_FALSE(refused.connected);
  EXPECT_EQ(refused.error, err::kWsaConnectionRefused);
  EXPECT_EQ(machine.core.clock.NowMs(), start);
  ProbeResult silent = network.ProbeTcp("192.168.1.100", 9101, 1000);
  EXPECT_FALSE(silent.connected);
  EXPECT_EQ(silent.error, err::kWsaTimedOut);
  EXPECT_EQ(machine.core.clock.NowMs() - start, 1000u);
}

TEST_F(SimMachineTest, BluetoothPairingAndSerialService) {
  SimBluetooth& bt = machine.bluetooth;
  std::vector<BluetoothDevice> found;
  EXPECT_EQ(bt.FindRadio(), err::kNoMoreItems);
  std::vector<Guid> classes;
  ASSERT_EQ(machine.devices.PresentDeviceClasses(classes), 0u);
  EXPECT_TRUE(classes.empty());

  bt.AddRadio();
  SimBluetoothDevice printer;
  printer.info.address = 0x00158300428FULL;
  printer.info.classOfDevice = 0x040680;
  printer.info.name = L"A4 Printer";
  printer.pin = L"4826";
  printer.comPort = L"COM7";
  SimBluetoothDevice away = printer;
  away.info.address = 0x1;
  away.inRange = false;
  bt.AddDevice(printer);
  bt.AddDevice(away);
  EXPECT_EQ(bt.FindRadio(), 0u);
  ASSERT_EQ(machine.devices.PresentDeviceClasses(classes), 0u);
  EXPECT_EQ(classes, std::vector<Guid>{guids::kBluetoothSetupClass});

  const uint32_t start = machine.core.clock.NowMs();
  ASSERT_EQ(bt.SearchDevices(BluetoothSearch{}, found), 0u);
  EXPECT_EQ(machine.core.clock.NowMs() - start, 12800u);
  ASSERT_EQ(found.size(), 1u);  // the device out of range is not found
  EXPECT_EQ(found[0].name, L"A4 Printer");

  EXPECT_EQ(bt.Authenticate(found[0], L"0000"), 1244u);
  EXPECT_EQ(bt.Authenticate(found[0], L"4826"), 0u);
  EXPECT_EQ(bt.Authenticate(found[0], L"4826"), err::kNoMoreItems);  // already paired
  EXPECT_EQ(bt.Authenticate(found[0], std::wstring(17, L'9')), err::kInvalidParameter);
  EXPECT_EQ(bt.LastPasskeys().back(), std::wstring(17, L'9'));

  DynamicResult on = bt.SetServiceState(found[0], guids::kSerialPortService, true);
  EXPECT_EQ(on.status, DynamicStatus::kCalled);
  EXPECT_EQ(on.error, 0u);
  std::vector<DeviceInterfaceRecord> ports;
  ASSERT_EQ(machine.devices.EnumInterfaces(guids::kComPortInterface, ports), 0u);
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].portName, std::wstring(L"COM7"));
  const std::wstring id = ports[0].instanceId;
  const std::wstring beforeLast = id.substr(0, id.rfind(L'_'));
  EXPECT_EQ(beforeLast.substr(beforeLast.size() - 12), L"00158300428F");

  bt.SetLibraryAvailable(false);
  EXPECT_EQ(bt.SetServiceState(found[0], guids::kSerialPortService, true).status, DynamicStatus::kLibraryMissing);
  EXPECT_EQ(bt.SetLocalServiceInfo(guids::kSerialPortService, 1, {}).status, DynamicStatus::kLibraryMissing);
  EXPECT_TRUE(bt.LocalServices().empty());
}

TEST_F(SimMachineTest, InjectedFailuresRepeatForTheirCount) {
  SimBluetooth& bt = machine.bluetooth;
  bt.AddRadio();
  SimBluetoothDevice printer;
  printer.info.address = 0x2;
  printer.info.authenticated = true;
  bt.AddDevice(printer);
  machine.FailNext(Op::kSetServiceState, 1168, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bt.SetServiceState(printer.info, guids::kSerialPortService, true).error, 1168u);
  EXPECT_EQ(bt.SetServiceState(printer.info, guids::kSerialPortService, true).error, 0u);
  EXPECT_EQ(machine.Calls(Op::kSetServiceState), 4);
}

TEST_F(SimMachineTest, ErrorMessagesFallBackToTheNeutralText) {
  System& system = machine.system;
  machine.system.SetMessage(err::kUnknownPort, 0x0411, L"指定されたポートは不明です。");
  EXPECT_EQ(system.ErrorMessage(err::kUnknownPort, 0x0411), L"指定されたポートは不明です。");
  EXPECT_EQ(system.ErrorMessage(err::kUnknownPort, 0x0407), L"The specified port is unknown.");
  EXPECT_EQ(system.ErrorMessage(987654, 0x0409), L"");
  EXPECT_EQ(system.ToAnsi(L"Port \x4E2D USB001"), "Port ? USB001");
}

}  // namespace
}  // namespace platform::sim
