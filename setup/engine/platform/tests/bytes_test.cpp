#include <gtest/gtest.h>

#include "platform/bytes.h"

namespace platform {
namespace {

std::vector<uint8_t> Le(const std::u16string& units) {
  std::vector<uint8_t> out;
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

TEST(RegistryString, EndsAtTerminatorOrEndOfData) {
  auto terminated = Le(std::u16string(u"COM7\0junk", 9));
  EXPECT_EQ(StringFromRegistryBytes(terminated.data(), terminated.size()), L"COM7");

  auto unterminated = Le(u"COM12");
  EXPECT_EQ(StringFromRegistryBytes(unterminated.data(), unterminated.size()), L"COM12");

  // Only the bytes given are read, never past them.
  EXPECT_EQ(StringFromRegistryBytes(unterminated.data(), 6), L"COM");
  EXPECT_EQ(StringFromRegistryBytes(unterminated.data(), 0), L"");
}

TEST(RegistryString, OddLastByteIsDropped) {
  auto bytes = Le(u"COM3");
  bytes.push_back('X');
  EXPECT_EQ(StringFromRegistryBytes(bytes.data(), bytes.size()), L"COM3");
  EXPECT_EQ(StringFromRegistryBytes(bytes.data(), 1), L"");
}

TEST(Utf16, SurrogatePairsRoundTrip) {
  const std::wstring text = std::wstring(L"A") + static_cast<wchar_t>(0x4E2D) +
                            (sizeof(wchar_t) == 4 ? std::wstring(1, static_cast<wchar_t>(0x1F5A8)) : L"");
  const std::u16string units = ToUtf16(text);
  EXPECT_EQ(units.size(), sizeof(wchar_t) == 4 ? 4u : 2u);
  EXPECT_EQ(FromUtf16(units.data(), units.size()), text);
}

TEST(UsbTestBuffer, TextThenPortNameThenPaperFeed) {
  const auto buffer = UsbTestBuffer("Port: ", "USB003");
  const std::string expected = "Port: USB003\x1B\x4A\x78";
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected);
  const auto bare = UsbTestBuffer("", "");
  EXPECT_EQ(bare, (std::vector<uint8_t>{0x1B, 0x4A, 0x78}));
}

}  // namespace
}  // namespace platform
