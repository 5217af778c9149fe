#pragma once
// Device setup (SetupDi) enumeration and the registry reads the engine needs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

// Limits of the reads, in bytes, including the terminator.
constexpr size_t kDevicePropertyBytes = 520;
constexpr size_t kDevicePortNameBytes = 255;
constexpr size_t kInstanceIdChars = 256;

// One present device interface of a class, with what could be read of it.
struct DeviceInterfaceRecord {
  // False when the interface detail could not be read; such a record is
  // the last one of the list.
  bool detailRead = false;
  std::wstring devicePath;
  std::wstring instanceId;                  // empty when it could not be read
  std::optional<std::wstring> description;  // device description
  std::optional<std::wstring> hardwareId;   // first hardware identifier
  std::optional<std::wstring> portName;     // "PortName" of the device's hardware key
};

class Devices {
 public:
  virtual ~Devices() = default;

  // Present device interfaces of an interface class, in enumeration order.
  virtual ErrorCode EnumInterfaces(const Guid& interfaceClass,
                                   std::vector<DeviceInterfaceRecord>& out) = 0;
  // The setup classes of all present devices, in enumeration order.
  virtual ErrorCode PresentDeviceClasses(std::vector<Guid>& out) = 0;
};

// What every device back end (the simulated and the real Windows) declares.
#define PLATFORM_DEVICES_OVERRIDES \
  ErrorCode EnumInterfaces(const Guid& interfaceClass, std::vector<DeviceInterfaceRecord>& out) override;  \
  ErrorCode PresentDeviceClasses(std::vector<Guid>& out) override;

// Reads under HKEY_LOCAL_MACHINE.
class Registry {
 public:
  virtual ~Registry() = default;

  // A REG_DWORD value.
  virtual ErrorCode ReadDword(const std::wstring& keyPath, const std::wstring& value,
                              uint32_t& out) = 0;
  // A REG_SZ value of at most maxBytes bytes; the result is terminated at the
  // first zero and never longer than the data, terminated or not.
  virtual ErrorCode ReadString(const std::wstring& keyPath, const std::wstring& value,
                               size_t maxBytes, std::wstring& out) = 0;
};

// What every registry back end (the simulated and the real Windows) declares.
#define PLATFORM_REGISTRY_OVERRIDES \
  ErrorCode ReadDword(const std::wstring& keyPath, const std::wstring& value, uint32_t& out) override;  \
  ErrorCode ReadString(const std::wstring& keyPath, const std::wstring& value, size_t maxBytes,         \
                       std::wstring& out) override;

}  // namespace platform
