#include <windows.h>
#include <bluetoothapis.h>

#include <algorithm>

#include "win32_platform.h"
#include "win32_util.h"

namespace platform::win32 {
namespace {

// Every Bluetooth function is looked up at run time: Wine lacks some of them
// and an import of a missing one would abort the program when called.
const wchar_t kLibrary[] = L"bthprops.cpl";
constexpr ULONG kServiceEnable = 0x01;  // BLUETOOTH_SERVICE_ENABLE, missing from the cross headers

// Not declared by the cross headers.
using AuthenticateDevice = DWORD(WINAPI*)(HWND, HANDLE, BLUETOOTH_DEVICE_INFO*, PWSTR, ULONG);

static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == 560, "BLUETOOTH_DEVICE_INFO has the size Windows expects");
static_assert(BLUETOOTH_MAX_SERVICE_NAME_SIZE == kMaxServiceTextChars + 1, "the engine cuts service texts to the record");
static_assert(BTH_MAX_PIN_SIZE == kMaxPasskeyChars, "the engine cuts passkeys to what Windows takes");

// Bounded copy into a fixed WCHAR field, always terminated.
template <size_t N>
void PutText(WCHAR (&field)[N], const std::wstring& text) {
  const size_t count = std::min(text.size(), N - 1);
  std::copy(text.begin(), text.begin() + count, field);
  field[count] = 0;
}

// The Windows record of a device, its size field set.
BLUETOOTH_DEVICE_INFO ToRecord(const BluetoothDevice& device) {
  BLUETOOTH_DEVICE_INFO info = {};
  info.dwSize = sizeof info;
  info.Address.ullLong = device.address;
  info.ulClassofDevice = device.classOfDevice;
  info.fConnected = device.connected;
  info.fRemembered = device.remembered;
  info.fAuthenticated = device.authenticated;
  PutText(info.szName, device.name);
  return info;
}

// A device from its Windows record; the name read only within its field.
BluetoothDevice FromRecord(const BLUETOOTH_DEVICE_INFO& info) {
  BluetoothDevice device;
  device.address = info.Address.ullLong & 0xFFFFFFFFFFFFULL;
  device.classOfDevice = info.ulClassofDevice;
  device.connected = info.fConnected != FALSE;
  device.remembered = info.fRemembered != FALSE;
  device.authenticated = info.fAuthenticated != FALSE;
  device.name.assign(info.szName, wcsnlen(info.szName, BLUETOOTH_MAX_NAME_SIZE));
  return device;
}

}  // namespace

// The radio's own handle is closed along with the search.
ErrorCode Win32Bluetooth::FindRadio() {
  Library library(kLibrary);
  if (!library.Loaded()) return GetLastError();
  auto findFirst = library.Entry<decltype(&BluetoothFindFirstRadio)>("BluetoothFindFirstRadio");
  auto findClose = library.Entry<decltype(&BluetoothFindRadioClose)>("BluetoothFindRadioClose");
  if (!findFirst || !findClose) return ERROR_PROC_NOT_FOUND;
  BLUETOOTH_FIND_RADIO_PARAMS params = {sizeof params};
  HANDLE radio = nullptr;
  HBLUETOOTH_RADIO_FIND search = findFirst(&params, &radio);
  if (!search) return GetLastError();
  if (radio) CloseHandle(radio);
  findClose(search);
  return err::kOk;
}

// BluetoothFindFirstDevice and ...NextDevice until the list ends.
ErrorCode Win32Bluetooth::SearchDevices(const BluetoothSearch& search, std::vector<BluetoothDevice>& out) {
  out.clear();
  Library library(kLibrary);
  if (!library.Loaded()) return GetLastError();
  auto findFirst = library.Entry<decltype(&BluetoothFindFirstDevice)>("BluetoothFindFirstDevice");
  auto findNext = library.Entry<decltype(&BluetoothFindNextDevice)>("BluetoothFindNextDevice");
  auto findClose = library.Entry<decltype(&BluetoothFindDeviceClose)>("BluetoothFindDeviceClose");
  if (!findFirst || !findNext || !findClose) return ERROR_PROC_NOT_FOUND;
  BLUETOOTH_DEVICE_SEARCH_PARAMS params = {};
  params.dwSize = sizeof params;
  params.fReturnAuthenticated = search.returnAuthenticated;
  params.fReturnRemembered = search.returnRemembered;
  params.fReturnUnknown = search.returnUnknown;
  params.fReturnConnected = search.returnConnected;
  params.fIssueInquiry = search.issueInquiry;
  params.cTimeoutMultiplier = search.timeoutMultiplier;
  params.hRadio = nullptr;
  BLUETOOTH_DEVICE_INFO info = {};
  info.dwSize = sizeof info;
  HBLUETOOTH_DEVICE_FIND found = findFirst(&params, &info);
  if (!found) return GetLastError();
  do {
    out.push_back(FromRecord(info));
    info = {};
    info.dwSize = sizeof info;
  } while (findNext(found, &info));
  findClose(found);
  return err::kOk;
}

// Any radio, no parent window; the passkey as the engine cut it.
ErrorCode Win32Bluetooth::Authenticate(const BluetoothDevice& device, const std::wstring& passkey) {
  Library library(kLibrary);
  if (!library.Loaded()) return GetLastError();
  auto authenticate = library.Entry<AuthenticateDevice>("BluetoothAuthenticateDevice");
  if (!authenticate) return ERROR_PROC_NOT_FOUND;
  BLUETOOTH_DEVICE_INFO info = ToRecord(device);
  std::wstring key = passkey;
  return authenticate(nullptr, nullptr, &info, key.empty() ? nullptr : &key[0], static_cast<ULONG>(key.size()));
}

// Loaded and released for each call.
DynamicResult Win32Bluetooth::SetServiceState(const BluetoothDevice& device, const Guid& service, bool enable) {
  Library library(kLibrary);
  if (!library.Loaded()) return {DynamicStatus::kLibraryMissing, GetLastError()};
  auto setState = library.Entry<decltype(&BluetoothSetServiceState)>("BluetoothSetServiceState");
  if (!setState) return {DynamicStatus::kEntryMissing, ERROR_PROC_NOT_FOUND};
  BLUETOOTH_DEVICE_INFO info = ToRecord(device);
  GUID cls = ToGuid(service);
  return {DynamicStatus::kCalled, setState(nullptr, &info, &cls, enable ? kServiceEnable : 0)};
}

// The library stays loaded after a call, as the registration expects.
DynamicResult Win32Bluetooth::SetLocalServiceInfo(const Guid& service, uint32_t instance,
                                                  const LocalServiceInfo& info) {
  Library library(kLibrary);
  if (!library.Loaded()) return {DynamicStatus::kLibraryMissing, GetLastError()};
  auto setInfo = library.Entry<decltype(&BluetoothSetLocalServiceInfo)>("BluetoothSetLocalServiceInfo");
  if (!setInfo) return {DynamicStatus::kEntryMissing, ERROR_PROC_NOT_FOUND};
  BLUETOOTH_LOCAL_SERVICE_INFO record = {};
  record.Enabled = info.enabled;
  record.btAddr.ullLong = info.address;
  PutText(record.szName, info.name);
  PutText(record.szDeviceString, info.deviceString);
  const GUID cls = ToGuid(service);
  const DWORD result = setInfo(nullptr, &cls, instance, &record);
  library.Keep();
  return {DynamicStatus::kCalled, result};
}

}  // namespace platform::win32
