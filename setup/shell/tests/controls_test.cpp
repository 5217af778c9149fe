// The program's own controls: registration and markup, the ring's sweep,
// the chart's attributes and the hosted-window control.
#include "custom_controls.h"
#include "main_wnd.h"

#include <gtest/gtest.h>

namespace {

TEST(CircleSweep, IsTheValueOverTheRangeNotOffsetByTheMinimum) {
  EXPECT_EQ(CircleSweepDegrees(0, 100, 25), 90);
  EXPECT_EQ(CircleSweepDegrees(20, 120, 50), 180);  // not 108
  EXPECT_EQ(CircleSweepDegrees(0, 100, 100), 360);
  EXPECT_EQ(CircleSweepDegrees(0, 100, 0), 0);
  EXPECT_EQ(CircleSweepDegrees(0, 7, 1), 51);  // 51.43 cut, not rounded
  EXPECT_EQ(CircleSweepDegrees(0, 3, 2), 240);
}

TEST(CircleSweep, AnEmptyRangeSweepsNothingInsteadOfDividingByZero) {
  EXPECT_EQ(CircleSweepDegrees(50, 50, 50), 0);
  EXPECT_EQ(CircleSweepDegrees(0, 0, 0), 0);
  EXPECT_EQ(CircleSweepDegrees(100, 0, 50), 0);
}

// A window built from markup text, for controls that need a manager.
class MarkupWindow : public WindowImplBase {
 public:
  explicit MarkupWindow(std::wstring markup) : markup_(std::move(markup)) {}
  CControlUI* Find(const wchar_t* name) { return m_pm.FindControl(name); }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ControlsTest"; }
  std::wstring GetSkinFile() override { return markup_; }

 private:
  std::wstring markup_;
};

// A bare native window to host in a CWndUI.
class PlainWindow : public CWindowWnd {
 protected:
  const wchar_t* GetWindowClassName() const override { return L"PlainTest"; }
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterCustomControls(); }
  void TearDown() override {
    for (CWindowWnd* w : windows_) {
      if (IsWindow(w->GetHWND())) DestroyWindow(w->GetHWND());
    }
    toolkit::headless::PumpPending();
    for (CWindowWnd* w : windows_) delete w;
    CControlFactory::GetInstance().Release();
  }
  MarkupWindow* Build(const wchar_t* body) {
    auto* w = new MarkupWindow(std::wstring(L"<Window size=\"400,300\"><VerticalLayout>") + body +
                               L"</VerticalLayout></Window>");
    windows_.push_back(w);
    EXPECT_NE(w->Create(nullptr, L"test", WS_VISIBLE | WS_POPUP, 0, 100, 50, 400, 300), nullptr);
    return w;
  }
  std::vector<CWindowWnd*> windows_;
};

TEST_F(ControlsTest, MarkupElementsCreateTheProgramsClasses) {
  MarkupWindow* w = Build(
      L"<CircleProgress name=\"ring\" min=\"0\" max=\"100\" value=\"25\" height=\"80\" width=\"80\"/>"
      L"<MyCombo name=\"combo\" height=\"30\"/><ChartView name=\"chart\" height=\"60\"/><Wnd name=\"wnd\"/>");
  ASSERT_NE(dynamic_cast<CCircleProgressUI*>(w->Find(L"ring")), nullptr);
  ASSERT_NE(dynamic_cast<CMyComboUI*>(w->Find(L"combo")), nullptr);
  ASSERT_NE(dynamic_cast<CChartViewUI*>(w->Find(L"chart")), nullptr);
  ASSERT_NE(dynamic_cast<CWndUI*>(w->Find(L"wnd")), nullptr);
  // Class names as the controls report them; the chart keeps its base's.
  EXPECT_STREQ(w->Find(L"ring")->GetClass(), L"CircleProgress");
  EXPECT_STREQ(w->Find(L"combo")->GetClass(), L"MyCombo");
  EXPECT_STREQ(w->Find(L"chart")->GetClass(), L"ControlUI");
  EXPECT_STREQ(w->Find(L"wnd")->GetClass(), L"Wnd");
  auto* ring = dynamic_cast<CCircleProgressUI*>(w->Find(L"ring"));
  EXPECT_EQ(ring->GetSweepDegrees(), 90);
  // The white centre leaves a ring 10 pixels wide.
  RECT outer = ring->GetPos(), inner = ring->GetInnerRect();
  EXPECT_EQ(inner.left - outer.left, 10);
  EXPECT_EQ(outer.bottom - inner.bottom, 10);
  EXPECT_EQ(inner.right - inner.left, 60);
}

TEST_F(ControlsTest, MainWindowCreatesTheRingItselfAndNothingElse) {
  CMainWnd wnd;
  CControlUI* ring = wnd.CreateControl(L"circleprogress");
  EXPECT_NE(dynamic_cast<CCircleProgressUI*>(ring), nullptr);
  delete ring;
  EXPECT_EQ(wnd.CreateControl(L"MyCombo"), nullptr);
  EXPECT_EQ(wnd.CreateControl(L"Button"), nullptr);
}

TEST_F(ControlsTest, ChartFlagsTakeOnlyTheExactTextTrue) {
  CChartViewUI chart;
  EXPECT_EQ(chart.GetView(), CChartViewUI::kPie);
  EXPECT_TRUE(chart.IsShowText());
  EXPECT_FALSE(chart.IsShowHtml());
  EXPECT_EQ(chart.GetFont(), -1);
  EXPECT_EQ(chart.GetItemCount(), 0u);

  chart.SetAttribute(L"showtext", L"True");
  EXPECT_FALSE(chart.IsShowText());
  chart.SetAttribute(L"showtext", L"true");
  EXPECT_TRUE(chart.IsShowText());
  chart.SetAttribute(L"showhtml", L"1");
  EXPECT_FALSE(chart.IsShowHtml());
  chart.SetAttribute(L"showhtml", L"true");
  EXPECT_TRUE(chart.IsShowHtml());

  chart.SetAttribute(L"view", L"histpgram");
  EXPECT_EQ(chart.GetView(), CChartViewUI::kHistogram);
  chart.SetAttribute(L"view", L"bars");  // unknown: the view stays
  EXPECT_EQ(chart.GetView(), CChartViewUI::kHistogram);
  chart.SetAttribute(L"view", L"pie");
  EXPECT_EQ(chart.GetView(), CChartViewUI::kPie);

  chart.SetAttribute(L"shadowimage", L"common/panel.png");
  chart.SetAttribute(L"shadowimageheight", L"12");
  chart.SetAttribute(L"pillarimage", L"common/card_normal.png");
  chart.SetAttribute(L"pillarimagewidth", L"18");
  chart.SetAttribute(L"font", L"2");
  EXPECT_EQ(chart.GetShadowImage(), L"common/panel.png");
  EXPECT_EQ(chart.GetShadowImageHeight(), 12);
  EXPECT_EQ(chart.GetPillarImage(), L"common/card_normal.png");
  EXPECT_EQ(chart.GetPillarImageWidth(), 18);
  EXPECT_EQ(chart.GetFont(), 2);
  // The base's attributes still apply.
  chart.SetAttribute(L"name", L"chart");
  EXPECT_EQ(chart.GetName(), L"chart");
}

TEST_F(ControlsTest, ChartShadowSitsAboveTheLabelsOrAtTheVeryBottom) {
  MarkupWindow* w = Build(
      L"<ChartView name=\"chart\" height=\"100\" view=\"histpgram\" shadowimageheight=\"8\"/>");
  auto* chart = dynamic_cast<CChartViewUI*>(w->Find(L"chart"));
  ASSERT_NE(chart, nullptr);
  RECT pos = chart->GetPos();
  RECT shadow = chart->GetShadowRect();
  EXPECT_EQ(shadow.bottom, pos.bottom - 25);
  EXPECT_EQ(shadow.bottom - shadow.top, 8);
  EXPECT_EQ(shadow.left, pos.left);
  EXPECT_EQ(shadow.right, pos.right);
  chart->SetAttribute(L"showtext", L"True");
  EXPECT_EQ(chart->GetShadowRect().bottom, pos.bottom);

  // An image that cannot be drawn is forgotten, but only the bar view
  // tries to draw it.
  chart->SetAttribute(L"shadowimage", L"no/such.png");
  chart->SetAttribute(L"view", L"pie");
  chart->DoPaint(nullptr, pos);
  EXPECT_EQ(chart->GetShadowImage(), L"no/such.png");
  chart->SetAttribute(L"view", L"histpgram");
  chart->DoPaint(nullptr, pos);
  EXPECT_TRUE(chart->GetShadowImage().empty());
}

TEST_F(ControlsTest, HostedWindowFollowsTheControlsPlaceAndVisibility) {
  MarkupWindow* w = Build(L"<Control height=\"40\"/><Wnd name=\"wnd\" height=\"60\"/>");
  auto* control = dynamic_cast<CWndUI*>(w->Find(L"wnd"));
  ASSERT_NE(control, nullptr);
  // Without a window every step is a no-op.
  control->SetVisible(false);
  control->SetVisible(true);

  // A child of the skinned window: client coordinates.
  auto* child = new PlainWindow();
  windows_.push_back(child);
  ASSERT_NE(child->Create(w->GetHWND(), L"child", 0, 0, 0, 0, 10, 10), nullptr);
  control->Attach(child->GetHWND());
  RECT pos = control->GetPos(), rc{};
  GetWindowRect(child->GetHWND(), &rc);
  EXPECT_EQ(rc.left, pos.left);
  EXPECT_EQ(rc.top, pos.top);
  EXPECT_EQ(rc.bottom - rc.top, 60);
  EXPECT_TRUE(IsWindowVisible(child->GetHWND()));
  control->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(child->GetHWND()));
  control->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(child->GetHWND()));

  // Any other window: screen coordinates (the skinned window is at 100,50).
  auto* other = new PlainWindow();
  windows_.push_back(other);
  ASSERT_NE(other->Create(nullptr, L"other", 0, 0, 0, 0, 10, 10), nullptr);
  control->Attach(other->GetHWND());
  GetWindowRect(other->GetHWND(), &rc);
  EXPECT_EQ(rc.left, pos.left + 100);
  EXPECT_EQ(rc.top, pos.top + 50);
}

}  // namespace
