// Bluetooth printers: the adapter check, the device search, and the
// install step that pairs the printer and finds the COM port of its
// serial service.
#include "engine/setup_engine.h"

#include "engine_text.h"

#include <algorithm>
#include <cwchar>

namespace {

// Imaging/printer with the rendering or object-transfer bit, and uncategorised.
const uint32_t kAcceptedClasses[] = {0x001F1F, 0x040680, 0x100680};
const int kAttempts = 41;
const uint32_t kRetryMs = 250;
const wchar_t kLocalServiceName[] = L"SPP slave";
static_assert(sizeof kLocalServiceName / sizeof(wchar_t) - 1 <= platform::kMaxServiceTextChars,
              "the service name fits the Windows record");

}  // namespace

// Whether any present device belongs to the Bluetooth setup class.
bool SetupEngine::HasBluetoothAdapterDevice() {
  std::vector<platform::Guid> classes;
  if (platform_.devices.PresentDeviceClasses(classes) != platform::err::kOk) return false;
  return std::find(classes.begin(), classes.end(), platform::guids::kBluetoothSetupClass) != classes.end();
}

// Shows the adapter's state in the adapter row; true when a radio is usable.
bool SetupEngine::CheckBluetoothAdapter(bool showMessage) {
  TUiMsgParam record;
  // The row's label translates the key itself, so it follows language changes.
  record.text = L"tip.btadapter.none";
  if (HasBluetoothAdapterDevice()) {
    if (platform_.bluetooth.FindRadio() == platform::err::kOk) {
      record.text = L"tip.btadapter.on";
      Send(UIMSG_BLUETOOTH_ADAPTER, 1, &record);
      return true;
    }
    record.text = L"tip.btadapter.off";
  }
  Send(UIMSG_BLUETOOTH_ADAPTER, 1, &record);
  if (showMessage) Box(engine_text::Text(L"tip.btadapter.pleasechecked"), MB_ICONINFORMATION);
  return false;
}

// Named devices of the printer classes, in the order the search gives them.
void SetupEngine::ScanBluetoothDevices() {
  bluetoothDevices.clear();
  platform::BluetoothSearch search;
  search.returnAuthenticated = search.returnRemembered = search.returnUnknown = search.returnConnected = true;
  search.issueInquiry = true;
  search.timeoutMultiplier = 10;
  std::vector<platform::BluetoothDevice> found;
  if (platform_.bluetooth.SearchDevices(search, found) != platform::err::kOk) return;
  for (const platform::BluetoothDevice& device : found) {
    if (device.name.empty()) continue;
    if (std::find(std::begin(kAcceptedClasses), std::end(kAcceptedClasses), device.classOfDevice) ==
        std::end(kAcceptedClasses))
      continue;
    bluetoothDevices.push_back(device);
  }
}

// Twelve hexadecimal digits, most significant byte first.
std::wstring SetupEngine::FormatBluetoothAddress(uint64_t address, bool upperCase) {
  wchar_t text[16];
  std::swprintf(text, 16, upperCase ? L"%012llX" : L"%012llx",
                static_cast<unsigned long long>(address & 0xFFFFFFFFFFFFULL));
  return text;
}

// A device that is already paired answers "no more items". Windows refuses
// a passkey longer than it takes, so a longer one is cut to that size.
bool SetupEngine::PairBluetoothDevice(const platform::BluetoothDevice& device, const std::wstring& passkey) {
  const platform::ErrorCode result =
      platform_.bluetooth.Authenticate(device, engine_text::Cut(passkey, platform::kMaxPasskeyChars));
  return result == platform::err::kOk || result == platform::err::kNoMoreItems;
}

// The COM port whose instance id ends, before its last "_", in the address.
bool SetupEngine::FindBluetoothComPort(const std::wstring& addressText, std::wstring& comName) {
  std::vector<platform::DeviceInterfaceRecord> records;
  if (platform_.devices.EnumInterfaces(platform::guids::kComPortInterface, records) != platform::err::kOk)
    return false;
  const std::wstring wanted = engine_text::Lower(addressText);
  for (const platform::DeviceInterfaceRecord& record : records) {
    if (!record.detailRead) return false;
    const size_t last = record.instanceId.rfind(L'_');
    if (last == std::wstring::npos) continue;
    const size_t before = last == 0 ? std::wstring::npos : record.instanceId.rfind(L'_', last - 1);
    const size_t start = before == std::wstring::npos ? 0 : before + 1;
    const std::wstring part = record.instanceId.substr(start, last - start);
    if (part.size() < 12 || engine_text::Lower(part.substr(part.size() - 12)) != wanted) continue;
    // A port whose name cannot be read is no use to a queue.
    if (!record.portName || record.portName->empty()) continue;
    comName = *record.portName;
    return true;
  }
  return false;
}

// Registers the local serial service under the COM port's name, cut to
// what the Windows record holds.
void SetupEngine::RegisterSppService(const std::wstring& comName, const platform::BluetoothDevice& device) {
  platform::LocalServiceInfo info;
  info.enabled = true;
  info.address = device.address;
  info.name = kLocalServiceName;
  info.deviceString = engine_text::Cut(comName, platform::kMaxServiceTextChars);
  platform_.bluetooth.SetLocalServiceInfo(platform::guids::kSerialPortService, 1, info);
}

// Switches the device's serial service on, retrying while the stack is busy.
void SetupEngine::EnableSerialService(const platform::BluetoothDevice& device) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const platform::DynamicResult result =
        platform_.bluetooth.SetServiceState(device, platform::guids::kSerialPortService, true);
    if (result.status != platform::DynamicStatus::kCalled) return;
    if (result.error == platform::err::kOk || result.error == platform::err::kInvalidParameter) return;
    if (attempt + 1 < kAttempts) platform_.clock.SleepMs(kRetryMs);
  }
}

// The Bluetooth step of the install run: pair, switch the serial service
// on, and take its COM port as the queue's port.
bool SetupEngine::PrepareBluetoothPort() {
  LogInstallKey(L"tip.startpairbluetooth", {});
  if (bluetoothIndex < 0 || bluetoothIndex >= static_cast<int>(bluetoothDevices.size())) return false;
  const platform::BluetoothDevice device = bluetoothDevices[static_cast<size_t>(bluetoothIndex)];
  if (!PairBluetoothDevice(device, pin)) {
    LogInstallKey(L"tip.pairbluetoothfailpinis", {pin}, true);
    return false;
  }
  LogInstallKey(L"tip.pairbluetoothsuccess", {});
  EnableSerialService(device);

  const std::wstring address = FormatBluetoothAddress(device.address, false);
  std::wstring com;
  bool found = false;
  for (int attempt = 0; attempt < kAttempts && !found; ++attempt) {
    found = FindBluetoothComPort(address, com);
    if (!found) platform_.clock.SleepMs(kRetryMs);
  }
  if (!found) {
    LogInstallKey(L"tip.getbluetoothserialportfail", {}, true);
    return false;
  }
  portName = com + L":";
  if (!PortExists(portName)) RegisterSppService(com, device);
  LogInstallKey(L"tip.readbluetoothserialport", {portName});
  return true;
}
