#pragma once
// The Bluetooth stack: radios, device search, pairing and serial service.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

// Longest passkey BluetoothAuthenticateDevice takes, in characters.
constexpr size_t kMaxPasskeyChars = 16;
// Longest name or device string a local service record holds, in
// characters (the record's fields keep one more for the terminator).
constexpr size_t kMaxServiceTextChars = 255;

// A remote device as the search reports it (BLUETOOTH_DEVICE_INFO).
struct BluetoothDevice {
  uint64_t address = 0;  // six bytes, byte 0 the least significant
  uint32_t classOfDevice = 0;
  bool connected = false;
  bool remembered = false;
  bool authenticated = false;
  std::wstring name;
};

struct BluetoothSearch {
  bool returnAuthenticated = true;
  bool returnRemembered = true;
  bool returnUnknown = true;
  bool returnConnected = true;
  bool issueInquiry = true;
  uint8_t timeoutMultiplier = 10;  // units of 1.28 s
};

// A local service record (BLUETOOTH_LOCAL_SERVICE_INFO).
struct LocalServiceInfo {
  bool enabled = true;
  uint64_t address = 0;
  std::wstring name;          // at most kMaxServiceTextChars characters
  std::wstring deviceString;  // at most kMaxServiceTextChars characters
};

class Bluetooth {
 public:
  virtual ~Bluetooth() = default;

  // 0 when a radio is present (the radio search is closed again), otherwise
  // the error of BluetoothFindFirstRadio.
  virtual ErrorCode FindRadio() = 0;
  // All devices the search returns, in order; the error of the first search
  // call (259 when nothing was found).
  virtual ErrorCode SearchDevices(const BluetoothSearch& search, std::vector<BluetoothDevice>& out) = 0;
  // BluetoothAuthenticateDevice with any radio and no parent window. The
  // passkey is passed as given: one longer than kMaxPasskeyChars is refused.
  virtual ErrorCode Authenticate(const BluetoothDevice& device, const std::wstring& passkey) = 0;
  // BluetoothSetServiceState, looked up in "bthprops.cpl" for each call.
  virtual DynamicResult SetServiceState(const BluetoothDevice& device, const Guid& service,
                                        bool enable) = 0;
  // BluetoothSetLocalServiceInfo, looked up in "bthprops.cpl". Texts longer
  // than the record's fields are cut there.
  virtual DynamicResult SetLocalServiceInfo(const Guid& service, uint32_t instance,
                                            const LocalServiceInfo& info) = 0;
};

// What every Bluetooth back end (the simulated and the real Windows) declares.
#define PLATFORM_BLUETOOTH_OVERRIDES \
  ErrorCode FindRadio() override;                                                                           \
  ErrorCode SearchDevices(const BluetoothSearch& search, std::vector<BluetoothDevice>& out) override;       \
  ErrorCode Authenticate(const BluetoothDevice& device, const std::wstring& passkey) override;              \
  DynamicResult SetServiceState(const BluetoothDevice& device, const Guid& service, bool enable) override;  \
  DynamicResult SetLocalServiceInfo(const Guid& service, uint32_t instance,                                 \
                                    const LocalServiceInfo& info) override;

}  // namespace platform
