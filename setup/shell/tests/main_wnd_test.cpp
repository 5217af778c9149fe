// CMainWnd on the headless host: initialisation, the UIMSG_* protocol,
// notification and click routing, DPI, skin changes and the log boxes.
#include "app.h"
#include "localization.h"
#include "main_wnd.h"
#include "sim_platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace {

// Records the window's calls in order.
class RecordingEngine : public SetupEngine {
 public:
  void OnNotify(TNotifyUI& msg) override { calls.push_back(L"notify:" + msg.sType + L":" + Name(msg)); }
  void OnClick(TNotifyUI& msg) override { calls.push_back(L"click:" + Name(msg)); }
  void Home() override { calls.push_back(L"home"); }
  void Next() override { calls.push_back(L"next"); }
  void Previous() override { calls.push_back(L"previous"); }
  std::vector<std::wstring> calls;

 private:
  static std::wstring Name(TNotifyUI& msg) { return msg.pSender ? msg.pSender->GetName() : L""; }
};

class MainWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenRealArchive());
    FillLanguageTable(engine);
    wnd = new CMainWnd(engine);
    hwnd = wnd->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    toolkit::headless::PumpPending();
    delete wnd;
    CResourceManager::GetInstance().Release();
    toolkit::headless::SetUserUILanguage(0x0409);
  }
  CControlUI* Find(const wchar_t* name) { return wnd->GetPaintManager().FindControl(name); }
  template <class T>
  T* FindAs(const wchar_t* name) { return dynamic_cast<T*>(Find(name)); }
  LRESULT Send(UINT msg, WPARAM wParam, const TUiMsgParam* record = nullptr) {
    return SendMessageW(hwnd, msg, wParam, reinterpret_cast<LPARAM>(record));
  }
  void Click(const wchar_t* name) {
    CControlUI* control = Find(name);
    ASSERT_NE(control, nullptr) << toolkit::WideToUtf8(name);
    wnd->GetPaintManager().SendNotify(control, DUI_MSGTYPE_CLICK);
  }
  std::wstring Caption() {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
  }

  RecordingEngine engine;
  CMainWnd* wnd = nullptr;
  HWND hwnd = nullptr;
};

TEST_F(MainWndTest, MarkupHoldsEveryControlTheProgramLooksUp) {
  const wchar_t* const names[] = {
      // the window's own table
      L"title_lb", L"tab_switch", L"tab_switch_install", L"tab_switch_delete", L"btn_setup_previous",
      L"btn_setup_next", L"option_delete", L"closebtn", L"minbtn", L"maxbtn", L"restorebtn", L"skinbtn",
      L"btnAbout", L"btnLan", L"wordedit_installInfo", L"wordedit_deleteInfo_start", L"ani_gif_install",
      L"ani_gif_delete", L"hor_btn_h1", L"hor_btn_h2", L"btn_setup_preferences", L"btn_setup_properties",
      L"btn_setup_testpage", L"label_show_printername_info", L"hor_bluetooth_adapter",
      L"label_bluetooth_adapter_info", L"dpi_btn", L"option_install", L"btn_setup_index", L"btn_setup_cancel",
      // the wizard's pages
      L"option_port_usb", L"option_port_net", L"option_port_bluetooth", L"option_port_lpt", L"option_port_com",
      L"option_port_custom", L"option_usecustom_pin", L"option_selected_defaultPrinter",
      L"option_showAll_deletePrinter", L"option_showAll_deleteDriver", L"btn_checked_ip", L"btn_test_usb",
      L"btn_port_add", L"btn_port_delete", L"btn_port_configure", L"btn_checked_printer_name",
      L"listex_install_show_usb", L"listex_install_show_blue", L"listex_install_driver_moudel",
      L"listex_install_driver_port", L"listex_delete_printer", L"listex_delete_driver",
      L"edit_install_printer_name", L"edit_install_lan_ip", L"edit_install_lan_portName", L"edit_usecustom_pin",
      L"edit_find_deletePrinter", L"label_show_lanPort_info", L"label_ready_driverName", L"label_ready_portName",
      L"label_ready_printerName", L"label_ready_prinerDefault", L"wordedit_deleteInfo"};
  for (const wchar_t* name : names) EXPECT_NE(Find(name), nullptr) << toolkit::WideToUtf8(name);
  // Install pages are found by name, so each needs one of its own.
  auto* install = FindAs<CTabLayoutUI>(L"tab_switch_install");
  std::set<std::wstring> pages;
  for (int at = 0; at < install->GetCount(); ++at) pages.insert(install->GetItemAt(at)->GetName());
  EXPECT_EQ(pages.size(), static_cast<size_t>(install->GetCount()));
  EXPECT_EQ(pages.count(L""), 0u);
  EXPECT_EQ(FindAs<CTabLayoutUI>(L"tab_switch_delete")->GetCount(), 4);
  EXPECT_EQ(FindAs<CTabLayoutUI>(L"tab_switch")->GetCount(), 3);
  // The wizard sets the next button's text to keys.
  EXPECT_TRUE(Find(L"btn_setup_next")->IsResourceText());
  EXPECT_TRUE(wnd->GetPaintManager().HasFont(3));
  EXPECT_TRUE(wnd->GetPaintManager().HasFont(22));
}

TEST_F(MainWndTest, InitialisationHandsTheEngineItsStateAndShowsTheStartRows) {
  EXPECT_EQ(engine.hMainWnd, hwnd);
  EXPECT_EQ(engine.tabSwitch, Find(L"tab_switch"));
  EXPECT_EQ(engine.tabSwitchInstall, Find(L"tab_switch_install"));
  EXPECT_EQ(engine.tabSwitchDelete, Find(L"tab_switch_delete"));
  std::vector<std::wstring> ours;
  for (const ModelEntry& model : BuildModelTable()) ours.push_back(model.driverName);
  ASSERT_FALSE(ours.empty());
  EXPECT_EQ(engine.knownDriverNames, ours);
  EXPECT_EQ(engine.installChosen, 1);
  EXPECT_FALSE(FindAs<COptionUI>(L"option_delete")->IsSelected());
  EXPECT_FALSE(Find(L"hor_btn_h1")->IsVisibleSelf());
  EXPECT_TRUE(Find(L"hor_btn_h2")->IsVisibleSelf());
  // Home during initialisation, then the toolkit's "windowinit".
  EXPECT_EQ(engine.calls, (std::vector<std::wstring>{L"home", L"notify:windowinit:"}));
  EXPECT_EQ(engine.currentLanguage, 1033);
  EXPECT_EQ(wnd->GetPaintManager().GetDefaultFontInfo().size, 14);
  EXPECT_EQ(FindAs<CLabelUI>(L"title_lb")->GetFont(), 3);
}

TEST_F(MainWndTest, CaptionIsTheTitleTextFollowedByTheVersion) {
  EXPECT_EQ(Caption(), Versioned(L"Printer Setup"));
  EXPECT_EQ(Find(L"title_lb")->GetText(), Versioned(L"Printer Setup"));
  // Without the key in the text table the key itself is shown.
  CResourceManager::GetInstance().Release();
  EXPECT_EQ(CMainWnd::BuildTitle(), Versioned(L"mainTitle"));
}

TEST_F(MainWndTest, LanguageChangeAppliesFontsAndRebuildsTheTitle) {
  SwitchLanguage(engine, 1042, nullptr, hwnd);
  EXPECT_EQ(Caption(), Versioned(L"프린터 설치"));
  EXPECT_EQ(wnd->GetPaintManager().GetDefaultFontInfo().size, 18);
  EXPECT_EQ(FindAs<CLabelUI>(L"title_lb")->GetFont(), 22);
  EXPECT_EQ(Find(L"btn_setup_next")->GetText(), L"다음");
  SwitchLanguage(engine, 2052, nullptr, hwnd);
  EXPECT_EQ(Caption(), Versioned(L"打印机安装程序"));
  EXPECT_EQ(FindAs<CLabelUI>(L"title_lb")->GetFont(), 3);
}

TEST_F(MainWndTest, StartsInTheUsersLanguage) {
  DestroyWindow(hwnd);
  toolkit::headless::PumpPending();
  delete wnd;
  toolkit::headless::SetUserUILanguage(0x041E);
  wnd = new CMainWnd(engine);
  hwnd = wnd->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  EXPECT_EQ(Caption(), Versioned(L"ติดตั้งเครื่องพิมพ์"));
  EXPECT_EQ(wnd->GetPaintManager().GetDefaultFontInfo().size, 20);
}

TEST_F(MainWndTest, VisibilityMessagesShowOnlyForOne) {
  EXPECT_EQ(Send(UIMSG_SHOW_ROW_H1, 1), 0);
  EXPECT_TRUE(Find(L"hor_btn_h1")->IsVisibleSelf());
  Send(UIMSG_SHOW_ROW_H1, 2);
  EXPECT_FALSE(Find(L"hor_btn_h1")->IsVisibleSelf());
  Send(UIMSG_SHOW_ROW_H2, 0);
  EXPECT_FALSE(Find(L"hor_btn_h2")->IsVisibleSelf());

  Send(UIMSG_SHOW_PRINTER_ACTIONS, 1);
  for (const wchar_t* name : {L"btn_setup_preferences", L"btn_setup_properties", L"btn_setup_testpage"})
    EXPECT_TRUE(Find(name)->IsVisibleSelf());
  Send(UIMSG_SHOW_PRINTER_ACTIONS, 3);
  for (const wchar_t* name : {L"btn_setup_preferences", L"btn_setup_properties", L"btn_setup_testpage"})
    EXPECT_FALSE(Find(name)->IsVisibleSelf());

  Send(UIMSG_PREVIOUS_BUTTON, 1, nullptr);
  EXPECT_TRUE(Find(L"btn_setup_previous")->IsVisibleSelf());
  Send(UIMSG_PREVIOUS_BUTTON, 0);
  EXPECT_FALSE(Find(L"btn_setup_previous")->IsVisibleSelf());

  TUiMsgParam state;
  state.text = L"tip.btadapter.on";
  Send(UIMSG_BLUETOOTH_ADAPTER, 1, &state);
  EXPECT_TRUE(Find(L"hor_bluetooth_adapter")->IsVisibleSelf());
  EXPECT_EQ(Find(L"label_bluetooth_adapter_info")->GetText(), L"Bluetooth adapter found and switched on.");
  Send(UIMSG_BLUETOOTH_ADAPTER, 0);  // no record: only hides
  EXPECT_FALSE(Find(L"hor_bluetooth_adapter")->IsVisibleSelf());
  EXPECT_EQ(Find(L"label_bluetooth_adapter_info")->GetRawText(), L"tip.btadapter.on");
}

TEST_F(MainWndTest, NextButtonKeepsItsTextWhenTheRecordHasNone) {
  CControlUI* next = Find(L"btn_setup_next");
  TUiMsgParam p;
  p.enabled = false;
  Send(UIMSG_NEXT_BUTTON, 1, &p);
  EXPECT_TRUE(next->IsVisibleSelf());
  EXPECT_FALSE(next->IsEnabled());
  EXPECT_EQ(next->GetRawText(), L"main.btn.next");
  p.text = L"main.btn.startDelete";
  p.enabled = true;
  Send(UIMSG_NEXT_BUTTON, 1, &p);
  EXPECT_TRUE(next->IsEnabled());
  EXPECT_EQ(next->GetText(), L"Remove");
  Send(UIMSG_NEXT_BUTTON, 0, &p);
  EXPECT_FALSE(next->IsVisibleSelf());
}

TEST_F(MainWndTest, PrinterNameStatusColoursAndSetsTheLabel) {
  auto* label = FindAs<CLabelUI>(L"label_show_printername_info");
  TUiMsgParam p;
  p.text = L"*打印机名称:X 不可以使用，请更换名称";
  p.isError = true;
  Send(UIMSG_PRINTER_NAME_STATUS, 0, &p);
  EXPECT_EQ(label->GetTextColor(), 0xFFFF0000u);
  EXPECT_EQ(label->GetText(), p.text);
  p.isError = false;
  p.text = L"打印机名称:X 可以使用";
  Send(UIMSG_PRINTER_NAME_STATUS, 0, &p);
  EXPECT_EQ(label->GetTextColor(), 0xFF0EED1Eu);
  EXPECT_EQ(label->GetText(), p.text);
}

TEST_F(MainWndTest, AnimationsPlayWhenShownAndStopAtTheFirstFrame) {
  for (UINT msg : {UINT(UIMSG_INSTALL_ANIMATION), UINT(UIMSG_DELETE_ANIMATION)}) {
    auto* gif = FindAs<CGifAnimUI>(msg == UIMSG_INSTALL_ANIMATION ? L"ani_gif_install" : L"ani_gif_delete");
    Send(msg, 1);
    EXPECT_TRUE(gif->IsVisibleSelf());
    EXPECT_TRUE(gif->IsPlaying());
    Send(msg, 0);
    EXPECT_FALSE(gif->IsVisibleSelf());
    EXPECT_FALSE(gif->IsPlaying());
    EXPECT_EQ(gif->GetCurrentFrame(), 0);
  }
}

TEST_F(MainWndTest, WizardStepMessagesRunTheEngine) {
  engine.calls.clear();
  EXPECT_EQ(Send(UIMSG_WIZARD_NEXT, 0), 0);
  Send(UIMSG_WIZARD_PREVIOUS, 0);
  EXPECT_EQ(engine.calls, (std::vector<std::wstring>{L"next", L"previous"}));

  // A double-click on Next turns one page: the page after it is not
  // skipped by the second press.
  CControlUI* next = Find(L"btn_setup_next");
  ASSERT_TRUE(next && next->IsVisible());
  const RECT pos = next->GetPos();
  const LPARAM at = MAKELPARAM((pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2);
  engine.calls.clear();
  for (UINT press : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
    Send(press, 1, reinterpret_cast<const TUiMsgParam*>(at));
    Send(WM_LBUTTONUP, 0, reinterpret_cast<const TUiMsgParam*>(at));
  }
  std::vector<std::wstring> turns;
  for (const std::wstring& call : engine.calls)
    if (call == L"next" || call == L"previous") turns.push_back(call);
  EXPECT_EQ(turns, (std::vector<std::wstring>{L"next"}));
}

// Lines from language texts are written again after a switch, at their
// own time and colour; other lines stay as they were.
TEST_F(MainWndTest, LogLinesFollowALanguageSwitch) {
  // The system's own reason has a Japanese text too.
  auto* system = dynamic_cast<platform::sim::SimSystem*>(&DefaultPlatform().system);
  ASSERT_NE(system, nullptr);
  system->SetMessage(5, 0x0411, L"\u30a2\u30af\u30bb\u30b9\u304c\u62d2\u5426\u3055\u308c\u307e\u3057\u305f\u3002");
  auto* log = FindAs<CRichEditUI>(L"wordedit_deleteInfo_start");
  TUiMsgParam line;
  line.key = L"tip.failreason";
  line.hasErrorCode = true;
  line.errorCode = 5;
  line.text = engine.LogLineText(line);
  line.isError = true;
  Send(UIMSG_DELETE_LOG, 0, &line);
  TUiMsgParam data;
  data.text = L"driver\\a4.pcd";
  Send(UIMSG_DELETE_LOG, 0, &data);
  const std::wstring before = log->GetText();
  SwitchLanguage(engine, 1041, nullptr, wnd->GetHWND());
  const std::wstring japanese = engine.LogLineText(line);
  SwitchLanguage(engine, 1033, nullptr, wnd->GetHWND());
  ASSERT_NE(japanese, line.text);
  EXPECT_NE(japanese.find(L"\u30b3\u30fc\u30c9: 5 - \u30a2\u30af\u30bb\u30b9"), std::wstring::npos);  // the system's words too
  SwitchLanguage(engine, 1041, nullptr, wnd->GetHWND());
  EXPECT_EQ(log->GetText(), before.substr(0, 15) + japanese + L"\r\n" + before.substr(before.size() - 15 - 13 - 2));
  EXPECT_EQ(log->GetRuns().front().format.textColor, RGB(255, 0, 0));
  SwitchLanguage(engine, 1033, nullptr, wnd->GetHWND());
  EXPECT_EQ(log->GetText(), before);
}

TEST_F(MainWndTest, LogLinesAreTimeStampedColouredAndClearable) {
  auto* log = FindAs<CRichEditUI>(L"wordedit_installInfo");
  TUiMsgParam line;
  line.text = L"error line";
  line.isError = true;
  Send(UIMSG_INSTALL_LOG, 0, &line);
  line.text = L"";
  line.isError = false;
  Send(UIMSG_INSTALL_LOG, 0, &line);
  std::wstring text = log->GetText();
  // "HH:MM:SS.mmm : error line\r\nHH:MM:SS.mmm : \r\n"
  ASSERT_EQ(text.size(), 15u + 10 + 2 + 15 + 2);
  EXPECT_EQ(text.substr(12, 3), L" : ");
  EXPECT_EQ(text.substr(15, 12), L"error line\r\n");
  EXPECT_EQ(text.substr(27 + 12), L" : \r\n");
  ASSERT_FALSE(log->GetRuns().empty());
  const auto& first = log->GetRuns().front().format;
  const auto& last = log->GetRuns().back().format;
  EXPECT_EQ(first.textColor, RGB(255, 0, 0));
  EXPECT_EQ(last.textColor, RGB(0, 0, 255));
  EXPECT_EQ(first.mask, 0xE0000007u);
  EXPECT_EQ(first.heightTwips, 225);
  EXPECT_EQ(first.effects, 0u);
  EXPECT_FALSE(first.faceName.empty());
  EXPECT_EQ(first.faceName, wnd->GetPaintManager().GetFontFace(-1));

  TUiMsgParam clear;
  clear.clear = true;
  clear.text = L"not shown";
  Send(UIMSG_INSTALL_LOG, 0, &clear);
  EXPECT_EQ(log->GetText(), L"");

  line.text = L"removal";
  Send(UIMSG_DELETE_LOG, 0, &line);
  EXPECT_NE(FindAs<CRichEditUI>(L"wordedit_deleteInfo_start")->GetText().find(L"removal\r\n"), std::wstring::npos);
  EXPECT_EQ(log->GetText(), L"");
  Send(UIMSG_INSTALL_LOG, 0, nullptr);  // no record: ignored
}

// The colour of the text at an offset of a log box.
COLORREF ColourAt(const CRichEditUI& box, size_t offset) {
  for (const auto& run : box.GetRuns()) {
    if (offset >= run.start && offset < run.start + run.length) return run.format.textColor;
  }
  return 0xFFFFFFFF;
}

TEST_F(MainWndTest, EachLogLineCarriesItsOwnColourFromStampToLineEnd) {
  auto* log = FindAs<CRichEditUI>(L"wordedit_deleteInfo_start");
  const bool errors[] = {false, true, true, false, true};
  for (int i = 0; i < 5; ++i) {
    TUiMsgParam line;
    line.text = L"line" + std::to_wstring(i);
    line.isError = errors[i];
    Send(UIMSG_DELETE_LOG, 0, &line);
  }
  const std::wstring text = log->GetText();
  size_t lineStart = 0;
  for (int i = 0; i < 5; ++i) {
    size_t end = text.find(L"\r\n", lineStart);
    ASSERT_NE(end, std::wstring::npos);
    EXPECT_EQ(text.substr(lineStart + 15, end - lineStart - 15), L"line" + std::to_wstring(i));
    const COLORREF want = errors[i] ? RGB(255, 0, 0) : RGB(0, 0, 255);
    EXPECT_EQ(ColourAt(*log, lineStart), want) << "stamp of line " << i;
    EXPECT_EQ(ColourAt(*log, lineStart + 15), want) << "text of line " << i;
    EXPECT_EQ(ColourAt(*log, end + 1), want) << "line end of line " << i;
    lineStart = end + 2;
  }
  EXPECT_EQ(lineStart, text.size());
}

TEST(LogTimestamp, PadsEachFieldAndKeepsTheHourToTwoDigits) {
  SYSTEMTIME t{};
  t.wHour = 14; t.wMinute = 7; t.wSecond = 9; t.wMilliseconds = 500;
  EXPECT_EQ(FormatLogTimestamp(t), L"14:07:09.500 : ");
  t.wHour = 0; t.wMinute = 5; t.wSecond = 3; t.wMilliseconds = 7;
  EXPECT_EQ(FormatLogTimestamp(t), L"00:05:03.007 : ");
  AppendLogLine(nullptr, TUiMsgParam{}, t);  // a missing box is skipped
}

TEST_F(MainWndTest, LogLinesFromAWorkerArriveWhileItWaits) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) {
      TUiMsgParam line;  // lives in the worker's frame for the synchronous call
      line.text = L"line " + std::to_wstring(i);
      SendMessageW(hwnd, UIMSG_INSTALL_LOG, 0, reinterpret_cast<LPARAM>(&line));
    }
    done = true;
  });
  while (!done) toolkit::headless::PumpPending();
  worker.join();
  std::wstring text = FindAs<CRichEditUI>(L"wordedit_installInfo")->GetText();
  EXPECT_LT(text.find(L"line 0\r\n"), text.find(L"line 19\r\n"));
  EXPECT_NE(text.find(L"line 19\r\n"), std::wstring::npos);
}

TEST_F(MainWndTest, CloseButtonEndsTheWindowWithoutTheEngine) {
  engine.calls.clear();
  Click(L"closebtn");
  toolkit::headless::PumpPending();
  EXPECT_TRUE(engine.calls.empty());
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MainWndTest, CancelReachesOnClickThenEndsTheWindow) {
  engine.calls.clear();
  Click(L"btn_setup_cancel");
  toolkit::headless::PumpPending();
  EXPECT_EQ(engine.calls, std::vector<std::wstring>{L"click:btn_setup_cancel"});
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MainWndTest, KeyboardReachesTheStartCardsEnterIsNextEscIsCancel) {
  engine.calls.clear();
  SendMessageW(hwnd, WM_KEYDOWN, VK_TAB, 0);
  std::vector<std::wstring> order;
  for (int i = 0; i < 12 && order.size() < 12; ++i) {
    order.push_back(wnd->GetPaintManager().GetFocus()->GetName());
    SendMessageW(hwnd, WM_KEYDOWN, VK_TAB, 0);
  }
  const auto at = [&order](const wchar_t* name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
  EXPECT_LT(at(L"option_install"), at(L"option_delete"));
  EXPECT_LT(at(L"option_delete"), at(L"btn_setup_next"));
  EXPECT_LT(at(L"btn_setup_next"), at(L"btn_setup_cancel"));
  EXPECT_EQ(at(L"btn_setup_previous"), static_cast<long>(order.size()));  // hidden on the start page
  wnd->GetPaintManager().SetFocus(Find(L"option_delete"));
  SendMessageW(hwnd, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(engine.installChosen, 0);
  EXPECT_NE(std::find(engine.calls.begin(), engine.calls.end(), L"next"), engine.calls.end());
  SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
  toolkit::headless::PumpPending();
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MainWndTest, ClicksGoToTheEngineFirstThenTheWindowThenOnNotify) {
  engine.calls.clear();
  Click(L"btn_setup_next");
  Click(L"btn_setup_previous");
  Click(L"btn_setup_index");
  EXPECT_EQ(engine.calls, (std::vector<std::wstring>{
                              L"click:btn_setup_next", L"next", L"notify:click:btn_setup_next",
                              L"click:btn_setup_previous", L"previous", L"notify:click:btn_setup_previous",
                              L"click:btn_setup_index", L"home", L"notify:click:btn_setup_index"}));
  Click(L"option_delete");
  EXPECT_EQ(engine.installChosen, 0);
  Click(L"option_install");
  EXPECT_EQ(engine.installChosen, 1);
  // "textchanged" skips the window's own handling but reaches the engine.
  engine.calls.clear();
  wnd->GetPaintManager().SendNotify(Find(L"edit_install_printer_name"), DUI_MSGTYPE_TEXTCHANGED);
  EXPECT_EQ(engine.calls, std::vector<std::wstring>{L"notify:textchanged:edit_install_printer_name"});
}

TEST_F(MainWndTest, SystemButtonsSendTheSystemCommands) {
  Click(L"maxbtn");
  EXPECT_TRUE(IsZoomed(hwnd));
  Click(L"restorebtn");
  EXPECT_FALSE(IsZoomed(hwnd));
  EXPECT_EQ(std::count(engine.calls.begin(), engine.calls.end(), L"click:maxbtn"), 0);
}

TEST_F(MainWndTest, DpiButtonScalesTheWindowAboutItsTopLeftCorner) {
  RECT before;
  GetWindowRect(hwnd, &before);
  ASSERT_EQ(before.right - before.left, 560);
  auto* dpi = Find(L"dpi_btn");
  dpi->SetUserData(L"144");
  Click(L"dpi_btn");
  RECT after;
  GetWindowRect(hwnd, &after);
  EXPECT_EQ(wnd->GetPaintManager().GetScale(), 150);
  EXPECT_EQ(after.right - after.left, 840);
  EXPECT_EQ(after.bottom - after.top, 600);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  dpi->SetUserData(L"96");
  Click(L"dpi_btn");
  GetWindowRect(hwnd, &after);
  EXPECT_EQ(after.right - after.left, 560);
  EXPECT_EQ(wnd->GetPaintManager().GetScale(), 100);
  dpi->SetUserData(L"abc");  // not a DPI: ignored
  Click(L"dpi_btn");
  EXPECT_EQ(wnd->GetPaintManager().GetScale(), 100);
}

TEST_F(MainWndTest, DpiChangedMessageMovesToTheSuggestedRectangle) {
  RECT suggested{100, 50, 100 + 700, 50 + 500};
  SendMessageW(hwnd, WM_DPICHANGED, MAKELPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
  RECT rc;
  GetWindowRect(hwnd, &rc);
  EXPECT_EQ(wnd->GetPaintManager().GetScale(), 125);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.right - rc.left, 700);
  EXPECT_EQ(rc.bottom - rc.top, 500);
}

TEST_F(MainWndTest, SkinChangesReplaceTheRootBackground) {
  CControlUI* root = wnd->GetPaintManager().GetRoot();
  SkinChangedParam image;
  image.image = L"skin/bg_2.png";
  GetSkinChangeObserver().Broadcast(image);
  EXPECT_EQ(root->GetBkImage(), L"skin/bg_2.png");
  EXPECT_EQ(root->GetBkColor(), 0u);
  SkinChangedParam color;
  color.isColor = true;
  color.color = 0xFFEAF1FE;
  GetSkinChangeObserver().Broadcast(color);
  EXPECT_EQ(root->GetBkColor(), 0xFFEAF1FEu);
  EXPECT_EQ(root->GetBkImage(), L"");
}

// A receiver that counts what it gets.
struct CountingReceiver : SkinChangeReceiver {
  int Receive(SkinChangedParam) override { return ++count; }
  int count = 0;
};

TEST(SkinObserver, BroadcastsInOrderAndReceiversLeaveWhenDestroyed) {
  SkinChangeObserver observer;
  CountingReceiver a;
  {
    CountingReceiver b;
    observer.AddReceiver(&a);
    observer.AddReceiver(&b);
    observer.Broadcast(SkinChangedParam{});
    EXPECT_EQ(a.count, 1);
    EXPECT_EQ(b.count, 1);
    EXPECT_EQ(observer.ReceiverCount(), 2u);
  }
  EXPECT_EQ(observer.ReceiverCount(), 1u);
  observer.Broadcast(SkinChangedParam{});
  EXPECT_EQ(a.count, 2);
  observer.RemoveReceiver(&a);
  observer.Broadcast(SkinChangedParam{});
  EXPECT_EQ(a.count, 2);
}

// A receiver that keeps the observers it is told about, in order.
struct ObserverListReceiver : ReceiverImplBase<int, SkinChangedParam> {
  using Observer = ObserverImplBase<int, SkinChangedParam>;
  void AddObserver(Observer* o) override { observers.push_back(o); }
  void RemoveObserver(Observer* o) override { observers.erase(std::remove(observers.begin(), observers.end(), o), observers.end()); }
  int Receive(SkinChangedParam) override { return 0; }
  std::vector<Observer*> observers;
};

TEST(SkinObserver, AnObserverGoneFirstIsForgottenByItsReceivers) {
  ObserverListReceiver listed;  // outlives the observers: it never leaves them itself
  SkinChangeObserver kept;
  CountingReceiver counted;
  kept.AddReceiver(&listed);
  kept.AddReceiver(&counted);
  {
    SkinChangeObserver gone;
    gone.AddReceiver(&listed);
    gone.AddReceiver(&counted);
    EXPECT_EQ(listed.observers.size(), 2u);
  }
  EXPECT_EQ(listed.observers, std::vector<ObserverListReceiver::Observer*>{&kept});
  kept.Broadcast(SkinChangedParam{});
  EXPECT_EQ(counted.count, 1);
  // counted's destructor leaves kept and must not reach gone (ASan checks).
}

}  // namespace

// A main window Windows refuses (its class or the window itself) would
// leave a process without a window that never ends.
TEST(MainWindowStart, AWindowThatCannotBeCreatedIsReportedAndEndsWithOne) {
  ASSERT_TRUE(OpenRealArchive());
  toolkit::headless::FailWindowCreation(true);
  ::PostQuitMessage(0);  // would end a message loop started all the same
  const int result = RunMainWindow();
  toolkit::headless::FailWindowCreation(false);
  EXPECT_EQ(result, 1);
  if (result == 1) CPaintManagerUI::MessageLoop();  // takes the quit posted above
  // The text is the user's language's (English here), read before the
  // program shut its resources down.
  ASSERT_TRUE(OpenRealArchive());
  CResourceManager::GetInstance().LoadLanguage(L"lan_en.xml");
  EXPECT_NE(LangText(L"tip.windowfail"), L"tip.windowfail");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), LangText(L"tip.windowfail"));
}
