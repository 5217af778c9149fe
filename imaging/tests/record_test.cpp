// The record, its setters and clamps, and the C interface.
#include <gtest/gtest.h>

#include "bmpinfo.h"
#include "test_page.h"

extern "C" int quillet_c_caller_run(int64_t *blankRows, unsigned char *firstByte);

TEST(Record, SourceSwapsRedAndBlueOfWholeGroupsOnly) {
  BMPInfo r;
  Bytes six{1, 2, 3, 4, 5, 6};
  r.CBMP_SetBMPSource(six.data(), 6);
  EXPECT_EQ(six, (Bytes{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(r.pixels, six.data());
  EXPECT_EQ(r.imageSize, 6);

  // A trailing incomplete group stays as it is; the guard byte is never hit.
  Bytes eight{1, 2, 3, 4, 5, 6, 7, 9};
  r.CBMP_SetBMPSource(eight.data(), 7);
  EXPECT_EQ(eight, (Bytes{3, 2, 1, 6, 5, 4, 7, 9}));

  Bytes none{1, 2, 3};
  r.CBMP_SetBMPSource(none.data(), 0);
  r.CBMP_SetBMPSource(none.data(), -3);
  EXPECT_EQ(none, (Bytes{1, 2, 3}));
}

TEST(Record, SettingsAndGeometry) {
  BMPInfo r;
  settings_ s{};
  s.halfTone = 1;
  s.mirror = 1;
  s.reversePhase = 1;
  r.CBMP_SetSettings(s);
  EXPECT_EQ(r.deviceData.thresholdMode, 0u);
  EXPECT_EQ(r.deviceData.mirrorPage, 1);
  EXPECT_EQ(r.deviceData.negativePage, 1);
  s.halfTone = 0;
  r.CBMP_SetSettings(s);
  EXPECT_EQ(r.deviceData.thresholdMode, 1u);

  r.CBMP_SetBMPInfo(100, 50, 3);
  EXPECT_EQ(r.CBMP_GetBlankHeightLast(), 50);
  EXPECT_EQ(r.lineBytes, 300);
}

TEST(Record, ResetAndClearReleaseTheGrayCopy) {
  BMPInfo r;
  Bytes page = flatPage(4, 4, 0);
  describe(r, page, 4, 4, 3);
  r.gamma = 2.0;
  r.doMirror = 0;
  ASSERT_EQ(r.CBMP_GrayScale(), 1);
  r.CBMP_CBMPInfo();  // the sanitizer build reports a leak if it drops the copy
  EXPECT_EQ(r.grayBuffer, nullptr);
  EXPECT_EQ(r.pixels, nullptr);
  EXPECT_EQ(r.gamma, 1.0);
  EXPECT_EQ(r.doMirror, 1);
  EXPECT_EQ(r.offsetUnits, 8.0f);

  describe(r, page, 4, 4, 3);
  ASSERT_EQ(r.CBMP_GrayScale(), 1);
  r.CBMP_ClearCBMPInfo();
  EXPECT_EQ(r.grayBuffer, nullptr);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.height, 0);

  // Destroyed with a gray copy still held: no leak either.
  BMPInfo *h = CBMP_Create();
  describe(*h, page, 4, 4, 3);
  ASSERT_EQ(h->CBMP_GrayScale(), 1);
  CBMP_destroy(h);
}

TEST(Record, Clamps) {
  struct Case { int32_t v, want; } manual[] = {{-5, 0}, {0, 0}, {128, 128}, {255, 255}, {300, 255}};
  for (auto c : manual) EXPECT_EQ(BMPInfo::ManualClamp(c.v), c.want) << c.v;
  struct My { int32_t v, lo, hi; uint8_t want; } my[] = {
      {20, 0, 15, 15}, {-1, 0, 15, 0}, {7, 0, 15, 7}, {15, 0, 15, 15}, {3, 5, 15, 5}};
  for (auto c : my) EXPECT_EQ(BMPInfo::myclamp(c.v, c.lo, c.hi), c.want) << c.v;
}

TEST(CInterface, NullHandleDoesNothing) {
  OEMDEV dev{};
  settings_ s{};
  unsigned char buf[12] = {1, 2, 3};
  uint64_t size = 7;
  int64_t w = 7, h = 7;
  CBMP_destroy(nullptr);
  CBMP_SetBMPInfo(nullptr, 1, 1, 3);
  CBMP_SetBMPSource(nullptr, buf, 3);
  CBMP_SetBitCount(nullptr, 24);
  CBMP_SetPrivateData(nullptr, dev);
  CBMP_SetSettings(nullptr, s);
  CBMP_SetDoOffset(nullptr, 1);
  CBMP_SetDoMirror(nullptr, 1);
  CBMP_SetOffsetUnits(nullptr, 1.0f);
  CBMP_UpImageInfo(nullptr);
  EXPECT_EQ(CBMP_GetBlankHeightLast(nullptr), 0);
  CBMP_ClearCBMPInfo(nullptr);
  CBMP_FreeGrayBuffer(nullptr);
  CBMP_FreeMirrorBuffer(nullptr);
  CBMP_DoOffset(nullptr);
  EXPECT_EQ(CBMP_Rotate90Degrees(nullptr, buf, 12, 2, 2, &size, &w, &h, 90), nullptr);
  EXPECT_EQ(CBMP_Rotate_24bit(nullptr, buf, 12, 2, 2, &size, &w, &h, 1), nullptr);
  EXPECT_EQ(CBMP_Scale_24bit(nullptr, buf, 12, 2, 2, 0.5f), nullptr);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 7);
  EXPECT_EQ(buf[0], 1);  // the source was not swapped
}

TEST(CInterface, UsableFromC) {
  int64_t blank = 0;
  unsigned char first = 99;
  ASSERT_EQ(quillet_c_caller_run(&blank, &first), 1);
  EXPECT_EQ(blank, 3);  // rows 0 and 1 are never trimmed
  EXPECT_EQ(first, 0);  // the dark top row prints
}

TEST(CInterface, CreateGivesTheDefaults) {
  BMPInfo *h = CBMP_Create();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->targetBrightness, 128);
  EXPECT_EQ(h->gamma, 1.0);
  EXPECT_EQ(h->doOffset, 1);
  EXPECT_EQ(h->doMirror, 1);
  EXPECT_EQ(h->offsetUnits, 8.0f);
  EXPECT_EQ(h->deviceData.deviceOffsetX, 0.0f);
  EXPECT_EQ(h->deviceData.thresholdMode, 0u);
  EXPECT_EQ(h->deviceData.mirrorPage, 0);
  EXPECT_EQ(h->deviceData.negativePage, 0);
  CBMP_destroy(h);
}
