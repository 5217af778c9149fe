// Binarisation of the page: Atkinson error diffusion, Otsu threshold,
// clustered-dot screen, fixed threshold, negative and the pixel accessors.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "imaging_util.h"

using imaging_util::clampByte;
using imaging_util::mulSize;

// True for a pixel of the page.
bool BMPInfo::CBMP_IsInside(int64_t x, int64_t y) const {
  return x >= 0 && x < width && y >= 0 && y < height;
}

// Gray byte at (x, y); 0 outside the page or without a gray copy.
uint8_t BMPInfo::CBMP_BlindGetPixelIndex(int64_t x, int64_t y) const {
  if (!grayBuffer || !CBMP_IsInside(x, y)) return 0;
  int64_t at = y * width + x;
  // The geometry may have been changed after the copy was made.
  return at < graySize ? grayBuffer[at] : 0;
}

// Stores a gray byte at (x, y); ignored outside the page.
void BMPInfo::CBMP_BlindSetPixelIndex(int64_t x, int64_t y, uint8_t value) {
  if (!grayBuffer || !CBMP_IsInside(x, y)) return;
  int64_t at = y * width + x;
  if (at < graySize) grayBuffer[at] = value;
}

// Sets the three colour bytes of pixel (x, y); ignored outside the page.
void BMPInfo::CBMP_SetPixelIndex(int64_t x, int64_t y, uint8_t value) {
  if (!CBMP_IsInside(x, y) || !pageFits(3)) return;
  unsigned char *p = pixels + y * lineBytes + x * bytesPerPixel;
  p[0] = p[1] = p[2] = value;
}

// Atkinson error diffusion from the gray copy into the page, threshold
// 129, row by row left to right; six eighths of the error go on, each
// neighbour clamped to a byte as soon as it is changed.
void BMPInfo::CBMP_ImageDither() {
  if (!grayBuffer || !pixels || height < 1 || width < 1) return;
  // The gray copy must still match the geometry, and the page must hold it.
  if (width * height > graySize || !pageFits(3)) return;
  static const int offsets[6][2] = {{1, 0}, {2, 0}, {-1, 1}, {0, 1}, {1, 1}, {0, 2}};
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      int v = grayBuffer[y * width + x];
      int e;
      unsigned char *p = pixels + y * lineBytes + x * bytesPerPixel;
      if (v >= 129) {
        p[0] = p[1] = p[2] = 255;
        e = v - 255;
      } else {
        p[0] = p[1] = p[2] = 0;
        e = v;
      }
      int q = e / 8;
      for (const auto &o : offsets) {
        int64_t nx = x + o[0], ny = y + o[1];
        if (!CBMP_IsInside(nx, ny)) continue;
        unsigned char &g = grayBuffer[ny * width + nx];
        g = clampByte(g + q);
      }
    }
  }
}

// Otsu global threshold: gray value per pixel by grayMode (first byte only
// for one- and two-byte pixels), the threshold of the largest between-class
// variance, then 255 above it and 0 at or below.
void BMPInfo::OTSUThresholdCV(unsigned char *image, int64_t w, int64_t h, int64_t lineBytes_,
                              int64_t pixelSize, int32_t grayMode) {
  int64_t c = pixelSize < 8 ? pixelSize : pixelSize / 8;
  int64_t count = 0, rowPixels = 0;
  // Without a layout that fits (rows at least as long as their pixels)
  // the image is left unchanged, as it is when the gray image cannot be
  // allocated.
  if (!image || w < 1 || h < 1 || c < 1 || !mulSize(w, h, &count) || !mulSize(w, c, &rowPixels) ||
      lineBytes_ < rowPixels)
    return;
  unsigned char *gray = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(count)));
  if (!gray) return;
  uint64_t hist[256] = {};
  for (int64_t y = 0; y < h; ++y) {
    const unsigned char *p = image + y * lineBytes_;
    for (int64_t x = 0; x < w; ++x, p += c) {
      int g;
      if (c < 3)
        g = p[0];
      else if (grayMode == 3)
        g = static_cast<int>((static_cast<uint32_t>(p[0] + p[1] + p[2]) * 21846u) >> 16);
      else
        g = GetGrayValue(p[2], p[1], p[0], grayMode) & 0xFF;
      gray[y * w + x] = static_cast<unsigned char>(g);
      ++hist[g];
    }
  }
  int threshold = imaging_util::otsuSearch(hist, static_cast<uint64_t>(count));
  for (int64_t y = 0; y < h; ++y) {
    unsigned char *p = image + y * lineBytes_;
    for (int64_t x = 0; x < w; ++x, p += c) {
      unsigned char v = gray[y * w + x] > threshold ? 255 : 0;
      p[0] = v;
      if (c >= 3) p[1] = p[2] = v;
    }
  }
  std::free(gray);
}

namespace {
// The single-precision pi one unit below the nearest float (0x40490FDA).
const float kScreenPi = 0x1.921fb4p+1f;

// Screen threshold from the sine of a and the cosine of b.
uint8_t screenValue(float sinA, float cosB) {
  float v = (sinA * cosB + 1.0f) * 127.5f;
  return static_cast<uint8_t>(static_cast<int32_t>(v) & 0xFF);
}

// The screen angle of coordinate v for the period.
float screenAngle(uint64_t v, uint64_t period) {
  return ((static_cast<float>(v) / static_cast<float>(period)) * 2.0f) * kScreenPi;
}
}  // namespace

// Threshold of the clustered-dot screen at (x, y).  A period of 0 has no
// screen; it gives the mid value 127 that the screen has at x = 0.
uint8_t BMPInfo::CBMP_GetHalftoneThreshold(uint64_t x, uint64_t y, uint64_t period) {
  if (period == 0) return 127;
  return screenValue(std::sin(screenAngle(x, period)), std::cos(screenAngle(y, period)));
}

// Clustered-dot screen of period 10 on the darkest colour byte.
void BMPInfo::CBMP_ImageCluster() {
  if (!pixels || height < 1 || width < 1) return;
  if (!pageFits(3)) return;  // layout does not fit the buffer: unchanged
  const uint64_t period = 10;
  for (int64_t y = 0; y < height; ++y) {
    float cosB = std::cos(screenAngle(static_cast<uint64_t>(y), period));
    unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel) {
      // The sine is taken per pixel: x / 10 in single precision is not
      // exactly periodic, so a table of ten would differ in places.
      float sinA = std::sin(screenAngle(static_cast<uint64_t>(x), period));
      int t = screenValue(sinA, cosB);
      unsigned char m = p[0] < p[1] ? p[0] : p[1];
      if (p[2] < m) m = p[2];
      p[0] = p[1] = p[2] = m < t ? 0 : 255;
    }
  }
}

// Fixed threshold: darkest colour byte 129 and above is white.
void BMPInfo::CBMP_ImageGrayNone() {
  if (!pixels || width <= 0 || height < 1) return;
  if (!pageFits(3)) return;  // layout does not fit the buffer: unchanged
  for (int64_t y = 0; y < height; ++y) {
    unsigned char *p = pixels + y * lineBytes;
    for (int64_t x = 0; x < width; ++x, p += bytesPerPixel) {
      unsigned char m = p[0] < p[1] ? p[0] : p[1];
      if (p[2] < m) m = p[2];
      p[0] = p[1] = p[2] = m >= 129 ? 255 : 0;
    }
  }
}

// Inverts every byte of the buffer.
int BMPInfo::CBMP_ImageNegative() {
  if (!pixels || width == 0 || height == 0) return 0;
  for (int64_t i = 0; i < imageSize; ++i) pixels[i] = static_cast<unsigned char>(~pixels[i]);
  return 1;
}

// Has no effect: ordered dither is not offered on this printer.
void BMPInfo::CBMP_ImageBayer() {}
