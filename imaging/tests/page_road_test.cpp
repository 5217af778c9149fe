// The page road (page_road.cpp), held equal on random pages to the plain
// reference road built from the toolbox (toolbox/reference.cpp).
#include <gtest/gtest.h>

#include <algorithm>

#include "bmpinfo.h"
#include "imaging_util.h"
#include "test_page.h"

namespace {
struct Switches {
  int halfTone = 1, mirror = 0, reversePhase = 0;
};

// Describes the page to the record as the page writer does.
void prepare(BMPInfo &r, Bytes &page, int64_t w, int64_t h, Switches s) {
  settings_ set{};
  set.halfTone = s.halfTone;
  set.mirror = s.mirror;
  set.reversePhase = s.reversePhase;
  r.CBMP_SetOffsetUnits(7.992126f);
  r.CBMP_SetSettings(set);
  r.CBMP_SetBitCount(24);
  r.CBMP_SetBMPInfo(w, h, 3);
  r.CBMP_SetBMPSource(page.data(), static_cast<int64_t>(page.size()));
}

// A white page of 20 x h with a black line in row y.
Bytes lineInRow(int64_t h, int64_t y) {
  Bytes page = flatPage(20, h, 255);
  std::fill(page.begin() + y * 60, page.begin() + y * 60 + 60, 0);
  return page;
}

bool binary(const Bytes &page) {
  for (size_t i = 0; i < page.size(); i += 3)
    if ((page[i] != 0 && page[i] != 255) || page[i] != page[i + 1] || page[i] != page[i + 2]) return false;
  return true;
}
}  // namespace

TEST(Pipeline, BlankRowsOnTheDiffusionRoadOnly) {
  struct Case { int halfTone; Bytes page; int64_t want; unsigned char row39; } cases[] = {
      {1, lineInRow(100, 39), 40, 0},
      {1, flatPage(20, 100, 255), 100, 255},
      {0, lineInRow(100, 39), 100, 0},
  };
  for (auto &c : cases) {
    BMPInfo r;
    prepare(r, c.page, 20, 100, {c.halfTone, 0, 0});
    r.CBMP_UpImageInfo();
    EXPECT_EQ(r.CBMP_GetBlankHeightLast(), c.want) << c.halfTone;
    EXPECT_EQ(r.gamma, 1.2);
    EXPECT_TRUE(binary(c.page));
    EXPECT_EQ(c.page[39 * 60], c.row39);
    EXPECT_EQ(c.page[38 * 60], 255);
  }
}

TEST(Pipeline, NegativeEndsAtTheLastContentRow) {
  Bytes page = flatPage(20, 10, 255);
  std::fill(page.begin() + 2 * 60, page.begin() + 2 * 60 + 30, 0);  // text in row 2
  BMPInfo r;
  prepare(r, page, 20, 10, {1, 0, 1});
  r.CBMP_UpImageInfo();
  EXPECT_EQ(r.CBMP_GetBlankHeightLast(), 3);
  EXPECT_EQ(page[0], 0);             // white paper prints black
  EXPECT_EQ(page[2 * 60], 255);      // the text is white
  EXPECT_EQ(page[2 * 60 + 57], 0);
}

TEST(Pipeline, MirrorOnlyWhenAsked) {
  for (int mirror : {0, 1}) {
    Bytes page = flatPage(20, 4, 255);
    for (int y = 0; y < 4; ++y) std::fill(page.begin() + y * 60, page.begin() + y * 60 + 15, 0);
    BMPInfo r;
    prepare(r, page, 20, 4, {0, mirror, 0});
    r.CBMP_UpImageInfo();
    EXPECT_EQ(page[0], mirror ? 255 : 0);
    EXPECT_EQ(page[19 * 3], mirror ? 0 : 255);
  }
}

TEST(Pipeline, MidGrayAfterTheTone) {
  BMPInfo r;
  Bytes page = flatPage(6, 5, 128);
  describe(r, page, 6, 5, 3);
  r.CBMP_GammaCorrection(0);
  EXPECT_EQ(page, flatPage(6, 5, 111));
  ASSERT_EQ(r.CBMP_GrayScale(), 1);
  EXPECT_EQ(Bytes(r.grayBuffer, r.grayBuffer + 30), Bytes(30, 111));
}

TEST(Pipeline, TinyPageIsStillThresholded) {
  Bytes page{10, 10, 10, 240, 240, 240, 240, 240, 240, 10, 10, 10};
  BMPInfo r;
  prepare(r, page, 2, 2, {0, 0, 0});
  r.CBMP_UpImageInfo();
  EXPECT_EQ(page, (Bytes{0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0}));
  EXPECT_EQ(r.CBMP_GetBlankHeightLast(), 2);
}

TEST(Pipeline, GeometryThatDoesNotFitLeavesThePageAlone) {
  struct Case { int64_t w, h, bpp, line, size; } cases[] = {
      {4, 4, 3, 12, 47}, {4, 4, 3, 16, 48}, {4, 4, 1, 4, 16},  {4, 4, 5, 20, 80},
      {0, 4, 3, 0, 48},  {-4, -4, 3, 12, 48}, {INT64_MAX / 3 + 1, 1, 3, 3, 48},
  };
  for (const auto &c : cases)
    for (int halfTone : {0, 1}) {
      Bytes page(static_cast<size_t>(c.size), 100), before = page;
      BMPInfo r;
      prepare(r, page, 1, 1, {halfTone, 1, 1});
      describe(r, page, c.w, c.h, c.bpp, c.line);
      r.blankHeightLast = 4;
      r.CBMP_UpImageInfo();
      EXPECT_EQ(page, before) << c.w << "x" << c.h << " bpp " << c.bpp;
      EXPECT_EQ(r.blankHeightLast, 4);
    }
  BMPInfo none;
  none.CBMP_UpImageInfo();  // no page at all
}

TEST(Pipeline, RowWindowsEqualThePlainRoad) {
  std::mt19937 rng(1234);
  struct Shape { int64_t w, h, bpp, pad, tail; } shapes[] = {
      {1, 1, 3, 0, 0}, {2, 5, 3, 0, 0}, {5, 2, 3, 0, 0}, {3, 3, 3, 0, 0},
      {37, 23, 3, 0, 0}, {64, 40, 4, 0, 0}, {19, 31, 3, 5, 11}, {12, 9, 4, 3, 2}};
  int pages = 0;
  for (const auto &s : shapes)
    for (int mode : {0, 1})
      for (int mirror : {0, 1})
        for (int negative : {0, 1})
          for (int blankTail : {0, 1}) {
            int64_t line = s.w * s.bpp + s.pad;
            Bytes a = randomBytes(rng, static_cast<size_t>(line * s.h + s.tail));
            if (blankTail) std::fill(a.begin() + line * (s.h * 2 / 3), a.begin() + line * s.h, 255);
            Bytes b = a;
            BMPInfo fast, plain;
            describe(fast, a, s.w, s.h, s.bpp, line);
            describe(plain, b, s.w, s.h, s.bpp, line);
            for (BMPInfo *r : {&fast, &plain}) {
              r->deviceData.thresholdMode = static_cast<uint64_t>(mode);
              r->deviceData.mirrorPage = mirror;
              r->deviceData.negativePage = negative;
            }
            fast.CBMP_UpImageInfo();
            reference::UpImageInfo(plain);
            ASSERT_EQ(a, b) << s.w << "x" << s.h << " bpp " << s.bpp << " mode " << mode
                            << " mirror " << mirror << " negative " << negative;
            ASSERT_EQ(fast.blankHeightLast, plain.blankHeightLast);
            ++pages;
          }
  EXPECT_EQ(pages, 128);
}

namespace {
// The print head's packing of a prepared page: dot 8k + i at bit 7 - i,
// white (1) when the pixel's first byte reaches 129, pad bits white.
Bytes packed(const Bytes &page, int64_t w, int64_t h, int64_t bpp, int64_t bytesPerRow) {
  Bytes bits(static_cast<size_t>(h * bytesPerRow), 0xFF);
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x)
      if (page[static_cast<size_t>((y * w + x) * bpp)] < 129)
        bits[static_cast<size_t>(y * bytesPerRow + x / 8)] &= static_cast<unsigned char>(~(0x80u >> (x % 8)));
  return bits;
}

struct PackCase {
  int64_t w, h, bpp;
  int mode, mirror, negative;
  float offsetX = 0;
};

// Runs the page writer's entry on `raster` (raster RGB order) and, on a copy,
// the red/blue swap, the in-place road and the packing; both must agree.
void expectPackedEqualsInPlace(const Bytes &raster, const PackCase &c, int64_t bytesPerRow) {
  Bytes a = raster, b = raster;
  BMPInfo fast, plain;
  for (BMPInfo *r : {&fast, &plain}) {
    r->CBMP_SetOffsetUnits(8.0f);
    r->CBMP_SetBMPInfo(c.w, c.h, c.bpp);
    r->deviceData.thresholdMode = static_cast<uint64_t>(c.mode);
    r->deviceData.mirrorPage = c.mirror;
    r->deviceData.negativePage = c.negative;
    r->deviceData.deviceOffsetX = c.offsetX;
  }
  Bytes bits(static_cast<size_t>(c.h * bytesPerRow), 0x5A);
  ASSERT_TRUE(fast.CBMP_PackPage(a.data(), static_cast<int64_t>(a.size()), bits.data(), bytesPerRow));
  plain.CBMP_SetBMPSource(b.data(), static_cast<int64_t>(b.size()));
  plain.CBMP_UpImageInfo();
  ASSERT_EQ(bits, packed(b, c.w, c.h, c.bpp, bytesPerRow))
      << c.w << "x" << c.h << " bpp " << c.bpp << " mode " << c.mode << " mirror " << c.mirror
      << " negative " << c.negative << " offset " << c.offsetX;
  ASSERT_EQ(fast.blankHeightLast, plain.blankHeightLast);
  EXPECT_EQ(fast.gamma, 1.2);
  if (c.bpp != 3 || c.offsetX != 0) return;
  // The row entry, fed one row at a time from a copy that is then
  // spoilt, must pack the same page, with the threshold road's gray page
  // apart and in the packed page's buffer.
  for (size_t room : {bits.size(), std::max(bits.size(), static_cast<size_t>(c.w * c.h))}) {
    BMPInfo rows;
    rows.CBMP_SetOffsetUnits(8.0f);
    rows.CBMP_SetBMPInfo(c.w, c.h, 3);
    rows.deviceData = fast.deviceData;
    Bytes streamed(room, 0x5A), row(static_cast<size_t>(c.w * 3));
    ASSERT_TRUE(rows.CBMP_StartRows(streamed.data(), bytesPerRow, static_cast<int64_t>(room)));
    for (int64_t y = 0; y < c.h; ++y) {
      std::copy_n(raster.begin() + y * c.w * 3, row.size(), row.begin());
      rows.CBMP_PutRow(row.data());
      std::fill(row.begin(), row.end(), 7);
    }
    ASSERT_TRUE(rows.CBMP_FinishRows());
    streamed.resize(bits.size());
    ASSERT_EQ(streamed, bits) << "rows " << c.w << "x" << c.h << " mode " << c.mode << " room " << room;
    ASSERT_EQ(rows.blankHeightLast, fast.blankHeightLast);
  }
}
}  // namespace

// The page writer's entry skips the red/blue swap and the colour write-back;
// on random pages of every width class of the packing (below, at and
// past 8 and 16 dots) it must print what the red/blue swap plus the in-place
// road print.
TEST(Pipeline, PackedPageEqualsTheExchangedInPlaceRoad) {
  std::mt19937 rng(99);
  const int64_t shapes[][3] = {{1, 1, 3}, {2, 5, 3},  {7, 4, 3},   {8, 3, 3},  {9, 9, 3},
                               {16, 6, 3}, {17, 11, 3}, {33, 20, 3}, {100, 31, 3}, {21, 13, 4}};
  int pages = 0;
  for (const auto &s : shapes)
    for (int mode : {0, 1})
      for (int mirror : {0, 1})
        for (int negative : {0, 1})
          for (int blankTail : {0, 1}) {
            Bytes raster = randomBytes(rng, static_cast<size_t>(s[0] * s[1] * s[2]));
            if (blankTail)
              std::fill(raster.begin() + s[0] * s[2] * (s[1] / 2), raster.end(), 255);
            expectPackedEqualsInPlace(raster, {s[0], s[1], s[2], mode, mirror, negative},
                                      (s[0] + 7) / 8);
            ++pages;
          }
  EXPECT_EQ(pages, 160);
}

// A wide page of white paper with black and gray strokes: long quiet runs
// for the diffusion to skip and equal runs for the histogram.
TEST(Pipeline, PackedPageOfStrokesOnWhitePaper) {
  const int64_t w = 203, h = 40;
  Bytes raster(static_cast<size_t>(w * h * 3), 255);
  for (int64_t y = 5; y < 30; ++y)
    for (int64_t x = 0; x < w; ++x) {
      unsigned char *p = &raster[static_cast<size_t>((y * w + x) * 3)];
      if (x % 37 < 6) p[0] = p[1] = p[2] = 0;
      if (x % 53 > 40) p[0] = static_cast<unsigned char>(x), p[2] = static_cast<unsigned char>(y * 6);
    }
  for (int mode : {0, 1})
    for (int negative : {0, 1}) expectPackedEqualsInPlace(raster, {w, h, 3, mode, 1, negative}, 26);
}

// Wider rows than the page are padded white; an offset shift, which the
// packed road does not do itself, still gives the in-place result.
TEST(Pipeline, PackedPagePaddingAndOffset) {
  std::mt19937 rng(7);
  Bytes raster = randomBytes(rng, 13 * 9 * 3);
  for (int mode : {0, 1}) {
    expectPackedEqualsInPlace(raster, {13, 9, 3, mode, 0, 1}, 4);
    expectPackedEqualsInPlace(raster, {13, 9, 3, mode, 1, 0, 0.5f}, 2);
  }
}

TEST(Pipeline, PackedPageRefusesWhatItCannotWrite) {
  Bytes page = flatPage(10, 4, 200), bits(8, 0x5A);
  BMPInfo r;
  r.CBMP_SetBMPInfo(10, 4, 3);
  EXPECT_FALSE(r.CBMP_PackPage(page.data(), 119, bits.data(), 2));      // short page
  EXPECT_FALSE(r.CBMP_PackPage(page.data(), 120, bits.data(), 1));      // narrow rows
  EXPECT_FALSE(r.CBMP_PackPage(page.data(), 120, nullptr, 2));          // nowhere to write
  EXPECT_EQ(bits, Bytes(8, 0x5A));
  EXPECT_EQ(page, flatPage(10, 4, 200));
  EXPECT_FALSE(r.CBMP_StartRows(bits.data(), 1, 8));                   // narrow rows
  EXPECT_FALSE(r.CBMP_StartRows(bits.data(), 2, 7));                   // short buffer
  r.deviceData.deviceOffsetX = 1;                                         // a shift
  EXPECT_FALSE(r.CBMP_StartRows(bits.data(), 2, 8));
  r.deviceData.deviceOffsetX = 0;
  for (uint64_t mode : {0u, 1u}) {  // a page cut short is refused
    r.deviceData.thresholdMode = mode;
    ASSERT_TRUE(r.CBMP_StartRows(bits.data(), 2, 8));
    r.CBMP_PutRow(page.data());
    EXPECT_FALSE(r.CBMP_FinishRows());
  }
}

// The gray value is toned through one lookup of the darkest byte; that
// equals the darkest toned byte only while the tone table never falls.
TEST(Pipeline, ToneTableNeverFalls) {
  uint8_t lut[256];
  imaging_util::buildGammaTable(1.2, lut);
  for (int i = 1; i < 256; ++i) ASSERT_LE(lut[i - 1], lut[i]) << i;
  EXPECT_EQ(lut[0], 0);
  EXPECT_EQ(lut[255], 255);
}

// A page large enough for the pair tone table and the blank-row shortcut
// (text lines on blank paper, a solid black rule, a photo-like band):
// packed, in place and the plain road all agree.
TEST(Pipeline, LargePageWithBlankRowsOnEveryRoad) {
  const int64_t w = 304, h = 240;
  std::mt19937 rng(5);
  Bytes raster(static_cast<size_t>(w * h * 3), 255);
  std::fill(raster.begin() + w * 150 * 3, raster.begin() + w * 160 * 3, 0);  // solid black rule
  for (int64_t line = 20; line + 12 < 150; line += 30)
    for (int64_t y = line; y < line + 12; ++y)
      for (int64_t x = 10; x < w - 10; ++x)
        if ((x / 3 + y) % 5 < 2) std::fill_n(&raster[static_cast<size_t>((y * w + x) * 3)], 3, 0);
  Bytes band = randomBytes(rng, static_cast<size_t>(w * 40 * 3));
  std::copy(band.begin(), band.end(), raster.begin() + w * 170 * 3);
  for (int mode : {0, 1})
    for (int mirror : {0, 1}) {
      expectPackedEqualsInPlace(raster, {w, h, 3, mode, mirror, 1 - mirror}, (w + 7) / 8);
      Bytes a = raster, b = raster;
      BMPInfo fast, plain;
      describe(fast, a, w, h, 3);
      describe(plain, b, w, h, 3);
      for (BMPInfo *r : {&fast, &plain}) {
        r->deviceData.thresholdMode = static_cast<uint64_t>(mode);
        r->deviceData.mirrorPage = mirror;
      }
      fast.CBMP_UpImageInfo();
      reference::UpImageInfo(plain);
      ASSERT_EQ(a, b) << "mode " << mode << " mirror " << mirror;
      EXPECT_EQ(fast.blankHeightLast, plain.blankHeightLast);
    }
}

// Neutral pages (three equal colour bytes, as black text and gray pictures
// arrive) take a one-byte-a-pixel shortcut on the packed road; mixed with
// coloured and blank rows, small and large, it must print the same.
TEST(Pipeline, NeutralRowsAmongColouredRows) {
  std::mt19937 rng(11);
  const int64_t shapes[][2] = {{3, 3}, {15, 7}, {16, 9}, {37, 20}, {300, 230}};
  for (const auto &s : shapes) {
    const int64_t w = s[0], h = s[1];
    Bytes values = randomBytes(rng, static_cast<size_t>(w * h)), raster(static_cast<size_t>(w * h * 3));
    for (size_t i = 0; i < values.size(); ++i) std::fill_n(&raster[3 * i], 3, values[i]);
    for (int64_t y = 0; y < h; ++y) {
      unsigned char *row = &raster[static_cast<size_t>(y * w * 3)];
      if (y % 7 == 3) row[3 * (y % w) + 1] ^= 0x40;                        // one coloured pixel
      if (y % 11 >= 8) std::fill_n(row, static_cast<size_t>(w * 3), 255);  // blank rows
    }
    for (int mode : {0, 1})
      for (int mirror : {0, 1})
        expectPackedEqualsInPlace(raster, {w, h, 3, mode, mirror, mirror}, (w + 7) / 8);
  }
}
