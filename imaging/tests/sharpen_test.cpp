// Laplacian sharpening and the high-pass filters.
#include <gtest/gtest.h>

#include "bmpinfo.h"
#include "test_page.h"

TEST(LaplacianSharpen, KernelOnEveryByteFromAnUnchangedCopy) {
  // One-byte pixels: the centre 100 with neighbours 50, 60, 70, 80 gives
  // 500 - 260; the corners and edges keep their values.
  Bytes img{1, 50, 2, 60, 100, 70, 3, 80, 4};
  LaplacianSharpen(img.data(), 3, 3, 3, 1);
  EXPECT_EQ(img, (Bytes{1, 50, 2, 60, 240, 70, 3, 80, 4}));

  // Neighbours come from the copy: on a 4 x 3 row of two interior pixels
  // the second one sees the first one's old value.
  Bytes row{0, 0, 0, 0, 0, 10, 20, 0, 0, 0, 0, 0};
  LaplacianSharpen(row.data(), 4, 3, 4, 1);
  EXPECT_EQ(row[5], 50 - 20);
  EXPECT_EQ(row[6], 100 - 10);

  // Clamping: a black dot on white stays black, its neighbours stay white;
  // a white dot on black stays white and its neighbours stay black.
  Bytes dot = flatPage(5, 5, 255);
  dot[(2 * 5 + 2) * 3] = 0;
  Bytes want = dot;
  LaplacianSharpen(dot.data(), 5, 5, 15, 3);
  EXPECT_EQ(dot, want);
  Bytes light = flatPage(5, 5, 0);
  light[(2 * 5 + 2) * 3 + 1] = 255;
  want = light;
  LaplacianSharpen(light.data(), 5, 5, 15, 3);
  EXPECT_EQ(light, want);
}

TEST(LaplacianSharpen, ShapesLeftAlone) {
  Bytes flat = flatPage(6, 5, 77, 4), want = flat;
  LaplacianSharpen(flat.data(), 6, 5, 24, 4);  // uniform: 5v - 4v = v
  EXPECT_EQ(flat, want);

  Bytes two = flatPage(5, 2, 0);
  two[7] = 200;
  want = two;
  LaplacianSharpen(two.data(), 5, 2, 15, 3);  // two rows: no interior
  EXPECT_EQ(two, want);

  // Rows declared shorter than their pixels would run past the copy.
  Bytes bad = flatPage(3, 3, 9);
  bad[13] = 200;
  want = bad;
  LaplacianSharpen(bad.data(), 3, 3, 4, 3);
  EXPECT_EQ(bad, want);
}

TEST(LaplacianSharpen, FourthByteIsSharpenedToo) {
  Bytes img = flatPage(3, 3, 10, 4);
  img[(1 * 3 + 1) * 4 + 3] = 50;
  LaplacianSharpen(img.data(), 3, 3, 12, 4);
  EXPECT_EQ(img[(1 * 3 + 1) * 4 + 3], 250 - 40);
  EXPECT_EQ(img[(1 * 3 + 1) * 4 + 0], 10);
}

TEST(SharpenLaplacian, OneChannelBorderBecomesWhite) {
  Bytes img{1, 50, 2, 60, 100, 70, 3, 80, 4};
  CBMP_SharpenLaplacian(img.data(), 3, 3);
  EXPECT_EQ(img, (Bytes{255, 255, 255, 255, 240, 255, 255, 255, 255}));
  Bytes small{0, 0, 0, 0};
  CBMP_SharpenLaplacian(small.data(), 2, 2);
  EXPECT_EQ(small, Bytes(4, 255));
  Bytes untouched{5};
  CBMP_SharpenLaplacian(untouched.data(), -1, 3);
  CBMP_SharpenLaplacian(untouched.data(), 65536, -65536);
  EXPECT_EQ(untouched, Bytes{5});
}

TEST(Sharpen, AddressAndCheck) {
  Bytes img(100);
  EXPECT_EQ(GetPixelAddress(img.data(), 2, 3, 20, 3), img.data() + 66);
  EXPECT_EQ(GetPixelAddress(nullptr, 2, 3, 20, 3), nullptr);
  BMPInfo r;
  EXPECT_EQ(r.CBMP_Sharpen(), 0);
  describe(r, img, 5, 5, 3);
  EXPECT_EQ(r.CBMP_Sharpen(), 1);
}

TEST(HighPass, EdgeImageOnTheFirstByte) {
  BMPInfo r;
  Bytes img = flatPage(3, 3, 10);
  img[(1 * 3 + 1) * 3] = 60;
  img[(1 * 3 + 1) * 3 + 1] = 60;
  describe(r, img, 3, 3, 3);
  ASSERT_EQ(r.CBMP_HighPassFilter(), 1);
  EXPECT_EQ(img[(1 * 3 + 1) * 3], 240 - 40);
  EXPECT_EQ(img[(1 * 3 + 1) * 3 + 1], 60);  // other bytes keep their values
  EXPECT_EQ(img[0], 10);

  Bytes shortPage(20, 10);
  describe(r, shortPage, 3, 3, 3);
  EXPECT_EQ(r.CBMP_HighPassFilter(), 0);
}

TEST(HighPass, LaplacianFromTheBitCount) {
  BMPInfo r;
  Bytes img = flatPage(3, 3, 10);
  img[(1 * 3 + 1) * 3 + 2] = 20;
  describe(r, img, 3, 3, 3);
  EXPECT_EQ(r.CBMP_HighPassFilter_Laplacian(), 0);  // no bit count: nothing
  r.CBMP_SetBitCount(24);
  ASSERT_EQ(r.CBMP_HighPassFilter_Laplacian(), 1);
  EXPECT_EQ(img[(1 * 3 + 1) * 3 + 2], 100 - 40);
  EXPECT_EQ(img[(1 * 3 + 1) * 3], 10);
  EXPECT_EQ(img[0], 10);
  r.CBMP_SetBitCount(32);  // four bytes a pixel would not fit 27 bytes
  EXPECT_EQ(r.CBMP_HighPassFilter_Laplacian(), 0);
}
