// Layout arithmetic, option groups, tab pages, list columns and the control
// factory, at the corners where a layout or a registry goes wrong: limits,
// rounding, space too small, controls removed while registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "test_window.h"

namespace {

class LayoutTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto* w : wnds) {
      if (::IsWindow(w->GetHWND())) ::DestroyWindow(w->GetHWND());
      delete w;
    }
    toolkit::headless::PumpPending();
    CPaintManagerUI::Shutdown();
  }
  TestWnd* Open(const std::wstring& markup) {
    wnds.push_back(new TestWnd(markup));
    EXPECT_NE(wnds.back()->Open(), nullptr);
    wnds.back()->pm().UpdateLayout();
    return wnds.back();
  }
  std::vector<TestWnd*> wnds;
};

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

class GaugeUI : public CProgressUI {
 public:
  const wchar_t* GetClass() const override { return L"GaugeUI"; }
};

}  // namespace

TEST_F(LayoutTest, StretchedChildrenShareEveryPixelWithinTheirLimits) {
  auto* w = Open(LR"(<Window size="100,100"><HorizontalLayout name="row">
      <Control name="a"/><Control name="b"/><Control name="c"/></HorizontalLayout></Window>)");
  // 100 px among three: no pixel lost to rounding, no overlap.
  RECT a = w->Find(L"a")->GetPos(), b = w->Find(L"b")->GetPos(), c = w->Find(L"c")->GetPos();
  EXPECT_EQ(a.left, 0);
  EXPECT_EQ(b.left, a.right);
  EXPECT_EQ(c.left, b.right);
  EXPECT_EQ(c.right, 100);
  EXPECT_LE(std::max({Width(a), Width(b), Width(c)}) - std::min({Width(a), Width(b), Width(c)}), 1);

  // A capped child gives its surplus to the others; a floor takes from them.
  auto* v = Open(LR"(<Window size="100,300"><VerticalLayout>
      <Control name="capped" maxheight="40"/><Control name="free"/><Control name="floor" minheight="200"/>
    </VerticalLayout></Window>)");
  EXPECT_EQ(Height(v->Find(L"capped")->GetPos()), 40);
  EXPECT_EQ(Height(v->Find(L"floor")->GetPos()), 200);
  EXPECT_EQ(Height(v->Find(L"free")->GetPos()), 60);
  EXPECT_EQ(v->Find(L"floor")->GetPos().bottom, 300);
}

TEST_F(LayoutTest, PaddingAndInsetShrinkTheCrossAxisToo) {
  auto* w = Open(LR"(<Window size="200,100"><HorizontalLayout inset="4,6,4,6">
      <Control name="a" width="50" padding="3,5,7,9"/><Control name="b"/></HorizontalLayout></Window>)");
  RECT a = w->Find(L"a")->GetPos(), b = w->Find(L"b")->GetPos();
  EXPECT_EQ(a.left, 7);
  EXPECT_EQ(a.top, 11);
  EXPECT_EQ(a.bottom, 100 - 6 - 9);
  EXPECT_EQ(Width(a), 50);
  EXPECT_EQ(b.left, a.right + 7);  // the right padding keeps its distance
  EXPECT_EQ(b.right, 196);
  EXPECT_EQ(b.top, 6);
}

TEST_F(LayoutTest, OversizedFixedChildrenNeverGetNegativeSizes) {
  auto* w = Open(LR"(<Window size="100,100"><VerticalLayout>
      <Control name="big" height="150"/><Control name="flex"/><Control name="after" height="30"/>
    </VerticalLayout></Window>)");
  EXPECT_GE(Height(w->Find(L"flex")->GetPos()), 0);
  EXPECT_GE(Height(w->Find(L"after")->GetPos()), 0);
  EXPECT_GE(w->Find(L"after")->GetPos().top, w->Find(L"big")->GetPos().top);
}

TEST_F(LayoutTest, ContainerGivesEveryChildTheWholeAreaAndShownChildrenReflow) {
  auto* w = Open(LR"(<Window size="200,100"><VerticalLayout>
      <Container name="box" height="60" inset="5,5,5,5"><Control name="x"/><Control name="y"/></Container>
      <Control name="hidden" height="20" visible="false"/><Control name="rest"/></VerticalLayout></Window>)");
  RECT x = w->Find(L"x")->GetPos(), y = w->Find(L"y")->GetPos();
  EXPECT_EQ(x.left, 5);
  EXPECT_EQ(x.bottom, 55);
  EXPECT_EQ(x.right, y.right);
  EXPECT_EQ(x.top, y.top);
  EXPECT_EQ(Height(w->Find(L"rest")->GetPos()), 40);

  w->Find(L"hidden")->SetVisible(true);
  w->pm().UpdateLayout();
  EXPECT_EQ(w->Find(L"hidden")->GetPos().top, 60);
  EXPECT_EQ(Height(w->Find(L"rest")->GetPos()), 20);
}

TEST_F(LayoutTest, FloatChildSitsAtItsRectangleOutsideTheFlow) {
  auto* w = Open(LR"(<Window size="300,200"><VerticalLayout><Control name="head" height="50"/>
      <HorizontalLayout name="body" inset="10,10,10,10"><Control name="float" float="true" pos="5,5,25,15"/>
        <Control name="flow"/></HorizontalLayout></VerticalLayout></Window>)");
  RECT f = w->Find(L"float")->GetPos(), flow = w->Find(L"flow")->GetPos();
  EXPECT_EQ(f.left, 15);
  EXPECT_EQ(f.top, 65);  // relative to the parent's inner rectangle
  EXPECT_EQ(Width(f), 20);
  EXPECT_EQ(Height(f), 10);
  EXPECT_EQ(flow.left, 10);  // the float takes no room from the flow
  EXPECT_EQ(flow.right, 290);
}

TEST_F(LayoutTest, OptionGroupsBelongToTheirWindowAndSelectingFromCodeNotifiesOnce) {
  const wchar_t* markup = LR"(<Window size="300,100"><HorizontalLayout>
      <Option name="a" group="g" selected="true"/><Option name="b" group="g"/><Option name="c" group="g"/>
    </HorizontalLayout></Window>)";
  auto* one = Open(markup);
  auto* two = Open(markup);
  one->events.clear();
  one->Find<COptionUI>(L"c")->Selected(true, true);
  EXPECT_TRUE(one->Find<COptionUI>(L"c")->IsSelected());
  EXPECT_FALSE(one->Find<COptionUI>(L"a")->IsSelected());
  EXPECT_FALSE(one->Find<COptionUI>(L"b")->IsSelected());
  EXPECT_EQ(one->Types(), (std::vector<std::wstring>{L"selectchanged:a", L"selectchanged:c"}));
  EXPECT_TRUE(two->Find<COptionUI>(L"a")->IsSelected());  // same group name, other window

  // Selecting the selected one again says nothing.
  one->events.clear();
  one->Find<COptionUI>(L"c")->Selected(true, true);
  EXPECT_TRUE(one->events.empty());

  // A removed option leaves the group; selecting another must not reach it.
  auto* row = static_cast<CContainerUI*>(one->pm().GetRoot());
  ASSERT_TRUE(row->Remove(one->Find(L"c")));
  toolkit::headless::PumpPending();
  one->Click(one->Find(L"b"));
  EXPECT_TRUE(one->Find<COptionUI>(L"b")->IsSelected());
  const auto* group = one->pm().GetOptionGroup(L"g");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->size(), 2u);
}

TEST_F(LayoutTest, TabPagesFollowTheSelectionThroughAddsAndRemovals) {
  auto* w = Open(LR"(<Window size="300,100"><TabLayout name="tabs" selectedid="1">
      <Label name="p0"/><Label name="p1"/></TabLayout></Window>)");
  auto* tabs = w->Find<CTabLayoutUI>(L"tabs");
  ASSERT_TRUE(tabs->SelectItem(1));
  auto* p2 = new CLabelUI;
  p2->SetName(L"p2");
  ASSERT_TRUE(tabs->Add(p2));
  EXPECT_FALSE(p2->IsVisible());  // a new page stays hidden
  EXPECT_TRUE(w->Find(L"p1")->IsVisible());

  w->events.clear();
  EXPECT_TRUE(tabs->SelectItem(p2));
  EXPECT_EQ(tabs->GetCurSel(), 2);
  EXPECT_EQ(w->Types(), (std::vector<std::wstring>{L"tabselect:tabs"}));

  ASSERT_TRUE(tabs->Remove(w->Find(L"p0")));  // the selected page keeps its place
  EXPECT_EQ(tabs->GetItemAt(tabs->GetCurSel()), w->Find(L"p2"));
  EXPECT_TRUE(w->Find(L"p2")->IsVisible());
  EXPECT_FALSE(w->Find(L"p1")->IsVisible());
}

TEST_F(LayoutTest, ListRowsUseHeaderColumnsOrTheFullWidth) {
  auto* w = Open(LR"(<Window size="400,300"><VerticalLayout>
      <List name="cols" height="150"><ListHeader height="20"><ListHeaderItem width="60"/>
        <ListHeaderItem width="200"/><ListHeaderItem width="100"/></ListHeader></List>
      <List name="plain"/></VerticalLayout></Window>)");
  auto* cols = w->Find<CListUI>(L"cols");
  auto* plain = w->Find<CListUI>(L"plain");
  for (auto* list : {cols, plain}) {
    auto* row = new CListTextElementUI;
    row->SetFixedHeight(24);
    ASSERT_TRUE(list->Add(row));
    row->SetText(2, L"third");
    row->SetText(0, L"first");
  }
  w->pm().UpdateLayout();
  const auto& c = cols->GetListInfo()->columns;
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].left, 0);
  EXPECT_EQ(c[1].left, c[0].right);
  EXPECT_EQ(c[2].left, 260);
  EXPECT_EQ(c[2].right, 360);
  ASSERT_EQ(plain->GetListInfo()->columns.size(), 1u);
  EXPECT_EQ(Width(plain->GetListInfo()->columns[0]), 400);

  auto* row = static_cast<CListTextElementUI*>(cols->GetItemAt(0));
  EXPECT_EQ(row->GetText(0), L"first");
  EXPECT_EQ(row->GetText(1), L"");  // a gap left before a later column
  EXPECT_EQ(row->GetText(2), L"third");
  EXPECT_EQ(row->GetText(9), L"");
  EXPECT_EQ(row->GetPos().top, 20);  // rows start below the header

  // A row template built from markup finds its own sub-controls.
  auto* templ = new CListContainerElementUI;
  auto* label = new CLabelUI;
  label->SetName(L"label1");
  templ->Add(label);
  ASSERT_TRUE(cols->Add(templ));
  EXPECT_EQ(w->pm().FindSubControlByName(templ, L"label1"), label);
  EXPECT_EQ(templ->GetIndex(), 1);
}

TEST_F(LayoutTest, FactoryMacroRegistersUnderTheClassNameAnyCase) {
  REGIST_DUICONTROL(GaugeUI);
  auto& factory = CControlFactory::GetInstance();
  EXPECT_TRUE(factory.IsRegistered(L"GaugeUI"));
  EXPECT_TRUE(factory.IsRegistered(L"GAUGEUI"));
  EXPECT_EQ(factory.CreateControl(L"NoSuchUI"), nullptr);
  // Markup names the element without the "C" and "UI" of the class name:
  // "Gauge" looks for "CGaugeUI", which is not what the macro registered.
  factory.RegistControl(L"CGaugeUI", []() -> CControlUI* { return new GaugeUI; });
  auto* w = Open(LR"(<Window size="100,100"><VerticalLayout><Gauge name="g" value="7"/></VerticalLayout></Window>)");
  auto* g = w->Find<CProgressUI>(L"g");
  ASSERT_NE(g, nullptr);
  EXPECT_STREQ(g->GetClass(), L"GaugeUI");
  EXPECT_EQ(g->GetValue(), 7);
}

TEST_F(LayoutTest, ScrollingClampsToTheContentAndBringsChildrenIntoView) {
  std::wstring rows;
  for (int i = 0; i < 10; ++i) rows += L"<Control name=\"r" + std::to_wstring(i) + L"\" height=\"50\"/>";
  auto* w = Open(L"<Window size=\"200,200\"><VerticalLayout name=\"box\" vscrollbar=\"true\">" + rows +
                 L"</VerticalLayout></Window>");
  auto* box = w->Find<CVerticalLayoutUI>(L"box");
  EXPECT_EQ(box->GetScrollRange(), 300);
  box->SetScrollPos(1000);
  w->pm().UpdateLayout();
  EXPECT_EQ(box->GetScrollPos(), 300);
  EXPECT_EQ(w->Find(L"r9")->GetPos().bottom, 200);  // the last row ends at the bottom edge
  box->SetScrollPos(-5);
  EXPECT_EQ(box->GetScrollPos(), 0);

  box->EnsureVisible(w->Find(L"r5"));  // 250..300 below a 200 px view
  w->pm().UpdateLayout();
  RECT r5 = w->Find(L"r5")->GetPos();
  EXPECT_GE(r5.top, 0);
  EXPECT_LE(r5.bottom, 200);

  // Content that shrinks takes the scroll position down with it.
  box->SetScrollPos(300);
  for (int i = 9; i >= 3; --i) box->RemoveAt(i);
  w->pm().UpdateLayout();
  EXPECT_EQ(box->GetScrollRange(), 0);
  EXPECT_EQ(box->GetScrollPos(), 0);
  EXPECT_EQ(w->Find(L"r0")->GetPos().top, 0);
}

// The strip along the right edge: the thumb follows a drag, a press above
// or below it moves a page, and the rows under the strip get no clicks.
TEST_F(LayoutTest, ScrollThumbDragsAndTheStripPages) {
  std::wstring rows;
  for (int i = 0; i < 10; ++i) rows += L"<Button name=\"r" + std::to_wstring(i) + L"\" height=\"50\"/>";
  auto* w = Open(L"<Window size=\"200,200\"><VerticalLayout name=\"box\" vscrollbar=\"true\">" + rows +
                 L"</VerticalLayout></Window>");
  auto* box = w->Find<CVerticalLayoutUI>(L"box");
  w->pm().UpdateLayout();
  ASSERT_EQ(box->GetScrollRange(), 300);
  HWND h = w->GetHWND();
  // Thumb: 200 * 200 / 500 = 80 px high, 120 px of travel for 300 px.
  ::SendMessageW(h, WM_LBUTTONDOWN, 0, MAKELPARAM(196, 10));
  ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(196, 70));
  EXPECT_EQ(box->GetScrollPos(), 150);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(100, 900));  // past the end, off the strip
  EXPECT_EQ(box->GetScrollPos(), 300);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(196, -500));
  EXPECT_EQ(box->GetScrollPos(), 0);
  ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(196, -500));
  ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(196, 100));  // released: no more dragging
  EXPECT_EQ(box->GetScrollPos(), 0);

  w->ClickAt(196, 150);  // below the thumb (0..80): a page down
  EXPECT_EQ(box->GetScrollPos(), 200);
  w->ClickAt(196, 20);  // above it (now 80..160): a page up
  EXPECT_EQ(box->GetScrollPos(), 0);
  auto clicks = [w] {
    std::vector<std::wstring> c;
    for (const std::wstring& t : w->Types())
      if (t.rfind(L"click:", 0) == 0) c.push_back(t);
    return c;
  };
  EXPECT_TRUE(clicks().empty());

  w->ClickAt(100, 20);  // off the strip the row takes the click
  EXPECT_EQ(clicks(), std::vector<std::wstring>{L"click:r0"});
}

TEST_F(LayoutTest, FloatRectanglesAndInsetsScaleWithDpi) {
  auto* w = Open(LR"(<Window size="200,200"><HorizontalLayout inset="10,10,10,10">
      <Control name="float" float="true" pos="20,30,70,50"/><Control name="flow" width="40"/></HorizontalLayout></Window>)");
  w->pm().SetDPI(144);
  w->pm().UpdateLayout();
  RECT f = w->Find(L"float")->GetPos(), flow = w->Find(L"flow")->GetPos();
  EXPECT_EQ(f.left, 15 + 30);
  EXPECT_EQ(f.top, 15 + 45);
  EXPECT_EQ(Width(f), 75);
  EXPECT_EQ(Height(f), 30);
  EXPECT_EQ(flow.left, 15);
  EXPECT_EQ(Width(flow), 60);
}

TEST_F(LayoutTest, RepeatedDpiChangesComeBackToTheMarkupSize) {
  auto* w = Open(LR"(<Window size="561,401"><VerticalLayout/></Window>)");
  HWND h = w->GetHWND();
  ::SetWindowPos(h, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  for (int dpi : {120, 144, 168, 120, 192, 144, 96}) w->pm().SetDPI(dpi);
  RECT rc{};
  ::GetWindowRect(h, &rc);
  EXPECT_EQ(rc.left, 33);
  EXPECT_EQ(rc.top, 44);
  EXPECT_EQ(Width(rc), 561);
  EXPECT_EQ(Height(rc), 401);
}

TEST_F(LayoutTest, WindowStylesShadowSharedOnesThatOutliveTheirWindow) {
  auto* first = Open(LR"(<Window size="100,100"><Style name="s" shared="true" height="10"/>
      <VerticalLayout><Control name="c" style="s"/></VerticalLayout></Window>)");
  EXPECT_EQ(first->Find(L"c")->GetFixedHeight(), 10);
  ::DestroyWindow(first->GetHWND());
  toolkit::headless::PumpPending();

  auto* own = Open(LR"(<Window size="100,100"><Style name="s" height="20"/>
      <VerticalLayout><Control name="c" style="s"/></VerticalLayout></Window>)");
  EXPECT_EQ(own->Find(L"c")->GetFixedHeight(), 20);
  auto* other = Open(LR"(<Window size="100,100"><VerticalLayout><Control name="c" style="s"/>
      <Control name="d" style="missing" height="7"/></VerticalLayout></Window>)");
  EXPECT_EQ(other->Find(L"c")->GetFixedHeight(), 10);
  EXPECT_EQ(other->Find(L"d")->GetFixedHeight(), 7);  // an unknown style is ignored
}
