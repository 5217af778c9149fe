// The GDI+ painting of the program's own controls, run under Wine: each
// control paints into a white bitmap and the test reads pixels back.
#include <gtest/gtest.h>

#include "custom_controls.h"

namespace {

const wchar_t kMarkup[] = LR"(<Window size="320,240"><HorizontalLayout>
  <CircleProgress name="ring" width="100" height="100" bkcolor="#FF0000FF" forecolor="#FFFF0000" min="0" max="100" value="25"/>
  <MyCombo name="combo" width="120" height="60" bkcolor="#FF00FF00"/>
  <Control/>
  </HorizontalLayout></Window>)";

class PaintWnd : public WindowImplBase {
 public:
  CControlUI* Find(const wchar_t* name) { return m_pm.FindControl(name); }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ShellPaintTest"; }
  std::wstring GetSkinFile() override { return kMarkup; }
};

// A 32-bit white bitmap selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) bits_[i] = 0x00FFFFFF;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  // 0xRRGGBB of a pixel.
  DWORD At(int x, int y) {
    GdiFlush();
    return bits_[y * width_ + x] & 0x00FFFFFF;
  }

 private:
  int width_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  DWORD* bits_ = nullptr;
};

class ControlsPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    RegisterCustomControls();
    ASSERT_NE(wnd.Create(nullptr, L"paint", WS_POPUP, 0, 0, 0, 320, 240), nullptr);
  }
  void TearDown() override {
    DestroyWindow(wnd.GetHWND());
    CPaintManagerUI::Shutdown();
  }
  // Paints one control and returns the canvas.
  void Paint(CControlUI* control, Canvas& canvas) {
    RECT pos = control->GetPos();
    control->DoPaint(canvas.dc(), pos);
  }
  PaintWnd wnd;
};

const DWORD kRed = 0xFF0000, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kGreen = 0x00FF00;

TEST_F(ControlsPaint, RingSweepsAQuarterFromTheBottomTowardsTheLeft) {
  auto* ring = dynamic_cast<CCircleProgressUI*>(wnd.Find(L"ring"));
  ASSERT_NE(ring, nullptr);
  RECT pos = ring->GetPos();
  ASSERT_EQ(pos.right - pos.left, 100);
  Canvas canvas(320, 240);
  Paint(ring, canvas);
  const int cx = pos.left + 50, cy = pos.top + 50;
  // Points in the middle of the 10-pixel ring (radius 45) at 135, 45,
  // 225 and 315 degrees, clockwise from the positive x axis.
  EXPECT_EQ(canvas.At(cx - 32, cy + 32), kRed);   // bottom left: swept
  EXPECT_EQ(canvas.At(cx + 32, cy + 32), kBlue);  // bottom right
  EXPECT_EQ(canvas.At(cx - 32, cy - 32), kBlue);  // top left
  EXPECT_EQ(canvas.At(cx + 32, cy - 32), kBlue);  // top right
  EXPECT_EQ(canvas.At(cx, cy), kWhite);           // the centre
  EXPECT_EQ(canvas.At(cx + 20, cy + 20), kWhite); // inside the ring
  EXPECT_EQ(canvas.At(pos.left + 1, pos.top + 1), kWhite);  // outside the disc
}

TEST_F(ControlsPaint, RingWithAnEmptyRangeShowsNoSector) {
  auto* ring = dynamic_cast<CCircleProgressUI*>(wnd.Find(L"ring"));
  ASSERT_NE(ring, nullptr);
  ring->SetMinValue(50);
  ring->SetMaxValue(50);
  ring->SetValue(50);
  RECT pos = ring->GetPos();
  Canvas canvas(320, 240);
  Paint(ring, canvas);
  const int cx = pos.left + 50, cy = pos.top + 50;
  EXPECT_EQ(canvas.At(cx - 32, cy + 32), kBlue);
  EXPECT_EQ(canvas.At(cx + 32, cy - 32), kBlue);
}

TEST_F(ControlsPaint, ComboFillsOnlyTheInscribedEllipse) {
  CControlUI* combo = wnd.Find(L"combo");
  ASSERT_NE(combo, nullptr);
  RECT pos = combo->GetPos();
  Canvas canvas(320, 240);
  Paint(combo, canvas);
  EXPECT_EQ(canvas.At((pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2), kGreen);
  EXPECT_EQ(canvas.At(pos.left + 2, pos.top + 2), kWhite);
  EXPECT_EQ(canvas.At(pos.right - 3, pos.bottom - 3), kWhite);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
