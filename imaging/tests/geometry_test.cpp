// Turns, shrink, resampling, mirror and offset shift.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "bmpinfo.h"
#include "test_page.h"

namespace {
// Packed 3-byte pixels whose bytes are all the given letter.
Bytes pixelsOf(std::initializer_list<char> letters) {
  Bytes b;
  for (char c : letters) b.insert(b.end(), 3, static_cast<unsigned char>(c));
  return b;
}

const unsigned char W = 255;

struct Turned {
  Bytes bytes;
  bool null;
  uint64_t size;
  int64_t w, h;
};

// Runs a rotation and takes over its buffer.
template <typename F>
Turned turn(F f) {
  Turned t{{}, false, 0, -9, -9};
  unsigned char *out = f(&t.size, &t.w, &t.h);
  t.null = out == nullptr;
  if (out) t.bytes.assign(out, out + t.size);
  std::free(out);
  return t;
}
}  // namespace

TEST(Rotate90, Examples) {
  Bytes ab = pixelsOf({'A', 'B'});
  auto t = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::Rotate90Degrees(ab.data(), ab.size(), 2, 1, s, w, h, 90);
  });
  EXPECT_EQ(t.bytes, pixelsOf({'A', 'B'}));
  EXPECT_EQ(t.w, 1);
  EXPECT_EQ(t.h, 2);
  t = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::Rotate90Degrees(ab.data(), ab.size(), 1, 2, s, w, h, 90);
  });
  EXPECT_EQ(t.bytes, pixelsOf({'B', 'A'}));
  EXPECT_EQ(t.w, 2);
  EXPECT_EQ(t.h, 1);
  for (int angle : {180, 0, -90, 270}) {
    t = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
      return BMPInfo::Rotate90Degrees(ab.data(), ab.size(), 2, 1, s, w, h, angle);
    });
    EXPECT_TRUE(t.null);
    EXPECT_EQ(t.w, -9);  // nothing set
  }
}

TEST(Rotate90, RefusesSizesItCannotRead) {
  Bytes ab = pixelsOf({'A', 'B'});
  struct { int64_t w, h; uint64_t size; } bad[] = {
      {2, 2, 6}, {-2, -3, 6}, {INT64_MAX / 2, 4, 6}, {4, INT64_MAX / 4, 6}};
  for (auto c : bad) {
    auto t = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
      return BMPInfo::Rotate90Degrees(ab.data(), c.size, c.w, c.h, s, w, h, 90);
    });
    EXPECT_TRUE(t.null) << c.w << "x" << c.h;
  }
  auto empty = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::Rotate90Degrees(ab.data(), 6, 0, 5, s, w, h, 90);
  });
  EXPECT_FALSE(empty.null);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.w, 5);
}

TEST(Rotate90, ThreeByTwo) {
  // A B C     D A
  // D E F  -> E B
  //           F C
  Bytes src = pixelsOf({'A', 'B', 'C', 'D', 'E', 'F'});
  auto t = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::Rotate90Degrees(src.data(), src.size(), 3, 2, s, w, h, 90);
  });
  EXPECT_EQ(t.bytes, pixelsOf({'D', 'A', 'E', 'B', 'F', 'C'}));
  EXPECT_EQ(t.w, 2);
  EXPECT_EQ(t.h, 3);
  EXPECT_EQ(t.size, 18u);
}

TEST(Rotate24, Turns) {
  Bytes abcd = pixelsOf({'A', 'B', 'C', 'D'});
  auto half = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::CBMP_Rotate_24bit(abcd.data(), abcd.size(), 2, 2, s, w, h, 2);
  });
  EXPECT_EQ(half.bytes, pixelsOf({'D', 'C', 'B', 'A'}));
  Bytes ab = pixelsOf({'A', 'B'});
  auto three = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::CBMP_Rotate_24bit(ab.data(), ab.size(), 2, 1, s, w, h, 3);
  });
  EXPECT_EQ(three.bytes, pixelsOf({'B', 'A'}));
  EXPECT_EQ(three.w, 1);
  EXPECT_EQ(three.h, 2);
  for (int n : {0, 4, -1}) {
    auto none = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
      return BMPInfo::CBMP_Rotate_24bit(ab.data(), ab.size(), 2, 1, s, w, h, n);
    });
    EXPECT_TRUE(none.null);
    EXPECT_EQ(none.size, 6u);
    EXPECT_EQ(none.w, 2);
    EXPECT_EQ(none.h, 1);
  }
  // One quarter turn is the same turn as Rotate90Degrees; four give the page back.
  std::mt19937 rng(5);
  Bytes src = randomBytes(rng, 7 * 4 * 3);
  auto one = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::CBMP_Rotate_24bit(src.data(), src.size(), 7, 4, s, w, h, 1);
  });
  auto ninety = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::Rotate90Degrees(src.data(), src.size(), 7, 4, s, w, h, 90);
  });
  EXPECT_EQ(one.bytes, ninety.bytes);
  auto back = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::CBMP_Rotate_24bit(one.bytes.data(), one.size, one.w, one.h, s, w, h, 3);
  });
  EXPECT_EQ(back.bytes, src);
  auto tooSmall = turn([&](uint64_t *s, int64_t *w, int64_t *h) {
    return BMPInfo::CBMP_Rotate_24bit(src.data(), 10, 7, 4, s, w, h, 2);
  });
  EXPECT_TRUE(tooSmall.null);
}

TEST(Scale, ShrinksAndCentres) {
  Bytes page = flatPage(10, 10, 0);
  ASSERT_EQ(BMPInfo::CBMP_Scale_24bit(page.data(), page.size(), 10, 10, 0.5f), page.data());
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      bool inside = x >= 2 && x <= 6 && y >= 2 && y <= 6;
      ASSERT_EQ(page[(y * 10 + x) * 3], inside ? 0 : W) << x << "," << y;
    }
  for (float s : {1.0f, 2.0f, 0.0f, -0.5f, NAN}) {
    Bytes same = flatPage(10, 10, 3);
    BMPInfo::CBMP_Scale_24bit(same.data(), same.size(), 10, 10, s);
    EXPECT_EQ(same, flatPage(10, 10, 3)) << s;
  }
  Bytes shortBuf = flatPage(10, 9, 3);
  BMPInfo::CBMP_Scale_24bit(shortBuf.data(), shortBuf.size(), 10, 10, 0.5f);
  EXPECT_EQ(shortBuf, flatPage(10, 9, 3));
}

TEST(Scale, BilinearSamples) {
  Bytes src{0, 0, 0, 255, 255, 255};
  Bytes dst(12, 9);
  scale_bmp(src.data(), 2, 1, dst.data(), 4, 1);
  EXPECT_EQ(dst, (Bytes{0, 0, 0, 127, 127, 127, 255, 255, 255, 255, 255, 255}));
  Bytes untouched(12, 9);
  scale_bmp(src.data(), 0, 1, untouched.data(), 4, 1);
  scale_bmp(src.data(), 2, 1, untouched.data(), 0, 1);
  EXPECT_EQ(untouched, Bytes(12, 9));

  Bytes img{0, 10, 20, 100, 110, 120};
  EXPECT_EQ(bilinear_interpolate(img.data(), 2, 1, 0.5f, 0.0f), 50u | 60u << 8 | 70u << 16);
  EXPECT_EQ(bilinear_interpolate(img.data(), 2, 1, 1.0f, 0.0f), 100u | 110u << 8 | 120u << 16);
  // Off the image: the nearest edge.
  EXPECT_EQ(bilinear_interpolate(img.data(), 2, 1, 9.0f, -3.0f), 100u | 110u << 8 | 120u << 16);
  EXPECT_EQ(bilinear_interpolate(img.data(), 2, 1, -9.0f, 7.0f), 0u | 10u << 8 | 20u << 16);
  EXPECT_EQ(bilinear_interpolate(nullptr, 2, 1, 0.0f, 0.0f), 0u);
}

TEST(Mirror, RowsReversed) {
  BMPInfo r;
  Bytes row = pixelsOf({'A', 'B', 'C'});
  describe(r, row, 3, 1, 3);
  ASSERT_EQ(r.CBMP_ImageMirror(0), 1);
  EXPECT_EQ(row, pixelsOf({'C', 'B', 'A'}));
  ASSERT_EQ(r.CBMP_ImageMirror(0), 1);
  EXPECT_EQ(row, pixelsOf({'A', 'B', 'C'}));

  Bytes four{1, 2, 3, 4, 5, 6, 7, 8};
  describe(r, four, 2, 1, 4);
  ASSERT_EQ(r.CBMP_ImageMirror(0), 1);
  EXPECT_EQ(four, (Bytes{5, 6, 7, W, 1, 2, 3, W}));

  BMPInfo none;
  EXPECT_EQ(none.CBMP_ImageMirror(0), 0);
}

TEST(Mirror, InPlaceEqualsPlain) {
  std::mt19937 rng(9);
  struct { int64_t w, h, bpp, pad, tail; } shapes[] = {{1, 1, 3, 0, 0}, {5, 3, 3, 2, 7}, {6, 4, 4, 3, 1}, {17, 9, 3, 0, 0}};
  for (auto s : shapes) {
    int64_t line = s.w * s.bpp + s.pad;
    Bytes a = randomBytes(rng, static_cast<size_t>(line * s.h + s.tail)), b = a;
    BMPInfo ra, rb;
    describe(ra, a, s.w, s.h, s.bpp, line);
    describe(rb, b, s.w, s.h, s.bpp, line);
    EXPECT_EQ(ra.CBMP_ImageMirror(0), reference::ImageMirror(rb));
    EXPECT_EQ(a, b) << s.w << "x" << s.h;
  }
}

TEST(Offset, Shifts) {
  struct Case { float dx, dy; Bytes want; } cases[] = {
      {1, 0, {W, 'A', 'B', W, 'D', 'E'}},
      {-1, 0, {'B', 'C', W, 'E', 'F', W}},
      {0, 1, {W, W, W, 'A', 'B', 'C'}},
      {0, -1, {'D', 'E', 'F', W, W, W}},
      {2, 1, {W, W, W, W, W, 'A'}},
      {0, 2, {W, W, W, W, W, W}},                  // dy = height: all white
      {0, 3, {'A', 'B', 'C', 'D', 'E', 'F'}},      // beyond: unchanged
      {3, 0, {'A', 'B', 'C', 'D', 'E', 'F'}},      // dx = width: unchanged
      {0, 0, {'A', 'B', 'C', 'D', 'E', 'F'}},
      {1e30f, 0, {'A', 'B', 'C', 'D', 'E', 'F'}},  // no dot count: unchanged
  };
  for (const auto &c : cases) {
    BMPInfo r;
    Bytes page = pixelsOf({'A', 'B', 'C', 'D', 'E', 'F'});
    describe(r, page, 3, 2, 3);
    r.offsetUnits = 1.0f;
    r.deviceData.deviceOffsetX = c.dx;
    r.deviceData.deviceOffsetY = c.dy;
    r.CBMP_DoOffset();
    Bytes firsts;
    for (size_t i = 0; i < page.size(); i += 3) firsts.push_back(page[i]);
    EXPECT_EQ(firsts, c.want) << c.dx << "," << c.dy;
  }
}

TEST(Offset, InPlaceEqualsPlain) {
  std::mt19937 rng(21);
  for (float dx : {-3.0f, -1.0f, 0.0f, 2.0f, 6.5f})
    for (float dy : {-4.0f, 0.0f, 1.0f, 5.0f}) {
      int64_t w = 7, h = 6, line = 7 * 4 + 2;
      Bytes a = randomBytes(rng, static_cast<size_t>(line * h + 5)), b = a;
      BMPInfo ra, rb;
      describe(ra, a, w, h, 4, line);
      describe(rb, b, w, h, 4, line);
      for (BMPInfo *r : {&ra, &rb}) {
        r->deviceData.deviceOffsetX = dx;
        r->deviceData.deviceOffsetY = dy;
        r->offsetUnits = 1.0f;
      }
      ra.CBMP_DoOffset();
      reference::DoOffset(rb);
      EXPECT_EQ(a, b) << dx << "," << dy;
    }
}
