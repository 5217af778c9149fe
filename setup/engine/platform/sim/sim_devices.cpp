#include <algorithm>

#include "platform/bytes.h"
#include "sim_platform.h"

namespace platform::sim {
namespace {

// A property that does not fit the caller's buffer cannot be read.
std::optional<std::wstring> Bounded(const std::optional<std::wstring>& text, size_t maxBytes) {
  if (!text || (text->size() + 1) * 2 > maxBytes) return std::nullopt;
  return text;
}

}  // namespace

// Registry value bytes of a text with its terminator (UTF-16LE).
std::vector<uint8_t> RegistryStringBytes(const std::wstring& text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : ToUtf16(text)) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

// Interfaces of the class in the order they were added; the list ends with
// the first one whose detail cannot be read, as the enumeration does.
ErrorCode SimDevices::EnumInterfaces(const Guid& interfaceClass, std::vector<DeviceInterfaceRecord>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kEnumInterfaces)) return *injected;
  for (const SimInterface& item : interfaces_) {
    if (item.interfaceClass != interfaceClass) continue;
    DeviceInterfaceRecord record;
    record.detailRead = item.detailReadable;
    if (!item.detailReadable) {
      out.push_back(record);
      break;
    }
    record.devicePath = item.devicePath;
    if (item.instanceId.size() < kInstanceIdChars) record.instanceId = item.instanceId;
    record.description = Bounded(item.description, kDevicePropertyBytes);
    record.hardwareId = Bounded(item.hardwareId, kDevicePropertyBytes);
    if (item.portNameBytes && item.portNameBytes->size() <= kDevicePortNameBytes)
      record.portName = StringFromRegistryBytes(item.portNameBytes->data(), item.portNameBytes->size());
    out.push_back(record);
  }
  return err::kOk;
}

// The setup classes of the plugged-in devices, in the order they came.
ErrorCode SimDevices::PresentDeviceClasses(std::vector<Guid>& out) {
  out.clear();
  if (auto injected = core_.calls.Enter(Op::kPresentDeviceClasses)) return *injected;
  out = classes_;
  return err::kOk;
}

// Unplugs every device of an interface class.
void SimDevices::RemoveInterfaces(const Guid& interfaceClass) {
  interfaces_.erase(std::remove_if(interfaces_.begin(), interfaces_.end(),
                                   [&](const SimInterface& i) { return i.interfaceClass == interfaceClass; }),
                    interfaces_.end());
}

// A missing key and a missing value both read as "file not found".
const SimRegistry::Value* SimRegistry::Find(const std::wstring& keyPath, const std::wstring& value,
                                            ErrorCode& error) const {
  auto key = keys_.find(Fold(keyPath));
  if (key == keys_.end()) {
    error = err::kFileNotFound;
    return nullptr;
  }
  auto it = key->second.find(Fold(value));
  if (it == key->second.end()) {
    error = err::kFileNotFound;
    return nullptr;
  }
  return &it->second;
}

// Data longer than four bytes does not fit (234); another type is refused (13).
ErrorCode SimRegistry::ReadDword(const std::wstring& keyPath, const std::wstring& value, uint32_t& out) {
  if (auto injected = core_.calls.Enter(Op::kReadDword)) return *injected;
  ErrorCode error = err::kOk;
  const Value* found = Find(keyPath, value, error);
  if (!found) return error;
  if (found->bytes.size() > 4) return err::kMoreData;
  if (found->type != kRegDword || found->bytes.size() != 4) return err::kInvalidData;
  out = static_cast<uint32_t>(found->bytes[0] | (found->bytes[1] << 8) | (found->bytes[2] << 16)) |
        (static_cast<uint32_t>(found->bytes[3]) << 24);
  return err::kOk;
}

// Data longer than maxBytes does not fit (234); the text ends at the first
// zero or at the end of the data, whichever comes first.
ErrorCode SimRegistry::ReadString(const std::wstring& keyPath, const std::wstring& value, size_t maxBytes,
                                  std::wstring& out) {
  if (auto injected = core_.calls.Enter(Op::kReadString)) return *injected;
  ErrorCode error = err::kOk;
  const Value* found = Find(keyPath, value, error);
  if (!found) return error;
  if (found->bytes.size() > maxBytes) return err::kMoreData;
  if (found->type != kRegSz && found->type != kRegExpandSz) return err::kInvalidData;
  out = StringFromRegistryBytes(found->bytes.data(), found->bytes.size());
  return err::kOk;
}

// Stores a little-endian REG_DWORD.
void SimRegistry::SetDword(const std::wstring& keyPath, const std::wstring& value, uint32_t data) {
  SetRaw(keyPath, value, kRegDword,
         {static_cast<uint8_t>(data), static_cast<uint8_t>(data >> 8), static_cast<uint8_t>(data >> 16),
          static_cast<uint8_t>(data >> 24)});
}

// Stores a REG_SZ with its terminator.
void SimRegistry::SetString(const std::wstring& keyPath, const std::wstring& value, const std::wstring& data) {
  SetRaw(keyPath, value, kRegSz, RegistryStringBytes(data));
}

// Stores the bytes as given, terminated or not.
void SimRegistry::SetRaw(const std::wstring& keyPath, const std::wstring& value, uint32_t type,
                         std::vector<uint8_t> bytes) {
  keys_[Fold(keyPath)][Fold(value)] = Value{type, std::move(bytes)};
}

}  // namespace platform::sim
