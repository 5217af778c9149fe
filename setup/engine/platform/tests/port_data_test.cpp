#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/port_data.h"

namespace platform {
namespace {

uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// The UTF-16LE text at a byte offset up to its terminator, and whether the
// rest of the field is zero.
std::u16string Text(const std::vector<uint8_t>& b, size_t at, size_t units, bool* restZero) {
  std::u16string out;
  size_t i = 0;
  for (; i < units; ++i) {
    char16_t c = static_cast<char16_t>(b[at + 2 * i] | (b[at + 2 * i + 1] << 8));
    if (c == 0) break;
    out.push_back(c);
  }
  *restZero = true;
  for (; i < units; ++i)
    if (b[at + 2 * i] || b[at + 2 * i + 1]) *restZero = false;
  return out;
}

TcpPortSettings NetworkPort() {
  TcpPortSettings s;
  s.portName = L"192.168.1.100_1";
  s.hostAddress = L"192.168.1.100";
  s.ipAddress = L"192.168.1.100";
  return s;
}

TEST(PortData1, LayoutMatchesTheVersionOneRecord) {
  EXPECT_EQ(sizeof(PortData1), 964u);
  EXPECT_EQ(offsetof(PortData1, sztPortName), 0u);
  EXPECT_EQ(offsetof(PortData1, dwVersion), 128u);
  EXPECT_EQ(offsetof(PortData1, dwProtocol), 132u);
  EXPECT_EQ(offsetof(PortData1, cbSize), 136u);
  EXPECT_EQ(offsetof(PortData1, dwReserved), 140u);
  EXPECT_EQ(offsetof(PortData1, sztHostAddress), 144u);
  EXPECT_EQ(offsetof(PortData1, sztSNMPCommunity), 242u);
  EXPECT_EQ(offsetof(PortData1, dwDoubleSpool), 308u);
  EXPECT_EQ(offsetof(PortData1, sztQueue), 312u);
  EXPECT_EQ(offsetof(PortData1, sztIPAddress), 378u);
  EXPECT_EQ(offsetof(PortData1, Reserved), 410u);
  EXPECT_EQ(offsetof(PortData1, dwPortNumber), 952u);
  EXPECT_EQ(offsetof(PortData1, dwSNMPEnabled), 956u);
  EXPECT_EQ(offsetof(PortData1, dwSNMPDevIndex), 960u);
}

TEST(PortData1, RawNetworkPortIsFilledByteByByte) {
  std::vector<uint8_t> b;
  ASSERT_EQ(EncodePortData1(NetworkPort(), b), PortDataField::kNone);
  ASSERT_EQ(b.size(), 964u);
  bool rest = false;
  EXPECT_EQ(Text(b, 0, 64, &rest), u"192.168.1.100_1");
  EXPECT_TRUE(rest);
  EXPECT_EQ(Dword(b, 128), 1u);    // version
  EXPECT_EQ(Dword(b, 132), 1u);    // raw TCP
  EXPECT_EQ(Dword(b, 136), 964u);  // cbSize
  EXPECT_EQ(Dword(b, 140), 0u);
  EXPECT_EQ(Text(b, 144, 49, &rest), u"192.168.1.100");
  EXPECT_TRUE(rest);
  EXPECT_EQ(Text(b, 242, 33, &rest), u"");
  EXPECT_TRUE(rest);
  EXPECT_EQ(Dword(b, 308), 0u);
  EXPECT_EQ(Text(b, 312, 33, &rest), u"");
  EXPECT_TRUE(rest);
  EXPECT_EQ(Text(b, 378, 16, &rest), u"192.168.1.100");
  EXPECT_TRUE(rest);
  for (size_t i = 410; i < 952; ++i) ASSERT_EQ(b[i], 0) << "reserved byte " << i;
  EXPECT_EQ(Dword(b, 952), 9100u);
  EXPECT_EQ(Dword(b, 956), 0u);
  EXPECT_EQ(Dword(b, 960), 0u);
}

TEST(PortData1, TextsAtTheirLimitFitAndOneMoreIsRefused) {
  struct Case {
    std::wstring TcpPortSettings::*field;
    size_t longest;
    PortDataField refused;
  };
  const Case cases[] = {
      {&TcpPortSettings::portName, 63, PortDataField::kPortName},
      {&TcpPortSettings::hostAddress, 48, PortDataField::kHostAddress},
      {&TcpPortSettings::snmpCommunity, 32, PortDataField::kSnmpCommunity},
      {&TcpPortSettings::queue, 32, PortDataField::kQueue},
      {&TcpPortSettings::ipAddress, 15, PortDataField::kIpAddress},
  };
  for (const Case& c : cases) {
    TcpPortSettings s = NetworkPort();
    s.*c.field = std::wstring(c.longest, L'7');
    std::vector<uint8_t> b;
    EXPECT_EQ(EncodePortData1(s, b), PortDataField::kNone) << PortDataFieldName(c.refused);
    TcpPortSettings back;
    ASSERT_TRUE(DecodePortData1(b, back));
    EXPECT_EQ(back.*c.field, s.*c.field);

    s.*c.field += L'7';
    std::vector<uint8_t> untouched = {1, 2, 3};
    EXPECT_EQ(EncodePortData1(s, untouched), c.refused);
    EXPECT_EQ(untouched, (std::vector<uint8_t>{1, 2, 3}));
  }
}

TEST(PortData1, LengthsCountUtf16UnitsNotCharacters) {
  TcpPortSettings s = NetworkPort();
  // 31 characters beyond the BMP take 62 units: one more does not fit.
  s.portName = std::wstring(31, static_cast<wchar_t>(0x1F5A8)) + L"x";
  std::vector<uint8_t> b;
  EXPECT_EQ(EncodePortData1(s, b), PortDataField::kNone);
  s.portName += L"y";
  if (sizeof(wchar_t) == 4) {
    EXPECT_EQ(EncodePortData1(s, b), PortDataField::kPortName);
  }
}

TEST(PortData1, DecodeRefusesWrongSizeOrVersion) {
  std::vector<uint8_t> b;
  ASSERT_EQ(EncodePortData1(NetworkPort(), b), PortDataField::kNone);
  TcpPortSettings back;
  EXPECT_TRUE(DecodePortData1(b, back));
  EXPECT_EQ(back.portNumber, 9100u);
  EXPECT_EQ(back.protocol, kProtocolRawTcp);
  std::vector<uint8_t> shorter(b.begin(), b.end() - 1);
  EXPECT_FALSE(DecodePortData1(shorter, back));
  std::vector<uint8_t> version2 = b;
  version2[128] = 2;
  EXPECT_FALSE(DecodePortData1(version2, back));
}

TEST(PortData1, UnterminatedFieldIsReadOnlyToItsEnd) {
  std::vector<uint8_t> b;
  ASSERT_EQ(EncodePortData1(NetworkPort(), b), PortDataField::kNone);
  for (size_t i = 378; i < 410; i += 2) b[i] = '9';  // IP field full, no terminator
  TcpPortSettings back;
  ASSERT_TRUE(DecodePortData1(b, back));
  EXPECT_EQ(back.ipAddress, std::wstring(16, L'9'));
}

}  // namespace
}  // namespace platform
