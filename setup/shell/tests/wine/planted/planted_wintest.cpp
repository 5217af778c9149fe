// Runs under Wine from a folder where DLLs and programs with the names the
// setup program loads and starts have been planted (plovex-planted.sh),
// with another such folder as its working folder.  It starts the way
// Plovex.exe does and then makes every run-time load and every launch of
// the engine through the real Win32 platform layer; the script then looks
// for the planted files' traces.  Here: each launch names the system
// folder's program and really starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app.h"
#include "engine/setup_engine.h"
#include "system_libraries.h"
#include "win32_platform.h"

namespace {

using platform::win32::Win32Platform;

// The registration fails, so the driver goes the staged way that starts
// the certificate tool and the printer setup entry point.
class RefusingSpooler : public platform::win32::Win32Spooler {
 public:
  platform::ErrorCode AddDriver(const platform::DriverSetup&, uint32_t) override { return ERROR_ACCESS_DENIED; }
};

// Windows 10, where the certificate is imported first.
class Windows10 : public platform::win32::Win32System {
 public:
  platform::ErrorCode GetVersion(platform::OsVersion& out) override {
    out = platform::OsVersion{10, 0, 19045};
    return 0;
  }
};

// Keeps every launch and its outcome, then starts it for real.
class RecordingProcesses : public platform::win32::Win32Processes {
 public:
  platform::ErrorCode Launch(const platform::ProcessLaunch& launch) override {
    launches.push_back(launch);
    results.push_back(Win32Processes::Launch(launch));
    return results.back();
  }
  std::vector<platform::ProcessLaunch> launches;
  std::vector<platform::ErrorCode> results;
};

std::wstring Lower(std::wstring text) {
  CharLowerW(&text[0]);
  return text;
}

bool OpenOwnArchive() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  CPaintManagerUI::SetInstance(instance);
  HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(129), L"ZIPRES");
  HGLOBAL loaded = res ? LoadResource(instance, res) : nullptr;
  if (!loaded) return false;
  SetUpResources(L"C:\\", LockResource(loaded), SizeofResource(instance, res));
  return CResourceManager::GetInstance().IsZipOpen();
}

TEST(PlantedFiles, EveryLoadAndLaunchOfTheEngineUsesTheSystemFolder) {
  ASSERT_TRUE(OpenOwnArchive());
  Win32Platform real;
  platform::Platform base = real.View();
  RefusingSpooler spooler;
  Windows10 system;
  RecordingProcesses processes;
  platform::Platform view{spooler, base.devices, base.registry, base.files, processes, base.network,
                          base.bluetooth, base.services, system, base.clock};
  SetupEngine engine(view);

  // Staged driver: certificate tool and printer setup entry point.
  // Its outcome is not the point: it depends on whether an earlier test in
  // the same prefix left the driver installed.
  engine.DeployDriver(engine.models[0]);
  // A printer action, not waited for.
  engine.printerName = L"Planted probe";
  engine.OpenPrinterUi(L" printui.dll, PrintUIEntry /p /n\"%s\" ");
  // The Bluetooth library (no radio under Wine) and the spooler library's
  // package deletion, both looked up at run time.
  view.bluetooth.FindRadio();
  view.spooler.DeleteDriverPackage(L"C:\\nowhere\\planted.inf");

  const std::wstring systemFolder = Lower(platform::win32::SystemFolder());
  ASSERT_FALSE(systemFolder.empty());
  ASSERT_EQ(processes.launches.size(), 3u);
  const wchar_t* const programs[] = {L"\\certutil.exe", L"\\rundll32.exe", L"\\rundll32.exe"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Lower(processes.launches[i].file), systemFolder + programs[i]);
    EXPECT_EQ(processes.results[i], 0u) << "launch " << i;
  }
  EXPECT_EQ(Lower(processes.launches[2].directory), systemFolder);
  // Give the action's program time to leave a trace if it were the planted one.
  Sleep(1500);
}

}  // namespace

// The restriction comes first, as in the program's own entry point.
int main(int argc, char** argv) {
  platform::win32::RestrictDllSearch();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
