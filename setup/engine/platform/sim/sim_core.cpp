#include <cwchar>
#include <cwctype>

#include "sim_platform.h"

namespace platform::sim {

// Moves time on; the tick count wraps like GetTickCount.
void VirtualClock::Advance(uint32_t ms) {
  now_ += ms;
  fileTime_ += static_cast<uint64_t>(ms) * 10000;
  slept_ += ms;
}

// A later call replaces an earlier pending failure of the same operation.
void CallLog::FailNext(Op op, ErrorCode code, int count) {
  pending_[static_cast<size_t>(op)] = {code, count};
}

// Records a call; an injected failure code when one is due.
std::optional<ErrorCode> CallLog::Enter(Op op) {
  const auto i = static_cast<size_t>(op);
  ++counts_[i];
  if (pending_[i].left <= 0) return std::nullopt;
  --pending_[i].left;
  return pending_[i].code;
}

// Lower case for comparisons that ignore case.
std::wstring Fold(const std::wstring& text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

// Case-insensitive comparison as the Windows name look-ups make it.
bool SameName(const std::wstring& a, const std::wstring& b) { return Fold(a) == Fold(b); }

// A fresh machine: its driver directory exists and the spooler runs.
SimPlatform::SimPlatform() {
  std::wstring directory;
  spooler.GetDriverDirectory(directory);
  files.MakeDirs(directory);
  files.MakeDirs(L"C:\\Program Files");
  SimServices::Config printService;
  printService.displayName = L"Print Spooler";
  services.AddService(L"Spooler", printService);
  // Construction is not a call of the code under test.
  core.calls = CallLog();
}

// The references the engine is given.
Platform SimPlatform::View() {
  return Platform{spooler, devices, registry, files, processes, network,
                  bluetooth, services, system, core.clock};
}

// The device path and registry key are named after the instance id with
// "\\" turned into "#", as the device manager names them.
std::wstring SimPlatform::PlugUsbPrinter(const std::wstring& instanceId, uint32_t portNumber, bool responsive) {
  const std::wstring usbClass = L"{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  std::wstring hashed = instanceId;
  for (wchar_t& c : hashed)
    if (c == L'\\') c = L'#';
  SimInterface item;
  item.interfaceClass = guids::kUsbPrintInterface;
  item.devicePath = L"\\\\?\\" + Fold(hashed) + L"#" + usbClass;
  item.instanceId = instanceId;
  item.description = L"USB Printing Support";
  item.hardwareId = instanceId.substr(0, instanceId.rfind(L'\\'));
  devices.AddInterface(item);
  registry.SetDword(L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + usbClass + L"\\##?#" + hashed +
                        L"#" + usbClass + L"\\#\\Device Parameters",
                    L"Port Number", portNumber);
  files.AddDevice(item.devicePath, responsive);
  if (portNumber != 0) {
    wchar_t port[16];
    std::swprintf(port, 16, L"USB%03u", static_cast<unsigned>(portNumber));
    spooler.AddPortOf(L"USB Monitor", port, L"Virtual printer port for USB");
  }
  return item.devicePath;
}

}  // namespace platform::sim
