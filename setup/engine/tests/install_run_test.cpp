// The install run: driver deployment, both ways, and queue creation, with
// the log lines each outcome must leave.
#include "engine_fixture.h"

#include <algorithm>

namespace {

// CRC-32 of the zip format.
uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A plain zip archive of stored (uncompressed, unencrypted) entries.
std::vector<uint8_t> StoredZip(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
  std::vector<uint8_t> zip, central;
  for (const auto& entry : entries) {
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    const uint32_t crc = Crc32(entry.second);
    const uint32_t size = static_cast<uint32_t>(entry.second.size());
    const uint32_t nameSize = static_cast<uint32_t>(entry.first.size());
    Put(zip, 0x04034b50, 4);
    Put(zip, 20, 2);
    Put(zip, 0, 2);
    Put(zip, 0, 2);
    Put(zip, 0, 4);
    Put(zip, crc, 4);
    Put(zip, size, 4);
    Put(zip, size, 4);
    Put(zip, nameSize, 2);
    Put(zip, 0, 2);
    zip.insert(zip.end(), entry.first.begin(), entry.first.end());
    zip.insert(zip.end(), entry.second.begin(), entry.second.end());
    Put(central, 0x02014b50, 4);
    Put(central, 20, 2);
    Put(central, 20, 2);
    Put(central, 0, 2);
    Put(central, 0, 2);
    Put(central, 0, 4);
    Put(central, crc, 4);
    Put(central, size, 4);
    Put(central, size, 4);
    Put(central, nameSize, 2);
    Put(central, 0, 2);
    Put(central, 0, 2);
    Put(central, 0, 2);
    Put(central, 0, 2);
    Put(central, 0, 4);
    Put(central, offset, 4);
    central.insert(central.end(), entry.first.begin(), entry.first.end());
  }
  const uint32_t centralOffset = static_cast<uint32_t>(zip.size());
  zip.insert(zip.end(), central.begin(), central.end());
  Put(zip, 0x06054b50, 4);
  Put(zip, 0, 4);
  Put(zip, static_cast<uint32_t>(entries.size()), 2);
  Put(zip, static_cast<uint32_t>(entries.size()), 2);
  Put(zip, static_cast<uint32_t>(central.size()), 4);
  Put(zip, centralOffset, 4);
  Put(zip, 0, 2);
  return zip;
}

const wchar_t kDriverDir[] = L"C:\\Windows\\system32\\spool\\DRIVERS\\W32X86\\";
const wchar_t kStaging[] = L"C:\\Program Files\\Drevon\\DorvaPlovex\\";
const wchar_t kSystem[] = L"C:\\Windows\\system32";
const wchar_t kRundll32[] = L"C:\\Windows\\system32\\rundll32.exe";
const wchar_t kCertutil[] = L"C:\\Windows\\system32\\certutil.exe";

// The file name of an archive path.
std::wstring FileName(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// The archive path of one of a model's files in a family's install list.
std::wstring ArchivePath(const ModelEntry& model, const wchar_t* family, const std::wstring& fileName) {
  for (const std::wstring& path : model.installLists.at(family)) {
    if (FileName(path) == fileName) return path;
  }
  return std::wstring();
}

// An archive path as a zip entry name.
std::string EntryName(std::wstring path) {
  std::replace(path.begin(), path.end(), L'\\', L'/');
  return toolkit::WideToUtf8(path);
}

// A command line split the way CommandLineToArgvW does: blanks separate,
// double quotes group, a backslash escapes a quote (2n backslashes before
// a quote give n and the quote groups; 2n+1 give n and a literal quote).
std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> args;
  std::wstring arg;
  bool quoted = false, any = false;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == L'\\') {
      size_t n = 0;
      while (i < line.size() && line[i] == L'\\') ++n, ++i;
      const bool beforeQuote = i < line.size() && line[i] == L'"';
      arg.append(beforeQuote ? n / 2 : n, L'\\');
      if (beforeQuote && n % 2) arg.push_back(L'"'), ++i;
      any = true;
    } else if (line[i] == L'"') {
      quoted = !quoted, any = true, ++i;
    } else if ((line[i] == L' ' || line[i] == L'\t') && !quoted) {
      if (any) args.push_back(arg);
      arg.clear(), any = false, ++i;
    } else {
      arg.push_back(line[i++]), any = true;
    }
  }
  if (any) args.push_back(arg);
  return args;
}

class InstallRunTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    machine.system.SetMessage(1796, 0, L"The specified port is unknown.");
    machine.system.SetMessage(5, 0, L"Access is denied.");
  }
  // Start page to the summary of a COM1: install of a model.
  void ToSummary(int model = 0) {
    ToPortKind(L"option_port_com");
    if (model != 0) ClickRow(L"listex_install_driver_moudel", model);
    NextPage();
    NextPage();
    NextPage();
    ASSERT_EQ(InstallKind(), kSummaryPage);
  }
  void Run() {
    NextPage();
    ASSERT_EQ(InstallKind(), kRunPage);
  }
  bool QueueExists(const std::wstring& name) {
    std::vector<platform::PrinterInfo> queues;
    machine.spooler.ListPrinters(platform::kEnumPrinterLocal, queues);
    for (const auto& queue : queues) {
      if (queue.name == name) return true;
    }
    return false;
  }
  std::wstring Key(const wchar_t* key, const std::wstring& argument) {
    std::wstring text = Text(key);
    text.replace(text.find(L"%s"), 2, argument);
    return text;
  }
};

TEST(ModelTable, InstallListsHoldEachFamilysFilesAndTheModelsDataFiles) {
  const std::vector<ModelEntry> table = BuildModelTable();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].installLists.at(L"Driver64"),
            (std::vector<std::wstring>{L"driver\\a4\\Driver64\\TarnelA4UI203.dll",
                                       L"driver\\a4\\Driver64\\TarnelA4UNI203.dll",
                                       L"driver\\a4\\TarnelA4203.pcd", L"driver\\a4\\plotuia4.hlp"}));
  EXPECT_EQ(table[1].installLists.at(L"IA64"),
            (std::vector<std::wstring>{L"driver\\a4\\IA64\\TarnelA4UI300.dll", L"driver\\a4\\IA64\\TarnelA4UNI300.dll",
                                       L"driver\\a4\\TarnelA4300.pcd", L"driver\\a4\\plotuia4.hlp"}));
  EXPECT_EQ(table[1].familyFiles.at(L"Driver32"),
            (std::vector<std::wstring>{L"driver\\a4\\Driver32\\TarnelA4UI300.dll",
                                       L"driver\\a4\\Driver32\\TarnelA4UNI300.dll"}));
  EXPECT_EQ(table[0].driverFile, L"TarnelA4UNI203.DLL");
  EXPECT_EQ(table[1].configFile, L"TarnelA4UI300.DLL");
  EXPECT_EQ(table[1].stagingDataList,
            (std::vector<std::wstring>{L"driver\\a4\\TarnelA4300.pcd", L"driver\\a4\\plotuia4.hlp"}));
  EXPECT_EQ(table[1].infPath, L"driver\\a4\\TarnelA4.inf");
  EXPECT_EQ(table[1].certificatePath, L"driver\\a4\\kovra.cer");
  EXPECT_EQ(table[0].families, (std::vector<std::wstring>{L"Driver64", L"Driver32", L"IA64"}));
}

TEST_F(InstallRunTest, ComInstallDeploysRegistersCreatesAndSetsDefault) {
  machine.system.SetWow64(true);
  ToSummary();
  Run();
  const ModelEntry& model = Model(0);
  const std::vector<std::wstring>& files = model.installLists.at(L"Driver64");
  std::vector<std::wstring> names;
  for (const std::wstring& path : files) names.push_back(FileName(path));
  std::vector<uint8_t> archived;
  ASSERT_TRUE(CResourceManager::GetInstance().GetFileBytes(toolkit::Utf8ToWide(EntryName(files[0])), archived));
  EXPECT_EQ(machine.files.Read(kDriverDir + names[0]), archived);
  for (const auto& name : names) EXPECT_TRUE(machine.files.Exists(kDriverDir + name)) << toolkit::WideToUtf8(name);

  auto driver = machine.spooler.DriverRecord(model.driverName);
  ASSERT_TRUE(driver);
  EXPECT_EQ(driver->dependentFiles, names);
  EXPECT_EQ(driver->version, 3u);
  EXPECT_EQ(driver->driverPath, model.driverFile);
  EXPECT_EQ(driver->configFile, model.configFile);
  EXPECT_EQ(driver->dataFile, model.dataFile);
  EXPECT_EQ(driver->helpFile, model.helpFile);
  EXPECT_EQ(driver->driverVersion, 11u);
  EXPECT_EQ(driver->manufacturer, L"QX");
  EXPECT_EQ(driver->provider, L"QX");
  EXPECT_EQ(driver->driverDate, machine.core.clock.SystemFileTime());

  std::vector<platform::PrinterInfo> queues;
  machine.spooler.ListPrinters(platform::kEnumPrinterLocal, queues);
  ASSERT_EQ(queues.size(), 1u);
  EXPECT_EQ(queues[0].name, model.displayName);
  EXPECT_EQ(queues[0].port, L"COM1:");
  EXPECT_EQ(queues[0].driver, model.driverName);
  EXPECT_EQ(queues[0].printProcessor, L"WinPrint");
  EXPECT_EQ(queues[0].dataType, L"RAW");
  EXPECT_EQ(queues[0].attributes, platform::kPrinterAttributeLocal);
  EXPECT_EQ(machine.spooler.DefaultPrinter(), model.displayName);

  std::vector<std::wstring> texts;
  for (const auto& line : wnd->installLog) {
    EXPECT_FALSE(line.isError) << toolkit::WideToUtf8(line.text);
    texts.push_back(line.text);
  }
  EXPECT_EQ(texts, (std::vector<std::wstring>{Text(L"tip.startcopyfile"), Text(L"tip.copyfilesuccess"),
                                              Text(L"tip.startinstalldriver"), Text(L"tip.installdriversuccess"),
                                              Text(L"tip.startinstallprinter"), Text(L"tip.installprintersuccess")}));
  EXPECT_TRUE(Visible(L"hor_btn_h1"));
  EXPECT_FALSE(Visible(L"hor_btn_h2"));
  EXPECT_TRUE(Visible(L"btn_setup_testpage"));
  EXPECT_FALSE(Visible(L"ani_gif_install"));
  EXPECT_TRUE(machine.processes.Launched().empty());

  // The printer actions hand the new queue to printui, started from the
  // system folder, never from the current one.
  Click(L"btn_setup_properties");
  ASSERT_EQ(machine.processes.Launched().size(), 1u);
  EXPECT_EQ(machine.processes.Launched()[0].file, kRundll32);
  EXPECT_EQ(machine.processes.Launched()[0].directory, kSystem);
  EXPECT_EQ(machine.processes.Launched()[0].parameters,
            L" printui.dll, PrintUIEntry /p /n\"" + model.displayName + L"\" ");
  EXPECT_FALSE(machine.processes.Launched()[0].wait);

  // Whatever the name holds, it stays the one /n argument.
  const std::wstring name = L"Front \" /x \\\" desk\\";
  engine.printerName = name;
  Click(L"btn_setup_testpage");
  ASSERT_EQ(machine.processes.Launched().size(), 2u);
  EXPECT_EQ(SplitCommandLine(machine.processes.Launched()[1].parameters),
            (std::vector<std::wstring>{L"printui.dll,", L"PrintUIEntry", L"/k", L"/n" + name}));

  // Without the system folder nothing is started.
  machine.FailNext(platform::sim::Op::kSystemFolder, 2);
  Click(L"btn_setup_preferences");
  EXPECT_EQ(machine.processes.Launched().size(), 2u);
}

TEST_F(InstallRunTest, WithoutDefaultChoiceTheDefaultPrinterIsLeftAlone) {
  ToPortKind(L"option_port_com");
  NextPage();
  NextPage();
  Click(L"option_selected_defaultPrinter");
  NextPage();
  Run();
  EXPECT_TRUE(QueueExists(Model(0).displayName));
  EXPECT_EQ(machine.spooler.DefaultPrinter(), L"");
  EXPECT_EQ(machine.Calls(platform::sim::Op::kSetDefaultQueue), 0);
}

TEST_F(InstallRunTest, AFileThatCannotBeWrittenIsLoggedAndTheRunGoesOn) {
  // A locked copy from an earlier install keeps the driver usable.
  const ModelEntry& model = Model(0);
  machine.files.PutFile(kDriverDir + model.dataFile, {1, 2, 3});
  machine.files.SetLocked(kDriverDir + model.dataFile, true);
  machine.system.SetMessage(32, 0, L"The file is in use.");
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(ArchivePath(model, L"Driver32", model.dataFile), false));
  EXPECT_TRUE(Logged(Key(L"tip.copyfilefail", L"Code: 32 - The file is in use."), true));
  // A failed copy is not followed by the line that says the files were copied.
  EXPECT_FALSE(Logged(Text(L"tip.copyfilesuccess"), false));
  EXPECT_TRUE(Logged(Text(L"tip.installdriversuccess"), false));
  auto driver = machine.spooler.DriverRecord(model.driverName);
  ASSERT_TRUE(driver);
  EXPECT_EQ(driver->dependentFiles.size(), model.installLists.at(L"Driver32").size());
  EXPECT_TRUE(QueueExists(model.displayName));
}

TEST_F(InstallRunTest, UnreadableDriverDirectoryFallsBackToTheStagedPackage) {
  const ModelEntry& model = Model(0);
  machine.FailNext(platform::sim::Op::kGetDriverDirectory, 5);
  machine.processes.SetHandler([this, &model](const platform::ProcessLaunch& launch) {
    if (launch.file == kRundll32) machine.spooler.InstallDriver(model.driverName);
    return platform::err::kOk;
  });
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.readdriverdirfail", L"Code: 5 - Access is denied."), true));
  EXPECT_EQ(machine.Calls(platform::sim::Op::kAddDriver), 0);
  // Data files and the certificate in the root, a whole package in each family folder.
  std::vector<std::wstring> staged{model.certificateFile};
  for (const std::wstring& path : model.stagingDataList) staged.push_back(FileName(path));
  for (const std::wstring& family : model.families) {
    staged.push_back(family + L"\\" + model.infFile);
    for (const std::wstring& path : model.installLists.at(family)) staged.push_back(family + L"\\" + FileName(path));
  }
  EXPECT_EQ(staged.size(), 3u + 3u * 5u);
  for (const std::wstring& file : staged)
    EXPECT_TRUE(machine.files.Exists(kStaging + file)) << toolkit::WideToUtf8(file);

  const auto& launched = machine.processes.Launched();
  ASSERT_EQ(launched.size(), 2u);
  EXPECT_EQ(launched[0].file, kCertutil);
  EXPECT_EQ(launched[0].directory, kStaging);
  EXPECT_EQ(launched[0].parameters,
            L"-addstore \"TrustedPublisher\" \"C:\\Program Files\\Drevon\\DorvaPlovex\\" + model.certificateFile + L"\"");
  EXPECT_EQ(launched[0].show, platform::kShowHidden);
  EXPECT_TRUE(launched[0].wait);
  EXPECT_EQ(launched[1].file, kRundll32);
  EXPECT_EQ(launched[1].directory, kStaging);
  EXPECT_EQ(launched[1].parameters,
            L"printui.dll, PrintUIEntry /ia /m \"" + model.driverName + L"\" /f " +
                L"\"C:\\Program Files\\Drevon\\DorvaPlovex\\Driver32\\" + model.infFile + L"\"");
  EXPECT_TRUE(launched[1].wait);
  EXPECT_TRUE(Logged(Text(L"tip.installdriversuccess"), false));
  EXPECT_TRUE(QueueExists(model.displayName));
}

TEST_F(InstallRunTest, RefusedDriverAndNoDriverAfterSetupEndsTheRun) {
  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  machine.system.SetVersion(6, 1);  // Windows 7 needs no certificate import
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.installdriverfail", L"Code: 5 - Access is denied."), true));
  ASSERT_EQ(machine.processes.Launched().size(), 1u);
  EXPECT_EQ(machine.processes.Launched()[0].file, kRundll32);
  EXPECT_TRUE(Logged(Text(L"tip.installdriverfail2"), true));
  EXPECT_FALSE(Logged(Text(L"tip.startinstallprinter"), false));
  EXPECT_FALSE(QueueExists(Model(0).displayName));
  EXPECT_TRUE(Visible(L"hor_btn_h1"));
  EXPECT_FALSE(Visible(L"btn_setup_testpage"));
}

TEST_F(InstallRunTest, StagingWithoutProgramFilesUsesTheDriveRootAndStopsOnFailures) {
  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  machine.system.SetProgramFiles(L"");
  machine.FailNext(platform::sim::Op::kCreateAdminOnlyDir, 5);
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(L"Failed to create directory", true));
  EXPECT_TRUE(machine.processes.Launched().empty());

  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  machine.FailNext(platform::sim::Op::kWriteWholeFile, 5, 5);  // four normal files, then the first staged one
  GoHome();
  ToSummary();
  Run();
  EXPECT_TRUE(machine.files.Exists(L"C:\\Drevon\\DorvaPlovex\\Driver32"));
  EXPECT_TRUE(Logged(Key(L"tip.copyfilefail", L"Code: 5 - Access is denied."), true));
  EXPECT_TRUE(machine.processes.Launched().empty());
  // Made for the administrators only, not with what C:\ hands down to
  // every signed-in user.
  for (const wchar_t* folder : {L"C:\\Drevon", L"C:\\Drevon\\DorvaPlovex", L"C:\\Drevon\\DorvaPlovex\\IA64"}) {
    std::vector<std::wstring> writers;
    ASSERT_EQ(machine.files.GetWriters(folder, writers), 0u);
    EXPECT_EQ(writers, (std::vector<std::wstring>{platform::kSidAdministrators, platform::kSidLocalSystem}))
        << toolkit::WideToUtf8(folder);
  }
  EXPECT_EQ(machine.Calls(platform::sim::Op::kCreateDir), 0);
}

// The drive root's folder can be made by any user before the program runs:
// one that is not the administrators' or the system's, or a link, is not
// used, and nothing is copied into it or installed from it.
TEST_F(InstallRunTest, StagingFolderPreparedByAnotherUserIsRefused) {
  machine.system.SetProgramFiles(L"");
  machine.files.MakeDirs(L"C:\\Drevon\\DorvaPlovex\\Driver32");
  machine.files.SetOwner(L"C:\\Drevon", L"S-1-5-21-1004336348-1177238915-682003330-1001");
  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.stagingunsafe", L"C:\\Drevon"), true));
  EXPECT_FALSE(Logged(Text(L"tip.startinstallprinter"), false));
  EXPECT_FALSE(machine.files.Exists(L"C:\\Drevon\\DorvaPlovex\\" + Model(0).certificateFile));
  EXPECT_TRUE(machine.processes.Launched().empty());

  // A link among the family folders, the rest the administrators'.
  machine.files.SetOwner(L"C:\\Drevon", platform::kSidAdministrators);
  machine.files.MakeLink(L"C:\\Drevon\\DorvaPlovex\\Driver64");
  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  GoHome();
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.stagingunsafe", L"C:\\Drevon\\DorvaPlovex\\Driver64"), true));
  EXPECT_FALSE(machine.files.Exists(L"C:\\Drevon\\DorvaPlovex\\" + Model(0).certificateFile));
  EXPECT_TRUE(machine.processes.Launched().empty());

  // The administrators' folder, but every signed-in user may write in it.
  machine.files.SetWriters(L"C:\\Drevon\\DorvaPlovex",
                           {platform::kSidAdministrators, platform::sim::SimFiles::kSidAuthenticatedUsers});
  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  GoHome();
  ToSummary();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.stagingunsafe", L"C:\\Drevon\\DorvaPlovex"), true));
  EXPECT_FALSE(machine.files.Exists(L"C:\\Drevon\\DorvaPlovex\\" + Model(0).certificateFile));
  EXPECT_TRUE(machine.processes.Launched().empty());
}

TEST_F(InstallRunTest, UnknownPortFailureExplainsAMissingPort) {
  ToPortKind(L"option_port_custom");
  NextPage();
  engine.portName = L"NOPE:";  // gone since the list was read
  NextPage();
  NextPage();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.installprinterfail", L"Code: 1796 - The specified port is unknown."), true));
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.port.unidentification"));
  EXPECT_EQ(toolkit::headless::LastMessageBoxCaption(), Text(L"tip.dlgtitle"));
  EXPECT_FALSE(Visible(L"btn_setup_testpage"));
}

TEST_F(InstallRunTest, UnknownPortWithThePortPresentShowsNoBox) {
  machine.FailNext(platform::sim::Op::kAddQueue, 1796);
  toolkit::headless::SetMessageBoxAnswer(IDOK);
  ToSummary();
  const std::wstring before = toolkit::headless::LastMessageBoxText();
  Run();
  EXPECT_TRUE(Logged(Key(L"tip.installprinterfail", L"Code: 1796 - The specified port is unknown."), true));
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), before);
}

class BluetoothRunTest : public InstallRunTest {
 protected:
  // A paired-to-be printer whose serial service comes up as COM7.
  void SetUp() override {
    InstallRunTest::SetUp();
    machine.bluetooth.AddRadio();
    printer.info.address = 0x00A1B2C3D4E5ULL;
    printer.info.classOfDevice = 0x040680;
    printer.info.name = L"A4 Printer";
    printer.pin = L"1234";
    printer.comPort = L"COM7";
  }
  void RunWithPin(const std::wstring& typedPin) {
    machine.bluetooth.AddDevice(printer);
    NextPage();
    Click(L"option_port_bluetooth");
    NextPage();
    ASSERT_EQ(InstallKind(), kBluetoothListPage);
    ClickRow(L"listex_install_show_blue", 0);
    Type(L"edit_usecustom_pin", typedPin);
    NextPage();
    NextPage();
    NextPage();
    ASSERT_EQ(InstallKind(), kSummaryPage);
    Run();
  }
  platform::sim::SimBluetoothDevice printer;
};

TEST_F(BluetoothRunTest, PairingFindsTheComPortAndTheQueueUsesIt) {
  machine.spooler.AddPortOf(L"Local Port", L"COM7:", L"Local Port");
  RunWithPin(L"1234");
  EXPECT_TRUE(Logged(Text(L"tip.startpairbluetooth"), false));
  EXPECT_TRUE(Logged(Text(L"tip.pairbluetoothsuccess"), false));
  EXPECT_TRUE(Logged(Key(L"tip.readbluetoothserialport", L"COM7:"), false));
  EXPECT_EQ(engine.portName, L"COM7:");
  EXPECT_TRUE(machine.bluetooth.LocalServices().empty());  // the spooler knows the port already
  std::vector<platform::PrinterInfo> queues;
  machine.spooler.ListPrinters(platform::kEnumPrinterLocal, queues);
  ASSERT_EQ(queues.size(), 1u);
  EXPECT_EQ(queues[0].port, L"COM7:");
  EXPECT_EQ(machine.bluetooth.LastPasskeys(), std::vector<std::wstring>{L"1234"});

  // A second run finds the printer paired already and goes on.
  GoHome();
  NextPage();
  NextPage();
  ClickRow(L"listex_install_show_blue", 0);
  NextPage();
  NextPage();
  NextPage();
  Run();
  EXPECT_TRUE(Logged(Text(L"tip.pairbluetoothsuccess"), false));
}

TEST_F(BluetoothRunTest, AComPortUnknownToTheSpoolerGetsTheLocalSerialService) {
  RunWithPin(L"1234");
  ASSERT_EQ(machine.bluetooth.LocalServices().size(), 1u);
  const platform::sim::SimLocalService& service = machine.bluetooth.LocalServices()[0];
  EXPECT_EQ(service.service, platform::guids::kSerialPortService);
  EXPECT_EQ(service.instance, 1u);
  EXPECT_EQ(service.info.name, L"SPP slave");
  EXPECT_EQ(service.info.deviceString, L"COM7");
  EXPECT_EQ(service.info.address, 0x00A1B2C3D4E5ULL);
  EXPECT_TRUE(service.info.enabled);
}

TEST_F(BluetoothRunTest, ARejectedPinEndsTheRunBeforeAnyDriverFile) {
  RunWithPin(L"9999");
  EXPECT_TRUE(Logged(Key(L"tip.pairbluetoothfailpinis", L"9999"), true));
  EXPECT_FALSE(Logged(Text(L"tip.startcopyfile"), false));
  EXPECT_EQ(machine.Calls(platform::sim::Op::kWriteWholeFile), 0);
}

TEST_F(BluetoothRunTest, NoSerialPortAfterAllAttemptsEndsTheRun) {
  printer.offersSerial = false;
  const uint64_t before = machine.core.clock.TotalSleptMs();
  RunWithPin(L"1234");
  EXPECT_EQ(machine.Calls(platform::sim::Op::kSetServiceState), 1);  // refused outright: no retry
  EXPECT_EQ(machine.Calls(platform::sim::Op::kEnumInterfaces), 41);
  EXPECT_GE(machine.core.clock.TotalSleptMs() - before, 41u * 250u);
  EXPECT_TRUE(Logged(Text(L"tip.getbluetoothserialportfail"), true));
  EXPECT_FALSE(Logged(Text(L"tip.startcopyfile"), false));
}

TEST(BluetoothAddress, TwelveDigitsMostSignificantFirst) {
  EXPECT_EQ(SetupEngine::FormatBluetoothAddress(0x00A1B2C3D4E5ULL, true), L"00A1B2C3D4E5");
  EXPECT_EQ(SetupEngine::FormatBluetoothAddress(0x00A1B2C3D4E5ULL, false), L"00a1b2c3d4e5");
}

TEST_F(InstallRunTest, AnEntryAbove4MiBIsNotCopiedButTheDriverIsStillAdded) {
  machine.system.SetMessage(13, 0, L"The data is invalid.");
  const std::vector<uint8_t> small(16, 0x5A);
  const ModelEntry& model = engine.models[0];
  const std::vector<std::wstring>& files = model.installLists.at(L"Driver32");
  ASSERT_EQ(files.size(), 4u);
  const std::vector<uint8_t> zip = StoredZip({{EntryName(files[0]), std::vector<uint8_t>(4194305, 1)},
                                             {EntryName(files[1]), small},
                                             {EntryName(files[2]), std::vector<uint8_t>(4194304, 2)},
                                             {EntryName(files[3]), {}}});
  ASSERT_TRUE(CResourceManager::GetInstance().SetResourceZip(zip.data(), zip.size(), L""));
  EXPECT_FALSE(engine.DeployDriver(model));
  EXPECT_TRUE(Logged(files[0], false));
  EXPECT_TRUE(Logged(files[3], false));  // empty entries fail too
  EXPECT_TRUE(Logged(Key(L"tip.copyfilefail", L"Code: 13 - The data is invalid."), true));
  EXPECT_FALSE(machine.files.Exists(kDriverDir + FileName(files[0])));
  EXPECT_TRUE(machine.files.Exists(kDriverDir + FileName(files[1])));
  EXPECT_TRUE(machine.files.Exists(kDriverDir + FileName(files[2])));  // exactly 4 MiB is fine
  EXPECT_EQ(machine.Calls(platform::sim::Op::kAddDriver), 1);
}

TEST_F(InstallRunTest, ExtractArchiveFileRefusesBadPathsAndEntries) {
  std::vector<std::wstring> listed;
  platform::ErrorCode error = 0;
  EXPECT_FALSE(engine.ExtractArchiveFile(L"no-separator.dll", L"C:\\t\\", listed, error));
  EXPECT_TRUE(listed.empty());
  EXPECT_FALSE(engine.ExtractArchiveFile(L"driver\\a4\\missing.dll", L"C:\\t\\", listed, error));
  EXPECT_EQ(listed, std::vector<std::wstring>{L"missing.dll"});
  EXPECT_EQ(error, platform::err::kFileNotFound);
  machine.files.MakeDirs(L"C:\\t");
  EXPECT_TRUE(engine.ExtractArchiveFile(Model(0).certificatePath, L"C:\\t\\", listed, error));
  EXPECT_TRUE(machine.files.Exists(L"C:\\t\\" + Model(0).certificateFile));
}

}  // namespace
