// The About, language and add-port dialogs and the skin chooser on the
// headless host, built from the real archive over a real main window.
#include "dialogs.h"
#include "localization.h"
#include "main_wnd.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// The wizard stays out of the way.
class QuietEngine : public SetupEngine {
 public:
  void OnNotify(TNotifyUI&) override {}
  void OnClick(TNotifyUI&) override {}
  void Home() override {}
  void Next() override {}
  void Previous() override {}
};

// Gives the tests the dialogs' protected construction steps.
template <class Dialog>
class Opened : public Dialog {
 public:
  using Dialog::Dialog;
  CControlUI* Find(const wchar_t* name) { return this->m_pm.FindControl(name); }
  void Click(const wchar_t* name) {
    CControlUI* control = Find(name);
    ASSERT_NE(control, nullptr) << toolkit::WideToUtf8(name);
    this->m_pm.SendNotify(control, DUI_MSGTYPE_CLICK);
  }
};

// Handles everything queued, stale WM_QUITs of earlier windows included
// (they would hold back the messages posted behind them).
void DrainQueue() {
  const WPARAM sentinel = 0x5E71;
  PostQuitMessage(static_cast<int>(sentinel));
  MSG msg{};
  for (;;) {
    if (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
    else if (msg.wParam == sentinel) break;
  }
}

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DrainQueue();
    ASSERT_TRUE(OpenRealArchive());
    FillLanguageTable(engine);
    main = new CMainWnd(engine);
    mainHwnd = main->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
    ASSERT_NE(mainHwnd, nullptr);
  }
  void TearDown() override {
    for (HWND h : dialogs) {
      if (IsWindow(h)) DestroyWindow(h);
    }
    if (IsWindow(mainHwnd)) DestroyWindow(mainHwnd);
    DrainQueue();  // the main window's end posted WM_QUIT
    delete main;
    CResourceManager::GetInstance().Release();
    g_currentLangId = 1033;
    toolkit::headless::SetWorkArea(RECT{0, 0, 1920, 1040});
  }
  // Creates a dialog as its opener does, without the modal loop.
  template <class Dialog>
  Dialog* Open(Dialog* dialog, DWORD style, DWORD exStyle) {
    HWND h = dialog->Create(mainHwnd, L"", style, exStyle, 0, 0, 0, 0);
    EXPECT_NE(h, nullptr);
    dialog->CenterWindow();
    dialogs.push_back(h);
    return dialog;
  }
  // Alt+F4 as Windows delivers it.
  static void AltF4(HWND h) {
    SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    toolkit::headless::PumpPending();
  }
  // The language dialog's option for a language of the table.
  static CControlUI* LanguageOption(CContainerUI* list, const wchar_t* code) {
    for (int i = 0; i < list->GetCount(); ++i) {
      CControlUI* option = list->GetItemAt(i);
      for (const auto& row : LanguageRows())
        if (row.code == code && option->GetUserData() == std::to_wstring(row.langId)) return option;
    }
    ADD_FAILURE() << "no option for " << toolkit::WideToUtf8(code);
    return list->GetItemAt(0);
  }
  std::wstring MainCaption() {
    wchar_t text[256] = {};
    GetWindowTextW(mainHwnd, text, 256);
    return text;
  }

  QuietEngine engine;
  CMainWnd* main = nullptr;
  HWND mainHwnd = nullptr;
  std::vector<HWND> dialogs;
};

TEST_F(DialogsTest, AboutShowsVersionAndDateWithTheirBlanks) {
  EXPECT_EQ(AboutVersionText(), std::wstring(L"Version:    ") + kVersionText);
  EXPECT_EQ(AboutBuildDateText(), L"BuildDate:  2025-05-19 ");
  auto* about = Open(new Opened<CPopAbout>(), kAboutStyle, kAboutExStyle);
  EXPECT_EQ(about->Find(L"app_version")->GetText(), std::wstring(L"Version:    ") + kVersionText);
  EXPECT_EQ(about->Find(L"app_time")->GetText(), L"BuildDate:  2025-05-19 ");
  // Centred on the main window, at the markup's size.
  RECT owner{}, rc{};
  GetWindowRect(mainHwnd, &owner);
  GetWindowRect(about->GetHWND(), &rc);
  EXPECT_EQ(rc.right - rc.left, 420);
  EXPECT_EQ(rc.bottom - rc.top, 230);
  EXPECT_EQ((rc.left + rc.right) / 2, (owner.left + owner.right) / 2);
  HWND h = about->GetHWND();
  about->Click(L"closebtn");
  toolkit::headless::PumpPending();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_TRUE(IsWindow(mainHwnd));
}

TEST_F(DialogsTest, AltF4AndEscCloseOnlyTheDialog) {
  for (const bool esc : {false, true}) {
    auto* about = Open(new Opened<CPopAbout>(), kAboutStyle, kAboutExStyle);
    auto* language = Open(new Opened<CPopLanguage>(engine), kPopupDialogStyle, 0);
    auto* addPort = Open(new Opened<CPopAddPort>(AddPortRoutine()), kPopupDialogStyle, 0);
    for (HWND h : {about->GetHWND(), language->GetHWND(), addPort->GetHWND()}) {
      if (esc) SendMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
      else AltF4(h);
      toolkit::headless::PumpPending();
      EXPECT_FALSE(IsWindow(h)) << esc;
      EXPECT_TRUE(IsWindow(mainHwnd));
    }
  }
}

TEST_F(DialogsTest, DialogsFollowTheMainWindowsScale) {
  main->GetPaintManager().SetDPI(144);
  auto* language = Open(new Opened<CPopLanguage>(engine), kPopupDialogStyle, 0);
  RECT rc{};
  GetWindowRect(language->GetHWND(), &rc);
  EXPECT_EQ(rc.right - rc.left, 480);
  EXPECT_GE(rc.bottom - rc.top, 510);  // taller only for more languages than the markup holds
  EXPECT_EQ(dynamic_cast<CContainerUI*>(language->Find(L"verLanList"))->GetScrollRange(), 0);
  EXPECT_EQ(language->GetPaintManager().GetScale(), 150);
  CSkinFrame* frame = CSkinFrame::Open(mainHwnd, main->GetPaintManager().FindControl(L"skinbtn"));
  ASSERT_NE(frame, nullptr);
  dialogs.push_back(frame->GetHWND());
  GetWindowRect(frame->GetHWND(), &rc);
  EXPECT_EQ(rc.right - rc.left, 450);
}

TEST_F(DialogsTest, LanguageListHasAnOptionPerLanguageInLangIdOrderWithOneSelected) {
  SwitchLanguage(engine, 1041, nullptr, mainHwnd);
  auto* dialog = Open(new Opened<CPopLanguage>(engine), kPopupDialogStyle, 0);
  auto* list = dynamic_cast<CContainerUI*>(dialog->Find(L"verLanList"));
  ASSERT_NE(list, nullptr);
  std::vector<LanguageInfo> rows = LanguageRows();
  std::sort(rows.begin(), rows.end(),
            [](const LanguageInfo& a, const LanguageInfo& b) { return a.langId < b.langId; });
  ASSERT_EQ(list->GetCount(), static_cast<int>(rows.size()));
  int selected = 0;
  for (int i = 0; i < list->GetCount(); ++i) {
    auto* option = dynamic_cast<COptionUI*>(list->GetItemAt(i));
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->GetUserData(), std::to_wstring(rows[i].langId));
    EXPECT_EQ(option->GetRawText(), rows[i].NameKey());
    EXPECT_TRUE(option->IsResourceText());
    EXPECT_EQ(option->GetName(), L"radiolan");
    EXPECT_EQ(option->GetGroup(), L"lanGroup");
    EXPECT_TRUE(option->IsAutoCalcWidth());
    EXPECT_EQ(option->GetMinWidth(), 180);
    EXPECT_EQ(option->GetTextPadding().left, 20);
    if (option->IsSelected()) {
      ++selected;
      EXPECT_EQ(option->GetUserData(), L"1041");
    }
  }
  EXPECT_EQ(selected, 1);
}

TEST_F(DialogsTest, ChoosingALanguageSwitchesTheDialogAndTheMainWindow) {
  auto* dialog = Open(new Opened<CPopLanguage>(engine), kPopupDialogStyle, 0);
  auto* list = dynamic_cast<CContainerUI*>(dialog->Find(L"verLanList"));
  ASSERT_NE(list, nullptr);
  CControlUI* english = LanguageOption(list, L"en");
  CControlUI* japanese = LanguageOption(list, L"ja");
  EXPECT_EQ(english->GetText(), L"English");
  EXPECT_EQ(MainCaption(), Versioned(L"Printer Setup"));

  dialog->GetPaintManager().SendNotify(japanese, DUI_MSGTYPE_CLICK);
  EXPECT_EQ(engine.currentLanguage, 1041);
  EXPECT_EQ(g_currentLangId.load(), 1041);
  EXPECT_EQ(MainCaption(), Versioned(L"プリンターのセットアップ"));
  EXPECT_EQ(english->GetText(), L"英語 (English)");  // the open dialog follows at once
  EXPECT_TRUE(IsWindow(dialog->GetHWND()));

  // Korean enlarges the main window's font.
  dialog->GetPaintManager().SendNotify(LanguageOption(list, L"ko"), DUI_MSGTYPE_CLICK);
  EXPECT_EQ(main->GetPaintManager().GetDefaultFontInfo().size, 18);
  HWND h = dialog->GetHWND();
  dialog->Click(L"closebtn");
  toolkit::headless::PumpPending();
  EXPECT_FALSE(IsWindow(h));
}

// The markup's size holds the table's languages; for more the dialog
// grows to show every option, up to the work area's height, and then the
// list scrolls to its last option.
TEST_F(DialogsTest, LanguageListGrowsToFitItsOptionsElseScrolls) {
  const int rows = static_cast<int>(engine.languages.size());
  for (int extra : {0, 1, 12}) {
    for (int i = 0; i < extra; ++i)
      engine.languages[static_cast<LANGID>(0x7000 + i)] =
          LanguageInfo{.code = L"x" + std::to_wstring(i), .langId = static_cast<LANGID>(0x7000 + i),
                       .locale = L"x-X", .ownName = L"X"};
    for (LONG areaHeight : {1040L, 400L}) {
      SCOPED_TRACE(std::to_string(rows + extra) + " options in a work area " + std::to_string(areaHeight) + " high");
      toolkit::headless::SetWorkArea(RECT{0, 0, 1920, areaHeight});
      auto* dialog = Open(new Opened<CPopLanguage>(engine), kPopupDialogStyle, 0);
      auto* list = dynamic_cast<CContainerUI*>(dialog->Find(L"verLanList"));
      ASSERT_NE(list, nullptr);
      ASSERT_EQ(list->GetCount(), rows + extra);
      RECT rc{}, client{};
      GetWindowRect(dialog->GetHWND(), &rc);
      GetClientRect(dialog->GetHWND(), &client);
      const LONG height = rc.bottom - rc.top;
      EXPECT_EQ(rc.right - rc.left, 320);
      if (rows + extra <= 7 && areaHeight > 340) {
        EXPECT_EQ(height, 340);  // as the markup has it, which holds seven
      }
      EXPECT_LE(height, areaHeight);
      EXPECT_GE(rc.top, 0);
      EXPECT_LE(list->GetPos().bottom, client.bottom);
      EXPECT_EQ(list->GetScrollRange() > 0, height == areaHeight);
      // Every option lies inside the list, the last one once scrolled to.
      list->SetScrollPos(list->GetScrollRange());
      const LONG top = list->GetPos().top + list->GetInset().top;
      const LONG bottom = list->GetPos().bottom - list->GetInset().bottom;
      EXPECT_LE(list->GetItemAt(list->GetCount() - 1)->GetPos().bottom, bottom) << "the last option is cut off";
      if (list->GetScrollRange() == 0) {
        EXPECT_GE(list->GetItemAt(0)->GetPos().top, top);
      }
      DestroyWindow(dialog->GetHWND());
    }
  }
}

TEST_F(DialogsTest, AddPortListsTheFourMonitorsNumberedFromOne) {
  auto* dialog = Open(new Opened<CPopAddPort>(AddPortRoutine()), kPopupDialogStyle, 0);
  auto* list = dynamic_cast<CListUI*>(dialog->Find(L"listex_addport_type"));
  ASSERT_NE(list, nullptr);
  const wchar_t* const monitors[] = {L"WSD Port", L"Standard TCP/IP Port", L"Local Port", L"Appmon"};
  ASSERT_EQ(list->GetCount(), 4);
  for (int i = 0; i < 4; ++i) {
    auto* row = dynamic_cast<CListTextExtElementUI*>(list->GetItemAt(i));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->GetText(0), std::to_wstring(i + 1));
    EXPECT_EQ(row->GetText(1), monitors[i]);
    EXPECT_EQ(row->GetName(), L"listex_addport_type_item");
    EXPECT_EQ(row->GetFixedHeight(), 30);
    EXPECT_EQ(row->GetAttribute(L"style"), L"listex_item_style");
  }
  EXPECT_TRUE(dialog->GetSelectedMonitor().empty());
}

TEST_F(DialogsTest, AddButtonPassesTheChosenMonitorOrNoneAndStaysOpen) {
  std::vector<std::wstring> asked;
  HWND owner = nullptr;
  auto* dialog = Open(new Opened<CPopAddPort>([&](const std::wstring& monitor, HWND h, std::wstring& error) {
                        asked.push_back(monitor);
                        owner = h;
                        error = L"Code: 1223 - cancelled";
                        return false;
                      }),
                      kPopupDialogStyle, 0);
  dialog->Click(L"btn_port_add");  // before any row was chosen
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], L"");
  EXPECT_EQ(owner, dialog->GetHWND());

  auto* list = dynamic_cast<CListUI*>(dialog->Find(L"listex_addport_type"));
  dialog->GetPaintManager().SendNotify(list->GetItemAt(1), DUI_MSGTYPE_ITEMCLICK);
  EXPECT_EQ(dialog->GetSelectedMonitor(), L"Standard TCP/IP Port");
  dialog->Click(L"btn_port_add");
  toolkit::headless::PumpPending();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1], L"Standard TCP/IP Port");
  EXPECT_TRUE(IsWindow(dialog->GetHWND()));  // a failure is not reported and nothing closes

  HWND h = dialog->GetHWND();
  dialog->Click(L"btn_port_cancel");
  toolkit::headless::PumpPending();
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(DialogsTest, SkinButtonOpensAChooserThatClosesWhenItLosesTheFocus) {
  const int windows = toolkit::headless::WindowCount();
  main->GetPaintManager().SendNotify(main->GetPaintManager().FindControl(L"skinbtn"), DUI_MSGTYPE_CLICK);
  EXPECT_EQ(toolkit::headless::WindowCount(), windows + 1);
  HWND chooser = GetFocus();  // the chooser takes the focus so that losing it closes it
  ASSERT_NE(chooser, mainHwnd);
  dialogs.push_back(chooser);
  SetFocus(mainHwnd);
  SendMessageW(chooser, WM_KILLFOCUS, 0, 0);
  toolkit::headless::PumpPending();
  EXPECT_FALSE(IsWindow(chooser));
}

TEST_F(DialogsTest, SkinChooserClosesWithEscAltF4ItsCloseButtonAndItsOwnButton) {
  CPaintManagerUI& mainPm = main->GetPaintManager();
  CControlUI* skinbtn = mainPm.FindControl(L"skinbtn");
  const int windows = toolkit::headless::WindowCount();
  for (int way = 0; way < 5; ++way) {
    CSkinFrame* frame = CSkinFrame::Open(mainHwnd, skinbtn);
    ASSERT_NE(frame, nullptr) << way;
    HWND h = frame->GetHWND();
    dialogs.push_back(h);
    if (way == 0) SendMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
    if (way == 1) SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (way == 2) frame->GetPaintManager().SendNotify(frame->GetPaintManager().FindControl(L"closebtn"), DUI_MSGTYPE_CLICK);
    if (way == 3) mainPm.SendNotify(skinbtn, DUI_MSGTYPE_CLICK);  // still open: the press closes it
    if (way == 4) {  // the press on the button took the focus first, which closed it
      const RECT on = skinbtn->GetPos();
      SendMessageW(mainHwnd, WM_MOUSEMOVE, 0, MAKELPARAM((on.left + on.right) / 2, (on.top + on.bottom) / 2));
      SetFocus(mainHwnd);
      SendMessageW(h, WM_KILLFOCUS, 0, 0);
      toolkit::headless::PumpPending();
      mainPm.SendNotify(skinbtn, DUI_MSGTYPE_CLICK);
      SendMessageW(mainHwnd, WM_MOUSEMOVE, 0, MAKELPARAM(1, 300));
    }
    toolkit::headless::PumpPending();
    EXPECT_FALSE(IsWindow(h)) << way;
    EXPECT_EQ(toolkit::headless::WindowCount(), windows) << way;  // none opened again
    EXPECT_TRUE(IsWindow(mainHwnd));
  }
}

TEST_F(DialogsTest, SkinChooserHangsBelowItsButtonAndBroadcasts) {
  CControlUI* skinbtn = main->GetPaintManager().FindControl(L"skinbtn");
  ASSERT_NE(skinbtn, nullptr);
  SetWindowPos(mainHwnd, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  CSkinFrame* frame = CSkinFrame::Open(mainHwnd, skinbtn);
  ASSERT_NE(frame, nullptr);
  HWND h = frame->GetHWND();
  dialogs.push_back(h);
  RECT rc{}, anchor = skinbtn->GetPos();
  GetWindowRect(h, &rc);
  EXPECT_EQ(rc.right, 200 + anchor.right);
  EXPECT_EQ(rc.top, 100 + anchor.bottom);
  EXPECT_EQ(rc.right - rc.left, 300);
  EXPECT_EQ(rc.bottom - rc.top, 170);
  EXPECT_EQ(GetWindowLongW(h, GWL_EXSTYLE), static_cast<LONG>(0x08000088));

  CPaintManagerUI& pm = frame->GetPaintManager();
  auto* tabs = pm.FindControlAs<CTabLayoutUI>(L"skin_tab");
  ASSERT_NE(tabs, nullptr);
  pm.SendNotify(pm.FindControl(L"skin_color"), DUI_MSGTYPE_CLICK);
  EXPECT_EQ(tabs->GetCurSel(), 1);
  CControlUI* colour = pm.FindControl(L"skin_color_btn");
  pm.SendNotify(colour, DUI_MSGTYPE_CLICK);
  CControlUI* root = main->GetPaintManager().GetRoot();
  EXPECT_EQ(root->GetBkColor(), colour->GetBkColor());
  EXPECT_TRUE(root->GetBkImage().empty());
  pm.SendNotify(pm.FindControl(L"skin_image"), DUI_MSGTYPE_CLICK);
  EXPECT_EQ(tabs->GetCurSel(), 0);
  CControlUI* picture = pm.FindControl(L"skin_image_btn");
  pm.SendNotify(picture, DUI_MSGTYPE_CLICK);
  EXPECT_EQ(root->GetBkImage(), picture->GetUserData());
  EXPECT_EQ(root->GetBkColor(), 0u);

  SendMessageW(h, WM_KILLFOCUS, 0, 0);  // clicking elsewhere
  toolkit::headless::PumpPending();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_TRUE(IsWindow(mainHwnd));
}

}  // namespace
