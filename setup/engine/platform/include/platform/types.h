#pragma once
// Plain types shared by every platform interface: error codes as Windows
// reports them, GUIDs, and the result of a call into a function that is
// looked up at run time.
#include <cstdint>

namespace platform {

// A Windows error code (GetLastError, WSAGetLastError or a returned status);
// 0 means success.
using ErrorCode = uint32_t;

// The window that owns a dialog a system call may show; opaque (an HWND).
using WindowHandle = void*;

namespace err {
constexpr ErrorCode kOk = 0;
constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kPathNotFound = 3;
constexpr ErrorCode kAccessDenied = 5;
constexpr ErrorCode kInvalidHandle = 6;
constexpr ErrorCode kInvalidData = 13;
constexpr ErrorCode kSharingViolation = 32;
constexpr ErrorCode kInvalidParameter = 87;
constexpr ErrorCode kCallNotImplemented = 120;
constexpr ErrorCode kInsufficientBuffer = 122;
constexpr ErrorCode kInvalidName = 123;
constexpr ErrorCode kInvalidLevel = 124;
constexpr ErrorCode kModNotFound = 126;
constexpr ErrorCode kProcNotFound = 127;
constexpr ErrorCode kBadPathname = 161;
constexpr ErrorCode kBusy = 170;
constexpr ErrorCode kAlreadyExists = 183;
constexpr ErrorCode kMoreData = 234;
constexpr ErrorCode kNoMoreItems = 259;
constexpr ErrorCode kDependentServicesRunning = 1051;
constexpr ErrorCode kServiceAlreadyRunning = 1056;
constexpr ErrorCode kServiceDoesNotExist = 1060;
constexpr ErrorCode kServiceCannotAcceptControl = 1061;
constexpr ErrorCode kServiceNotActive = 1062;
constexpr ErrorCode kCancelled = 1223;
constexpr ErrorCode kUnknownPort = 1796;
constexpr ErrorCode kUnknownPrinterDriver = 1797;
constexpr ErrorCode kInvalidPrinterName = 1801;
constexpr ErrorCode kPrinterAlreadyExists = 1802;
constexpr ErrorCode kUnknownPrintMonitor = 3000;
constexpr ErrorCode kPrinterDriverInUse = 3001;
constexpr ErrorCode kWsaWouldBlock = 10035;
constexpr ErrorCode kWsaTimedOut = 10060;
constexpr ErrorCode kWsaConnectionRefused = 10061;
}  // namespace err

// A GUID in the Windows layout.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
};

// Field-wise equality of two GUIDs.
bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

namespace guids {
// Device interface class of USB printing devices.
constexpr Guid kUsbPrintInterface{0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};
// Device interface class of COM ports.
constexpr Guid kComPortInterface{0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
// Setup class of Bluetooth devices (adapters among them).
constexpr Guid kBluetoothSetupClass{0xe0cbf06c, 0xcd8b, 0x4647, {0xbb, 0x8a, 0x26, 0x3b, 0x43, 0xf0, 0xf9, 0x74}};
// Bluetooth serial port profile service class.
constexpr Guid kSerialPortService{0x00001101, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5f, 0x9b, 0x34, 0xfb}};
}  // namespace guids

// How a call into a run-time looked-up function went: whether the library
// and the entry point were found, and the call's error code if it was made.
enum class DynamicStatus { kCalled, kLibraryMissing, kEntryMissing };

struct DynamicResult {
  DynamicStatus status = DynamicStatus::kCalled;
  ErrorCode error = err::kOk;  // meaningful only when status is kCalled
};

}  // namespace platform
