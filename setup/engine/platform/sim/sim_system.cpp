#include "sim_platform.h"

namespace platform::sim {

// English texts of the codes the engine reports, as language 0 (the fallback).
SimSystem::SimSystem(SimCore& core) : core_(core) {
  const std::pair<ErrorCode, const wchar_t*> english[] = {
      {err::kFileNotFound, L"The system cannot find the file specified."},
      {err::kPathNotFound, L"The system cannot find the path specified."},
      {err::kAccessDenied, L"Access is denied."},
      {err::kInvalidParameter, L"The parameter is incorrect."},
      {err::kAlreadyExists, L"Cannot create a file when that file already exists."},
      {err::kServiceAlreadyRunning, L"An instance of the service is already running."},
      {err::kServiceNotActive, L"The service has not been started."},
      {err::kUnknownPort, L"The specified port is unknown."},
      {err::kUnknownPrinterDriver, L"The printer driver is unknown."},
      {err::kInvalidPrinterName, L"The printer name is invalid."},
      {err::kPrinterAlreadyExists, L"The printer already exists."},
      {err::kPrinterDriverInUse, L"The specified printer driver is currently in use."},
  };
  for (const auto& [code, text] : english) messages_[{code, 0}] = text;
}

// Windows 10 unless a test says otherwise.
ErrorCode SimSystem::GetVersion(OsVersion& out) {
  if (auto injected = core_.calls.Enter(Op::kGetVersion)) return *injected;
  out = version_;
  return err::kOk;
}

// A 32-bit system unless a test says otherwise.
ErrorCode SimSystem::IsWow64(bool& out) {
  if (auto injected = core_.calls.Enter(Op::kIsWow64)) return *injected;
  out = wow64_;
  return err::kOk;
}

// The language's own text, else the fallback, else nothing.
std::wstring SimSystem::ErrorMessage(ErrorCode code, uint16_t languageId) {
  auto it = messages_.find({code, languageId});
  if (it == messages_.end()) it = messages_.find({code, 0});
  return it == messages_.end() ? std::wstring() : it->second;
}

// An empty folder stands for a failed look-up.
ErrorCode SimSystem::ProgramFilesFolder(std::wstring& out) {
  if (auto injected = core_.calls.Enter(Op::kProgramFilesFolder)) return *injected;
  if (programFiles_.empty()) return err::kFileNotFound;
  out = programFiles_;
  return err::kOk;
}

// GetSystemDirectory does not fail on a working system; tests inject it.
ErrorCode SimSystem::SystemFolder(std::wstring& out) {
  if (auto injected = core_.calls.Enter(Op::kSystemFolder)) return *injected;
  out = systemFolder_;
  return err::kOk;
}

// Latin-1 for the first 256 code points, "?" for the rest.
std::string SimSystem::ToAnsi(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(static_cast<uint32_t>(c) < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

// A message text for a code in a language.
void SimSystem::SetMessage(ErrorCode code, uint16_t languageId, const std::wstring& text) {
  messages_[{code, languageId}] = text;
}

}  // namespace platform::sim
