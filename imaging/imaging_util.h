// Small helpers shared by the image operations: overflow-checked sizes,
// byte clamping and the Otsu threshold search.
#ifndef QUILLET_IMAGING_UTIL_H
#define QUILLET_IMAGING_UTIL_H

#include <cmath>
#include <cstdint>

namespace imaging_util {

// a * b for non-negative values; false when either is negative or the
// product does not fit in 63 bits.
inline bool mulSize(int64_t a, int64_t b, int64_t *out) {
  if (a < 0 || b < 0) return false;
  return !__builtin_mul_overflow(a, b, out);
}

inline bool mulSize3(int64_t a, int64_t b, int64_t c, int64_t *out) {
  int64_t ab;
  return mulSize(a, b, &ab) && mulSize(ab, c, out);
}

inline uint8_t clampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Integer part of v (toward zero), low 8 bits; non-finite or absurd
// values give 0 rather than an undefined conversion.
inline uint8_t truncLow8(double v) {
  if (!(std::fabs(v) < 9.0e18)) return 0;
  return static_cast<uint8_t>(static_cast<int64_t>(v) & 0xFF);
}

// The tone table of a gamma exponent: (i / 255)^exponent x 255 in double
// precision, truncated and kept within 0 ... 255.
inline void buildGammaTable(double exponent, uint8_t table[256]) {
  for (int i = 0; i < 256; ++i) {
    double v = std::pow(i / 255.0, exponent) * 255.0;
    table[i] = v <= 0.0 ? 0 : (v >= 255.0 ? 255 : static_cast<uint8_t>(v));
  }
}

// Otsu's search over a 256-bin histogram of n values: the threshold of
// the largest between-class variance, ties keeping the lower one.
inline int otsuSearch(const uint64_t hist[256], uint64_t n) {
  uint64_t total = 0;
  for (int i = 0; i < 256; ++i) total += static_cast<uint64_t>(i) * hist[i];
  uint64_t wB = 0, sB = 0;
  int threshold = 0;
  double best = -1.0;
  for (int t = 0; t < 256; ++t) {
    wB += hist[t];
    sB += static_cast<uint64_t>(t) * hist[t];
    if (wB == 0) continue;
    uint64_t wF = n - wB;
    if (wF == 0) break;
    double mB = static_cast<double>(sB) / static_cast<double>(wB);
    double mF = static_cast<double>(total - sB) / static_cast<double>(wF);
    double d = mB - mF;
    double sigma = ((static_cast<double>(wB) * static_cast<double>(wF)) * d) * d;
    if (sigma > best) {
      best = sigma;
      threshold = t;
    }
  }
  return threshold;
}

// Shift in whole dots of an offset product; false when it is not a number
// that a page could use.
inline bool dotsOf(float product, int64_t *dots) {
  if (!(std::fabs(product) < 4.0e18f)) return false;
  *dots = static_cast<int64_t>(product);
  return true;
}

// Reverses one row left to right in place as the page mirror does: colour
// bytes move, a fourth byte and any bytes past the pixels become 255.
inline void mirrorRow(unsigned char *row, int64_t width, int64_t bpp, int64_t lineBytes) {
  for (int64_t i = 0, j = width - 1; i < j; ++i, --j) {
    unsigned char *a = row + i * bpp, *b = row + j * bpp;
    for (int k = 0; k < 3; ++k) {
      unsigned char t = a[k];
      a[k] = b[k];
      b[k] = t;
    }
  }
  for (int64_t i = 0; i < width; ++i)
    for (int64_t k = 3; k < bpp; ++k) row[i * bpp + k] = 255;
  for (int64_t b = width * bpp; b < lineBytes; ++b) row[b] = 255;
}

}  // namespace imaging_util

#endif
