// Gray conversion, blank-row search and the tone adjustments.
#include <gtest/gtest.h>

#include "bmpinfo.h"
#include "test_page.h"

namespace {
// A one-row page whose pixel i has all three bytes i.
Bytes rampPage() {
  Bytes b(256 * 3);
  for (int i = 0; i < 256; ++i) b[i * 3] = b[i * 3 + 1] = b[i * 3 + 2] = static_cast<unsigned char>(i);
  return b;
}

// A white page of 10 x h with one black pixel in row y (none when y < 0).
Bytes pageWithDotInRow(int64_t h, int64_t y) {
  Bytes b = flatPage(10, h, 255);
  if (y >= 0) b[static_cast<size_t>((y * 10 + 4) * 3 + 1)] = 0;
  return b;
}
}  // namespace

TEST(Gamma, TableEntriesOfTheExponentOnePointTwo) {
  for (int level : {0, -5}) {
    BMPInfo r;
    Bytes page = rampPage();
    describe(r, page, 256, 1, 3);
    ASSERT_EQ(r.CBMP_GammaCorrection(level), 1);
    EXPECT_EQ(r.gamma, 1.2);
    struct { int in, out; } table[] = {{0, 0},     {1, 0},     {2, 0},     {16, 9},    {32, 21},
                                       {64, 48},   {100, 82},  {128, 111}, {129, 112}, {192, 181},
                                       {200, 190}, {250, 249}, {254, 253}, {255, 255}};
    for (auto e : table) {
      EXPECT_EQ(page[e.in * 3], e.out) << e.in;
      EXPECT_EQ(page[e.in * 3 + 2], e.out) << e.in;
    }
  }
}

TEST(Gamma, LevelsAboveZero) {
  BMPInfo r;
  Bytes page = rampPage(), before = page;
  describe(r, page, 256, 1, 3);
  EXPECT_EQ(r.CBMP_GammaCorrection(101), 1);
  EXPECT_EQ(page, before);
  EXPECT_EQ(r.gamma, 1.0);
  r.CBMP_GammaCorrection(50);
  EXPECT_EQ(r.gamma, 0.5);
  EXPECT_EQ(page[64 * 3], 127);  // sqrt(64 / 255) x 255 = 127.75
  r.CBMP_GammaCorrection(100);
  EXPECT_EQ(page, Bytes(page.size(), 255));  // exponent 0: every byte, 0 too

  BMPInfo empty;
  EXPECT_EQ(empty.CBMP_GammaCorrection(0), 0);
}

TEST(GrayScale, BlankRowSearch) {
  struct Case { int64_t height, dotRow, start, want; } cases[] = {
      {100, 39, 100, 40},  // content ends in row 39
      {100, -1, 100, 100}, // all white: kept
      {100, -1, 60, 60},   // all white: the value it had, whatever it is
      {100, 1, 100, 100},  // rows 0 and 1 are never examined
      {100, 99, 100, 100},
      {100, 2, 100, 3},
      {2, 1, 2, 2},        // one or two rows are never trimmed
      {1, 0, 1, 1},
      {10, -1, 0, 1},      // brought into 1 ... height
      {10, -1, 50, 10},
  };
  for (const auto &c : cases) {
    BMPInfo r;
    Bytes page = pageWithDotInRow(c.height, c.dotRow);
    describe(r, page, 10, c.height, 3);
    r.blankHeightLast = c.start;
    ASSERT_EQ(r.CBMP_GrayScale(), 1);
    EXPECT_EQ(r.blankHeightLast, c.want) << c.height << " " << c.dotRow;
    EXPECT_EQ(r.graySize, 10 * c.height);
  }
}

TEST(GrayScale, DarkestChannelDecides) {
  BMPInfo r;
  Bytes page{0, 0, 255, 255, 0, 255, 200, 100, 150, 7, 7, 7};
  describe(r, page, 4, 1, 3);
  ASSERT_EQ(r.CBMP_GrayScale(), 1);
  EXPECT_EQ(Bytes(r.grayBuffer, r.grayBuffer + 4), (Bytes{0, 0, 100, 7}));
}

TEST(GrayValue, Modes) {
  for (int mode : {0, 1, 2, 3, 4, 9}) EXPECT_EQ(BMPInfo::GetGrayValue(255, 255, 255, mode), 255) << mode;
  EXPECT_EQ(BMPInfo::GetGrayValue(255, 0, 0, 4), 146);
  EXPECT_EQ(BMPInfo::GetGrayValue(0, 255, 0, 4), 206);
  EXPECT_EQ(BMPInfo::GetGrayValue(0, 0, 255, 4), 78);
  for (int v : {0, 1, 77, 128, 254}) EXPECT_EQ(BMPInfo::GetGrayValue(v, v, v, 4), v) << v;
  EXPECT_EQ(BMPInfo::GetGrayValue(10, 20, 30, 1), 10);
  EXPECT_EQ(BMPInfo::GetGrayValue(10, 20, 30, 2), 30);
  EXPECT_EQ(BMPInfo::GetGrayValue(10, 20, 31, 3), 20);
  EXPECT_EQ(BMPInfo::GetGrayValue(100, 0, 0, 0), (306 * 100) >> 10);
  // Arguments beyond a byte must not overflow.
  BMPInfo::GetGrayValue(INT32_MAX, INT32_MAX, INT32_MAX, 0);
  BMPInfo::GetGrayValue(-5, 0, 0, 4);
}

TEST(Brightness, TargetMeanAndPerChannel) {
  BMPInfo r;
  Bytes page = flatPage(5, 4, 100);
  describe(r, page, 5, 4, 3);
  ASSERT_EQ(r.CBMP_AdjustBrightness(), 1);
  EXPECT_EQ(page, flatPage(5, 4, 128));

  // Near white stays white; anything else moves by level / 200 of the mean.
  Bytes two{250, 250, 250, 249, 250, 250};
  BMPInfo s;
  describe(s, two, 2, 1, 3);
  s.CBMP_AdjustBrightnessByRGB(-100);
  EXPECT_EQ(two[0], 250);
  EXPECT_EQ(two[3], 249 - 124);  // 0.5 x mean 249
  EXPECT_EQ(two[4], 250 - 125);

  // Dark pixels move by 3 x, darkish by 2.5 x the factor.
  Bytes dark{9, 9, 9, 19, 19, 19, 200, 200, 200, 4, 4, 4};
  BMPInfo d;
  describe(d, dark, 4, 1, 3);
  d.CBMP_AdjustBrightnessByRGB(20);  // k = 0.1, mean 58
  EXPECT_EQ(dark[0], 9 + 17);
  EXPECT_EQ(dark[3], 19 + 14);
  EXPECT_EQ(dark[6], 200 + 5);
}

TEST(Contrast, Levels) {
  BMPInfo r;
  Bytes page = rampPage();
  describe(r, page, 256, 1, 3);
  r.CBMP_AdjustContrastByRGB(-100);
  EXPECT_EQ(page, Bytes(page.size(), 127));
  page = rampPage();
  describe(r, page, 256, 1, 3);
  r.CBMP_AdjustContrastByRGB(0);
  EXPECT_EQ(page[1 * 3], 0);
  EXPECT_EQ(page[2 * 3], 1);
  EXPECT_EQ(page[5 * 3], 4);
  EXPECT_EQ(page[255 * 3], 255);
  page = rampPage();
  describe(r, page, 256, 1, 3);
  r.CBMP_AdjustContrastByRGB(100);  // x4 around the middle, clamped
  EXPECT_EQ(page[0], 0);
  EXPECT_EQ(page[255 * 3], 255);
}

TEST(LimitAverageBrightness, ScalesOnlyTheDarkerPixelsOfEachRow) {
  // Row 0: grays 40, 80 and 250 under a limit of 180: the dark pair has
  // mean 60 and is scaled by about 3.  Row 1: nothing at or below the limit.
  Bytes page{40, 40, 40, 80, 80, 80, 250, 250, 250, 200, 200, 200, 220, 220, 220, 230, 230, 230};
  limitAverageBrightness(page.data(), 3, 2, 24, 9, 180.0);
  EXPECT_NEAR(page[0], 120, 1);
  EXPECT_NEAR(page[3], 240, 1);
  EXPECT_EQ(page[6], 250);
  EXPECT_EQ(Bytes(page.begin() + 9, page.end()), (Bytes{200, 200, 200, 220, 220, 220, 230, 230, 230}));

  // One byte per pixel would read the colour bytes of the next pixel.
  Bytes narrow{40, 80, 250};
  limitAverageBrightness(narrow.data(), 3, 1, 8, 3, 180.0);
  EXPECT_EQ(narrow, (Bytes{40, 80, 250}));
}

TEST(TileTables, InterpolationBetweenTileCentres) {
  unsigned char zero[256] = {}, high[256];
  for (auto &b : high) b = 200;
  unsigned char *tables[2] = {zero, high};
  BMPInfo r;
  Bytes src(4, 50), dst(4, 9);
  r.applyLUTsWithInterpolation(src.data(), dst.data());  // no tiles: nothing
  EXPECT_EQ(dst, Bytes(4, 9));
  r.tileGridWidth = 4;
  r.tileGridHeight = 1;
  r.tileColumns = 2;
  r.tileRows = 1;
  r.tileWidth = 2;
  r.tileHeight = 1;
  r.tileTables = tables;
  r.applyLUTsWithInterpolation(src.data(), dst.data());
  // Centres at x = 1 and 3; left of the first centre the blend would go
  // below 0 and is kept a byte.
  EXPECT_EQ(dst, (Bytes{0, 0, 100, 200}));
}

TEST(LocalEqualisation, StretchesEachNeighbourhood) {
  BMPInfo r;
  Bytes page = flatPage(3, 3, 200);
  describe(r, page, 3, 3, 3);
  ASSERT_EQ(r.CBMP_LocalHistogramEqualization(), 1);
  EXPECT_EQ(page, flatPage(3, 3, 200));  // flat: nothing to stretch
  page[4 * 3] = page[4 * 3 + 1] = page[4 * 3 + 2] = 0;
  ASSERT_EQ(r.CBMP_LocalHistogramEqualization(), 1);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(page[i * 3], i == 4 ? 0 : 255) << i;
}

TEST(ToneBounds, LayoutsThatDoNotFitAreLeftAlone) {
  struct Case { int64_t w, h, bpp, line, size; } cases[] = {
      {4, 4, 3, 12, 47},     // one byte short
      {4, 4, 3, 20, 48},     // rows longer than the buffer
      {4, 4, 3, 6, 48},      // rows shorter than their pixels
      {4, 4, 1, 4, 16},      // colour bytes would run past a one-byte pixel
      {INT64_MAX / 2, 4, 3, 12, 48},
  };
  for (const auto &c : cases) {
    Bytes page(static_cast<size_t>(c.size), 100), before = page;
    BMPInfo r;
    describe(r, page, c.w, c.h, c.bpp, c.line);
    EXPECT_EQ(r.CBMP_GammaCorrection(0), 0);
    EXPECT_EQ(r.CBMP_GrayScale(), 0);
    EXPECT_EQ(r.CBMP_AdjustBrightness(), 0);
    r.CBMP_AdjustBrightnessByRGB(50);
    r.CBMP_AdjustContrastByRGB(50);
    EXPECT_EQ(r.CBMP_LocalHistogramEqualization(), 0);
    EXPECT_EQ(page, before) << c.w << "x" << c.h;
  }
}
