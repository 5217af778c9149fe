// Runs under Wine: the real spooler, service manager, registry, files and
// sockets behind the Win32 platform layer.  Bluetooth service calls are left
// out on purpose: under Wine they abort the process.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>

#include <gtest/gtest.h>

#include "system_libraries.h"
#include "win32_platform.h"

namespace platform::win32 {
namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  Win32Platform real;
  Platform os = real.View();
};

TEST_F(Win32PlatformTest, DriverDirectoryExistsWithoutTrailingSeparator) {
  std::wstring directory;
  ASSERT_EQ(os.spooler.GetDriverDirectory(directory), 0u);
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), L'\\');
  EXPECT_NE(Lower(directory).find(L"spool\\drivers"), std::wstring::npos);
  uint32_t attributes = 0;
  ASSERT_EQ(os.files.GetAttributes(directory, attributes), 0u);
  EXPECT_TRUE(attributes & kAttributeDirectory);
}

TEST_F(Win32PlatformTest, SpoolerListsPortsQueuesAndDrivers) {
  std::vector<PortInfo> ports;
  ASSERT_EQ(os.spooler.ListPorts(ports), 0u);
  auto has = [&](const wchar_t* name) {
    return std::any_of(ports.begin(), ports.end(), [&](const PortInfo& p) { return p.name == name; });
  };
  EXPECT_TRUE(has(L"COM1:"));
  EXPECT_TRUE(has(L"LPT1:"));
  std::vector<PrinterInfo> printers;
  EXPECT_EQ(os.spooler.ListPrinters(kEnumPrinterLocal | kEnumPrinterConnections | kEnumPrinterNetwork, printers), 0u);
  std::vector<DriverInfo> drivers;
  for (uint32_t level : {1u, 6u, 8u}) EXPECT_EQ(os.spooler.ListDrivers(level, drivers), 0u) << level;
  EXPECT_EQ(os.spooler.ListDrivers(2, drivers), static_cast<ErrorCode>(ERROR_INVALID_LEVEL));
}

TEST_F(Win32PlatformTest, UnknownQueueAndPackageFailWithACode) {
  EXPECT_NE(os.spooler.DeleteQueue(L"No Such Queue 7f3a"), 0u);
  const DynamicResult package = os.spooler.DeleteDriverPackage(L"C:\\nowhere\\none.inf");
  if (package.status == DynamicStatus::kCalled) {
    EXPECT_NE(package.error, 0u);
  }
}

TEST_F(Win32PlatformTest, SpoolerServiceCanBeQueried) {
  ServiceHandle manager = 0, service = 0;
  ASSERT_EQ(os.services.OpenManager(kManagerAllAccess, manager), 0u);
  EXPECT_EQ(os.services.OpenServiceByName(manager, L"NoSuchService7f3a", kServiceQueryStatus, service),
            static_cast<ErrorCode>(ERROR_SERVICE_DOES_NOT_EXIST));
  ASSERT_EQ(os.services.OpenServiceByName(manager, L"Spooler", kServiceQueryStatus | kServiceEnumerateDependents,
                                          service), 0u);
  ServiceStatus status;
  ASSERT_EQ(os.services.QueryStatus(service, status), 0u);
  EXPECT_GE(status.state, kServiceStopped);
  EXPECT_LE(status.state, 7u);
  std::vector<DependentService> dependents;
  EXPECT_EQ(os.services.EnumActiveDependents(service, dependents), 0u);
  os.services.Close(service);
  os.services.Close(manager);
}

// Polls the service until it reaches the state or five seconds pass.
uint32_t WaitFor(Services& services, ServiceHandle service, uint32_t state) {
  ServiceStatus status;
  for (int i = 0; i < 100; ++i) {
    if (services.QueryStatus(service, status) != 0 || status.state == state) break;
    Sleep(50);
  }
  return status.state;
}

TEST_F(Win32PlatformTest, SpoolerServiceStopsAndStarts) {
  ServiceHandle manager = 0, service = 0;
  ASSERT_EQ(os.services.OpenManager(kManagerAllAccess, manager), 0u);
  ASSERT_EQ(os.services.OpenServiceByName(manager, L"Spooler", kServiceAllAccess, service), 0u);
  const ErrorCode first = os.services.Start(service);
  EXPECT_TRUE(first == 0 || first == err::kServiceAlreadyRunning) << first;
  ASSERT_EQ(WaitFor(os.services, service, kServiceRunning), kServiceRunning);
  EXPECT_EQ(os.services.Start(service), err::kServiceAlreadyRunning);
  ServiceStatus status;
  ASSERT_EQ(os.services.Stop(service, status), 0u);
  EXPECT_EQ(WaitFor(os.services, service, kServiceStopped), kServiceStopped);
  EXPECT_EQ(os.services.Stop(service, status), err::kServiceNotActive);
  ASSERT_EQ(os.services.Start(service), 0u);
  EXPECT_EQ(WaitFor(os.services, service, kServiceRunning), kServiceRunning);
  os.services.Close(service);
  os.services.Close(manager);
}

TEST_F(Win32PlatformTest, DeviceSetupListsWithoutPrintersOrRadios) {
  std::vector<DeviceInterfaceRecord> usb, com;
  EXPECT_EQ(os.devices.EnumInterfaces(guids::kUsbPrintInterface, usb), 0u);
  EXPECT_EQ(os.devices.EnumInterfaces(guids::kComPortInterface, com), 0u);
  for (const auto& record : usb) EXPECT_TRUE(record.detailRead);
  std::vector<Guid> classes;
  EXPECT_EQ(os.devices.PresentDeviceClasses(classes), 0u);
  // Wine has no Bluetooth radio: the look-up must fail with a code, not crash.
  EXPECT_NE(os.bluetooth.FindRadio(), 0u);
}

TEST_F(Win32PlatformTest, RegistryStringsAreBounded) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  std::wstring text;
  ASSERT_EQ(os.registry.ReadString(key, L"CurrentVersion", 255, text), 0u);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find(L'\0'), std::wstring::npos);
  EXPECT_EQ(os.registry.ReadString(key, L"CurrentVersion", 2, text), static_cast<ErrorCode>(ERROR_MORE_DATA));
  uint32_t number = 0;
  // "6.1" takes eight bytes: more than a DWORD holds.
  EXPECT_EQ(os.registry.ReadDword(key, L"CurrentVersion", number), static_cast<ErrorCode>(ERROR_MORE_DATA));
  EXPECT_EQ(os.registry.ReadDword(key + L"\\NoSuchKey7f3a", L"x", number), static_cast<ErrorCode>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Win32PlatformTest, FilesAreWrittenWholeIntoNewDirectories) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring dir = std::wstring(temp) + L"platform-test-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_EQ(os.files.CreateDir(dir), 0u);
  EXPECT_EQ(os.files.CreateDir(dir), static_cast<ErrorCode>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(os.files.CreateDir(dir + L"\\a\\b"), static_cast<ErrorCode>(ERROR_PATH_NOT_FOUND));
  const std::wstring file = dir + L"\\driver.dll";
  ASSERT_EQ(os.files.WriteWholeFile(file, std::vector<uint8_t>(5000, 0x5A)), 0u);
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 5000u);
  DeleteFileW(file.c_str());
  RemoveDirectoryW(dir.c_str());
}

// Wine's shell finds its own programs whatever lies in the current folder,
// so the planted-files test cannot see a bare name go wrong: here the layer
// refuses one before the shell gets it.
TEST_F(Win32PlatformTest, ProgramsAndLibrariesComeFromTheSystemFolderOnly) {
  std::wstring system;
  ASSERT_EQ(os.system.SystemFolder(system), 0u);
  ASSERT_FALSE(system.empty());
  EXPECT_NE(system.back(), L'\\');
  EXPECT_NE(GetFileAttributesW((system + L"\\rundll32.exe").c_str()), INVALID_FILE_ATTRIBUTES);

  wchar_t temp[MAX_PATH] = {}, previous[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  const std::wstring dir = std::wstring(temp) + L"planted-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_EQ(os.files.CreateDir(dir), 0u);
  ASSERT_EQ(os.files.WriteWholeFile(dir + L"\\rundll32.exe", {'M', 'Z'}), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
  ProcessLaunch bare;
  bare.file = L"rundll32.exe";
  bare.parameters = L"printui.dll,PrintUIEntry /?";
  EXPECT_EQ(os.processes.Launch(bare), static_cast<ErrorCode>(ERROR_BAD_PATHNAME));
  HMODULE richEdit = LoadSystemLibrary(L"Msftedit.dll");
  ASSERT_NE(richEdit, nullptr);
  wchar_t loaded[MAX_PATH] = {};
  GetModuleFileNameW(richEdit, loaded, MAX_PATH);
  EXPECT_EQ(Lower(loaded), Lower(system + L"\\msftedit.dll"));
  FreeLibrary(richEdit);
  SetCurrentDirectoryW(previous);

  std::wstring owner;
  ASSERT_EQ(os.files.GetOwner(dir, owner), 0u);
  EXPECT_EQ(owner.compare(0, 4, L"S-1-"), 0);
  EXPECT_EQ(os.files.GetOwner(dir + L"\\none", owner), static_cast<ErrorCode>(ERROR_FILE_NOT_FOUND));
  DeleteFileW((dir + L"\\rundll32.exe").c_str());
  RemoveDirectoryW(dir.c_str());
}

// Admin-only folders and the reading of who may write. Wine keeps no
// access list of its own: it makes one up from the Unix mode (the system
// and the Wine user), so what the lists hold is checked on the simulated
// machine and must be seen on Windows; here the calls and their SID texts.
TEST_F(Win32PlatformTest, AdminOnlyFoldersAndTheirWriters) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring dir = std::wstring(temp) + L"staging-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_EQ(os.files.CreateAdminOnlyDir(dir), 0u);
  EXPECT_EQ(os.files.CreateAdminOnlyDir(dir), static_cast<ErrorCode>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(os.files.CreateAdminOnlyDir(dir + L"\\a\\b"), static_cast<ErrorCode>(ERROR_PATH_NOT_FOUND));
  std::vector<std::wstring> writers;
  ASSERT_EQ(os.files.GetWriters(dir, writers), 0u);
  ASSERT_FALSE(writers.empty());
  for (const std::wstring& sid : writers) EXPECT_EQ(sid.compare(0, 4, L"S-1-"), 0);
  EXPECT_NE(std::find(writers.begin(), writers.end(), std::wstring(kSidLocalSystem)), writers.end());
  EXPECT_EQ(os.files.GetWriters(dir + L"\\none", writers), static_cast<ErrorCode>(ERROR_FILE_NOT_FOUND));
  RemoveDirectoryW(dir.c_str());
}

TEST_F(Win32PlatformTest, ErrorMessagesHaveNoTrailingLineBreak) {
  const std::wstring text = os.system.ErrorMessage(ERROR_FILE_NOT_FOUND, 0x0409);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), L'\n');
  EXPECT_NE(text.back(), L'\r');
}

// A listening socket on a free loopback port; 0 when none could be made.
SOCKET Listen(uint16_t& port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  int size = sizeof address;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 1) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return INVALID_SOCKET;
  port = ntohs(address.sin_port);
  return s;
}

TEST_F(Win32PlatformTest, ProbeSeesAListenerAndARefusal) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  uint16_t port = 0;
  SOCKET listener = Listen(port);
  ASSERT_NE(listener, INVALID_SOCKET);
  const ProbeResult open = os.network.ProbeTcp("127.0.0.1", port, 1000);
  EXPECT_TRUE(open.connected);
  EXPECT_EQ(open.error, 0u);
  closesocket(listener);

  const DWORD start = GetTickCount();
  const ProbeResult closed = os.network.ProbeTcp("127.0.0.1", port, 1000);
  EXPECT_FALSE(closed.connected);
  EXPECT_NE(closed.error, 0u);
  EXPECT_LT(GetTickCount() - start, 900u);  // a refusal does not wait out the second
  EXPECT_FALSE(os.network.ProbeTcp("not an address", port, 200).connected);
  WSACleanup();
}

}  // namespace
}  // namespace platform::win32
