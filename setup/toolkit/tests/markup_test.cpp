// Building windows from markup: the factory, names, options, tabs,
// layout, lists, resource texts, styles and the state of the controls.
#include <gtest/gtest.h>

#include "test_window.h"
#include "zip_test_util.h"

namespace {

class RingUI : public CProgressUI {
 public:
  const wchar_t* GetClass() const override { return L"CircleProgress"; }
};

class MarkupTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (wnd && ::IsWindow(wnd->GetHWND())) ::DestroyWindow(wnd->GetHWND());
    delete wnd;
    CPaintManagerUI::Shutdown();
  }
  TestWnd* Open(const std::wstring& markup) {
    wnd = new TestWnd(markup);
    EXPECT_NE(wnd->Open(), nullptr);
    return wnd;
  }
  TestWnd* wnd = nullptr;
};

}  // namespace

TEST_F(MarkupTest, BuildsTheTreeAndFindsControlsByExactName) {
  Open(LR"(<Window size="300,200"><VerticalLayout name="root">
      <Button name="btn_ok" text="OK" tooltip="tip" userdata="42" bkcolor="#FF102030"/>
      <Label name="btn_ok" text="second of that name"/>
      <Label name="hidden" visible="false"/>
    </VerticalLayout></Window>)");
  auto* ok = wnd->Find<CButtonUI>(L"btn_ok");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->GetText(), L"OK");  // the first control of a name wins
  EXPECT_EQ(ok->GetToolTip(), L"tip");
  EXPECT_EQ(ok->GetUserData(), L"42");
  EXPECT_EQ(ok->GetBkColor(), 0xFF102030u);
  EXPECT_EQ(wnd->Find(L"BTN_OK"), nullptr);
  EXPECT_FALSE(wnd->Find(L"hidden")->IsVisible());
  EXPECT_EQ(wnd->pm().GetRoot(), wnd->Find(L"root"));
  EXPECT_EQ(wnd->inits, 1);
  EXPECT_EQ(wnd->Types().front(), L"windowinit:root");
}

TEST_F(MarkupTest, UnknownElementsGoToTheCallbackThenTheFactory) {
  CControlFactory::GetInstance().RegistControl(L"CCircleProgressUI", []() -> CControlUI* { return new RingUI; });
  EXPECT_TRUE(CControlFactory::GetInstance().IsRegistered(L"ccircleprogressui"));
  Open(LR"(<Window size="300,200"><VerticalLayout>
      <CircleProgress name="ring" value="25"/>
      <Special name="special"/>
      <Mystery name="mystery"><Label name="inside"/></Mystery>
    </VerticalLayout></Window>)");
  auto* ring = wnd->Find<CProgressUI>(L"ring");
  ASSERT_NE(ring, nullptr);
  EXPECT_STREQ(ring->GetClass(), L"CircleProgress");
  EXPECT_EQ(ring->GetValue(), 25);
  ASSERT_NE(wnd->Find(L"special"), nullptr);
  EXPECT_EQ(wnd->Find(L"special")->GetUserData(), L"from callback");
  EXPECT_EQ(wnd->Find(L"mystery"), nullptr);
  EXPECT_EQ(wnd->Find(L"inside"), nullptr);
  EXPECT_EQ(wnd->offered, (std::vector<std::wstring>{L"CircleProgress", L"Special", L"Mystery"}));
}

TEST_F(MarkupTest, OptionGroupsKeepOneSelectedAndClickComesFirst) {
  Open(LR"(<Window size="300,200"><HorizontalLayout>
      <Option name="a" group="g" selected="true"/><Option name="b" group="g"/>
      <Option name="other" group="h" selected="true"/><Option name="check"/>
    </HorizontalLayout></Window>)");
  auto *a = wnd->Find<COptionUI>(L"a"), *b = wnd->Find<COptionUI>(L"b"), *check = wnd->Find<COptionUI>(L"check");
  wnd->events.clear();
  wnd->Click(b);
  EXPECT_TRUE(b->IsSelected());
  EXPECT_FALSE(a->IsSelected());
  EXPECT_TRUE(wnd->Find<COptionUI>(L"other")->IsSelected());
  EXPECT_EQ(wnd->Types(), (std::vector<std::wstring>{L"click:b", L"selectchanged:a", L"selectchanged:b"}));
  wnd->Click(b);  // a selected radio stays selected
  EXPECT_TRUE(b->IsSelected());
  wnd->Click(check);
  wnd->Click(check);
  EXPECT_FALSE(check->IsSelected());
  EXPECT_EQ(wnd->selectedAtClick, (std::vector<bool>{false, true, false, true}));
  wnd->events.clear();
  b->Selected(false, false);
  a->Selected(false, true);  // no change, no notification
  EXPECT_TRUE(wnd->events.empty());
}

TEST_F(MarkupTest, TabLayoutShowsOnePageByIndex) {
  Open(LR"(<Window size="300,200"><TabLayout name="tabs" selectedid="1">
      <Label name="p0"/><Label name="p1"/><Label name="p2"/></TabLayout></Window>)");
  auto* tabs = wnd->Find<CTabLayoutUI>(L"tabs");
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_TRUE(wnd->Find(L"p1")->IsVisible());
  EXPECT_FALSE(wnd->Find(L"p0")->IsVisible());
  wnd->events.clear();
  EXPECT_TRUE(tabs->SelectItem(2));
  EXPECT_TRUE(wnd->Find(L"p2")->IsVisible());
  EXPECT_FALSE(wnd->Find(L"p1")->IsVisible());
  EXPECT_FALSE(tabs->SelectItem(3));
  EXPECT_EQ(tabs->GetCurSel(), 2);
  EXPECT_EQ(wnd->Types(), (std::vector<std::wstring>{L"tabselect:tabs"}));
}

TEST_F(MarkupTest, LayoutsShareFreeSpaceAfterFixedSizes) {
  Open(LR"(<Window size="400,300"><VerticalLayout inset="10,10,10,10" childpadding="5">
      <HorizontalLayout name="top" height="40"><Label name="l" width="100"/><Label name="r" padding="5,0,0,0"/></HorizontalLayout>
      <Control name="flex"/><Control name="gone" visible="false" height="50"/>
      <Control name="bottom" height="60" width="80"/>
      <Control name="float" float="true" pos="20,30,70,50"/>
    </VerticalLayout></Window>)");
  wnd->pm().UpdateLayout();
  auto pos = [&](const wchar_t* n) { return wnd->Find(n)->GetPos(); };
  EXPECT_EQ(pos(L"top").top, 10);
  EXPECT_EQ(pos(L"top").bottom, 50);
  EXPECT_EQ(pos(L"l").right, 110);
  EXPECT_EQ(pos(L"r").left, 115);
  EXPECT_EQ(pos(L"r").right, 390);
  EXPECT_EQ(pos(L"flex").top, 55);
  EXPECT_EQ(pos(L"flex").bottom, 225);  // 280 - 40 - 60 - 2 gaps
  EXPECT_EQ(pos(L"bottom").top, 230);
  EXPECT_EQ(pos(L"bottom").right, 90);
  EXPECT_EQ(pos(L"float").left, 30);
  EXPECT_EQ(pos(L"float").top, 40);
  EXPECT_EQ(pos(L"float").right, 80);

  wnd->pm().SetDPI(144);  // the window grows to 600 x 450 and sizes scale
  EXPECT_EQ(pos(L"top").bottom - pos(L"top").top, 60);
  EXPECT_EQ(pos(L"l").right - pos(L"l").left, 150);
}

TEST_F(MarkupTest, ListRowsSelectClickAndCheck) {
  Open(LR"(<Window size="400,300"><List name="list"><ListHeader height="20">
      <ListHeaderItem width="60"/><ListHeaderItem width="200"/></ListHeader></List></Window>)");
  auto* list = wnd->Find<CListUI>(L"list");
  for (int i = 0; i < 3; ++i) {
    auto* row = new CListTextExtElementUI;
    row->SetFixedHeight(30);
    ASSERT_TRUE(list->Add(row));
    row->SetText(0, std::to_wstring(i + 1));
    row->SetText(1, L"monitor " + std::to_wstring(i));
    row->SetName(L"row_item");
  }
  EXPECT_EQ(list->GetCount(), 3);
  wnd->pm().UpdateLayout();
  auto* row1 = static_cast<CListTextExtElementUI*>(list->GetItemAt(1));
  EXPECT_EQ(row1->GetIndex(), 1);
  EXPECT_EQ(row1->GetText(1), L"monitor 1");
  ASSERT_EQ(list->GetListInfo()->columns.size(), 2u);
  EXPECT_EQ(list->GetListInfo()->columns[1].left, 60);
  EXPECT_EQ(row1->GetPos().top, 50);

  wnd->events.clear();
  wnd->ClickAt(200, 65);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_FALSE(row1->IsChecked());
  wnd->ClickAt(10, 65);  // on the check box
  EXPECT_TRUE(row1->IsChecked());
  EXPECT_EQ(wnd->Types(), (std::vector<std::wstring>{L"itemselect:list", L"itemclick:row_item",
                                                     L"listitemchecked:row_item", L"itemclick:row_item"}));

  // A handler may empty the list that holds the row it was told about.
  wnd->AddNotifyHandler(L"itemclick", [list](TNotifyUI&) { list->RemoveAll(); });
  wnd->ClickAt(200, 95);
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_EQ(wnd->Find(L"row_item"), nullptr);
}

TEST_F(MarkupTest, ResourceTextResolvesKeysWhenRead) {
  CResourceManager::GetInstance().LoadLanguage(L"<L><Text id=\"btn.next\" value=\"Next\"/><Text id=\"tip.next\" value=\"Go on\"/></L>");
  Open(LR"(<Window size="300,200"><VerticalLayout>
      <Button name="next" resourcetext="true" text="btn.next" tooltip="tip.next"/>
      <Button name="plain" text="btn.next"/></VerticalLayout></Window>)");
  auto* next = wnd->Find(L"next");
  EXPECT_EQ(next->GetText(), L"Next");
  EXPECT_EQ(next->GetToolTip(), L"Go on");
  EXPECT_EQ(next->GetRawText(), L"btn.next");
  EXPECT_EQ(wnd->Find(L"plain")->GetText(), L"btn.next");
  next->SetText(L"main.btn.startDelete");
  EXPECT_EQ(next->GetText(), L"main.btn.startDelete");  // a missing key shows as itself
  CResourceManager::GetInstance().LoadLanguage(L"<L><Text id=\"main.btn.startDelete\" value=\"Delete\"/></L>");
  EXPECT_EQ(next->GetText(), L"Delete");
}

TEST_F(MarkupTest, StylesDefaultsAndAttributesByName) {
  Open(LR"(<Window size="300,200" caption="0,0,0,30">
      <Font id="3" name="Sans" size="18" bold="true"/><Font id="0" size="14" default="true"/>
      <Default name="Label" textcolor="#FF112233"/>
      <Style name="radio_style" width="120" textcolor="#FF445566"/>
      <Style name="shared_style" shared="true" height="33"/>
      <VerticalLayout><Label name="lbl"/><Option name="opt" style="radio_style" width="90"/></VerticalLayout></Window>)");
  auto* lbl = wnd->Find<CLabelUI>(L"lbl");
  EXPECT_EQ(lbl->GetTextColor(), 0xFF112233u);
  auto* opt = wnd->Find<COptionUI>(L"opt");
  EXPECT_EQ(opt->GetFixedWidth(), 90);  // own attributes after the style
  EXPECT_EQ(opt->GetTextColor(), 0xFF445566u);
  EXPECT_TRUE(lbl->ApplyStyle(L"radio_style"));
  EXPECT_EQ(lbl->GetFixedWidth(), 120);
  EXPECT_TRUE(lbl->ApplyStyle(L"shared_style"));
  EXPECT_EQ(lbl->GetFixedHeight(), 33);
  EXPECT_FALSE(lbl->ApplyStyle(L"nope"));
  lbl->SetAttribute(L"textcolor", L"ffff0000");
  EXPECT_EQ(lbl->GetTextColor(), 0xFFFF0000u);
  EXPECT_EQ(lbl->GetAttribute(L"TextColor"), L"ffff0000");
  EXPECT_EQ(wnd->pm().GetFontInfo(3).size, 18);
  EXPECT_TRUE(wnd->pm().GetFontInfo(3).bold);
  EXPECT_EQ(wnd->pm().GetFontInfo(-1).size, 14);
  EXPECT_EQ(wnd->pm().GetFontInfo(99).size, 14);
  EXPECT_EQ(wnd->pm().GetCaptionRect().bottom, 30);
}

TEST_F(MarkupTest, ControlStates) {
  Open(LR"(<Window size="300,200"><VerticalLayout>
      <Progress name="progress" min="0" max="100" value="150"/>
      <Slider name="slider" min="0" max="10" height="20"/>
      <GifAnim name="gif" autoplay="false" bkimage="busy.gif"/>
      <ColorPalette name="Pallet" height="50"/>
      <RichEdit name="log" readonly="true"/>
      <Edit name="edit" maxchar="5"/>
    </VerticalLayout></Window>)");
  auto* progress = wnd->Find<CProgressUI>(L"progress");
  EXPECT_EQ(progress->GetValue(), 100);
  progress->SetMinValue(20);
  progress->SetMaxValue(120);
  progress->SetValue(50);
  EXPECT_EQ(progress->GetValue(), 50);
  progress->SetValue(-5);
  EXPECT_EQ(progress->GetValue(), 20);

  auto* slider = wnd->Find<CSliderUI>(L"slider");
  wnd->events.clear();
  wnd->pm().UpdateLayout();
  RECT rc = slider->GetPos();
  wnd->ClickAt(rc.right - 1, (rc.top + rc.bottom) / 2);
  EXPECT_EQ(slider->GetValue(), 10);
  EXPECT_EQ(wnd->Types(), (std::vector<std::wstring>{L"valuechanged:slider"}));

  auto* gif = wnd->Find<CGifAnimUI>(L"gif");
  EXPECT_FALSE(gif->IsPlaying());
  gif->PlayGif();
  EXPECT_TRUE(gif->IsPlaying());
  EXPECT_TRUE(wnd->pm().HasTimer(gif, 1));
  gif->StopGif();
  EXPECT_FALSE(gif->IsPlaying());
  EXPECT_EQ(gif->GetCurrentFrame(), 0);
  EXPECT_FALSE(wnd->pm().HasTimer(gif, 1));

  auto* palette = wnd->Find<CColorPaletteUI>(L"Pallet");
  wnd->events.clear();
  rc = palette->GetPos();
  wnd->ClickAt(rc.left, rc.top + (rc.bottom - rc.top) / 2);  // pure red at hue 0, half way down
  EXPECT_EQ(palette->GetSelectColor(), 0xFFFF0000u);
  EXPECT_EQ(wnd->Types(), (std::vector<std::wstring>{L"colorchanged:Pallet"}));

  auto* log = wnd->Find<CRichEditUI>(L"log");
  TCharFormatUI red;
  red.mask = 0xE0000007;
  red.heightTwips = 225;
  red.textColor = RGB(255, 0, 0);
  log->SetSelectionCharFormat(red);
  log->AppendText(L"09:05:03.007 : ");
  log->AppendText(L"failed\r\n");
  TCharFormatUI blue = red;
  blue.textColor = RGB(0, 0, 255);
  log->SetSelectionCharFormat(blue);
  log->AppendText(L"ok\r\n");
  EXPECT_EQ(log->GetText(), L"09:05:03.007 : failed\r\nok\r\n");
  ASSERT_EQ(log->GetRuns().size(), 2u);
  EXPECT_EQ(log->GetRuns()[0].format.textColor, RGB(255, 0, 0));
  EXPECT_EQ(log->GetRuns()[1].start, 23u);
  EXPECT_EQ(log->GetRuns()[1].format.textColor, RGB(0, 0, 255));
  log->SetText(L"");
  EXPECT_TRUE(log->GetRuns().empty());

  auto* edit = wnd->Find<CEditUI>(L"edit");
  wnd->events.clear();
  edit->SetText(L"abcdefgh");
  EXPECT_EQ(edit->GetText(), L"abcde");  // maxchar
  edit->OnUserTextChanged(L"48 26");
  EXPECT_EQ(edit->GetText(), L"48 26");
  EXPECT_EQ(wnd->Types(), (std::vector<std::wstring>{L"textchanged:edit"}));
}

TEST_F(MarkupTest, IncludesComeFromTheArchiveThroughTheIndex) {
  auto bytes = testzip::Make(
      {{"res.xml", "<Res><Xml id=\"XML_MAIN\" path=\"main.xml\"/><Xml id=\"XML_LOOP\" path=\"loop.xml\"/></Res>", true},
       {"main.xml", "<Window size=\"320,240\"><TabLayout name=\"tab_switch\"><Include source=\"page.xml\" count=\"2\"/></TabLayout></Window>", true},
       {"page.xml", "<Window><VerticalLayout name=\"page\"><Button name=\"btn_in_page\"/></VerticalLayout></Window>", true},
       {"loop.xml", "<Window size=\"10,10\"><VerticalLayout><Include source=\"XML_LOOP\"/></VerticalLayout></Window>", true}},
      "wkq19990517");
  auto& res = CResourceManager::GetInstance();
  res.SetResourceType(UILIB_ZIPRESOURCE);
  ASSERT_TRUE(res.SetResourceZip(bytes.data(), bytes.size(), L"wkq19990517"));
  ASSERT_TRUE(res.LoadResource());
  Open(L"XML_MAIN");
  EXPECT_EQ(wnd->Find<CTabLayoutUI>(L"tab_switch")->GetCount(), 2);
  EXPECT_NE(wnd->Find(L"btn_in_page"), nullptr);
  RECT rc;
  ::GetWindowRect(wnd->GetHWND(), &rc);
  EXPECT_EQ(rc.right - rc.left, 320);

  CDialogBuilder builder;  // a markup including itself ends instead of recursing forever
  CPaintManagerUI pm;
  CControlUI* loop = builder.Create(L"XML_LOOP", nullptr, &pm);
  EXPECT_NE(builder.GetLastError().find("nested too deeply"), std::string::npos);
  delete loop;

  // Includes whose counts multiply (a million labels here) are refused.
  std::wstring bomb = L"<Label/>";
  for (int level = 0; level < 3; ++level) {
    std::wstring quoted;
    for (wchar_t c : bomb) quoted += c == L'&' ? L"&amp;" : c == L'<' ? L"&lt;" : c == L'"' ? L"&quot;" : std::wstring(1, c);
    bomb = L"<VerticalLayout><Include count=\"100\" source=\"" + quoted + L"\"/></VerticalLayout>";
  }
  EXPECT_EQ(builder.Create(bomb, nullptr, &pm), nullptr);
  EXPECT_EQ(builder.GetLastError(), "markup builds more than 10000 controls");
}
