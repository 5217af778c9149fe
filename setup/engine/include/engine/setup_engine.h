// SetupEngine: the one object behind the main window. It holds the user's
// choices in the install and removal wizards, decides the page flow, fills
// the list pages, and runs the long operations on worker threads that talk
// to the window only through the synchronous UIMSG_* messages.
#pragma once

#include "engine/records.h"
#include "engine/ui_messages.h"
#include "platform/bluetooth.h"
#include "platform/platform.h"
#include "toolkit/toolkit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// One row of the language table.
struct LanguageInfo {
  std::wstring code;     // short code ("ja"): the file lan_<code>.xml, the name key lan.<code>
  LANGID langId = 0;     // Windows language identifier the program starts in it for
  std::wstring locale;   // Windows locale name ("ja-JP"); the Wine tests run under it
  std::wstring ownName;  // its name in itself, where the current file names it not
  int fontSize = 14;     // main window's default font size (unscaled)

  std::wstring NameKey() const { return L"lan." + code; }
  std::wstring FileName() const { return L"lan_" + code + L".xml"; }
};

// The current UI language, readable from any thread (system error texts
// are asked for in this language).
extern std::atomic<LANGID> g_currentLangId;

// portType is a row of the port-kind table (setup/engine/src/port_kinds.cpp),
// kPortNone before the user chose one.
constexpr int kPortNone = -1;

// Install pages by their markup name in tab_switch_install; the page's
// position there is looked up by name. The pages every port kind may
// pass through (a kind's own page is named in its row):
inline constexpr wchar_t kPortTypePage[] = L"page_port_type";
inline constexpr wchar_t kScanPage[] = L"page_scan";
inline constexpr wchar_t kModelPage[] = L"page_model";
inline constexpr wchar_t kPortListPage[] = L"page_port_list";
inline constexpr wchar_t kPrinterNamePage[] = L"page_printer_name";
inline constexpr wchar_t kSummaryPage[] = L"page_summary";
inline constexpr wchar_t kRunPage[] = L"page_run";

// Removal pages = index in tab_switch_delete.
enum RemovalPage { kPrinterPage = 0, kDriverPage, kRemovalSummaryPage, kRemovalRunPage };

struct InstallResult {
  bool printerCreated = false;
  bool portAdded = false;  // the run made the port (not found it)
};

// The machine the process-wide engine works on: the real Windows in the
// program, a simulated one in the Linux build (which only runs tests).
platform::Platform& DefaultPlatform();

// Starts a detached worker thread; false when it could not be started.
bool StartWorkerThread(std::function<void()> body);

class SetupEngine {
 public:
  static SetupEngine& Instance();

  SetupEngine();
  explicit SetupEngine(platform::Platform& platform);
  virtual ~SetupEngine() = default;
  SetupEngine(const SetupEngine&) = delete;
  SetupEngine& operator=(const SetupEngine&) = delete;

  // The window's calls, on the UI thread.
  virtual void OnNotify(TNotifyUI& msg);
  virtual void OnClick(TNotifyUI& msg);
  virtual void Home();
  virtual void Next();
  virtual void Previous();

  // Page preparation.
  void ShowInstallPage(const std::wstring& page);
  void ShowRemovalPage(int page);

  // Install run (worker thread) and its steps.
  InstallResult RunInstall();
  bool DeployDriver(const ModelEntry& model);
  bool ExtractArchiveFile(const std::wstring& archivePath, const std::wstring& targetDirectory,
                          std::vector<std::wstring>& dependentFiles, platform::ErrorCode& error);
  bool CreatePrinter();

  // Ports.
  void RefreshPorts();
  bool PortExists(const std::wstring& name);
  void ScanUsbPorts();
  bool UsbPortName(const std::wstring& instanceId, std::wstring& name);
  bool TestPrintUsb();
  bool AddTcpIpPort(const std::wstring& name, const std::wstring& ipAddress);
  bool AddMonitorPort(const std::wstring& monitorName, HWND owner, std::wstring& errorText);

  // Bluetooth.
  bool HasBluetoothAdapterDevice();
  bool CheckBluetoothAdapter(bool showMessage);
  void ScanBluetoothDevices();
  static std::wstring FormatBluetoothAddress(uint64_t address, bool upperCase);
  bool PairBluetoothDevice(const platform::BluetoothDevice& device, const std::wstring& passkey);
  bool FindBluetoothComPort(const std::wstring& addressText, std::wstring& comName);
  void RegisterSppService(const std::wstring& comName, const platform::BluetoothDevice& device);
  void EnableSerialService(const platform::BluetoothDevice& device);
  bool PrepareBluetoothPort();

  // Network page.
  static bool IsValidIpv4(const std::wstring& text);
  bool CheckNetworkPage();
  void OnAddressTyped(const std::wstring& address);
  void OnPortNameTyped(const std::wstring& name);
  std::wstring FreePortName(const std::wstring& address);
  bool ProbePrinterPort(const std::wstring& ipText);
  void CheckPrinterReachable();

  // Queues and drivers.
  bool PrinterExists(const std::wstring& name);
  // Whether Windows accepts the text as a queue name at all.
  static bool IsValidPrinterName(const std::wstring& name);
  void OpenPrinterUi(const wchar_t* parameterTemplate);
  void RefreshPrinters();
  void RefreshDrivers();
  // The chosen drivers still listed as installed, by name: what the removal
  // summary shows and the run removes.
  std::map<std::wstring, DriverEntry> ChosenInstalledDrivers() const;

  // Removal run (worker thread) and the print spooler's stop and start:
  // 1 stopped / running, 0 not done by this call, -1 failure.
  void RunRemoval();
  int StopSpooler();
  int StartSpooler();

  // Builds the port type page's cards from the port-kind table and checks
  // that the install tab has every page a kind names (call once the tabs
  // are set); returns the names of the pages the markup lacks.
  std::vector<std::wstring> BindInstallPages();
  // The install page shown, by markup name.
  std::wstring CurrentInstallPage() const;
  // The port-kind row whose card has this markup name, -1 for none.
  static int PortKindIndex(const std::wstring& option);

  // Formats the wizard's own texts again after a language switch (UI thread).
  void LanguageChanged();
  // A log line's text in the current language from its key, arguments and
  // error code; the text as it was for a line without a key.
  std::wstring LogLineText(const TUiMsgParam& line);

  // "Code: N - message" in the current UI language.
  std::wstring ErrorText(platform::ErrorCode code);

  // Worker threads still running (they end after their last message).
  int RunningWorkers() const { return runningWorkers_.load(); }
  // How workers are started (tests may refuse, as a system out of threads would).
  std::function<bool(std::function<void()>)> startWorker = StartWorkerThread;

  // Set by the main window during its initialisation.
  HWND hMainWnd = nullptr;
  CTabLayoutUI* tabSwitch = nullptr;
  CTabLayoutUI* tabSwitchInstall = nullptr;
  CTabLayoutUI* tabSwitchDelete = nullptr;
  std::vector<std::wstring> knownDriverNames;
  // Opens the add-port dialog modally (set by the shell).
  std::function<void(HWND owner)> showAddPortDialog;

  // Language table (ascending langId) and the current language.
  std::map<LANGID, LanguageInfo> languages;
  LANGID currentLanguage = 1033;

  // Wizard state and choices.
  int WizardMode = 0;
  int installChosen = 1;
  int stepIndex = 0;
  int portType = kPortNone;
  int bluetoothIndex = -1;
  int usbIndex = -1;
  int modelId = -1;
  std::wstring portName;
  int setDefault = -1;
  std::wstring printerName;
  std::wstring ipAddress;
  std::wstring pin = L"4826";
  std::vector<std::wstring> selectedPrinters;
  std::set<std::wstring> selectedDrivers;

  // Lists.
  std::vector<platform::BluetoothDevice> bluetoothDevices;
  std::vector<PortEntry> ports;
  std::vector<PrinterEntry> printers;
  std::vector<DriverEntry> drivers;
  std::vector<ModelEntry> models;
  std::vector<uint8_t> testBuffer;

 private:
  void Send(UINT msg, WPARAM wParam, const TUiMsgParam* record = nullptr);
  void ShowNext(bool show, bool enabled = true, const std::wstring& text = std::wstring());
  void ShowPrevious(bool show);
  // One line of a log (UIMSG_INSTALL_LOG or UIMSG_DELETE_LOG): a plain
  // text (or, with clear, an emptied log), a language text, or an error
  // line: the key's text with the code's error text as its argument, or
  // the error text alone for a null key.
  void LogText(UINT log, const std::wstring& text, bool isError, bool clear);
  void LogKey(UINT log, const wchar_t* key, std::vector<std::wstring> args, bool isError);
  void LogError(UINT log, const wchar_t* key, platform::ErrorCode code);
  void SendLogLine(UINT msg, TUiMsgParam& record);
  void LogInstall(const std::wstring& text, bool isError = false, bool clear = false) {
    LogText(UIMSG_INSTALL_LOG, text, isError, clear);
  }
  void LogInstallKey(const wchar_t* key, std::vector<std::wstring> args, bool isError = false) {
    LogKey(UIMSG_INSTALL_LOG, key, std::move(args), isError);
  }
  void LogInstallError(const wchar_t* key, platform::ErrorCode code) { LogError(UIMSG_INSTALL_LOG, key, code); }
  void LogDelete(const std::wstring& text, bool isError = false, bool clear = false) {
    LogText(UIMSG_DELETE_LOG, text, isError, clear);
  }
  void LogDeleteKey(const wchar_t* key, std::vector<std::wstring> args, bool isError = false) {
    LogKey(UIMSG_DELETE_LOG, key, std::move(args), isError);
  }
  void LogDeleteError(const wchar_t* key, platform::ErrorCode code) { LogError(UIMSG_DELETE_LOG, key, code); }
  // A removal step's outcome for one item; true when it succeeded.
  bool LogRemoval(const std::wstring& name, platform::ErrorCode error);
  void RestartSpooler();
  int StopSpooler(bool& notRunning);
  int Box(const std::wstring& text, UINT type);
  CControlUI* Find(const wchar_t* name) const;
  template <class T>
  T* FindAs(const wchar_t* name) const { return dynamic_cast<T*>(Find(name)); }
  void RunWorker(std::function<void()> body);

  // The port-kind table (port_kinds.cpp) and what drives the wizard from it.
  struct PortKind;
  static const std::vector<PortKind>& PortKinds();
  const PortKind& CurrentPortKind() const;
  const std::vector<const wchar_t*>& Sequence() const;
  std::wstring PageAt(int index) const;
  bool ChoosePortKind(const std::wstring& option);
  bool CheckBeforeInstallPage(const std::wstring& page);
  bool RouteKindClick(const std::wstring& control, bool newState);
  bool RouteKindNotify(const std::wstring& control, TNotifyUI& msg);
  void ClearPortFields();
  void SelectInstallPage(const std::wstring& page);
  // Steps that belong to some port kinds only (their rows name them).
  void HideAdapterState();
  bool CheckPin();
  void StartUsbScan();
  void StartBluetoothScan();

  // One preparer per install page.
  void ShowPortTypePage();
  void ShowScanPage();
  void ShowUsbListPage();
  void ShowBluetoothListPage();
  void ShowModelPage();
  void ShowPortListPage();
  void ShowNetworkPage();
  void ShowPrinterNamePage();
  void ShowSummaryPage();
  void StartInstallRun();
  const ModelEntry* ChosenModel() const;

  // What clicks and notifications do (OnClick and OnNotify route to them).
  void ShowAllPrinters(bool all);
  void ShowAllDrivers(bool all);
  void AddPortByDialog();
  void ChooseUsbRow(CControlUI* row);
  void ChooseBluetoothRow(CControlUI* row);
  void ChooseModelRow(CControlUI* row);
  void OnPinTyped(CControlUI* sender);
  // Shows under the name edit whether printerName can be used; true when
  // it can (a free name in the summary check changes nothing on screen).
  bool CheckPrinterName(bool showFree);
  enum NameStatus { kNameFree, kNameTaken, kNameRefused };
  void ShowPrinterNameStatus(NameStatus status);
  void HidePrinterNameStatus();
  void ShowNetworkStatus(const wchar_t* key);
  void ShowRunHeading(WPARAM page, const wchar_t* key, bool failed);
  void FillPrinterList();
  void FillDriverList();
  void OnRemovalRowNotify(TNotifyUI& msg, bool printerList);
  void DeletePort();
  bool DeployByStaging(const ModelEntry& model);
  enum StagingFolder { kStagingReady, kStagingUnsafe, kStagingNotCreated };
  StagingFolder CreateDirectories(const std::wstring& path, std::wstring& untrusted);

  // Choices and lists only the engine itself reads.
  bool useCustomPin = false;
  int showAllPrinters = -1;
  std::wstring printerFilter;
  int showAllDrivers = -1;
  std::vector<UsbPortEntry> usbPorts;

  platform::Platform platform_;
  std::atomic<int> runningWorkers_{0};
  // The port name the network page derived from the address; while the
  // port name is this one, it follows the typed address.
  std::wstring followedPortName_;
  // The key the network page's status label shows, empty for none.
  std::wstring networkStatus_;
  // The printer-name check's last outcome, formatted again on a switch.
  bool nameStatusShown_ = false;
  NameStatus nameStatus_ = kNameFree;
  // Error lines of the current removal run.
  std::atomic<int> removalErrors_{0};
};
