#include "platform/port_data.h"

#include <cstring>

#include "platform/bytes.h"

namespace platform {
namespace {

// True when a text fits its field together with the terminator.
bool Fits(const std::u16string& text, size_t fieldLen) { return text.size() < fieldLen; }

// Copies a text that fits into a zeroed field.
template <size_t N>
void Put(char16_t (&field)[N], const std::u16string& text) {
  std::memcpy(field, text.data(), text.size() * sizeof(char16_t));
}

}  // namespace

// Checks every field before the record is touched, so nothing is half filled.
PortDataField EncodePortData1(const TcpPortSettings& settings, std::vector<uint8_t>& out) {
  const std::u16string port = ToUtf16(settings.portName);
  const std::u16string host = ToUtf16(settings.hostAddress);
  const std::u16string snmp = ToUtf16(settings.snmpCommunity);
  const std::u16string queue = ToUtf16(settings.queue);
  const std::u16string ip = ToUtf16(settings.ipAddress);
  if (!Fits(port, kPortNameLen)) return PortDataField::kPortName;
  if (!Fits(host, kHostAddressLen)) return PortDataField::kHostAddress;
  if (!Fits(snmp, kSnmpCommunityLen)) return PortDataField::kSnmpCommunity;
  if (!Fits(queue, kQueueLen)) return PortDataField::kQueue;
  if (!Fits(ip, kIpAddressLen)) return PortDataField::kIpAddress;

  PortData1 record;
  std::memset(&record, 0, sizeof record);
  Put(record.sztPortName, port);
  record.dwVersion = kPortDataVersion;
  record.dwProtocol = settings.protocol;
  record.cbSize = sizeof(PortData1);
  record.dwReserved = 0;
  Put(record.sztHostAddress, host);
  Put(record.sztSNMPCommunity, snmp);
  record.dwDoubleSpool = settings.doubleSpool ? 1 : 0;
  Put(record.sztQueue, queue);
  Put(record.sztIPAddress, ip);
  record.dwPortNumber = settings.portNumber;
  record.dwSNMPEnabled = settings.snmpEnabled ? 1 : 0;
  record.dwSNMPDevIndex = settings.snmpDevIndex;

  const auto* raw = reinterpret_cast<const uint8_t*>(&record);
  out.assign(raw, raw + sizeof record);
  return PortDataField::kNone;
}

// Texts are read only up to their field's end, terminated or not.
bool DecodePortData1(const std::vector<uint8_t>& bytes, TcpPortSettings& out) {
  if (bytes.size() != sizeof(PortData1)) return false;
  PortData1 record;
  std::memcpy(&record, bytes.data(), sizeof record);
  if (record.dwVersion != kPortDataVersion || record.cbSize != sizeof(PortData1)) return false;
  out.portName = FromUtf16(record.sztPortName, kPortNameLen);
  out.hostAddress = FromUtf16(record.sztHostAddress, kHostAddressLen);
  out.snmpCommunity = FromUtf16(record.sztSNMPCommunity, kSnmpCommunityLen);
  out.queue = FromUtf16(record.sztQueue, kQueueLen);
  out.ipAddress = FromUtf16(record.sztIPAddress, kIpAddressLen);
  out.protocol = record.dwProtocol;
  out.portNumber = record.dwPortNumber;
  out.doubleSpool = record.dwDoubleSpool != 0;
  out.snmpEnabled = record.dwSNMPEnabled != 0;
  out.snmpDevIndex = record.dwSNMPDevIndex;
  return true;
}

// Names for messages that say which text was too long.
const char* PortDataFieldName(PortDataField field) {
  switch (field) {
    case PortDataField::kNone: return "none";
    case PortDataField::kPortName: return "port name";
    case PortDataField::kHostAddress: return "host address";
    case PortDataField::kSnmpCommunity: return "SNMP community";
    case PortDataField::kQueue: return "queue name";
    case PortDataField::kIpAddress: return "IP address";
  }
  return "unknown";
}

}  // namespace platform
