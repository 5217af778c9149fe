#pragma once
// Text and byte conversions shared by the Windows and the simulated layer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// UTF-16 units of a wide text (wchar_t is UTF-32 on Linux, UTF-16 on Windows).
std::u16string ToUtf16(const std::wstring& text);

// Wide text of at most `count` UTF-16 units, ending at the first zero.
std::wstring FromUtf16(const char16_t* units, size_t count);

// A registry string value from its raw bytes: UTF-16LE, cut at the first
// zero, an odd last byte dropped; registry data need not be terminated.
std::wstring StringFromRegistryBytes(const uint8_t* data, size_t size);

// The printer command that feeds the paper by 120 dots.
constexpr uint8_t kFeed120Dots[3] = {0x1B, 0x4A, 0x78};

// The USB test print: the announcement text and the port name (both already
// in the ANSI code page) followed by the paper feed command.
std::vector<uint8_t> UsbTestBuffer(const std::string& ansiText, const std::string& ansiPortName);

}  // namespace platform
