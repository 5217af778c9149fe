// Windows on the headless host: creation from markup, DPI changes, system
// commands, closing, modal loops and messages sent from worker threads.
#include <gtest/gtest.h>

#include <thread>

#include "test_window.h"
#include "zip_test_util.h"

namespace {

const wchar_t kMain[] = LR"(<Window size="560,400" caption="0,0,0,30"><VerticalLayout name="root">
    <HorizontalLayout height="30"><Button name="closebtn" width="30"/><Button name="maxbtn" width="30"/>
      <Button name="restorebtn" width="30" visible="false"/></HorizontalLayout>
    <Button name="dpi_btn" userdata="144" height="40"/><Control bkimage="common/bg.png"/></VerticalLayout></Window>)";

class WindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    toolkit::headless::PumpPending();
    CPaintManagerUI::Shutdown();
  }
};

RECT WindowRect(HWND h) {
  RECT rc{};
  ::GetWindowRect(h, &rc);
  return rc;
}

}  // namespace

TEST_F(WindowTest, CreatedFromMarkupAtTheDeclaredSizeWithoutCaption) {
  TestWnd wnd(kMain);
  HWND h = wnd.Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600);
  ASSERT_NE(h, nullptr);
  RECT rc = WindowRect(h);
  EXPECT_EQ(rc.right - rc.left, 560);
  EXPECT_EQ(rc.bottom - rc.top, 400);
  EXPECT_EQ(::GetWindowLongW(h, GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_TRUE(::IsWindowVisible(h));
  wnd.CenterWindow();
  rc = WindowRect(h);
  EXPECT_EQ(rc.left, (1920 - 560) / 2);
  EXPECT_EQ(rc.top, (1040 - 400) / 2);
  ::DestroyWindow(h);
}

TEST_F(WindowTest, DpiChangeScalesAboutTheTopLeftCornerAndPicksImageVariants) {
  auto bytes = testzip::Make({{"common/bg.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x0a\0\0\0\x0b", 24), false},
                              {"common/bg@150.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x0f\0\0\0\x11", 24), false}},
                             "wkq19990517");
  auto& res = CResourceManager::GetInstance();
  res.SetResourceType(UILIB_ZIPRESOURCE);
  ASSERT_TRUE(res.SetResourceZip(bytes.data(), bytes.size(), L"wkq19990517"));

  TestWnd wnd(kMain);
  HWND h = wnd.Open();
  ::SetWindowPos(h, nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(wnd.pm().GetImage(L"common/bg.png")->width, 10);

  std::wstring dpi = wnd.Find(L"dpi_btn")->GetUserData();
  wnd.pm().SetDPI(std::stoi(dpi));
  RECT rc = WindowRect(h);
  EXPECT_EQ(wnd.pm().GetScale(), 150);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.top, 50);
  EXPECT_EQ(rc.right - rc.left, 840);
  EXPECT_EQ(rc.bottom - rc.top, 600);
  EXPECT_EQ(wnd.pm().GetScaledImageName(L"common/bg.png"), L"common/bg@150.png");
  EXPECT_EQ(wnd.pm().GetImage(L"common/bg.png")->width, 15);
  EXPECT_EQ(wnd.Find(L"dpi_btn")->GetHeight(), 60);

  wnd.pm().SetDPI(120);  // no @125 variant: the base image serves
  EXPECT_EQ(wnd.pm().GetImage(L"common/bg.png")->width, 10);
  EXPECT_EQ(WindowRect(h).right - WindowRect(h).left, 700);

  wnd.pm().SetDPI(96);
  rc = WindowRect(h);
  EXPECT_EQ(rc.right - rc.left, 560);
  EXPECT_EQ(rc.left, 100);

  ::SendMessageW(h, WM_SYSCOMMAND, SC_MAXIMIZE, 0);  // a maximised window keeps its size
  RECT maxed = WindowRect(h);
  wnd.pm().SetDPI(144);
  EXPECT_EQ(WindowRect(h).right, maxed.right);
  ::DestroyWindow(h);
}

TEST_F(WindowTest, SystemCommandsSwapMaximiseAndRestoreButtons) {
  TestWnd wnd(kMain);
  HWND h = wnd.Open();
  wnd.Click(wnd.Find(L"maxbtn"));
  EXPECT_TRUE(::IsZoomed(h));
  EXPECT_FALSE(wnd.Find(L"maxbtn")->IsVisible());
  EXPECT_TRUE(wnd.Find(L"restorebtn")->IsVisible());
  wnd.Click(wnd.Find(L"restorebtn"));
  EXPECT_FALSE(::IsZoomed(h));
  EXPECT_TRUE(wnd.Find(L"maxbtn")->IsVisible());
  ::SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(::IsWindow(h));
}

// A window object that deletes itself when its window goes, destroyed
// from inside its own click handling.
TEST_F(WindowTest, SelfDeletingWindowMayDestroyItselfFromAClick) {
  bool deleted = false;
  auto* wnd = new TestWnd(kMain);
  wnd->deleteOnFinal = true;
  wnd->deletedFlag = &deleted;
  HWND h = wnd->Open();
  wnd->AddNotifyHandler(L"click", [h](TNotifyUI&) { ::DestroyWindow(h); }, L"dpi_btn");
  wnd->Click(wnd->Find(L"dpi_btn"));
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(::IsWindow(h));
}

TEST_F(WindowTest, CloseButtonClosesThroughTheQueue) {
  bool gone = false;
  TestWnd wnd(kMain);
  wnd.deletedFlag = &gone;
  HWND h = wnd.Open();
  wnd.Click(wnd.Find(L"closebtn"));
  EXPECT_TRUE(::IsWindow(h));  // Close posts WM_CLOSE
  toolkit::headless::PumpPending();
  EXPECT_FALSE(::IsWindow(h));
  EXPECT_TRUE(gone);
}

TEST_F(WindowTest, ModalLoopDisablesTheOwnerAndReturnsTheCloseCode) {
  TestWnd owner(kMain);
  HWND ho = owner.Open();
  auto* dlg = new TestWnd(kMain);
  dlg->deleteOnFinal = true;
  HWND hd = dlg->Open(WS_POPUP | WS_VISIBLE, ho);
  bool ownerDisabled = false;
  dlg->AddNotifyHandler(L"click", [&, dlg](TNotifyUI&) {
    ownerDisabled = !::IsWindowEnabled(ho);
    dlg->Close(IDCANCEL);
  }, L"dpi_btn");
  std::thread clicker([hd] {
    // From another thread: the send waits for the modal loop to run it.
    ::SendMessageW(hd, WM_LBUTTONDOWN, 0, MAKELPARAM(200, 50));
    ::SendMessageW(hd, WM_LBUTTONUP, 0, MAKELPARAM(200, 50));
  });
  UINT code = dlg->ShowModal();  // dlg is deleted when this returns
  clicker.join();
  EXPECT_EQ(code, static_cast<UINT>(IDCANCEL));
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(::IsWindowEnabled(ho));
  EXPECT_FALSE(::IsWindow(hd));

  // A quit met by a modal loop is posted again for the outer loop.
  TestWnd second(kMain);
  HWND h2 = second.Open(WS_POPUP | WS_VISIBLE, ho);
  ::PostQuitMessage(7);
  second.ShowModal();
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 7);
  ::DestroyWindow(h2);
  ::DestroyWindow(ho);
}

// Alt+F4 closes through WM_SYSCOMMAND and a sent WM_CLOSE, outside the
// modal loop's queue: the owner must still have its input back before
// the dialog goes, or Windows activates another program's window.
TEST_F(WindowTest, AltF4OnAModalWindowGivesTheOwnerItsInputBeforeItGoes) {
  struct Dialog : TestWnd {
    using TestWnd::TestWnd;
    HWND owner = nullptr;
    bool ownerEnabled = false;
    HWND focus = nullptr;
    LRESULT OnDestroy(UINT msg, WPARAM w, LPARAM l, BOOL& handled) override {
      ownerEnabled = ::IsWindowEnabled(owner) != FALSE;
      focus = ::GetFocus();
      return TestWnd::OnDestroy(msg, w, l, handled);
    }
  };
  TestWnd owner(kMain);
  HWND ho = owner.Open();
  Dialog dlg(kMain);
  dlg.owner = ho;
  HWND hd = dlg.Open(WS_POPUP | WS_VISIBLE, ho);
  ::PostMessageW(hd, WM_SYSCOMMAND, SC_CLOSE, 0);
  dlg.ShowModal();
  EXPECT_FALSE(::IsWindow(hd));
  EXPECT_TRUE(dlg.ownerEnabled);
  EXPECT_EQ(dlg.focus, ho);
  ::DestroyWindow(ho);
}

// A dialog opened from a button disables the window under the mouse;
// the button must not stay highlighted behind it and after it.
TEST_F(WindowTest, HoverEndsWhenTheWindowIsDisabledOrTheMouseLeaves) {
  TestWnd wnd(kMain);
  HWND h = wnd.Open();
  auto* button = wnd.Find<CButtonUI>(L"dpi_btn");
  wnd.pm().UpdateLayout();
  const RECT rc = button->GetPos();
  const LPARAM inside = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, inside);
  ASSERT_TRUE(button->IsHot());
  ::EnableWindow(h, FALSE);
  EXPECT_FALSE(button->IsHot());
  ::EnableWindow(h, TRUE);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, inside);
  ASSERT_TRUE(button->IsHot());
  ::SendMessageW(h, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button->IsHot());
  ::DestroyWindow(h);
}

TEST_F(WindowTest, MessagesFromWorkerThreadsRunOnTheUiThread) {
  struct Wnd : TestWnd {
    using TestWnd::TestWnd;
    std::thread::id seenOn;
    LRESULT HandleCustomMessage(UINT msg, WPARAM w, LPARAM, BOOL& handled) override {
      handled = FALSE;
      if (msg == WM_USER + 10) {
        seenOn = std::this_thread::get_id();
        if (w == 2) ::PostQuitMessage(0);
        handled = TRUE;
        return 42;
      }
      return 0;
    }
  } wnd(kMain);
  HWND h = wnd.Open();
  LRESULT r1 = 0;
  std::thread worker([&] {
    r1 = ::SendMessageW(h, WM_USER + 10, 1, 0);
    ::SendMessageW(h, WM_USER + 10, 2, 0);
  });
  CPaintManagerUI::MessageLoop();
  worker.join();
  EXPECT_EQ(r1, 42);
  EXPECT_EQ(wnd.seenOn, std::this_thread::get_id());
  ::DestroyWindow(h);
  EXPECT_EQ(::SendMessageW(h, WM_USER + 10, 1, 0), 0);  // a gone window answers nothing
}

TEST_F(WindowTest, UnbuildableMarkupEndsTheProcessWithCodeOne) {
  EXPECT_EXIT(
      {
        TestWnd wnd(L"XML_MAIN");
        wnd.Open();
      },
      ::testing::ExitedWithCode(1), "XML_MAIN");
}

// The frameless window answers for its frame: resize borders while not
// maximised, the caption where no button is, the client area elsewhere.
TEST_F(WindowTest, HitTestFindsBordersCaptionAndButtons) {
  TestWnd wnd(LR"(<Window size="560,400" caption="0,0,0,30" sizebox="4,4,4,4"><VerticalLayout>
      <HorizontalLayout height="30"><Button name="closebtn" width="30"/></HorizontalLayout>
      <Control/></VerticalLayout></Window>)");
  HWND h = wnd.Open();
  ::SetWindowPos(h, nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  auto hit = [&](int x, int y) {
    RECT rc = WindowRect(h);
    return ::SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(rc.left + x, rc.top + y));
  };
  EXPECT_EQ(hit(1, 1), HTTOPLEFT);
  EXPECT_EQ(hit(558, 398), HTBOTTOMRIGHT);
  EXPECT_EQ(hit(200, 2), HTTOP);
  EXPECT_EQ(hit(557, 200), HTRIGHT);
  EXPECT_EQ(hit(15, 15), HTCLIENT);  // the close button
  EXPECT_EQ(hit(200, 15), HTCAPTION);
  EXPECT_EQ(hit(200, 100), HTCLIENT);
  ::ShowWindow(h, SW_SHOWMAXIMIZED);
  EXPECT_EQ(hit(200, 2), HTCAPTION);
  ::DestroyWindow(h);
}

// ---- keyboard and screen readers ---------------------------------------------

namespace {

const wchar_t kKeys[] = LR"(<Window size="560,400" defaultbutton="next,home" cancelbutton="cancel">
  <VerticalLayout>
    <HorizontalLayout height="30"><Label text="Name:" width="60"/><Edit name="edit"/>
      <Button name="hidden" visible="false"/><Button name="off" enabled="false" text="Off"/></HorizontalLayout>
    <TabLayout name="tabs" height="60">
      <HorizontalLayout><Container><Option name="card" group="g"/><Label text="Install" mouse="false"/></Container>
        <CheckBox name="check" text="Default"/></HorizontalLayout>
      <HorizontalLayout><Button name="page2"/></HorizontalLayout>
    </TabLayout>
    <List name="list" height="120"/>
    <HorizontalLayout height="30"><Button name="home" text="Home" visible="false"/><Button name="next" text="Next"/>
      <Button name="cancel" text="Cancel"/><Button name="closebtn" tooltip="Close"/></HorizontalLayout>
  </VerticalLayout></Window>)";

struct KeyWnd : TestWnd {
  KeyWnd() : TestWnd(kKeys) {
    Open();
    auto* list = Find<CListUI>(L"list");
    for (const wchar_t* text : {L"USB001", L"USB002", L"USB003"}) {
      auto* row = new CListTextExtElementUI;
      list->Add(row);
      row->SetText(text);
    }
  }
  ~KeyWnd() override { ::DestroyWindow(m_hWnd); }
  void Key(WPARAM vk, bool shift = false) {
    toolkit::headless::SetKeyDown(VK_SHIFT, shift);
    ::SendMessageW(m_hWnd, WM_KEYDOWN, vk, 0);
    toolkit::headless::SetKeyDown(VK_SHIFT, false);
  }
  std::wstring Focus() { return pm().GetFocus() ? pm().GetFocus()->GetName() : L"(none)"; }
  std::vector<std::wstring> Walk(int presses, bool shift) {
    std::vector<std::wstring> seen;
    for (int i = 0; i < presses; ++i) {
      Key(VK_TAB, shift);
      seen.push_back(Focus());
    }
    return seen;
  }
};

}  // namespace

TEST_F(WindowTest, TabWalksShownEnabledStopsInTreeOrderAndWraps) {
  KeyWnd wnd;
  EXPECT_FALSE(wnd.pm().ShowsFocusMarks());
  using V = std::vector<std::wstring>;
  EXPECT_EQ(wnd.Walk(7, false), (V{L"edit", L"card", L"check", L"list", L"next", L"cancel", L"closebtn"}));
  EXPECT_TRUE(wnd.pm().ShowsFocusMarks());
  EXPECT_EQ(wnd.Walk(2, false), (V{L"edit", L"card"}));
  EXPECT_EQ(wnd.Walk(3, true), (V{L"edit", L"closebtn", L"cancel"}));
  // The other page, a control shown again, a row clicked: the order follows.
  wnd.Find<CTabLayoutUI>(L"tabs")->SelectItem(1);
  wnd.Find(L"home")->SetVisible(true);
  wnd.Find(L"off")->SetEnabled(true);
  wnd.Click(wnd.Find<CListUI>(L"list")->GetItemAt(0));
  EXPECT_EQ(wnd.Walk(3, false), (V{L"home", L"next", L"cancel"}));
  EXPECT_EQ(wnd.Walk(5, true), (V{L"next", L"home", L"list", L"page2", L"off"}));
}

TEST_F(WindowTest, EnterPressesTheDefaultButtonEscTheCancelSpaceAndArrowsTheFocusedControl) {
  KeyWnd wnd;
  auto clicks = [&wnd] {
    std::vector<std::wstring> c;
    for (auto& e : wnd.events)
      if (e.first == L"click" || e.first == L"itemselect" || e.first == L"listitemchecked")
        c.push_back(e.first + L":" + e.second);
    wnd.events.clear();
    return c;
  };
  using V = std::vector<std::wstring>;
  wnd.Key(VK_RETURN);  // nothing focused yet
  wnd.Key(VK_TAB);     // the edit
  wnd.Key(VK_RETURN);
  wnd.Key(VK_ESCAPE);
  EXPECT_EQ(clicks(), (V{L"click:next", L"click:next", L"click:cancel"}));
  wnd.Key(VK_TAB);  // the option card: Space chooses it, Enter is still the page's
  wnd.Key(VK_SPACE);
  EXPECT_TRUE(wnd.Find<COptionUI>(L"card")->IsSelected());
  wnd.Key(VK_RETURN);
  wnd.Key(VK_TAB);
  wnd.Key(VK_SPACE);
  EXPECT_TRUE(wnd.Find<COptionUI>(L"check")->IsSelected());
  EXPECT_EQ(clicks(), (V{L"click:card", L"click:next", L"click:check"}));
  // The list: arrows, End and Home move the selection, Space ticks.
  wnd.Key(VK_TAB);
  for (WPARAM k : {VK_DOWN, VK_DOWN, VK_UP, VK_END, VK_DOWN, VK_SPACE, VK_HOME}) wnd.Key(k);
  EXPECT_EQ(clicks(), (V{L"itemselect:list", L"itemselect:list", L"itemselect:list", L"itemselect:list",
                         L"listitemchecked:", L"itemselect:list"}));
  EXPECT_TRUE(static_cast<CListTextExtElementUI*>(wnd.Find<CListUI>(L"list")->GetItemAt(2))->IsChecked());
  // A focused push button is pressed by Enter; with Next hidden Home is
  // the default; with Cancel hidden Esc is left to the window.
  wnd.Walk(2, false);
  wnd.Key(VK_RETURN);
  wnd.Find(L"next")->SetVisible(false);
  wnd.Find(L"cancel")->SetVisible(false);
  wnd.Find(L"home")->SetVisible(true);
  wnd.Key(VK_RETURN);
  wnd.Key(VK_ESCAPE);
  EXPECT_EQ(clicks(), (V{L"click:cancel", L"click:home"}));
}

TEST_F(WindowTest, ScreenReadersGetEveryShownControlWithARoleAndAName) {
  KeyWnd wnd;
  std::vector<std::wstring> seen;
  for (CControlUI* c : wnd.pm().GetAccessibleControls())
    seen.push_back(std::to_wstring(c->GetAccessibleRole()) + L" " + wnd.pm().GetAccessibleName(c));
  using V = std::vector<std::wstring>;
  EXPECT_EQ(seen, (V{L"4 Name:", L"5 Name:", L"1 Off", L"2 Install", L"4 Install", L"3 Default", L"6 ",
                     L"7 USB001", L"7 USB002", L"7 USB003", L"1 Next", L"1 Cancel", L"1 Close"}));
}
