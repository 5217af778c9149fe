// The wizard: page flow, page preparation, checks, click and notification
// handling, and the install run.
#include "engine/setup_engine.h"

#include "engine_text.h"
#include "port_kinds.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

std::atomic<LANGID> g_currentLangId{1033};

namespace {

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

// Whether one of our driver names contains this one.
bool IsOurDriver(const std::vector<std::wstring>& known, const std::wstring& driver) {
  return std::any_of(known.begin(), known.end(),
                     [&](const std::wstring& name) { return name.find(driver) != std::wstring::npos; });
}

// One row of a removal list: the text in column 1 (column 0 is the narrow
// check-box column) and its check state.
void AddCheckRow(CListUI* list, const wchar_t* rowName, const std::wstring& text, bool checked) {
  auto* row = new CListTextExtElementUI;
  row->SetFixedHeight(30);
  row->ApplyStyle(L"listex_item_style");
  row->SetName(rowName);
  row->SetUserData(L"0");
  list->Add(row);
  row->SetText(1, text);
  row->SetCheck(checked);
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

// A plain log line (red when isError), or an emptied log.
void SetupEngine::LogText(UINT log, const std::wstring& text, bool isError, bool clear) {
  TUiMsgParam record;
  record.text = text;
  record.isError = isError;
  record.clear = clear;
  SendLogLine(log, record);
}

// A log line from a language text: the window formats it again after a
// language switch.
void SetupEngine::LogKey(UINT log, const wchar_t* key, std::vector<std::wstring> args, bool isError) {
  TUiMsgParam record;
  record.key = key;
  record.args = std::move(args);
  record.isError = isError;
  SendLogLine(log, record);
}

void SetupEngine::LogError(UINT log, const wchar_t* key, platform::ErrorCode code) {
  TUiMsgParam record;
  record.key = key ? key : L"";
  record.hasErrorCode = true;
  record.errorCode = code;
  record.isError = true;
  SendLogLine(log, record);
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

// A check's outcome is about the name it checked: gone once the name changes.
void SetupEngine::HidePrinterNameStatus() {
  nameStatusShown_ = false;
  TUiMsgParam record;
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
    const std::wstring page = PageAt(stepIndex + 1);
    if (page.empty() || !CheckBeforeInstallPage(page)) return;
    ++stepIndex;
    SelectInstallPage(page);
    ShowInstallPage(page);
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
  if (WizardMode == 1 && PageAt(stepIndex) == kScanPage) --stepIndex;
  if (WizardMode == 1) {
    const std::wstring page = PageAt(stepIndex);
    SelectInstallPage(page);
    ShowInstallPage(page);
  } else {
    if (tabSwitchDelete) tabSwitchDelete->SelectItem(stepIndex);
    ShowRemovalPage(stepIndex);
  }
}

// Before any choice the first port kind is preselected.
void SetupEngine::ShowPortTypePage() {
  ShowNext(true);
  if (portType != kPortNone) return;
  const PortKind& first = PortKinds().front();
  if (auto* option = FindAs<COptionUI>(first.option)) option->Selected(true, false);
  first.chosen(*this);
  portType = 0;
}

// Navigation waits for the scan, which moves on to the list page itself.
void SetupEngine::ShowScanPage() {
  ShowNext(false);
  ShowPrevious(false);
  if (const PortKind::Step& startScan = CurrentPortKind().startScan) startScan(*this);
}

// The USB printers found; the first is taken when none was chosen.
void SetupEngine::ShowUsbListPage() {
  auto* list = FindAs<CListUI>(L"listex_install_show_usb");
  if (!list) return;
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
}

// The Bluetooth devices found, paired ones marked; Next waits for a row.
void SetupEngine::ShowBluetoothListPage() {
  if (auto* edit = FindAs<CEditUI>(L"edit_usecustom_pin")) edit->SetText(pin);
  auto* list = FindAs<CListUI>(L"listex_install_show_blue");
  if (!list) return;
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
}

// The model table's rows, the chosen one (or the first) selected.
void SetupEngine::ShowModelPage() {
  ShowNext(false);
  auto* list = FindAs<CListUI>(L"listex_install_driver_moudel");
  if (!list) return;
  list->RemoveAll();
  int select = -1;
  for (const ModelEntry& model : models) {
    CControlUI* row = AddRow(list, L"listitemex.xml", L"listex_install_driver_item");
    if (!row) continue;
    SetColumn(row, 1, model.displayName);
    row->SetUserData(std::to_wstring(model.id));
    if (model.id == (modelId < 0 ? 0 : modelId)) select = list->GetItemIndex(row);
  }
  if (select >= 0 && list->SelectItem(select)) {
    if (modelId < 0) modelId = models[static_cast<size_t>(select)].id;
    ShowNext(true);
  }
}

// The spooler's ports of the chosen kind, the chosen or default one selected.
void SetupEngine::ShowPortListPage() {
  ShowNext(false);
  RefreshPorts();
  auto* list = FindAs<CListUI>(L"listex_install_driver_port");
  if (!list) return;
  list->RemoveAll();
  const PortKind& kind = CurrentPortKind();
  if (portName.empty() && kind.defaultPort) portName = kind.defaultPort;
  int select = -1;
  for (const PortEntry& port : ports) {
    if (kind.portFilter && port.name.find(kind.portFilter) == std::wstring::npos) continue;
    CControlUI* row = AddRow(list, L"listitemex.xml", L"listex_install_port_item");
    if (!row) continue;
    SetColumn(row, 1, port.name);
    SetColumn(row, 2, port.monitor);
    SetColumn(row, 3, port.description);
    row->SetUserData(port.name);
    if (select < 0 && port.name == portName) select = list->GetItemIndex(row);
  }
  if (select >= 0 && list->SelectItem(select)) ShowNext(true);
}

// A first visit proposes an address and a free port name for it; a
// later one after another kind was chosen a port name for the address.
// What the last visit found wrong is no longer on screen.
void SetupEngine::ShowNetworkPage() {
  if (ipAddress.empty()) ipAddress = kDefaultIp;
  if (portName.empty()) portName = followedPortName_ = FreePortName(ipAddress);
  ShowNetworkStatus(L"");
  if (auto* ip = FindAs<CEditUI>(L"edit_install_lan_ip")) ip->SetText(ipAddress);
  if (auto* name = FindAs<CEditUI>(L"edit_install_lan_portName")) name->SetText(portName);
}

// The model's name, numbered until no queue has it yet.
void SetupEngine::ShowPrinterNamePage() {
  const ModelEntry* model = ChosenModel();
  const std::wstring base = model ? model->displayName : std::wstring();
  std::wstring candidate = base;
  for (int counter = 1; PrinterExists(candidate); ++counter)
    candidate = base + L" (" + std::to_wstring(counter) + L")";
  printerName = candidate;
  if (auto* edit = FindAs<CEditUI>(L"edit_install_printer_name")) edit->SetText(printerName);
  if (nameStatusShown_) HidePrinterNameStatus();
  if (setDefault == -1) setDefault = 1;
  if (auto* option = FindAs<COptionUI>(L"option_selected_defaultPrinter"))
    option->Selected(setDefault == 1, false);
}

// Every choice once more before the run.
void SetupEngine::ShowSummaryPage() {
  const ModelEntry* model = ChosenModel();
  const std::wstring driver = model ? model->driverName : std::wstring();
  const std::pair<const wchar_t*, std::wstring> labels[] = {{L"label_ready_driverName", driver},
                                                            {L"label_ready_portName", portName},
                                                            {L"label_ready_ipAddress", ipAddress},
                                                            {L"label_ready_printerName", printerName}};
  for (const auto& label : labels) {
    if (CControlUI* control = Find(label.first)) {
      control->SetText(label.second);
      control->SetToolTip(label.second);
    }
  }
  // The address row belongs to the kinds that ask for one.
  if (CControlUI* row = Find(L"hor_ready_ipAddress")) row->SetVisible(CurrentPortKind().addressOnSummary);
  // A key: the label resolves it when drawn, so it follows a switch.
  if (CControlUI* control = Find(L"label_ready_prinerDefault"))
    control->SetText(setDefault == 1 ? L"tip.yes" : L"tip.no");
}

// The run page: navigation hidden until the worker is done.
void SetupEngine::StartInstallRun() {
  ShowRunHeading(0, L"ui.run.install", false);
  Send(UIMSG_INSTALL_ANIMATION, 1);
  Send(UIMSG_SHOW_ROW_H1, 0);
  Send(UIMSG_SHOW_PRINTER_ACTIONS, 0);
  Send(UIMSG_SHOW_ROW_H2, 0);
  RunWorker([this]() {
    const InstallResult result = RunInstall();
    // Emptied before the start-page button is shown again: from then on
    // the UI thread may read them.
    if (result.portAdded) ClearPortFields();
    Send(UIMSG_INSTALL_ANIMATION, 0);
    ShowRunHeading(0, result.printerCreated ? L"ui.run.install.done" : L"ui.run.install.failed",
                   !result.printerCreated);
    Send(UIMSG_SHOW_ROW_H1, 1);
    if (result.printerCreated) Send(UIMSG_SHOW_PRINTER_ACTIONS, 1);
  });
}

// The model row modelId points at, or null.
const ModelEntry* SetupEngine::ChosenModel() const {
  if (modelId < 0 || modelId >= static_cast<int>(models.size())) return nullptr;
  return &models[static_cast<size_t>(modelId)];
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
      // Lists what the run will remove: a chosen driver removed since the
      // driver page was shown is left out here as the run leaves it out.
      RefreshDrivers();
      const std::map<std::wstring, DriverEntry> chosenDrivers = ChosenInstalledDrivers();
      for (const PrinterEntry& printer : printers) {
        const bool usesSelected = std::any_of(chosenDrivers.begin(), chosenDrivers.end(),
                                              [&](const auto& driver) {
                                                return ContainsNoCase(printer.driverName, driver.first);
                                              });
        if (usesSelected && std::find(selectedPrinters.begin(), selectedPrinters.end(), printer.name) ==
                                selectedPrinters.end())
          selectedPrinters.push_back(printer.name);
      }
      std::wstring info = engine_text::Text(L"gb.title.printer") + L":\r\n";
      for (const std::wstring& name : selectedPrinters) info += L"     " + name + L"\r\n";
      info += engine_text::Text(L"gb.title.driver") + L":\r\n";
      for (const auto& driver : chosenDrivers) info += L"     " + driver.first + L"\r\n";
      if (CControlUI* box = Find(L"wordedit_deleteInfo")) box->SetText(info);
      ShowNext(true, !selectedPrinters.empty() || !chosenDrivers.empty(), L"main.btn.startDelete");
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
    if (showAllPrinters != 1 && !IsOurDriver(knownDriverNames, printer.driverName)) continue;
    if (!printerFilter.empty() && !ContainsNoCase(printer.name, printerFilter)) continue;
    AddCheckRow(list, L"listex_delete_printer_item", printer.name,
                std::find(selectedPrinters.begin(), selectedPrinters.end(), printer.name) != selectedPrinters.end());
  }
}

// Our drivers (or all) with their check state.
void SetupEngine::FillDriverList() {
  auto* list = FindAs<CListUI>(L"listex_delete_driver");
  if (!list) return;
  list->RemoveAll();
  for (const DriverEntry& driver : drivers) {
    if (showAllDrivers != 1 && !IsOurDriver(knownDriverNames, driver.name)) continue;
    AddCheckRow(list, L"listex_delete_driver_item", driver.name, selectedDrivers.count(driver.name) != 0);
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
  struct ClickRoute {
    const wchar_t* control;
    void (*handle)(SetupEngine& engine, bool newState);  // newState: an option's state after the click
  };
  static const ClickRoute kRoutes[] = {
      {L"option_selected_defaultPrinter", [](SetupEngine& e, bool on) { e.setDefault = on ? 1 : 0; }},
      {L"option_showAll_deletePrinter", [](SetupEngine& e, bool on) { e.ShowAllPrinters(on); }},
      {L"option_showAll_deleteDriver", [](SetupEngine& e, bool on) { e.ShowAllDrivers(on); }},
      {L"btn_port_add", [](SetupEngine& e, bool) { e.AddPortByDialog(); }},
      {L"btn_port_delete", [](SetupEngine& e, bool) { e.DeletePort(); }},
      {L"btn_port_configure",
       [](SetupEngine& e, bool) { e.platform_.spooler.ShowPortConfiguration(e.hMainWnd, e.portName); }},
      {L"btn_setup_preferences",
       [](SetupEngine& e, bool) { e.OpenPrinterUi(L" printui.dll, PrintUIEntry /e /n\"%s\" "); }},
      {L"btn_setup_properties",
       [](SetupEngine& e, bool) { e.OpenPrinterUi(L" printui.dll, PrintUIEntry /p /n\"%s\" "); }},
      {L"btn_setup_testpage",
       [](SetupEngine& e, bool) { e.OpenPrinterUi(L" printui.dll, PrintUIEntry /k /n\"%s\" "); }},
      {L"btn_checked_printer_name", [](SetupEngine& e, bool) { e.CheckPrinterName(true); }},
  };
  CControlUI* sender = msg.pSender;
  if (!sender) return;
  const std::wstring name = sender->GetName();
  if (ChoosePortKind(name)) return;
  auto* option = dynamic_cast<COptionUI*>(sender);
  const bool newState = option ? !option->IsSelected() : false;
  if (RouteKindClick(name, newState)) return;
  for (const ClickRoute& route : kRoutes) {
    if (name == route.control) {
      route.handle(*this, newState);
      return;
    }
  }
}

void SetupEngine::ShowAllPrinters(bool all) {
  showAllPrinters = all ? 1 : 0;
  FillPrinterList();
}

void SetupEngine::ShowAllDrivers(bool all) {
  showAllDrivers = all ? 1 : 0;
  FillDriverList();
}

// The system's add-port dialog, then the port list again with the new port.
void SetupEngine::AddPortByDialog() {
  if (showAddPortDialog) showAddPortDialog(hMainWnd);
  ShowInstallPage(kPortListPage);
}

// Row choices and typed texts.
void SetupEngine::OnNotify(TNotifyUI& msg) {
  struct NotifyRoute {
    const wchar_t* control;
    bool typedOnly;  // only for a changed text
    void (*handle)(SetupEngine& engine, TNotifyUI& msg);
  };
  static const NotifyRoute kRoutes[] = {
      {L"listex_install_driver_item", false, [](SetupEngine& e, TNotifyUI& m) { e.ChooseModelRow(m.pSender); }},
      {L"listex_install_port_item", false,
       [](SetupEngine& e, TNotifyUI& m) {
         e.portName = m.pSender->GetUserData();
         e.ShowNext(true);
       }},
      {L"edit_install_printer_name", true,
       [](SetupEngine& e, TNotifyUI& m) {
         e.printerName = m.pSender->GetText();
         if (e.nameStatusShown_) e.HidePrinterNameStatus();
       }},
      {L"edit_find_deletePrinter", true,
       [](SetupEngine& e, TNotifyUI& m) {
         e.printerFilter = m.pSender->GetText();
         e.FillPrinterList();
       }},
      {L"listex_delete_printer_item", false, [](SetupEngine& e, TNotifyUI& m) { e.OnRemovalRowNotify(m, true); }},
      {L"listex_delete_driver_item", false, [](SetupEngine& e, TNotifyUI& m) { e.OnRemovalRowNotify(m, false); }},
  };
  CControlUI* sender = msg.pSender;
  if (!sender) return;
  const std::wstring name = sender->GetName();
  if (RouteKindNotify(name, msg)) return;
  const bool textChanged = msg.sType == DUI_MSGTYPE_TEXTCHANGED;
  for (const NotifyRoute& route : kRoutes) {
    if (name == route.control) {
      if (textChanged || !route.typedOnly) route.handle(*this, msg);
      return;
    }
  }
}

// The USB list row's port name as shown, which is the scanned one.
void SetupEngine::ChooseUsbRow(CControlUI* row) {
  const int index = RowIndex(row);
  if (index < 0 || index >= static_cast<int>(usbPorts.size())) return;
  usbIndex = index;
  CControlUI* label = row->GetManager() ? row->GetManager()->FindSubControlByName(row, L"label1") : nullptr;
  portName = label ? label->GetText() : usbPorts[static_cast<size_t>(index)].portName;
  ShowNext(true);
}

void SetupEngine::ChooseBluetoothRow(CControlUI* row) {
  const int index = RowIndex(row);
  if (index < 0 || index >= static_cast<int>(bluetoothDevices.size())) return;
  bluetoothIndex = index;
  ShowNext(true);
}

// A model row carries its id as user data.
void SetupEngine::ChooseModelRow(CControlUI* row) {
  const long id = std::wcstol(row->GetUserData().c_str(), nullptr, 10);
  if (id < 0 || id >= static_cast<long>(models.size())) return;
  modelId = static_cast<int>(id);
  ShowNext(true);
}

// Letters and digits only: anything else typed or pasted is taken out again.
void SetupEngine::OnPinTyped(CControlUI* sender) {
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
}

// The install run on its worker thread: port, driver, queue.
InstallResult SetupEngine::RunInstall() {
  InstallResult result;
  LogInstall(std::wstring(), false, true);
  const PortKind& kind = CurrentPortKind();
  if (kind.createPort && !kind.createPort(*this, result)) return result;
  const ModelEntry* model = ChosenModel();
  if (!model || !DeployDriver(*model)) return result;
  result.printerCreated = CreatePrinter();
  return result;
}
