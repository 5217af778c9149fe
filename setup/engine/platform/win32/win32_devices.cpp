#include <windows.h>
#include <setupapi.h>

#include <cstddef>

#include "device_detail.h"
#include "platform/bytes.h"
#include "win32_platform.h"
#include "win32_util.h"

namespace platform::win32 {
namespace {

// Reads a string value of at most maxBytes from an open key.  Registry data
// need not be terminated, so only the returned size is read, and a value
// that does not fit is refused with ERROR_MORE_DATA.
ErrorCode ReadBoundedString(HKEY key, const std::wstring& value, size_t maxBytes, std::wstring& out) {
  std::vector<BYTE> buffer(maxBytes ? maxBytes : 1);
  DWORD size = static_cast<DWORD>(maxBytes);
  DWORD type = 0;
  const LONG error = RegQueryValueExW(key, value.c_str(), nullptr, &type, buffer.data(), &size);
  if (error != ERROR_SUCCESS) return static_cast<ErrorCode>(error);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  out = StringFromRegistryBytes(buffer.data(), size < maxBytes ? size : maxBytes);
  return err::kOk;
}

// A device registry property read into a buffer of kDevicePropertyBytes; for
// a list (hardware ids) the first entry.
std::optional<std::wstring> Property(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  BYTE buffer[kDevicePropertyBytes] = {};
  DWORD type = 0;
  DWORD size = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(list, &device, property, &type, buffer, sizeof buffer, &size))
    return std::nullopt;
  return StringFromRegistryBytes(buffer, size < sizeof buffer ? size : sizeof buffer);
}

// "PortName" of the device's hardware key (COM ports have one).
std::optional<std::wstring> PortName(HDEVINFO list, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring name;
  const ErrorCode error = ReadBoundedString(key, L"PortName", kDevicePortNameBytes, name);
  RegCloseKey(key);
  if (error) return std::nullopt;
  return name;
}

}  // namespace

// Present interfaces of the class; the list ends at the first interface
// whose detail cannot be read, which is recorded as such.
ErrorCode Win32Devices::EnumInterfaces(const Guid& interfaceClass, std::vector<DeviceInterfaceRecord>& out) {
  out.clear();
  const GUID cls = ToGuid(interfaceClass);
  HDEVINFO list = SetupDiGetClassDevsW(&cls, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (list == INVALID_HANDLE_VALUE) return GetLastError();
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof item;
    if (!SetupDiEnumDeviceInterfaces(list, nullptr, &cls, index, &item)) break;

    DeviceInterfaceRecord record;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(list, &item, nullptr, 0, &required, nullptr);
    const DWORD fixed = kInterfaceDetailFixedSize;
    std::vector<BYTE> buffer(required > fixed ? required : fixed + sizeof(WCHAR));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = fixed;
    if (!SetupDiGetDeviceInterfaceDetailW(list, &item, detail, static_cast<DWORD>(buffer.size()), nullptr,
                                          &device)) {
      out.push_back(record);
      break;
    }
    record.detailRead = true;
    const size_t pathChars = (buffer.size() - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
    record.devicePath.assign(detail->DevicePath, wcsnlen(detail->DevicePath, pathChars));

    WCHAR instance[kInstanceIdChars] = {};
    if (SetupDiGetDeviceInstanceIdW(list, &device, instance, kInstanceIdChars, nullptr))
      record.instanceId.assign(instance, wcsnlen(instance, kInstanceIdChars));
    record.description = Property(list, device, SPDRP_DEVICEDESC);
    record.hardwareId = Property(list, device, SPDRP_HARDWAREID);
    record.portName = PortName(list, device);
    out.push_back(record);
  }
  SetupDiDestroyDeviceInfoList(list);
  return err::kOk;
}

// The setup class of every present device of every class.
ErrorCode Win32Devices::PresentDeviceClasses(std::vector<Guid>& out) {
  out.clear();
  HDEVINFO list = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (list == INVALID_HANDLE_VALUE) return GetLastError();
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(list, index, &device); ++index)
    out.push_back(FromGuid(device.ClassGuid));
  SetupDiDestroyDeviceInfoList(list);
  return err::kOk;
}

// A REG_DWORD under HKEY_LOCAL_MACHINE; another type is refused.
ErrorCode Win32Registry::ReadDword(const std::wstring& keyPath, const std::wstring& value, uint32_t& out) {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key);
  if (error != ERROR_SUCCESS) return static_cast<ErrorCode>(error);
  DWORD data = 0;
  DWORD size = sizeof data;
  DWORD type = 0;
  error = RegQueryValueExW(key, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return static_cast<ErrorCode>(error);
  if (type != REG_DWORD || size != sizeof data) return ERROR_INVALID_DATA;
  out = data;
  return err::kOk;
}

// A bounded, terminated string under HKEY_LOCAL_MACHINE.
ErrorCode Win32Registry::ReadString(const std::wstring& keyPath, const std::wstring& value, size_t maxBytes,
                                    std::wstring& out) {
  HKEY key = nullptr;
  const LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key);
  if (error != ERROR_SUCCESS) return static_cast<ErrorCode>(error);
  const ErrorCode result = ReadBoundedString(key, value, maxBytes, out);
  RegCloseKey(key);
  return result;
}

}  // namespace platform::win32
