// The parts of the Bluetooth install step on the simulated stack: the
// passkey, the serial service's retries, the COM port search with its
// waits, and how a COM port is matched to a device address.
#include "engine_fixture.h"

namespace {

using platform::sim::Op;
using platform::sim::SimBluetoothDevice;
using Lines = std::vector<std::wstring>;

const uint64_t kAddress = 0x00A1B2C3D4E5ULL;
const wchar_t kComInstancePrefix[] = L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A5E1F7F&0&";

class BluetoothStepTest : public EngineTest {
 protected:
  // A printer in range whose serial service brings up `com`, found by a
  // search and chosen in the list.
  void AddPrinter(const std::wstring& com = L"COM7", bool paired = false) {
    machine.bluetooth.AddRadio();
    SimBluetoothDevice device;
    device.info.address = kAddress;
    device.info.classOfDevice = 0x100680;
    device.info.name = L"A4 BT";
    device.info.authenticated = paired;
    device.pin = L"4826";
    device.comPort = com;
    machine.bluetooth.AddDevice(device);
    engine.ScanBluetoothDevices();
    ASSERT_EQ(engine.bluetoothDevices.size(), 1u);
    engine.bluetoothIndex = 0;
    engine.portType = SetupEngine::PortKindIndex(L"option_port_bluetooth");
    engine.modelId = 0;
    engine.printerName = L"BT printer";
    engine.setDefault = 0;
  }

  // A COM port interface as the device manager lists it.
  void AddComPort(const std::wstring& instanceId, const std::wstring& com, bool readable = true) {
    platform::sim::SimInterface port;
    port.interfaceClass = platform::guids::kComPortInterface;
    port.detailReadable = readable;
    port.instanceId = instanceId;
    port.devicePath = L"\\\\?\\" + instanceId;
    port.portNameBytes = platform::sim::RegistryStringBytes(com);
    machine.devices.AddInterface(port);
  }

  // The install log, error lines marked with "! ".
  Lines Log() {
    Lines lines;
    for (const LogLine& line : wnd->installLog) lines.push_back((line.isError ? L"! " : L"") + line.text);
    return lines;
  }

  uint64_t Slept() { return machine.core.clock.TotalSleptMs(); }
};

TEST_F(BluetoothStepTest, PairingCountsAlreadyPairedAndSendsAtMostSixteenCharacters) {
  AddPrinter(L"COM7", true);
  const platform::BluetoothDevice& device = engine.bluetoothDevices[0];
  EXPECT_TRUE(engine.PairBluetoothDevice(device, L"ABCDEFGHIJKLMNOPQRST"));
  EXPECT_EQ(machine.bluetooth.LastPasskeys().back(), L"ABCDEFGHIJKLMNOP");
  // A character of two UTF-16 units across the limit is left out whole.
  const std::wstring pair = {wchar_t(0xD83D), wchar_t(0xDE00)};
  EXPECT_TRUE(engine.PairBluetoothDevice(device, std::wstring(15, L'7') + pair));
  EXPECT_EQ(machine.bluetooth.LastPasskeys().back(), std::wstring(15, L'7'));
  machine.FailNext(Op::kAuthenticate, 1167);
  EXPECT_FALSE(engine.PairBluetoothDevice(device, L"4826"));
}

TEST_F(BluetoothStepTest, ServiceRecordTextIsCutToTheWindowsRecord) {
  AddPrinter();
  engine.RegisterSppService(L"COM" + std::wstring(300, L'9'), engine.bluetoothDevices[0]);
  ASSERT_EQ(machine.bluetooth.LocalServices().size(), 1u);
  EXPECT_EQ(machine.bluetooth.LocalServices()[0].info.deviceString, L"COM" + std::wstring(252, L'9'));
}

TEST_F(BluetoothStepTest, ComPortIsLookedFor41TimesAQuarterSecondApart) {
  AddPrinter(L"");  // the serial service never brings up a port
  const uint64_t before = Slept();
  EXPECT_FALSE(engine.PrepareBluetoothPort());
  EXPECT_EQ(machine.Calls(Op::kEnumInterfaces), 41);
  EXPECT_EQ(Slept() - before, 41u * 250);
  EXPECT_EQ(Log().back(), L"! " + Text(L"tip.getbluetoothserialportfail"));
  EXPECT_EQ(engine.portName, L"");

  // A port that shows up late is taken as soon as it is there.
  wnd->installLog.clear();
  machine.FailNext(Op::kEnumInterfaces, platform::err::kInvalidData, 6);
  AddComPort(std::wstring(kComInstancePrefix) + L"00A1B2C3D4E5_C00000000", L"COM4");
  const uint64_t again = Slept();
  EXPECT_TRUE(engine.PrepareBluetoothPort());
  EXPECT_EQ(Slept() - again, 6u * 250);
  EXPECT_EQ(engine.portName, L"COM4:");
}

TEST_F(BluetoothStepTest, SerialServiceIsSwitchedOnWithRetriesThatNeverStopTheRun) {
  AddPrinter();
  const platform::BluetoothDevice device = engine.bluetoothDevices[0];
  ASSERT_TRUE(engine.PairBluetoothDevice(device, L"4826"));

  // A busy stack: 41 attempts with a quarter second between them.
  machine.FailNext(Op::kSetServiceState, 1167, 41);
  uint64_t before = Slept();
  engine.EnableSerialService(device);
  EXPECT_EQ(machine.Calls(Op::kSetServiceState), 41);
  EXPECT_EQ(Slept() - before, 40u * 250);

  // "Invalid parameter" ends the attempts at once, like success.
  machine.FailNext(Op::kSetServiceState, platform::err::kInvalidParameter);
  before = Slept();
  engine.EnableSerialService(device);
  EXPECT_EQ(machine.Calls(Op::kSetServiceState), 42);
  EXPECT_EQ(Slept(), before);

  // Without the service library nothing is switched on or registered, and
  // a port that exists from an earlier pairing is still used.
  machine.bluetooth.SetLibraryAvailable(false);
  AddComPort(std::wstring(kComInstancePrefix) + L"00A1B2C3D4E5_C00000000", L"COM5");
  EXPECT_TRUE(engine.PrepareBluetoothPort());
  EXPECT_EQ(machine.Calls(Op::kSetServiceState), 43);
  EXPECT_EQ(engine.portName, L"COM5:");
  EXPECT_TRUE(machine.bluetooth.LocalServices().empty());
}

TEST_F(BluetoothStepTest, ComPortMatchesTheLastTwelveCharactersBeforeTheFinalUnderscore) {
  const std::wstring prefix = kComInstancePrefix;
  AddComPort(prefix + L"001122334455_C00000000", L"COM3");    // another device
  AddComPort(prefix + L"00A1B2C3D4E5", L"COM8");              // address after the final "_"
  AddComPort(L"SHORT_B2C3D4E5_C0", L"COM10");                 // too short to hold an address
  AddComPort(prefix + L"X00a1B2c3D4e5Y_C00000000", L"COM11");  // address not at the end
  AddComPort(prefix + L"00A1B2C3D4E5_C00000000", L"COM9");    // ours, in upper case
  std::wstring com;
  ASSERT_TRUE(engine.FindBluetoothComPort(SetupEngine::FormatBluetoothAddress(kAddress, false), com));
  EXPECT_EQ(com, L"COM9");
  EXPECT_TRUE(engine.FindBluetoothComPort(L"00A1B2C3D4E5", com));

  machine.FailNext(Op::kEnumInterfaces, platform::err::kAccessDenied);
  EXPECT_FALSE(engine.FindBluetoothComPort(L"00a1b2c3d4e5", com));
}

TEST_F(BluetoothStepTest, UnreadableComPortEndsTheSearch) {
  AddComPort(kComInstancePrefix + std::wstring(L"001122334455_C00000000"), L"COM3", false);
  AddComPort(kComInstancePrefix + std::wstring(L"00A1B2C3D4E5_C00000000"), L"COM9");
  std::wstring com;
  EXPECT_FALSE(engine.FindBluetoothComPort(L"00a1b2c3d4e5", com));
}

TEST_F(BluetoothStepTest, MatchingPortWithoutAReadableNameIsPassedOver) {
  // A queue on ":" would be useless; the next matching port is taken.
  platform::sim::SimInterface nameless;
  nameless.interfaceClass = platform::guids::kComPortInterface;
  nameless.instanceId = kComInstancePrefix + std::wstring(L"00A1B2C3D4E5_C00000000");
  nameless.devicePath = L"\\\\?\\" + nameless.instanceId;
  machine.devices.AddInterface(nameless);
  AddComPort(kComInstancePrefix + std::wstring(L"00A1B2C3D4E5_C00000001"), L"COM9");
  std::wstring com;
  ASSERT_TRUE(engine.FindBluetoothComPort(L"00a1b2c3d4e5", com));
  EXPECT_EQ(com, L"COM9");
}

TEST_F(BluetoothStepTest, AFailedSearchLeavesNoDevicesOfAnEarlierOne) {
  AddPrinter();
  machine.FailNext(Op::kSearchDevices, 259);
  engine.ScanBluetoothDevices();
  EXPECT_TRUE(engine.bluetoothDevices.empty());
}

}  // namespace
