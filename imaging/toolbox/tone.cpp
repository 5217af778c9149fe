// Gray conversion and tone adjustment of the page record.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "imaging_util.h"

using imaging_util::clampByte;
using imaging_util::mulSize;

// Makes the one-byte gray copy (darkest colour byte of each pixel) and
// lowers blankHeightLast to the last row, from row 2 on, that is not white.
int BMPInfo::CBMP_GrayScale() {
  CBMP_FreeGrayBuffer();
  if (width < 1 || height < 1 || !pixels) return 0;
  // A layout that does not fit the buffer gets no gray copy, like a failed
  // allocation; the diffusion then leaves the page alone.
  if (!pageFits(3)) return 0;
  int64_t count = width * height;  // bounded by lineBytes * height
  grayBuffer = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(count)));
  if (!grayBuffer) return 0;
  graySize = count;
  for (int64_t y = 0; y < height; ++y) {
    const unsigned char *p = pixels + y * lineBytes;
    unsigned char *g = grayBuffer + y * width;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel) {
      unsigned char m = p[0] < p[1] ? p[0] : p[1];
      g[x] = m < p[2] ? m : p[2];
    }
  }
  if (height >= 3) {
    for (int64_t y = height - 1; y >= 2; --y) {
      const unsigned char *g = grayBuffer + y * width;
      bool blank = true;
      for (int64_t x = 0; x < width && blank; ++x) blank = g[x] == 255;
      if (!blank) {
        blankHeightLast = y + 1;
        break;
      }
    }
  }
  if (blankHeightLast <= 0) blankHeightLast = 1;
  if (blankHeightLast > height) blankHeightLast = height;
  return 1;
}

// Gray value of one colour by the given mode (1 min, 2 max, 3 mean,
// 4 gamma-weighted, else integer luminance).
int32_t BMPInfo::GetGrayValue(int32_t red, int32_t green, int32_t blue, int32_t mode) {
  switch (mode) {
    case 1: {
      int32_t m = red < green ? red : green;
      return m < blue ? m : blue;
    }
    case 2: {
      int32_t m = red > green ? red : green;
      return m > blue ? m : blue;
    }
    case 3:
      return static_cast<int32_t>((static_cast<int64_t>(red) + green + blue) / 3);
    case 4: {
      double sum = 0.0753 * std::pow(blue, 2.2) +
                   (0.6274 * std::pow(green, 2.2) + 0.2973 * std::pow(red, 2.2));
      return imaging_util::truncLow8(std::pow(sum, 0.45454545454545453));
    }
    default:
      // 64-bit so that out-of-range arguments cannot overflow.
      return static_cast<int32_t>((306 * static_cast<int64_t>(red) + 601 * static_cast<int64_t>(green) +
                                   117 * static_cast<int64_t>(blue)) >>
                                  10);
  }
}

// Gamma correction through a 256-entry table; a level of 0 or less means
// the exponent 1.2, levels 1 ... 100 give 0.99 ... 0.0.
int BMPInfo::CBMP_GammaCorrection(int32_t level) {
  if (level > 100) return 1;
  double exponent = level <= 0 ? 1.2 : level / -100.0 + 1.0;
  gamma = exponent;
  if (width < 1 || height < 1 || !pixels) return 0;
  if (!pageFits(3)) return 0;  // layout does not fit the buffer: unchanged
  uint8_t table[256];
  imaging_util::buildGammaTable(exponent, table);
  for (int64_t y = 0; y < height; ++y) {
    unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel) {
      p[0] = table[p[0]];
      p[1] = table[p[1]];
      p[2] = table[p[2]];
    }
  }
  return 1;
}

// Shifts every colour byte so that the page's mean brightness becomes
// targetBrightness.
int BMPInfo::CBMP_AdjustBrightness() {
  if (width < 1 || height < 1 || !pixels) return 0;
  if (bytesPerPixel < 1) return 1;
  if (!pageFits(3)) return 0;  // layout does not fit the buffer: unchanged
  uint64_t sum = 0;
  for (int64_t y = 0; y < height; ++y) {
    const unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel)
      sum += (static_cast<uint32_t>(p[0] + p[1] + p[2]) * 21846u) >> 16;
  }
  uint8_t mean = static_cast<uint8_t>(sum / static_cast<uint64_t>(width * height));
  int d = static_cast<int>(targetBrightness) - mean;
  for (int64_t y = 0; y < height; ++y) {
    unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel)
      for (int k = 0; k < 3; ++k) p[k] = clampByte(p[k] + d);
  }
  return 1;
}

// Moves each channel by level / 200 of its page mean; dark pixels move
// further, near-white pixels stay.
void BMPInfo::CBMP_AdjustBrightnessByRGB(int32_t level) {
  if (!pixels || width < 1 || height < 1 || (bytesPerPixel != 3 && bytesPerPixel != 4)) return;
  if (!pageFits(3)) return;  // layout does not fit the buffer: unchanged
  float k = static_cast<float>(level) / 200.0f;
  uint64_t sums[3] = {0, 0, 0};
  for (int64_t y = 0; y < height; ++y) {
    const unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel)
      for (int c = 0; c < 3; ++c) sums[c] += p[c];
  }
  uint64_t n = static_cast<uint64_t>(width * height);
  float means[3];
  for (int c = 0; c < 3; ++c) means[c] = static_cast<float>(sums[c] / n);
  for (int64_t y = 0; y < height; ++y) {
    unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel) {
      if (p[0] >= 250 && p[1] >= 250 && p[2] >= 250) continue;
      float f = k;
      if (p[0] <= 9 && p[1] <= 9 && p[2] <= 9)
        f = 3.0f * k;
      else if (p[0] < 20 && p[1] < 20 && p[2] < 20)
        f = 2.5f * k;
      for (int c = 0; c < 3; ++c) {
        int64_t v = p[c] + static_cast<int64_t>(f * means[c]);
        p[c] = static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
}

// Contrast around mid-gray by ((level + 100) / 100)^2.
void BMPInfo::CBMP_AdjustContrastByRGB(int32_t level) {
  if (!pixels || width < 1 || height < 1 || (bytesPerPixel != 3 && bytesPerPixel != 4)) return;
  if (!pageFits(3)) return;  // layout does not fit the buffer: unchanged
  double t = (level + 100.0) / 100.0;
  double c = t * t;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) {
    double v = ((i / 255.0 - 0.5) * c + 0.5) * 255.0;
    v = v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v);
    table[i] = static_cast<uint8_t>(v);
  }
  for (int64_t y = 0; y < height; ++y) {
    unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel)
      for (int k = 0; k < 3; ++k) p[k] = table[p[k]];
  }
}

// Has no effect: no automatic brightness is wanted on this printer.
void BMPInfo::CBMP_AdjustBrightnessAuto() {}

// Equalises each pixel against the histogram of the 27 colour bytes of its
// 3 x 3 neighbourhood; at the page edge the nearest pixels stand in for
// the missing ones, so every neighbourhood has 27 samples.  Returns 1 when
// done, 0 when the page is absent, does not fit or no copy can be made.
int BMPInfo::CBMP_LocalHistogramEqualization() {
  if (!pageFits(3)) return 0;
  unsigned char *out = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(imageSize)));
  if (!out) return 0;
  std::memcpy(out, pixels, static_cast<size_t>(imageSize));
  unsigned char samples[27];
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      int n = 0;
      unsigned char lowest = 255;
      for (int64_t dy = -1; dy <= 1; ++dy) {
        int64_t sy = y + dy < 0 ? 0 : (y + dy >= height ? height - 1 : y + dy);
        for (int64_t dx = -1; dx <= 1; ++dx) {
          int64_t sx = x + dx < 0 ? 0 : (x + dx >= width ? width - 1 : x + dx);
          const unsigned char *q = pixels + sy * lineBytes + sx * bytesPerPixel;
          for (int k = 0; k < 3; ++k) {
            samples[n++] = q[k];
            if (q[k] < lowest) lowest = q[k];
          }
        }
      }
      int cdfMin = 0;
      for (unsigned char s : samples) cdfMin += s == lowest;
      const unsigned char *p = pixels + y * lineBytes + x * bytesPerPixel;
      unsigned char *o = out + y * lineBytes + x * bytesPerPixel;
      for (int k = 0; k < 3; ++k) {
        if (cdfMin == 27) continue;  // flat neighbourhood: nothing to stretch
        int cdf = 0;
        for (unsigned char s : samples) cdf += s <= p[k];
        o[k] = static_cast<unsigned char>((cdf - cdfMin) * 255 / (27 - cdfMin));
      }
    }
  }
  std::memcpy(pixels, out, static_cast<size_t>(imageSize));
  std::free(out);
  return 1;
}

// Maps source through the tile tables, blending the four nearest tiles by
// the pixel's distance to their centres.
void BMPInfo::applyLUTsWithInterpolation(const unsigned char *source,
                                         unsigned char *destination) const {
  if (tileGridHeight < 1 || tileGridWidth < 1) return;
  // Tables, tile sizes and counts must be usable: the counts are bounded by
  // the 4-bit tile index and the sizes divide.
  if (!source || !destination || !tileTables || tileWidth < 1 || tileHeight < 1 ||
      tileColumns < 1 || tileRows < 1 || tileColumns > 16 || tileRows > 16)
    return;
  for (int32_t i = 0; i < tileColumns * tileRows; ++i)
    if (!tileTables[i]) return;
  for (int32_t y = 0; y < tileGridHeight; ++y) {
    float fy = static_cast<float>(y) / static_cast<float>(tileHeight) - 0.5f;
    int32_t r0 = myclamp(static_cast<int32_t>(std::floor(fy)), 0, tileRows - 1);
    int32_t r1 = r0 < tileRows - 1 ? r0 + 1 : tileRows - 1;
    float ay = fy - static_cast<float>(r0);
    for (int32_t x = 0; x < tileGridWidth; ++x) {
      float fx = static_cast<float>(x) / static_cast<float>(tileWidth) - 0.5f;
      int32_t c0 = myclamp(static_cast<int32_t>(std::floor(fx)), 0, tileColumns - 1);
      int32_t c1 = c0 < tileColumns - 1 ? c0 + 1 : tileColumns - 1;
      float ax = fx - static_cast<float>(c0);
      int64_t at = static_cast<int64_t>(y) * tileGridWidth + x;
      unsigned char v = source[at];
      float a = tileTables[r0 * tileColumns + c0][v];
      float b = tileTables[r0 * tileColumns + c1][v];
      float c = tileTables[r1 * tileColumns + c0][v];
      float d = tileTables[r1 * tileColumns + c1][v];
      float result = a * ((1.0f - ax) * (1.0f - ay)) + b * ((1.0f - ay) * ax) +
                     c * ((1.0f - ax) * ay) + d * (ax * ay);
      // Left of the first centre the blend extrapolates; keep it a byte.
      destination[at] = result <= 0.0f ? 0 : (result >= 255.0f ? 255 : static_cast<unsigned char>(result));
    }
  }
}

// Scales up the darker pixels of every row until their mean luminance
// reaches limit; brighter pixels are not touched.
void limitAverageBrightness(unsigned char *image, int64_t width, int64_t height,
                            uint16_t bitsPerPixel, int64_t lineBytes, double limit) {
  if (width < 1 || height < 1 || !image) return;
  int64_t step = bitsPerPixel / 8;
  int64_t rowPixels = 0;
  // Fewer than three bytes per pixel, or rows shorter than their pixels,
  // would read past the row: the image is left unchanged.
  if (step < 3 || !mulSize(width, step, &rowPixels) || lineBytes < rowPixels) return;
  for (int64_t y = 0; y < height; ++y) {
    unsigned char *row = image + y * lineBytes;
    int64_t n = 0;
    double sum = 0.0;
    for (int64_t x = 0; x < width; ++x) {
      const unsigned char *p = row + x * step;
      double lum = 0.114 * p[0] + (0.299 * p[2] + 0.587 * p[1]);
      if (lum <= limit) {
        ++n;
        sum += lum;
      }
    }
    double mean = n ? sum / static_cast<double>(n) : 0.0;
    if (!(limit > mean && mean > 0)) continue;
    double s = limit / mean;
    for (int64_t x = 0; x < width; ++x) {
      unsigned char *p = row + x * step;
      double lum = 0.114 * p[0] + (0.299 * p[2] + 0.587 * p[1]);
      if (lum > limit) continue;
      for (int k = 0; k < 3; ++k) {
        double v = p[k] * s;
        p[k] = v >= 255.0 ? 255 : static_cast<unsigned char>(v);
      }
    }
  }
}
