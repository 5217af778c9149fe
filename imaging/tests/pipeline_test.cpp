// The page preparation road, and the row-window pipeline held equal to
// the plain whole-page one on random pages.
#include <gtest/gtest.h>

#include "bmpinfo.h"
#include "test_page.h"

namespace {
struct Switches {
  int halfTone = 1, mirror = 0, reversePhase = 0;
};

// Describes the page to the record as the page encoder does.
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
