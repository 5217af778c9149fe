#include "sim_platform.h"

namespace platform::sim {
namespace {

constexpr ErrorCode kTimeout = 1460;

// One spelling of a path: "\" separators, no trailing separator.
std::wstring Normal(const std::wstring& path) {
  std::wstring out(path);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  while (out.size() > 2 && out.back() == L'\\') out.pop_back();
  return out;
}

// The folder part of a normalised path; empty for a drive root.
std::wstring Parent(const std::wstring& normal) {
  const size_t slash = normal.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : normal.substr(0, slash);
}

// "C:" and the like, which always exist.
bool IsDriveRoot(const std::wstring& normal) {
  return normal.size() == 2 && normal[1] == L':';
}

}  // namespace

// Windows tells a missing folder on the way (3) from a missing last part (2).
ErrorCode SimFiles::GetAttributes(const std::wstring& path, uint32_t& attributes) {
  if (auto injected = core_.calls.Enter(Op::kGetAttributes)) return *injected;
  const std::wstring normal = Normal(path);
  if (IsDriveRoot(normal)) {
    attributes = kAttributeDirectory;
    return err::kOk;
  }
  auto it = entries_.find(Fold(normal));
  if (it == entries_.end()) return Exists(Parent(normal)) ? err::kFileNotFound : err::kPathNotFound;
  attributes = it->second.directory ? kAttributeDirectory : kAttributeNormal;
  if (it->second.link) attributes |= kAttributeReparsePoint;
  return err::kOk;
}

// One level only, like CreateDirectory.
ErrorCode SimFiles::CreateDir(const std::wstring& path) {
  if (auto injected = core_.calls.Enter(Op::kCreateDir)) return *injected;
  return MakeDir(path, false);
}

ErrorCode SimFiles::CreateAdminOnlyDir(const std::wstring& path) {
  if (auto injected = core_.calls.Enter(Op::kCreateAdminOnlyDir)) return *injected;
  return MakeDir(path, true);
}

// A plain folder inherits who may write from its parent.
ErrorCode SimFiles::MakeDir(const std::wstring& path, bool adminOnly) {
  const std::wstring normal = Normal(path);
  if (IsDriveRoot(normal) || entries_.count(Fold(normal))) return err::kAlreadyExists;
  const std::wstring parent = Parent(normal);
  auto up = entries_.find(Fold(parent));
  if (!IsDriveRoot(parent) && (up == entries_.end() || !up->second.directory))
    return err::kPathNotFound;
  std::vector<std::wstring> writers{kSidAdministrators, kSidLocalSystem};
  if (!adminOnly) {
    if (IsDriveRoot(parent)) writers.push_back(kSidAuthenticatedUsers);
    else writers = up->second.writers;
  }
  Entry& made = entries_[Fold(normal)];
  made.path = normal;
  made.directory = true;
  made.writers = writers;
  return err::kOk;
}

ErrorCode SimFiles::GetWriters(const std::wstring& path, std::vector<std::wstring>& sids) {
  if (auto injected = core_.calls.Enter(Op::kGetWriters)) return *injected;
  const std::wstring normal = Normal(path);
  if (IsDriveRoot(normal)) {
    sids = {kSidAdministrators, kSidLocalSystem, kSidAuthenticatedUsers};
    return err::kOk;
  }
  auto it = entries_.find(Fold(normal));
  if (it == entries_.end()) return Exists(Parent(normal)) ? err::kFileNotFound : err::kPathNotFound;
  sids = it->second.writers;
  return err::kOk;
}

void SimFiles::SetWriters(const std::wstring& path, const std::vector<std::wstring>& sids) {
  auto it = entries_.find(Fold(Normal(path)));
  if (it != entries_.end()) it->second.writers = sids;
}

// Create or overwrite; a folder or a locked file cannot be written.
ErrorCode SimFiles::WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  if (auto injected = core_.calls.Enter(Op::kWriteWholeFile)) return *injected;
  const std::wstring normal = Normal(path);
  const std::wstring parent = Parent(normal);
  auto up = entries_.find(Fold(parent));
  if (!IsDriveRoot(parent) && (up == entries_.end() || !up->second.directory))
    return err::kPathNotFound;
  auto it = entries_.find(Fold(normal));
  if (it != entries_.end()) {
    if (it->second.directory) return err::kAccessDenied;
    if (it->second.locked) return err::kSharingViolation;
    it->second.bytes = bytes;
    return err::kOk;
  }
  Entry& made = entries_[Fold(normal)];
  made.path = normal;
  made.bytes = bytes;
  return err::kOk;
}

// Drive roots belong to the system.
ErrorCode SimFiles::GetOwner(const std::wstring& path, std::wstring& ownerSid) {
  if (auto injected = core_.calls.Enter(Op::kGetOwner)) return *injected;
  const std::wstring normal = Normal(path);
  if (IsDriveRoot(normal)) {
    ownerSid = kSidLocalSystem;
    return err::kOk;
  }
  auto it = entries_.find(Fold(normal));
  if (it == entries_.end()) return Exists(Parent(normal)) ? err::kFileNotFound : err::kPathNotFound;
  ownerSid = it->second.owner;
  return err::kOk;
}

// An unresponsive device lets the whole wait pass and reports a time-out.
ErrorCode SimFiles::WriteDevice(const std::wstring& devicePath, const std::vector<uint8_t>& bytes,
                                uint32_t timeoutMs, uint32_t& written) {
  written = 0;
  if (auto injected = core_.calls.Enter(Op::kWriteDevice)) return *injected;
  auto it = devices_.find(Fold(devicePath));
  if (it == devices_.end()) return err::kFileNotFound;
  if (!it->second.responsive) {
    core_.clock.Advance(timeoutMs);
    return kTimeout;
  }
  it->second.received.insert(it->second.received.end(), bytes.begin(), bytes.end());
  written = static_cast<uint32_t>(bytes.size());
  return err::kOk;
}

// Creates a directory and all its parents.
void SimFiles::MakeDirs(const std::wstring& path) {
  const std::wstring normal = Normal(path);
  if (normal.empty() || IsDriveRoot(normal)) return;
  MakeDirs(Parent(normal));
  auto& entry = entries_[Fold(normal)];
  entry.path = normal;
  entry.directory = true;
}

// Creates the parents and the file.
void SimFiles::PutFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  const std::wstring normal = Normal(path);
  MakeDirs(Parent(normal));
  Entry& made = entries_[Fold(normal)];
  made = Entry{};
  made.path = normal;
  made.bytes = bytes;
}

// True for files, folders and drive roots.
bool SimFiles::Exists(const std::wstring& path) const {
  const std::wstring normal = Normal(path);
  return IsDriveRoot(normal) || entries_.count(Fold(normal)) > 0;
}

// The content of a file; nothing for folders and missing paths.
std::optional<std::vector<uint8_t>> SimFiles::Read(const std::wstring& path) const {
  auto it = entries_.find(Fold(Normal(path)));
  if (it == entries_.end() || it->second.directory) return std::nullopt;
  return it->second.bytes;
}

// A locked file refuses writes with a sharing violation.
void SimFiles::SetLocked(const std::wstring& path, bool locked) {
  auto it = entries_.find(Fold(Normal(path)));
  if (it != entries_.end()) it->second.locked = locked;
}

// Another owner for an existing entry.
void SimFiles::SetOwner(const std::wstring& path, const std::wstring& ownerSid) {
  auto it = entries_.find(Fold(Normal(path)));
  if (it != entries_.end()) it->second.owner = ownerSid;
}

// A folder entry marked as a reparse point.
void SimFiles::MakeLink(const std::wstring& path) {
  MakeDirs(path);
  entries_[Fold(Normal(path))].link = true;
}

// A device that can be opened by its path.
void SimFiles::AddDevice(const std::wstring& devicePath, bool responsive) {
  devices_[Fold(devicePath)] = Device{responsive, {}};
}

// Everything written to the device so far.
std::vector<uint8_t> SimFiles::DeviceBytes(const std::wstring& devicePath) const {
  auto it = devices_.find(Fold(devicePath));
  return it == devices_.end() ? std::vector<uint8_t>() : it->second.received;
}

// Every start is recorded; the handler, if any, plays the program's effect.
// Like the real layer, a file without a full path is refused (and still
// recorded, so a test sees what was asked for).
ErrorCode SimProcesses::Launch(const ProcessLaunch& launch) {
  if (auto injected = core_.calls.Enter(Op::kLaunch)) return *injected;
  launched_.push_back(launch);
  if (!IsFullPath(launch.file)) return err::kBadPathname;
  return handler_ ? handler_(launch) : err::kOk;
}

}  // namespace platform::sim
