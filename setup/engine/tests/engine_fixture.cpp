#include "engine_fixture.h"

#include "app.h"
#include "localization.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

LRESULT RecordingWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  const auto* record = reinterpret_cast<const TUiMsgParam*>(lParam);
  if (msg == UIMSG_INSTALL_LOG && record && !record->clear) installLog.push_back({record->text, record->isError});
  if (msg == UIMSG_INSTALL_LOG && record && record->clear) installLog.clear();
  // Statuses shown; one taken away is seen on the label itself.
  if (msg == UIMSG_PRINTER_NAME_STATUS && record && !record->text.empty()) nameStatus.push_back(*record);
  return CMainWnd::HandleCustomMessage(msg, wParam, lParam, handled);
}

const ModelEntry& Model(size_t row) {
  static const std::vector<ModelEntry> table = BuildModelTable();
  return table.at(row);
}

void EngineTest::SetUp() {
  std::ifstream in(PLOVEX_ARCHIVE_FILE, std::ios::binary);
  ASSERT_TRUE(in) << PLOVEX_ARCHIVE_FILE;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CResourceManager::GetInstance().Release();
  SetUpResources(L"C:\\Program Files\\Plovex\\", bytes.data(), bytes.size());
  ASSERT_TRUE(CResourceManager::GetInstance().IsZipOpen());
  FillLanguageTable(engine);
  // The driver files are taken from the archive the window was built from.
  machine.files.MakeDirs(L"C:\\Windows\\system32\\spool\\DRIVERS\\W32X86");
  wnd = new RecordingWnd(engine);
  hwnd = wnd->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(hwnd, nullptr);
}

void EngineTest::TearDown() {
  WaitWorkers();
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  toolkit::headless::PumpPending();
  delete wnd;
  CResourceManager::GetInstance().Release();
  toolkit::headless::SetMessageBoxAnswer(IDOK);
}

CControlUI* EngineTest::Find(const wchar_t* name) { return wnd->GetPaintManager().FindControl(name); }

void EngineTest::Click(const wchar_t* name) {
  CControlUI* control = Find(name);
  ASSERT_NE(control, nullptr) << toolkit::WideToUtf8(name);
  ASSERT_TRUE(control->Activate()) << toolkit::WideToUtf8(name) << " is hidden or disabled";
}

void EngineTest::GoHome() {
  CControlUI* control = Find(L"btn_setup_index");
  ASSERT_NE(control, nullptr);
  wnd->GetPaintManager().SendNotify(control, DUI_MSGTYPE_CLICK);
}

void EngineTest::ClickRow(const wchar_t* list, int index) {
  auto* owner = FindAs<CListUI>(list);
  ASSERT_NE(owner, nullptr);
  ASSERT_LT(index, owner->GetCount());
  CControlUI* row = owner->GetItemAt(index);
  owner->SelectItem(index);
  wnd->GetPaintManager().SendNotify(row, DUI_MSGTYPE_ITEMCLICK);
}

void EngineTest::Type(const wchar_t* edit, const std::wstring& text) {
  auto* control = FindAs<CEditUI>(edit);
  ASSERT_NE(control, nullptr);
  control->OnUserTextChanged(text);
}

void EngineTest::WaitWorkers() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (engine.RunningWorkers() > 0 && std::chrono::steady_clock::now() < deadline) {
    if (toolkit::headless::PumpPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  toolkit::headless::PumpPending();
  ASSERT_EQ(engine.RunningWorkers(), 0) << "a worker thread did not end";
}

void EngineTest::NextPage() {
  Click(L"btn_setup_next");
  WaitWorkers();
}

bool EngineTest::Visible(const wchar_t* name) {
  CControlUI* control = Find(name);
  return control && control->IsVisible();
}

std::wstring EngineTest::Text(const wchar_t* key) { return CResourceManager::GetInstance().GetText(key); }

std::vector<std::wstring> EngineTest::RowTexts(const wchar_t* list, const wchar_t* label) {
  std::vector<std::wstring> texts;
  auto* owner = FindAs<CListUI>(list);
  if (!owner) return texts;
  for (int i = 0; i < owner->GetCount(); ++i) {
    CControlUI* cell = wnd->GetPaintManager().FindSubControlByName(owner->GetItemAt(i), label);
    texts.push_back(cell ? cell->GetText() : L"?");
  }
  return texts;
}

bool EngineTest::Logged(const std::wstring& text, bool isError) {
  for (const LogLine& line : wnd->installLog) {
    if (line.text == text && line.isError == isError) return true;
  }
  return false;
}

void EngineTest::ToPortKind(const wchar_t* option) {
  NextPage();
  Click(option);
  NextPage();
}

void EngineTest::AddQueue(const std::wstring& name, const std::wstring& port, const std::wstring& driver) {
  if (!machine.spooler.DriverRecord(driver)) machine.spooler.InstallDriver(driver);
  platform::PrinterInfo queue;
  queue.name = name;
  queue.port = port;
  queue.driver = driver;
  queue.printProcessor = L"WinPrint";
  queue.dataType = L"RAW";
  ASSERT_EQ(machine.spooler.AddQueue(queue), 0u);
}
