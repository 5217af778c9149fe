#include "platform/bytes.h"

#include <cstring>

#include "platform/types.h"

namespace platform {

// Field-wise equality of two GUIDs.
bool operator==(const Guid& a, const Guid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

// Encodes code points above the BMP as surrogate pairs where wchar_t is 32 bits.
std::u16string ToUtf16(const std::wstring& text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    auto cp = static_cast<uint32_t>(wc);
    if (sizeof(wchar_t) > 2 && cp > 0xFFFF && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

// Joins surrogate pairs where wchar_t is 32 bits; stops at the first zero.
std::wstring FromUtf16(const char16_t* units, size_t count) {
  std::wstring out;
  for (size_t i = 0; i < count && units[i] != 0; ++i) {
    uint32_t cp = units[i];
    if (sizeof(wchar_t) > 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < count &&
        units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(static_cast<wchar_t>(cp));
  }
  return out;
}

// Reads little-endian units byte by byte, so any alignment of `data` works.
std::wstring StringFromRegistryBytes(const uint8_t* data, size_t size) {
  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    units.push_back(unit);
  }
  return FromUtf16(units.data(), units.size());
}

// Text, port name and feed command, with no separators between them.
std::vector<uint8_t> UsbTestBuffer(const std::string& ansiText, const std::string& ansiPortName) {
  std::vector<uint8_t> out(ansiText.begin(), ansiText.end());
  out.insert(out.end(), ansiPortName.begin(), ansiPortName.end());
  out.insert(out.end(), std::begin(kFeed120Dots), std::end(kFeed120Dots));
  return out;
}

}  // namespace platform
