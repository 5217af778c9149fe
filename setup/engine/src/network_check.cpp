// The network page's checks: a dotted IPv4 address, a free port name, and
// the reachability probe of the printer's raw printing port.
#include "engine/setup_engine.h"

#include "engine_text.h"

#include <cerrno>
#include <climits>
#include <cwchar>

namespace {

const uint16_t kRawPrintPort = 9100;
const uint32_t kProbeWaitMs = 1000;

// One part as the C library reads a decimal number.
bool ReadPart(const std::wstring& part) {
  const wchar_t* begin = part.c_str();
  wchar_t* end = nullptr;
  errno = 0;
  const long long value = std::wcstoll(begin, &end, 10);
  if (end == begin || errno == ERANGE) return false;
  if (value < INT_MIN || value > INT_MAX) return false;
  return value >= 0 && value <= 255;
}

}  // namespace

// Four parts separated by full stops, each a number 0-255; a trailing
// full stop is allowed.
bool SetupEngine::IsValidIpv4(const std::wstring& text) {
  int count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t dot = text.find(L'.', pos);
    if (dot == std::wstring::npos) dot = text.size();
    if (!ReadPart(text.substr(pos, dot - pos))) return false;
    ++count;
    pos = dot + 1;
  }
  return count == 4;
}

// The page may be left with a valid address and a port name not yet taken.
bool SetupEngine::CheckNetworkPage() {
  auto* ip = FindAs<CEditUI>(L"edit_install_lan_ip");
  auto* name = FindAs<CEditUI>(L"edit_install_lan_portName");
  if (!ip || !name) return false;
  if (!IsValidIpv4(ip->GetText())) {
    ShowNetworkStatus(L"tip.ip.invalid");
    ip->SetFocus();
    return false;
  }
  if (PortExists(name->GetText())) {
    ShowNetworkStatus(L"tip.port.exists");
    name->SetFocus();
    return false;
  }
  ShowNetworkStatus(L"");
  return true;
}

// The label under the network edits shows a text key, so it follows a
// language switch; an empty key clears it.
void SetupEngine::ShowNetworkStatus(const wchar_t* key) {
  networkStatus_ = key;
  if (CControlUI* label = Find(L"label_show_lanPort_info")) label->SetText(key);
}

// The first port name not yet taken among the address, then the address
// with "_1", "_2", ...
std::wstring SetupEngine::FreePortName(const std::wstring& address) {
  std::wstring name = address;
  for (int counter = 1; !address.empty() && PortExists(name); ++counter)
    name = address + L"_" + std::to_wstring(counter);
  return name;
}

// Typing an address renames the port after it, unless the user has given
// the port a name of his own.
void SetupEngine::OnAddressTyped(const std::wstring& address) {
  ipAddress = address;
  if (networkStatus_ == L"tip.ip.invalid" && IsValidIpv4(address)) ShowNetworkStatus(L"");
  if (portName != followedPortName_) return;
  portName = followedPortName_ = FreePortName(address);
  if (auto* name = FindAs<CEditUI>(L"edit_install_lan_portName")) name->SetText(portName);
}

// A name typed in place of a taken one clears the complaint once it is free.
void SetupEngine::OnPortNameTyped(const std::wstring& name) {
  portName = name;
  if (networkStatus_ == L"tip.port.exists" && !PortExists(name)) ShowNetworkStatus(L"");
}

// Whether something accepts a connection on port 9100 within a second.
bool SetupEngine::ProbePrinterPort(const std::wstring& ipText) {
  return platform_.network.ProbeTcp(platform_.system.ToAnsi(ipText), kRawPrintPort, kProbeWaitMs).connected;
}

// btn_checked_ip: the probe, its outcome in a box.
void SetupEngine::CheckPrinterReachable() {
  auto* ip = FindAs<CEditUI>(L"edit_install_lan_ip");
  if (!ip) return;
  // Nothing is asked of the network for an address that is not one.
  if (!IsValidIpv4(ip->GetText())) {
    ShowNetworkStatus(L"tip.ip.invalid");
    Box(engine_text::Text(L"tip.ip.invalid"), MB_ICONINFORMATION);
    ip->SetFocus();
    return;
  }
  // The address is valid now, whatever the probe finds.
  if (networkStatus_ == L"tip.ip.invalid") ShowNetworkStatus(L"");
  const bool reached = ProbePrinterPort(ip->GetText());
  Box(engine_text::Text(reached ? L"tip.lancheckedok" : L"tip.lancheckedfail"), MB_ICONINFORMATION);
}
