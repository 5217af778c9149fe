// The wizard: page flow, page preparation, checks, click and notification
// handling, and the install run.
#include "engine/setup_engine.h"

#include "engine_text.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

std::atomic<LANGID> g_currentLangId{1033};

namespace {

const wchar_t kDefaultModelDriver[] = L"A4 Printer(203dpi)";
const wchar_t kDefaultIp[] = L"192.168.1.100";

// The index of a list row that sent a notification, or -1.
int RowIndex(CControlUI* row) {
  auto* item = dynamic_cast<IListItemUI*>(row);
  return item ? item->GetIndex() : -1;
}

// Sets one "label%d" column of a row: text, tooltip and visibility.
void SetColumn(CControlUI* row, int column, const std::wstring& text) {
  if (!row || !row->GetManager()) return;
  CControlUI* label = row->GetManager()->FindSubControlByName(row, L"label" + std::to_wstring(column));
  if (!label) return;
  label->SetText(text);
  label->SetToolTip(text);
  label->SetVisible(true);
}

// Builds one row from a row markup and appends it to the list.
CControlUI* AddRow(CListUI* list, const wchar_t* markup, const wchar_t* rowName) {
  CDialogBuilder builder;
  CControlUI* row = builder.Create(markup);
  if (!row) return nullptr;
  row->SetName(rowName);
  list->Add(row);
  return row;
}

// Whether part occurs in text, ignoring case.
bool ContainsNoCase(const std::wstring& text, const std::wstring& part) {
  return engine_text::Lower(text).find(engine_text::Lower(part)) != std::wstring::npos;
}

// Letters and digits only, at least one.
bool PinIsValid(const std::wstring& pin) {
  if (pin.empty()) return false;
  return std::all_of(pin.begin(), pin.end(), [](wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
  });
}

}  // namespace

// The process-wide engine.
SetupEngine& SetupEngine::Instance() {
  static SetupEngine engine;
  return engine;
}

// The program's engine on the default machine.
SetupEngine::SetupEngine() : SetupEngine(DefaultPlatform()) {}

// An engine on a given machine (tests use a simulated one).
SetupEngine::SetupEngine(platform::Platform& platform) : models(BuildModelTable()), platform_(platform) {}

// Synchronous message to the window; without a window nothing is shown.
void SetupEngine::Send(UINT msg, WPARAM wParam, const TUiMsgParam* record) {
  if (hMainWnd) SendMessageW(hMainWnd, msg, wParam, reinterpret_cast<LPARAM>(record));
}

// The Next button: visibility, enabled state, and a text when one is given.
void SetupEngine::ShowNext(bool show, bool enabled, const std::wstring& text) {
  TUiMsgParam record;
  record.enabled = enabled;
  record.text = text;
  Send(UIMSG_NEXT_BUTTON, show ? 1 : 0, &record);
}

// The Previous button shown or hidden.
void SetupEngine::ShowPrevious(bool show) { Send(UIMSG_PREVIOUS_BUTTON, show ? 1 : 0); }

// One line of the install log (red when isError), or an emptied log.
void SetupEngine::LogInstall(const std::wstring& text, bool isError, bool clear) {
  TUiMsgParam record;
  record.text = text;
  record.isError = isError;
  record.clear = clear;
  Send(UIMSG_INSTALL_LOG, 0, &record);
}

// The heading of a run page (0 install, 1 removal) as a text key, red for
// a run that failed.
void SetupEngine::ShowRunHeading(WPARAM page, const wchar_t* key, bool failed) {
  TUiMsgParam record;
  record.text = key;
  record.isError = failed;
  Send(UIMSG_RUN_HEADING, page, &record);
}

// After a language switch: the texts the wizard formatted itself are
// formatted again in the new language (texts set as keys follow anyway).
void SetupEngine::LanguageChanged() {
  if (nameStatusShown_) ShowPrinterNameStatus(nameStatus_);
  if (WizardMode == 2 && stepIndex == kRemovalSummaryPage) ShowRemovalPage(kRemovalSummaryPage);
}

// A log line from a language text: the window formats it again after a
// language switch.
void SetupEngine::LogInstallKey(const wchar_t* key, std::vector<std::wstring> args, bool isError) {
  TUiMsgParam record;
  record.key = key;
  record.args = std::move(args);
  record.isError = isError;
  SendLogLine(UIMSG_INSTALL_LOG, record);
}

void SetupEngine::LogInstallError(const wchar_t* key, platform::ErrorCode code) {
  TUiMsgParam record;
  record.key = key ? key : L"";
  record.hasErrorCode = true;
  record.errorCode = code;
  record.isError = true;
  SendLogLine(UIMSG_INSTALL_LOG, record);
}

// Both logs: the line's text in the current language; the removal run's
// error lines are counted for its heading.
void SetupEngine::SendLogLine(UINT msg, TUiMsgParam& record) {
  record.text = LogLineText(record);
  if (msg == UIMSG_DELETE_LOG && record.isError) ++removalErrors_;
  Send(msg, 0, &record);
}

std::wstring SetupEngine::LogLineText(const TUiMsgParam& line) {
  std::vector<std::wstring> args = line.args;
  if (line.hasErrorCode) args.push_back(ErrorText(line.errorCode));
  if (line.key.empty()) return line.hasErrorCode ? args.back() : line.text;
  return engine_text::Format(engine_text::Text(line.key.c_str()), args);
}

// A message box owned by the main window with the program's title.
int SetupEngine::Box(const std::wstring& text, UINT type) {
  const std::wstring title = engine_text::Text(L"tip.dlgtitle");
  return MessageBoxW(hMainWnd, text.c_str(), title.c_str(), type);
}

// A control of the main window by markup name.
CControlUI* SetupEngine::Find(const wchar_t* name) const {
  CPaintManagerUI* manager = tabSwitch ? tabSwitch->GetManager() : nullptr;
  if (!manager && tabSwitchInstall) manager = tabSwitchInstall->GetManager();
  return manager ? manager->FindControl(name) : nullptr;
}

// Counts the worker until its body is done, so tests can wait for it.
// Without a thread the body runs here: a window that is busy for a while
// beats a wizard left with its navigation hidden and nothing running.
void SetupEngine::RunWorker(std::function<void()> body) {
  ++runningWorkers_;
  const std::function<void()> counted = [this, body]() {
    body();
    // Read before the count drops: once it is zero the window may close
    // and the program end, so the engine is not touched after that.
    const HWND window = hMainWnd;
    --runningWorkers_;
    if (window) PostMessageW(window, UIMSG_WORKER_ENDED, 0, 0);
  };
  if (!startWorker || !startWorker(counted)) counted();
}

// "Code: N - " and the system's message in the current UI language.
std::wstring SetupEngine::ErrorText(platform::ErrorCode code) {
  return engine_text::Format(engine_text::Text(L"tip.errorcode"),
                             {std::to_wstring(code),
                              platform_.system.ErrorMessage(code, static_cast<uint16_t>(g_currentLangId.load()))});
}

// The install page kinds in order for the chosen connection.
const std::vector<int>& SetupEngine::Sequence() const {
  static const std::vector<int> usb{0, 1, 2, 4, 7, 8, 9};
  static const std::vector<int> bluetooth{0, 1, 3, 4, 7, 8, 9};
  static const std::vector<int> network{0, 4, 6, 7, 8, 9};
  static const std::vector<int> portList{0, 4, 5, 7, 8, 9};
  switch (portType) {
    case kPortUsb: return usb;
    case kPortBluetooth: return bluetooth;
    case kPortNetwork: return network;
    default: return portList;
  }
}

// The page kind at a position of the sequence, -1 beyond it.
int SetupEngine::KindAt(int index) const {
  const std::vector<int>& sequence = Sequence();
  if (index < 0 || index >= static_cast<int>(sequence.size())) return -1;
  return sequence[static_cast<size_t>(index)];
}

// Start page: every tab at its first page, the choices kept.
void SetupEngine::Home() {
  stepIndex = 0;
  WizardMode = 0;
  ShowPrevious(false);
  // The removal summary renames Next; the start page and the install
  // wizard must not keep that name.
  ShowNext(true, true, L"main.btn.next");  // a key: the button resolves it when drawn
  RefreshPrinters();
  for (CTabLayoutUI* tab : {tabSwitch, tabSwitchInstall, tabSwitchDelete}) {
    if (tab) tab->SelectItem(0);
  }
  Send(UIMSG_SHOW_ROW_H1, 0);
  Send(UIMSG_SHOW_PRINTER_ACTIONS, 0);
  Send(UIMSG_SHOW_ROW_H2, 1);
}

// The checks that guard entering a page; false keeps the user where he is.
bool SetupEngine::CheckBeforeInstallPage(int kind) {
  if (portType == kPortBluetooth && kind == kScanPage && !CheckBluetoothAdapter(true)) return false;
  if (portType == kPortBluetooth && kind == kModelPage && !PinIsValid(pin)) {
    Box(engine_text::Text(L"tip.pinerror"), MB_ICONINFORMATION);
    return false;
  }
  if (portType == kPortNetwork && kind == kPrinterNamePage && !CheckNetworkPage()) return false;
  if (kind == kSummaryPage && !CheckPrinterName(false)) return false;
  return true;
}

// Empty, over 220 characters, or with a comma or a backslash (the
// separators of "\\server\printer" and "printer,driver,port"): the
// spooler refuses such a name, and the run would fail only at its end.
bool SetupEngine::IsValidPrinterName(const std::wstring& name) {
  return !name.empty() && name.size() <= 220 && name.find_first_of(L",\\") == std::wstring::npos;
}

// Shows under the name edit whether printerName can be used; true when it
// can (a free name in the summary check changes nothing on screen).
bool SetupEngine::CheckPrinterName(bool showFree) {
  const NameStatus status = !IsValidPrinterName(printerName) ? kNameRefused
                            : PrinterExists(printerName)     ? kNameTaken
                                                             : kNameFree;
  if (status != kNameFree || showFree) ShowPrinterNameStatus(status);
  return status == kNameFree;
}

// The label under the name edit: refused or taken (red), or free (green).
void SetupEngine::ShowPrinterNameStatus(NameStatus status) {
  static const wchar_t* const kKeys[] = {L"tip.printername.free", L"tip.printername.taken",
                                         L"tip.printername.invalid"};
  nameStatusShown_ = true;
  nameStatus_ = status;
  TUiMsgParam record;
  record.text = engine_text::KeyFormat(kKeys[status], printerName);
  record.isError = status != kNameFree;
  Send(UIMSG_PRINTER_NAME_STATUS, 0, &record);
}

// One step forward in the current wizard, or from the start page into one.
void SetupEngine::Next() {
  if (WizardMode == 0) {
    WizardMode = installChosen == 1 ? 1 : 2;
    stepIndex = 0;
    if (tabSwitch) tabSwitch->SelectItem(WizardMode);
    if (WizardMode == 1) {
      if (tabSwitchInstall) tabSwitchInstall->SelectItem(0);
      ShowInstallPage(kPortTypePage);
    } else {
      if (tabSwitchDelete) tabSwitchDelete->SelectItem(0);
      ShowRemovalPage(kPrinterPage);
    }
    return;
  }
  if (WizardMode == 1) {
    const int kind = KindAt(stepIndex + 1);
    if (kind < 0 || !CheckBeforeInstallPage(kind)) return;
    ++stepIndex;
    if (tabSwitchInstall) tabSwitchInstall->SelectItem(kind);
    ShowInstallPage(kind);
    return;
  }
  if (stepIndex >= kRemovalRunPage) return;
  ++stepIndex;
  if (tabSwitchDelete) tabSwitchDelete->SelectItem(stepIndex);
  ShowRemovalPage(stepIndex);
}

// One step back without checks; from a wizard's first page to the start.
void SetupEngine::Previous() {
  if (stepIndex <= 0 || WizardMode == 0) {
    Home();
    return;
  }
  --stepIndex;
  // The scan page only passes forward: going back to it would scan again
  // and land on the list page the user wanted to leave.
  if (WizardMode == 1 && KindAt(stepIndex) == kScanPage) --stepIndex;
  if (WizardMode == 1) {
    const int kind = KindAt(stepIndex);
    if (tabSwitchInstall) tabSwitchInstall->SelectItem(kind);
    ShowInstallPage(kind);
  } else {
    if (tabSwitchDelete) tabSwitchDelete->SelectItem(stepIndex);
    ShowRemovalPage(stepIndex);
  }
}

// Prepares an install page from the current choices.
void SetupEngine::ShowInstallPage(int kind) {
  ShowPrevious(true);
  if (!tabSwitchInstall) return;
  switch (kind) {
    case kPortTypePage:
      ShowNext(true);
      if (portType == kPortNone) {
        if (auto* usb = FindAs<COptionUI>(L"option_port_usb")) usb->Selected(true, false);
        Send(UIMSG_BLUETOOTH_ADAPTER, 0);
        portType = kPortUsb;
      }
      break;

    case kScanPage:
      ShowNext(false);
      ShowPrevious(false);
      if (portType == kPortUsb) {
        usbIndex = -1;
        RunWorker([this]() {
          ScanUsbPorts();
          Send(UIMSG_WIZARD_NEXT, 0);
        });
      } else if (portType == kPortBluetooth) {
        bluetoothIndex = -1;
        portName.clear();
        RunWorker([this]() {
          ScanBluetoothDevices();
          Send(UIMSG_WIZARD_NEXT, 0);
        });
      }
      break;

    case kUsbListPage: {
      auto* list = FindAs<CListUI>(L"listex_install_show_usb");
      if (!list) break;
      list->RemoveAll();
      for (const UsbPortEntry& entry : usbPorts) {
        CControlUI* row = AddRow(list, L"listitemex.xml", L"listex_install_show_usb_item");
        SetColumn(row, 1, entry.portName);
        SetColumn(row, 2, entry.identity);
      }
      if (usbIndex < 0 && !usbPorts.empty()) {
        usbIndex = 0;
        portName = usbPorts[0].portName;
      }
      const bool selected = usbIndex >= 0 && usbIndex < list->GetCount() && list->SelectItem(usbIndex);
      ShowNext(selected);
      break;
    }

    case kBluetoothListPage: {
      if (auto* edit = FindAs<CEditUI>(L"edit_usecustom_pin")) edit->SetText(pin);
      auto* list = FindAs<CListUI>(L"listex_install_show_blue");
      if (!list) break;
      list->RemoveAll();
      for (const platform::BluetoothDevice& device : bluetoothDevices) {
        CControlUI* row = AddRow(list, L"listitemex_blue.xml", L"listex_install_show_blue_item");
        SetColumn(row, 1, device.name);
        SetColumn(row, 2, FormatBluetoothAddress(device.address, true));
        if (row && row->GetManager()) {
          if (CControlUI* icon = row->GetManager()->FindSubControlByName(row, L"label1_icon"))
            icon->SetVisible(device.authenticated);
        }
      }
      if (!bluetoothDevices.empty()) ShowNext(false);
      break;
    }

    case kModelPage: {
      ShowNext(false);
      auto* list = FindAs<CListUI>(L"listex_install_driver_moudel");
      if (!list) break;
      list->RemoveAll();
      int select = -1;
      for (const ModelEntry& model : models) {
        CControlUI* row = AddRow(list, L"listitemex.xml", L"listex_install_driver_item");
        if (!row) continue;
        SetColumn(row, 1, model.displayName);
        row->SetUserData(std::to_wstring(model.id));
        if (modelId < 0 ? model.driverName == kDefaultModelDriver : model.id == modelId)
          select = list->GetItemIndex(row);
      }
      if (select >= 0 && list->SelectItem(select)) {
        if (modelId < 0) modelId = models[static_cast<size_t>(select)].id;
        ShowNext(true);
      }
      break;
    }

    case kPortListPage: {
      ShowNext(false);
      RefreshPorts();
      auto* list = FindAs<CListUI>(L"listex_install_driver_port");
      if (!list) break;
      list->RemoveAll();
      if (portName.empty()) portName = portType == kPortLpt ? L"LPT1:" : L"COM1:";
      int select = -1;
      for (const PortEntry& port : ports) {
        if (portType == kPortCom && port.name.find(L"COM") == std::wstring::npos) continue;
        if (portType == kPortLpt && port.name.find(L"LPT") == std::wstring::npos) continue;
        CControlUI* row = AddRow(list, L"listitemex.xml", L"listex_install_port_item");
        if (!row) continue;
        SetColumn(row, 1, port.name);
        SetColumn(row, 2, port.monitor);
        SetColumn(row, 3, port.description);
        row->SetUserData(port.name);
        if (select < 0 && port.name == portName) select = list->GetItemIndex(row);
      }
      if (select >= 0 && list->SelectItem(select)) ShowNext(true);
      break;
    }

    case kNetworkPage: {
      if (ipAddress.empty()) {
        ipAddress = kDefaultIp;
        portName = followedPortName_ = FreePortName(kDefaultIp);
      }
      if (auto* ip = FindAs<CEditUI>(L"edit_install_lan_ip")) ip->SetText(ipAddress);
      if (auto* name = FindAs<CEditUI>(L"edit_install_lan_portName")) name->SetText(portName);
      break;
    }

    case kPrinterNamePage: {
      std::wstring base = modelId >= 0 && modelId < static_cast<int>(models.size())
                              ? models[static_cast<size_t>(modelId)].displayName
                              : std::wstring();
      std::wstring candidate = base;
      for (int counter = 1; PrinterExists(candidate); ++counter)
        candidate = base + L" (" + std::to_wstring(counter) + L")";
      printerName = candidate;
      if (auto* edit = FindAs<CEditUI>(L"edit_install_printer_name")) edit->SetText(printerName);
      if (setDefault == -1) setDefault = 1;
      if (auto* option = FindAs<COptionUI>(L"option_selected_defaultPrinter"))
        option->Selected(setDefault == 1, false);
      break;
    }

    case kSummaryPage: {
      const std::wstring driver = modelId >= 0 && modelId < static_cast<int>(models.size())
                                      ? models[static_cast<size_t>(modelId)].driverName
                                      : std::wstring();
      const std::pair<const wchar_t*, std::wstring> labels[] = {
          {L"label_ready_driverName", driver},
          {L"label_ready_portName", portName},
          {L"label_ready_ipAddress", ipAddress},
          {L"label_ready_printerName", printerName}};
      for (const auto& label : labels) {
        if (CControlUI* control = Find(label.first)) {
          control->SetText(label.second);
          control->SetToolTip(label.second);
        }
      }
      // The address row belongs to network ports only.
      if (CControlUI* row = Find(L"hor_ready_ipAddress")) row->SetVisible(portType == kPortNetwork);
      // A key: the label resolves it when drawn, so it follows a switch.
      if (CControlUI* control = Find(L"label_ready_prinerDefault"))
        control->SetText(setDefault == 1 ? L"tip.yes" : L"tip.no");
      break;
    }

    case kRunPage:
      ShowRunHeading(0, L"ui.run.install", false);
      Send(UIMSG_INSTALL_ANIMATION, 1);
      Send(UIMSG_SHOW_ROW_H1, 0);
      Send(UIMSG_SHOW_PRINTER_ACTIONS, 0);
      Send(UIMSG_SHOW_ROW_H2, 0);
      RunWorker([this]() {
        const InstallResult result = RunInstall();
        // Emptied before the start-page button is shown again: from then on
        // the UI thread may read them.
        if (result.networkPortAdded) {
          portName.clear();
          ipAddress.clear();
        }
        Send(UIMSG_INSTALL_ANIMATION, 0);
        ShowRunHeading(0, result.printerCreated ? L"ui.run.install.done" : L"ui.run.install.failed",
                       !result.printerCreated);
        Send(UIMSG_SHOW_ROW_H1, 1);
        if (result.printerCreated) Send(UIMSG_SHOW_PRINTER_ACTIONS, 1);
      });
      break;

    default:
      break;
  }
}

// Prepares a removal page from the current selections.
void SetupEngine::ShowRemovalPage(int page) {
  ShowPrevious(true);
  ShowNext(true, true, L"main.btn.next");  // a key: the button resolves it when drawn
  switch (page) {
    case kPrinterPage:
      if (showAllPrinters < 0) showAllPrinters = 0;
      if (auto* option = FindAs<COptionUI>(L"option_showAll_deletePrinter"))
        option->Selected(showAllPrinters == 1, false);
      RefreshPrinters();
      FillPrinterList();
      break;

    case kDriverPage:
      if (showAllDrivers < 0) showAllDrivers = 0;
      if (auto* option = FindAs<COptionUI>(L"option_showAll_deleteDriver"))
        option->Selected(showAllDrivers == 1, false);
      RefreshDrivers();
      FillDriverList();
      break;

    case kRemovalSummaryPage: {
      ShowNext(true, !selectedPrinters.empty() || !selectedDrivers.empty(),
               L"main.btn.startDelete");
      for (const PrinterEntry& printer : printers) {
        const bool usesSelected = std::any_of(selectedDrivers.begin(), selectedDrivers.end(),
                                              [&](const std::wstring& driver) {
                                                return ContainsNoCase(printer.driverName, driver);
                                              });
        if (usesSelected && std::find(selectedPrinters.begin(), selectedPrinters.end(), printer.name) ==
                                selectedPrinters.end())
          selectedPrinters.push_back(printer.name);
      }
      std::wstring info = engine_text::Text(L"gb.title.printer") + L":\r\n";
      for (const std::wstring& name : selectedPrinters) info += L"     " + name + L"\r\n";
      info += engine_text::Text(L"gb.title.driver") + L":\r\n";
      for (const std::wstring& name : selectedDrivers) info += L"     " + name + L"\r\n";
      if (CControlUI* box = Find(L"wordedit_deleteInfo")) box->SetText(info);
      break;
    }

    case kRemovalRunPage:
      ShowRunHeading(1, L"ui.del.run", false);
      Send(UIMSG_SHOW_ROW_H1, 0);
      Send(UIMSG_SHOW_PRINTER_ACTIONS, 0);
      // Hidden here, before the worker exists: a click on Previous in the
      // meantime would change the lists the run works through.
      Send(UIMSG_SHOW_ROW_H2, 0);
      RunWorker([this]() {
        removalErrors_ = 0;
        RunRemoval();
        ShowRunHeading(1, removalErrors_ == 0 ? L"ui.del.run.done" : L"ui.del.run.failed", removalErrors_ != 0);
        // The next removal starts from a clean choice; emptied before the
        // start-page button is shown, after which the UI thread may use them.
        selectedPrinters.clear();
        selectedDrivers.clear();
        Send(UIMSG_SHOW_ROW_H1, 1);
      });
      break;

    default:
      break;
  }
}

// Queues of our drivers (or all), narrowed by the search text.
void SetupEngine::FillPrinterList() {
  auto* list = FindAs<CListUI>(L"listex_delete_printer");
  if (!list) return;
  list->RemoveAll();
  for (const PrinterEntry& printer : printers) {
    const bool ours = std::any_of(knownDriverNames.begin(), knownDriverNames.end(), [&](const std::wstring& known) {
      return known.find(printer.driverName) != std::wstring::npos;
    });
    if (showAllPrinters != 1 && !ours) continue;
    if (!printerFilter.empty() && !ContainsNoCase(printer.name, printerFilter)) continue;
    auto* row = new CListTextExtElementUI;
    row->SetFixedHeight(30);
    row->ApplyStyle(L"listex_item_style");
    row->SetName(L"listex_delete_printer_item");
    row->SetUserData(L"0");
    list->Add(row);
    row->SetText(1, printer.name);  // column 0 is the narrow check-box column
    row->SetCheck(std::find(selectedPrinters.begin(), selectedPrinters.end(), printer.name) !=
                  selectedPrinters.end());
  }
}

// Our drivers (or all) with their check state.
void SetupEngine::FillDriverList() {
  auto* list = FindAs<CListUI>(L"listex_delete_driver");
  if (!list) return;
  list->RemoveAll();
  for (const DriverEntry& driver : drivers) {
    const bool ours = std::any_of(knownDriverNames.begin(), knownDriverNames.end(), [&](const std::wstring& known) {
      return known.find(driver.name) != std::wstring::npos;
    });
    if (showAllDrivers != 1 && !ours) continue;
    auto* row = new CListTextExtElementUI;
    row->SetFixedHeight(30);
    row->ApplyStyle(L"listex_item_style");
    row->SetName(L"listex_delete_driver_item");
    row->SetUserData(L"0");
    list->Add(row);
    row->SetText(1, driver.name);
    row->SetCheck(selectedDrivers.count(driver.name) != 0);
  }
}

// A click on the check box sends "listitemchecked" and then "itemclick";
// the user data "1" makes that pair toggle once.
void SetupEngine::OnRemovalRowNotify(TNotifyUI& msg, bool printerList) {
  auto* row = dynamic_cast<CListTextExtElementUI*>(msg.pSender);
  if (!row) return;
  const std::wstring name = row->GetText(1);
  auto select = [&](bool on) {
    if (printerList) {
      auto it = std::find(selectedPrinters.begin(), selectedPrinters.end(), name);
      if (on && it == selectedPrinters.end()) selectedPrinters.push_back(name);
      if (!on && it != selectedPrinters.end()) selectedPrinters.erase(it);
    } else if (on) {
      selectedDrivers.insert(name);
    } else {
      selectedDrivers.erase(name);
    }
  };
  if (msg.sType == DUI_MSGTYPE_LISTITEMCHECKED) {
    row->SetUserData(L"1");
    select(msg.wParam == 1);
  } else if (msg.sType == DUI_MSGTYPE_ITEMCLICK) {
    if (row->GetUserData() == L"0") {
      row->SetCheck(!row->IsChecked(), false);
      select(row->IsChecked());
    }
    row->SetUserData(L"0");
  }
}

// Clicks, before the window's own handling; an option's state is read
// before it changes.
void SetupEngine::OnClick(TNotifyUI& msg) {
  CControlUI* sender = msg.pSender;
  if (!sender) return;
  const std::wstring name = sender->GetName();
  auto* option = dynamic_cast<COptionUI*>(sender);
  const bool newState = option ? !option->IsSelected() : false;

  if (name == L"option_port_usb" || name == L"option_port_net" || name == L"option_port_lpt" ||
      name == L"option_port_com" || name == L"option_port_custom") {
    portType = name == L"option_port_usb"   ? kPortUsb
               : name == L"option_port_net" ? kPortNetwork
               : name == L"option_port_lpt" ? kPortLpt
               : name == L"option_port_com" ? kPortCom
                                            : kPortCustom;
    Send(UIMSG_BLUETOOTH_ADAPTER, 0);
  } else if (name == L"option_port_bluetooth") {
    portType = kPortBluetooth;
    CheckBluetoothAdapter(false);
  } else if (name == L"option_usecustom_pin") {
    useCustomPin = newState;
  } else if (name == L"option_selected_defaultPrinter") {
    setDefault = newState ? 1 : 0;
  } else if (name == L"option_showAll_deletePrinter") {
    showAllPrinters = newState ? 1 : 0;
    FillPrinterList();
  } else if (name == L"option_showAll_deleteDriver") {
    showAllDrivers = newState ? 1 : 0;
    FillDriverList();
  } else if (name == L"btn_checked_ip") {
    CheckPrinterReachable();
  } else if (name == L"btn_test_usb") {
    TestPrintUsb();
  } else if (name == L"btn_port_add") {
    if (showAddPortDialog) showAddPortDialog(hMainWnd);
    ShowInstallPage(kPortListPage);
  } else if (name == L"btn_port_delete") {
    DeletePort();
  } else if (name == L"btn_port_configure") {
    platform_.spooler.ShowPortConfiguration(hMainWnd, portName);
  } else if (name == L"btn_setup_preferences") {
    OpenPrinterUi(L" printui.dll, PrintUIEntry /e /n\"%s\" ");
  } else if (name == L"btn_setup_properties") {
    OpenPrinterUi(L" printui.dll, PrintUIEntry /p /n\"%s\" ");
  } else if (name == L"btn_setup_testpage") {
    OpenPrinterUi(L" printui.dll, PrintUIEntry /k /n\"%s\" ");
  } else if (name == L"btn_checked_printer_name") {
    CheckPrinterName(true);
  }
}

// Row choices and typed texts.
void SetupEngine::OnNotify(TNotifyUI& msg) {
  CControlUI* sender = msg.pSender;
  if (!sender) return;
  const std::wstring name = sender->GetName();
  const bool textChanged = msg.sType == DUI_MSGTYPE_TEXTCHANGED;

  if (name == L"listex_install_show_usb_item") {
    const int index = RowIndex(sender);
    if (index < 0 || index >= static_cast<int>(usbPorts.size())) return;
    usbIndex = index;
    CControlUI* label = sender->GetManager() ? sender->GetManager()->FindSubControlByName(sender, L"label1") : nullptr;
    portName = label ? label->GetText() : usbPorts[static_cast<size_t>(index)].portName;
    ShowNext(true);
  } else if (name == L"listex_install_show_blue_item") {
    const int index = RowIndex(sender);
    if (index < 0 || index >= static_cast<int>(bluetoothDevices.size())) return;
    bluetoothIndex = index;
    ShowNext(true);
  } else if (name == L"listex_install_driver_item") {
    const long id = std::wcstol(sender->GetUserData().c_str(), nullptr, 10);
    if (id < 0 || id >= static_cast<long>(models.size())) return;
    modelId = static_cast<int>(id);
    ShowNext(true);
  } else if (name == L"listex_install_port_item") {
    portName = sender->GetUserData();
    ShowNext(true);
  } else if (textChanged && name == L"edit_install_printer_name") {
    printerName = sender->GetText();
  } else if (textChanged && name == L"edit_install_lan_ip") {
    OnAddressTyped(sender->GetText());
  } else if (textChanged && name == L"edit_install_lan_portName") {
    portName = sender->GetText();
  } else if (textChanged && name == L"edit_usecustom_pin") {
    const std::wstring typed = sender->GetText();
    std::wstring cleaned;
    for (wchar_t c : typed) {
      if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9')) cleaned += c;
    }
    if (cleaned != typed) {
      if (auto* edit = dynamic_cast<CEditUI*>(sender)) {
        edit->SetText(cleaned);
        edit->SetSelEnd();
        edit->SetFocus();
      }
    }
    pin = cleaned;
  } else if (textChanged && name == L"edit_find_deletePrinter") {
    printerFilter = sender->GetText();
    FillPrinterList();
  } else if (name == L"listex_delete_printer_item") {
    OnRemovalRowNotify(msg, true);
  } else if (name == L"listex_delete_driver_item") {
    OnRemovalRowNotify(msg, false);
  }
}

// The install run on its worker thread: port, driver, queue.
InstallResult SetupEngine::RunInstall() {
  InstallResult result;
  LogInstall(std::wstring(), false, true);
  if (portType == kPortBluetooth && !PrepareBluetoothPort()) return result;
  if (portType == kPortNetwork) {
    LogInstallKey(L"tip.startaddlanport", {});
    if (!AddTcpIpPort(portName, ipAddress)) {
      LogInstallKey(L"tip.addlanportfail", {}, true);
      return result;
    }
    LogInstallKey(L"tip.addlanportsuccess", {});
    result.networkPortAdded = true;
  }
  if (modelId < 0 || modelId >= static_cast<int>(models.size())) return result;
  if (!DeployDriver(models[static_cast<size_t>(modelId)])) return result;
  result.printerCreated = CreatePrinter();
  return result;
}
