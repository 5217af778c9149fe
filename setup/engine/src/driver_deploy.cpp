// The deployment of a model's driver: files from the resource archive into
// the spooler's driver directory and registration, or, when that fails, a
// staged driver package and the system's printer setup entry point.
#include "engine/setup_engine.h"

#include "engine_text.h"
#include "system_programs.h"

namespace {

const size_t kMaxArchiveEntry = 4194304;
const wchar_t kStagingTail[] = L"\\Drevon\\DorvaPlovex\\";
const wchar_t kStagingFallback[] = L"C:\\Drevon\\DorvaPlovex\\";

// The staging folder's own levels below the program-files folder or the
// drive ("...\Drevon", "...\Drevon\DorvaPlovex") and its family folders.
std::vector<std::wstring> StagingLevels(const std::wstring& staging, const ModelEntry& model) {
  const size_t rootLength = staging.size() - (sizeof kStagingTail / sizeof kStagingTail[0] - 1);
  std::vector<std::wstring> levels;
  for (size_t at = staging.find(L'\\', rootLength + 1); at != std::wstring::npos; at = staging.find(L'\\', at + 1))
    levels.push_back(staging.substr(0, at));
  for (const std::wstring& family : model.families) levels.push_back(staging + family);
  return levels;
}

// The administrators, the system and the system's own installer.
bool IsAdminSid(const std::wstring& sid) {
  return sid == platform::kSidAdministrators || sid == platform::kSidLocalSystem ||
         sid == platform::kSidTrustedInstaller;
}

// Whether an existing folder could have been prepared, or can still be
// changed, by someone without administrator rights: a link, a folder owned
// by anyone else, or one whose access list lets anyone else write (a
// folder on the drive root inherits "signed-in users may modify").
bool IsUntrusted(platform::Files& files, const std::wstring& level) {
  uint32_t attributes = 0;
  if (files.GetAttributes(level, attributes) != platform::err::kOk ||
      (attributes & platform::kAttributeReparsePoint))
    return true;
  std::wstring owner;
  if (files.GetOwner(level, owner) != platform::err::kOk || (owner != platform::kSidAdministrators &&
                                                              owner != platform::kSidLocalSystem))
    return true;
  std::vector<std::wstring> writers;
  if (files.GetWriters(level, writers) != platform::err::kOk) return true;
  for (const std::wstring& sid : writers) {
    if (!IsAdminSid(sid)) return true;
  }
  return false;
}

// The first of the levels that exists but is untrusted; empty when there
// is none.
std::wstring UntrustedLevel(platform::Files& files, const std::vector<std::wstring>& levels) {
  for (const std::wstring& level : levels) {
    uint32_t attributes = 0;
    const platform::ErrorCode error = files.GetAttributes(level, attributes);
    if (error == platform::err::kFileNotFound || error == platform::err::kPathNotFound) continue;
    if (IsUntrusted(files, level)) return level;
  }
  return std::wstring();
}

// The text after the last backslash, empty when there is none.
std::wstring FileNameOf(const std::wstring& archivePath) {
  const size_t slash = archivePath.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : archivePath.substr(slash + 1);
}

}  // namespace

// Writes one archive entry into a directory under its own file name; the
// name goes into the dependent-file list whether or not the write works.
bool SetupEngine::ExtractArchiveFile(const std::wstring& archivePath, const std::wstring& targetDirectory,
                                     std::vector<std::wstring>& dependentFiles, platform::ErrorCode& error) {
  const std::wstring fileName = FileNameOf(archivePath);
  if (fileName.empty()) {
    error = platform::err::kInvalidName;
    return false;
  }
  dependentFiles.push_back(fileName);
  std::wstring entry = archivePath;
  for (wchar_t& c : entry) {
    if (c == L'\\') c = L'/';
  }
  std::vector<uint8_t> bytes;
  if (!CResourceManager::GetInstance().GetFileBytes(entry, bytes)) {
    error = platform::err::kFileNotFound;
    return false;
  }
  if (bytes.empty() || bytes.size() > kMaxArchiveEntry) {
    error = platform::err::kInvalidData;
    return false;
  }
  error = platform_.files.WriteWholeFile(targetDirectory + fileName, bytes);
  return error == platform::err::kOk;
}

// The normal way first; the staged package when it cannot be used.
bool SetupEngine::DeployDriver(const ModelEntry& model) {
  bool wow64 = false;
  if (platform_.system.IsWow64(wow64) != platform::err::kOk) wow64 = false;
  const std::vector<std::wstring>& files = model.installLists.at(wow64 ? L"Driver64" : L"Driver32");

  std::wstring directory;
  const platform::ErrorCode dirError = platform_.spooler.GetDriverDirectory(directory);
  if (dirError != platform::err::kOk) {
    LogInstallError(L"tip.readdriverdirfail", dirError);
    return DeployByStaging(model);
  }
  directory += L"\\";

  LogInstallKey(L"tip.startcopyfile", {});
  std::vector<std::wstring> dependent;
  bool allCopied = true;
  for (const std::wstring& path : files) {
    if (path.find(L"driver\\common") != std::wstring::npos) {
      // Shared files already in place are used as they are.
      uint32_t attributes = 0;
      const platform::ErrorCode found = platform_.files.GetAttributes(directory + FileNameOf(path), attributes);
      if (found != platform::err::kFileNotFound && found != platform::err::kPathNotFound) {
        dependent.push_back(FileNameOf(path));
        continue;
      }
    }
    platform::ErrorCode error = platform::err::kOk;
    if (!ExtractArchiveFile(path, directory, dependent, error)) {
      LogInstall(path);
      LogInstallError(L"tip.copyfilefail", error);
      allCopied = false;
    }
  }
  // The registration is still tried (an older copy may be in place), but
  // the log must not claim a copy that failed.
  if (allCopied) LogInstallKey(L"tip.copyfilesuccess", {});

  LogInstallKey(L"tip.startinstalldriver", {});
  platform::DriverSetup setup;
  setup.version = 3;
  setup.name = model.driverName;
  setup.driverPath = model.driverFile;
  setup.dataFile = model.dataFile;
  setup.configFile = model.configFile;
  setup.helpFile = model.helpFile;
  setup.dependentFiles = dependent;
  setup.driverDate = platform_.clock.SystemFileTime();
  setup.driverVersion = 11;
  setup.manufacturer = L"QX";
  setup.provider = L"QX";
  const platform::ErrorCode addError = platform_.spooler.AddDriver(setup, platform::kCopyAllFiles);
  if (addError == platform::err::kOk) {
    LogInstallKey(L"tip.installdriversuccess", {});
    return true;
  }
  LogInstallError(L"tip.installdriverfail", addError);
  return DeployByStaging(model);
}

// Creates a directory and every missing parent, each with an access list
// for the administrators only, so that nobody else can swap what is staged
// in it before the elevated steps use it. An existing one is fine, unless
// it appeared between the look and the creation and is not to be trusted.
SetupEngine::StagingFolder SetupEngine::CreateDirectories(const std::wstring& path, std::wstring& untrusted) {
  std::wstring prefix;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    prefix = path.substr(0, end);
    start = end + 1;
    if (prefix.empty() || prefix.back() == L':') continue;
    uint32_t attributes = 0;
    if (platform_.files.GetAttributes(prefix, attributes) == platform::err::kOk) continue;
    const platform::ErrorCode error = platform_.files.CreateAdminOnlyDir(prefix);
    if (error == platform::err::kAlreadyExists && IsUntrusted(platform_.files, prefix)) {
      untrusted = prefix;
      return kStagingUnsafe;
    }
    if (error != platform::err::kOk && error != platform::err::kAlreadyExists) return kStagingNotCreated;
  }
  return kStagingReady;
}

// The staged package: files under the program-files folder, the publisher
// certificate trusted, the package installed by the printer setup entry
// point; the spooler decides whether it worked.
bool SetupEngine::DeployByStaging(const ModelEntry& model) {
  std::wstring staging;
  if (platform_.system.ProgramFilesFolder(staging) == platform::err::kOk && !staging.empty())
    staging += kStagingTail;
  else
    staging = kStagingFallback;
  // The driver package is installed from here with administrator rights:
  // files someone else placed or could swap must not be handed on.
  std::wstring untrusted = UntrustedLevel(platform_.files, StagingLevels(staging, model));
  auto folderFailed = [&](StagingFolder made) {
    if (made == kStagingUnsafe) LogInstallKey(L"tip.stagingunsafe", {untrusted}, true);
    if (made == kStagingNotCreated) LogInstallKey(L"tip.createdirfail", {}, true);
    return made != kStagingReady;
  };
  if (!untrusted.empty()) return !folderFailed(kStagingUnsafe);
  if (folderFailed(CreateDirectories(staging, untrusted))) return false;

  LogInstallKey(L"tip.startcopyfile", {});
  for (const std::wstring& family : model.families) {
    if (folderFailed(CreateDirectories(staging + family, untrusted))) return false;
  }
  // Root: data files and the certificate; each family folder: a whole
  // package (binaries, data files, INF).
  std::vector<std::pair<std::wstring, std::wstring>> jobs;
  for (const std::wstring& path : model.stagingDataList) jobs.push_back({path, staging});
  jobs.push_back({model.certificatePath, staging});
  for (const wchar_t* family : {L"IA64", L"Driver64", L"Driver32"}) {
    const std::wstring folder = staging + family + L"\\";
    for (const std::wstring& path : model.installLists.at(family)) jobs.push_back({path, folder});
    jobs.push_back({model.infPath, folder});
  }
  std::vector<std::wstring> unused;
  for (const auto& job : jobs) {
    platform::ErrorCode error = platform::err::kOk;
    if (!ExtractArchiveFile(job.first, job.second, unused, error)) {
      LogInstallError(L"tip.copyfilefail", error);
      return false;
    }
  }
  LogInstallKey(L"tip.copyfilesuccess", {});

  // Windows 8 and later refuse an untrusted publisher's package silently.
  platform::OsVersion version;
  const bool versionRead = platform_.system.GetVersion(version) == platform::err::kOk;
  if (!versionRead || version.major > 6 || (version.major == 6 && version.minor > 1)) {
    platform::ProcessLaunch certutil;
    if (SetSystemProgram(platform_.system, kCertutil, certutil)) {
      certutil.directory = staging;
      certutil.parameters =
          engine_text::Format(L"-addstore \"TrustedPublisher\" \"%s\"", staging + model.certificateFile);
      certutil.show = platform::kShowHidden;
      certutil.wait = true;
      platform_.processes.Launch(certutil);
    }
  }

  LogInstallKey(L"tip.startinstalldriver", {});
  bool wow64 = false;
  if (platform_.system.IsWow64(wow64) != platform::err::kOk) wow64 = false;
  const std::wstring inf = staging + (wow64 ? L"Driver64" : L"Driver32") + L"\\" + model.infFile;
  platform::ProcessLaunch printui;
  if (SetSystemProgram(platform_.system, kRundll32, printui)) {
    printui.directory = staging;
    printui.parameters = L"printui.dll, PrintUIEntry /ia /m \"" + model.driverName + L"\" /f \"" + inf + L"\"";
    printui.owner = hMainWnd;
    printui.wait = true;
    platform_.processes.Launch(printui);
  }

  std::vector<platform::DriverInfo> installed;
  platform_.spooler.ListDrivers(1, installed);
  const std::wstring wanted = engine_text::Lower(model.driverName);
  for (const platform::DriverInfo& driver : installed) {
    if (engine_text::Lower(driver.name) == wanted) {
      LogInstallKey(L"tip.installdriversuccess", {});
      return true;
    }
  }
  LogInstallKey(L"tip.installdriverfail2", {}, true);
  return false;
}
