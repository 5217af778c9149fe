#include <cstdio>

#include "sim_platform.h"

namespace platform::sim {
namespace {

constexpr ErrorCode kDeviceNotConnected = 1167;
constexpr ErrorCode kNotAuthenticated = 1244;

// The instance id Windows gives the virtual COM port of a device's serial
// service: the address in upper case before the last "_".
std::wstring ComInstanceId(uint64_t address) {
  wchar_t hex[16];
  std::swprintf(hex, 16, L"%012llX", static_cast<unsigned long long>(address & 0xFFFFFFFFFFFFULL));
  return L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A5E1F7F&0&" +
         std::wstring(hex) + L"_C00000000";
}

}  // namespace

// No radio gives "no more items", as BluetoothFindFirstRadio does.
ErrorCode SimBluetooth::FindRadio() {
  if (auto injected = core_.calls.Enter(Op::kFindRadio)) return *injected;
  return radios_ > 0 ? err::kOk : err::kNoMoreItems;
}

// Returns the devices the flags ask for; an inquiry takes its full time.
ErrorCode SimBluetooth::SearchDevices(const BluetoothSearch& search, std::vector<BluetoothDevice>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kSearchDevices)) return *injected;
  if (radios_ == 0) return err::kNoMoreItems;
  if (search.issueInquiry) core_.clock.Advance(search.timeoutMultiplier * 1280u);
  for (const SimBluetoothDevice& device : remote_) {
    const BluetoothDevice& info = device.info;
    const bool known = info.authenticated || info.remembered;
    if ((search.returnAuthenticated && info.authenticated) ||
        (search.returnRemembered && info.remembered) ||
        (search.returnConnected && info.connected && device.inRange) ||
        (search.returnUnknown && !known && search.issueInquiry && device.inRange))
      out.push_back(info);
  }
  return out.empty() ? err::kNoMoreItems : err::kOk;
}

// A paired device answers "no more items"; a wrong or over-long passkey
// is refused. Passkeys are recorded as they were given.
ErrorCode SimBluetooth::Authenticate(const BluetoothDevice& device, const std::wstring& passkey) {
  if (auto injected = core_.calls.Enter(Op::kAuthenticate)) return *injected;
  const std::wstring& sent = passkey;
  passkeys_.push_back(sent);
  if (sent.size() > kMaxPasskeyChars) return err::kInvalidParameter;
  SimBluetoothDevice* found = FindDevice(device.address);
  if (!found || !found->inRange) return kDeviceNotConnected;
  if (found->info.authenticated) return err::kNoMoreItems;
  if (sent != found->pin) return kNotAuthenticated;
  found->info.authenticated = true;
  found->info.remembered = true;
  return err::kOk;
}

// Switching the serial service on makes its COM port appear.
DynamicResult SimBluetooth::SetServiceState(const BluetoothDevice& device, const Guid& service, bool enable) {
  if (auto injected = core_.calls.Enter(Op::kSetServiceState)) return {DynamicStatus::kCalled, *injected};
  if (!library_) return {DynamicStatus::kLibraryMissing, err::kModNotFound};
  SimBluetoothDevice* found = FindDevice(device.address);
  if (!found || !found->info.authenticated || service != guids::kSerialPortService || !found->offersSerial)
    return {DynamicStatus::kCalled, err::kInvalidParameter};
  if (enable && !found->serialEnabled && !found->comPort.empty()) {
    SimInterface port;
    port.interfaceClass = guids::kComPortInterface;
    port.instanceId = ComInstanceId(found->info.address);
    port.devicePath = L"\\\\?\\" + port.instanceId;
    port.portNameBytes = RegistryStringBytes(found->comPort);
    devices_.AddInterface(port);
  }
  found->serialEnabled = enable;
  return {DynamicStatus::kCalled, err::kOk};
}

// Registrations are recorded as they were given, so that tests see any
// text longer than the Windows record would hold.
DynamicResult SimBluetooth::SetLocalServiceInfo(const Guid& service, uint32_t instance,
                                                const LocalServiceInfo& info) {
  if (auto injected = core_.calls.Enter(Op::kSetLocalServiceInfo))
    return {DynamicStatus::kCalled, *injected};
  if (!library_) return {DynamicStatus::kLibraryMissing, err::kModNotFound};
  localServices_.push_back(SimLocalService{service, instance, info});
  return {DynamicStatus::kCalled, err::kOk};
}

// An adapter also appears as a present device of the Bluetooth setup class.
void SimBluetooth::AddRadio() {
  ++radios_;
  devices_.AddDevice(guids::kBluetoothSetupClass);
}

const SimBluetoothDevice* SimBluetooth::Device(uint64_t address) const {
  for (const SimBluetoothDevice& device : remote_)
    if (device.info.address == address) return &device;
  return nullptr;
}

// The device with this address, changeable.
SimBluetoothDevice* SimBluetooth::FindDevice(uint64_t address) {
  return const_cast<SimBluetoothDevice*>(static_cast<const SimBluetooth*>(this)->Device(address));
}

}  // namespace platform::sim
