// Test pages: a byte vector described to a record without the RGB swap
// that CBMP_SetBMPSource makes.
#ifndef QUILLET_IMAGING_TEST_PAGE_H
#define QUILLET_IMAGING_TEST_PAGE_H

#include <cstdint>
#include <random>
#include <vector>

#include "bmpinfo.h"

using Bytes = std::vector<unsigned char>;

// Points the record at bytes as a page of w x h pixels of bpp bytes with
// rows of lineBytes (w * bpp when 0).
inline void describe(BMPInfo &r, Bytes &bytes, int64_t w, int64_t h, int64_t bpp,
                     int64_t lineBytes = 0) {
  r.CBMP_SetBMPInfo(w, h, bpp);
  if (lineBytes) r.lineBytes = lineBytes;
  r.pixels = bytes.data();
  r.imageSize = static_cast<int64_t>(bytes.size());
}

// A page of w x h pixels of 3 bytes, every byte v.
inline Bytes flatPage(int64_t w, int64_t h, unsigned char v, int64_t bpp = 3) {
  return Bytes(static_cast<size_t>(w * h * bpp), v);
}

// Random bytes: flat patches and noise, so that both thresholds and
// blank rows occur.
inline Bytes randomBytes(std::mt19937 &rng, size_t n) {
  Bytes b(n);
  std::uniform_int_distribution<int> byte(0, 255), kind(0, 3);
  size_t i = 0;
  while (i < n) {
    size_t run = static_cast<size_t>(byte(rng)) + 1;
    int k = kind(rng);
    unsigned char flat = static_cast<unsigned char>(byte(rng));
    for (size_t j = 0; j < run && i < n; ++j, ++i)
      b[i] = k == 0 ? static_cast<unsigned char>(byte(rng)) : (k == 1 ? 255 : flat);
  }
  return b;
}

#endif
