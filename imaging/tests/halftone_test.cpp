// Error diffusion, Otsu threshold, screen, fixed threshold, negative and
// the pixel accessors.
#include <gtest/gtest.h>

#include "bmpinfo.h"
#include "test_page.h"

namespace {
// Runs the diffusion on a w x h gray image; returns the first byte of each
// pixel of the page and leaves the diffused gray values in gray.
Bytes diffuse(int64_t w, int64_t h, Bytes &gray) {
  BMPInfo r;
  Bytes page = flatPage(w, h, 7);
  describe(r, page, w, h, 3);
  if (r.CBMP_GrayScale() != 1) {
    ADD_FAILURE() << "no gray copy";
    return {};
  }
  std::copy(gray.begin(), gray.end(), r.grayBuffer);
  r.CBMP_ImageDither();
  gray.assign(r.grayBuffer, r.grayBuffer + w * h);
  Bytes first;
  for (int64_t i = 0; i < w * h; ++i) {
    EXPECT_EQ(page[i * 3], page[i * 3 + 1]);
    EXPECT_EQ(page[i * 3], page[i * 3 + 2]);
    first.push_back(page[i * 3]);
  }
  return first;
}
}  // namespace

TEST(Atkinson, Examples) {
  struct Case { int64_t w, h; Bytes gray, dots, after; } cases[] = {
      {4, 1, Bytes(4, 100), {0, 0, 0, 255}, {100, 112, 126, 129}},
      {4, 1, Bytes(4, 200), {255, 255, 255, 255}, {200, 194, 187, 185}},
      {4, 2, Bytes(8, 128), {0, 255, 255, 0, 255, 0, 0, 255}, {}},
      {2, 1, {128, 129}, {0, 255}, {}},
  };
  for (auto &c : cases) {
    Bytes gray = c.gray;
    EXPECT_EQ(diffuse(c.w, c.h, gray), c.dots) << c.w << "x" << c.h << " of " << int(c.gray[0]);
    if (!c.after.empty()) {
      EXPECT_EQ(gray, c.after);
    }
  }
}

TEST(Atkinson, ErrorReachesTheKernelOnly) {
  // 200 in a white field prints white and passes -55 / 8 = -6 to its six
  // neighbours; their own error of -6 / 8 is 0 and goes no further.
  Bytes gray(12, 255);
  gray[1] = 200;
  EXPECT_EQ(diffuse(4, 3, gray), Bytes(12, 255));
  EXPECT_EQ(gray, (Bytes{255, 200, 249, 249, 249, 249, 249, 255, 255, 249, 255, 255}));
}

TEST(Atkinson, NeedsAGrayCopyThatMatches) {
  BMPInfo r;
  Bytes page = flatPage(4, 4, 90), before = page;
  describe(r, page, 4, 4, 3);
  r.CBMP_ImageDither();  // no gray copy
  EXPECT_EQ(page, before);
  ASSERT_EQ(r.CBMP_GrayScale(), 1);
  Bytes bigger = flatPage(8, 8, 90);
  describe(r, bigger, 8, 8, 3);  // geometry changed after the copy
  r.CBMP_ImageDither();
  EXPECT_EQ(bigger, flatPage(8, 8, 90));
}

TEST(Otsu, Thresholds) {
  for (int v : {0, 77, 255}) {
    Bytes page = flatPage(5, 4, static_cast<unsigned char>(v));
    BMPInfo::OTSUThresholdCV(page.data(), 5, 4, 15, 3, 1);
    EXPECT_EQ(page, flatPage(5, 4, v > 0 ? 255 : 0)) << v;
  }
  Bytes half = flatPage(4, 2, 50);
  std::fill(half.begin() + 12, half.end(), 200);
  BMPInfo::OTSUThresholdCV(half.data(), 4, 2, 12, 3, 1);
  Bytes want = flatPage(4, 2, 0);
  std::fill(want.begin() + 12, want.end(), 255);
  EXPECT_EQ(half, want);
}

TEST(Otsu, PixelSizesAndModes) {
  std::mt19937 rng(7);
  Bytes page = randomBytes(rng, 30 * 20 * 3);
  Bytes a = page, b = page;
  BMPInfo::OTSUThresholdCV(a.data(), 30, 20, 90, 3, 1);
  BMPInfo::OTSUThresholdCV(b.data(), 30, 20, 90, 24, 1);
  EXPECT_EQ(a, b);
  for (size_t i = 0; i < a.size(); i += 3) ASSERT_TRUE(a[i] == 0 || a[i] == 255);

  // One byte per pixel (1 or 8): only first bytes are read and written.
  Bytes one{10, 99, 200, 98, 10, 97, 200, 96};
  Bytes eight{10, 200, 12, 198, 10, 200, 12, 198};
  BMPInfo::OTSUThresholdCV(one.data(), 2, 2, 4, 2, 1);
  EXPECT_EQ(one, (Bytes{0, 99, 255, 98, 0, 97, 255, 96}));
  BMPInfo::OTSUThresholdCV(eight.data(), 4, 2, 4, 8, 1);
  EXPECT_EQ(eight, (Bytes{0, 255, 0, 255, 0, 255, 0, 255}));

  // Mode 2 takes the brightest byte: a pure red pixel is then white.
  Bytes red{0, 0, 255, 0, 0, 0};
  BMPInfo::OTSUThresholdCV(red.data(), 2, 1, 6, 3, 2);
  EXPECT_EQ(red, (Bytes{255, 255, 255, 0, 0, 0}));

  // Mode 3 and 4 on neutral grays behave like mode 1.
  for (int mode : {3, 4}) {
    Bytes gray{50, 50, 50, 200, 200, 200};
    BMPInfo::OTSUThresholdCV(gray.data(), 2, 1, 6, 3, mode);
    EXPECT_EQ(gray, (Bytes{0, 0, 0, 255, 255, 255})) << mode;
  }

  // Rows shorter than their pixels: left unchanged.
  Bytes bad = flatPage(3, 3, 100), before = bad;
  BMPInfo::OTSUThresholdCV(bad.data(), 3, 3, 4, 3, 1);
  EXPECT_EQ(bad, before);
}

TEST(Screen, ThresholdTable) {
  const int table[10][10] = {
      {127, 202, 248, 248, 202, 127, 52, 6, 6, 52},    {127, 188, 225, 225, 188, 127, 66, 29, 29, 66},
      {127, 150, 164, 164, 150, 127, 104, 90, 90, 104}, {127, 104, 90, 90, 104, 127, 150, 164, 164, 150},
      {127, 66, 29, 29, 66, 127, 188, 225, 225, 188},  {127, 52, 6, 6, 52, 127, 202, 248, 248, 202},
      {127, 66, 29, 29, 66, 127, 188, 225, 225, 188},  {127, 104, 90, 90, 104, 127, 150, 164, 164, 150},
      {127, 150, 164, 164, 150, 127, 104, 90, 90, 104}, {127, 188, 225, 225, 188, 127, 66, 29, 29, 66}};
  for (uint64_t y = 0; y < 10; ++y)
    for (uint64_t x = 0; x < 10; ++x)
      EXPECT_EQ(BMPInfo::CBMP_GetHalftoneThreshold(x, y, 10), table[y][x]) << x << "," << y;
  for (uint64_t p : {1, 3, 7, 1000})
    for (uint64_t y : {0, 1, 5, 123456}) EXPECT_EQ(BMPInfo::CBMP_GetHalftoneThreshold(0, y, p), 127);
  EXPECT_EQ(BMPInfo::CBMP_GetHalftoneThreshold(3, 4, 0), 127);  // no period: no screen

  // The screen prints a pixel when its darkest byte is below the threshold.
  BMPInfo r;
  Bytes page = flatPage(10, 10, 128);
  page[0] = 0;  // the blue byte of (0, 0) decides it
  describe(r, page, 10, 10, 3);
  r.CBMP_ImageCluster();
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      int m = x == 0 && y == 0 ? 0 : 128;
      EXPECT_EQ(page[(y * 10 + x) * 3 + 1], m < table[y][x] ? 0 : 255) << x << "," << y;
    }
}

TEST(FixedThreshold, DarkestByteAgainst129) {
  BMPInfo r;
  Bytes page{128, 200, 200, 129, 200, 129, 255, 0, 255};
  describe(r, page, 3, 1, 3);
  r.CBMP_ImageGrayNone();
  EXPECT_EQ(page, (Bytes{0, 0, 0, 255, 255, 255, 0, 0, 0}));
}

TEST(Negative, TwiceRestoresAndEmptyIsRefused) {
  std::mt19937 rng(3);
  Bytes page = randomBytes(rng, 7 * 5 * 4 + 5), before = page;
  BMPInfo r;
  describe(r, page, 7, 5, 4);
  ASSERT_EQ(r.CBMP_ImageNegative(), 1);
  for (size_t i = 0; i < page.size(); ++i) ASSERT_EQ(page[i], 255 - before[i]);  // tail too
  ASSERT_EQ(r.CBMP_ImageNegative(), 1);
  EXPECT_EQ(page, before);
  r.width = 0;
  EXPECT_EQ(r.CBMP_ImageNegative(), 0);
  BMPInfo none;
  EXPECT_EQ(none.CBMP_ImageNegative(), 0);
}

TEST(Accessors, OutsideIsIgnored) {
  BMPInfo r;
  EXPECT_EQ(r.CBMP_BlindGetPixelIndex(0, 0), 0);  // no gray copy
  r.CBMP_BlindSetPixelIndex(0, 0, 5);
  Bytes page = flatPage(4, 3, 60);
  describe(r, page, 4, 3, 3);
  ASSERT_EQ(r.CBMP_GrayScale(), 1);
  struct { int64_t x, y; bool inside; } points[] = {{-1, 0, false}, {4, 0, false}, {0, -1, false},
                                                     {0, 3, false},  {3, 2, true},  {0, 0, true}};
  for (auto p : points) {
    EXPECT_EQ(r.CBMP_IsInside(p.x, p.y), p.inside);
    r.CBMP_BlindSetPixelIndex(p.x, p.y, 9);
    EXPECT_EQ(r.CBMP_BlindGetPixelIndex(p.x, p.y), p.inside ? 9 : 0);
    r.CBMP_SetPixelIndex(p.x, p.y, 1);
  }
  EXPECT_EQ(page[(2 * 4 + 3) * 3 + 2], 1);
  EXPECT_EQ(page[3], 60);
  r.CBMP_ImageBayer();
  EXPECT_EQ(page[3], 60);
}
