// The size that SP_DEVICE_INTERFACE_DETAIL_DATA_W.cbSize must hold: only
// the fixed part of the record as the compiler lays it out. setupapi.h
// packs the record to one byte in 32-bit builds (4 + 2 = 6) and leaves
// 64-bit builds at natural alignment (8); any other value makes
// SetupDiGetDeviceInterfaceDetailW fail with ERROR_INVALID_USER_BUFFER.
#pragma once

#include <windows.h>
#include <setupapi.h>

namespace platform::win32 {

constexpr DWORD kInterfaceDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
#ifdef _WIN64
static_assert(kInterfaceDetailFixedSize == 8, "64-bit: the detail record's fixed part is 8 bytes");
#else
static_assert(kInterfaceDetailFixedSize == 6, "32-bit: the detail record's fixed part is 6 bytes");
#endif

}  // namespace platform::win32
