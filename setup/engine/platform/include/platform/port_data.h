#pragma once
// The record the Standard TCP/IP port monitor takes with XcvCommand "AddPortByMonitor"
// (PORT_DATA_1, version 1), declared here because the cross headers lack it.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Field lengths in UTF-16 units, each including the terminator.
constexpr size_t kPortNameLen = 64;
constexpr size_t kHostAddressLen = 49;
constexpr size_t kSnmpCommunityLen = 33;
constexpr size_t kQueueLen = 33;
constexpr size_t kIpAddressLen = 16;

constexpr uint32_t kPortDataVersion = 1;
constexpr uint32_t kProtocolRawTcp = 1;
constexpr uint32_t kProtocolLpr = 2;

struct PortData1 {
  char16_t sztPortName[kPortNameLen];
  uint32_t dwVersion;
  uint32_t dwProtocol;
  uint32_t cbSize;
  uint32_t dwReserved;
  char16_t sztHostAddress[kHostAddressLen];
  char16_t sztSNMPCommunity[kSnmpCommunityLen];
  uint32_t dwDoubleSpool;
  char16_t sztQueue[kQueueLen];
  char16_t sztIPAddress[kIpAddressLen];
  uint8_t Reserved[540];
  uint32_t dwPortNumber;
  uint32_t dwSNMPEnabled;
  uint32_t dwSNMPDevIndex;
};
static_assert(sizeof(PortData1) == 964, "PORT_DATA_1 version 1 is 964 bytes");

// What a raw or LPR TCP/IP port is created with.
struct TcpPortSettings {
  std::wstring portName;
  std::wstring hostAddress;
  std::wstring snmpCommunity;
  std::wstring queue;
  std::wstring ipAddress;
  uint32_t protocol = kProtocolRawTcp;
  uint32_t portNumber = 9100;
  bool doubleSpool = false;
  bool snmpEnabled = false;
  uint32_t snmpDevIndex = 0;
};

// The text field that did not fit, or kNone.
enum class PortDataField { kNone, kPortName, kHostAddress, kSnmpCommunity, kQueue, kIpAddress };

// Fills a zeroed record with version 1 and cbSize 964 and returns its bytes
// in `out`.  A text that does not fit its field with the terminator is
// refused before anything is filled: the field is returned, `out` untouched.
PortDataField EncodePortData1(const TcpPortSettings& settings, std::vector<uint8_t>& out);

// Reads a record back; false unless it is a whole version 1 record.
bool DecodePortData1(const std::vector<uint8_t>& bytes, TcpPortSettings& out);

// A readable name of a field for error messages ("port name", ...).
const char* PortDataFieldName(PortDataField field);

}  // namespace platform
