// Geometry: quarter and half turns, the shrink with its bilinear
// resampler and the whole-page mirror.  The page road mirrors row by row
// and shifts the page itself (page_road.cpp).
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "imaging_util.h"

using imaging_util::mulSize;
using imaging_util::mulSize3;

namespace {
// Stores an output value when the caller gave somewhere to put it.
template <typename T>
void put(T *where, T value) {
  if (where) *where = value;
}

// malloc that does not report failure for an empty image.
unsigned char *allocBytes(int64_t n) {
  return static_cast<unsigned char *>(std::malloc(n > 0 ? static_cast<size_t>(n) : 1));
}

// Packed 3-byte images of w x h pixels; false when the dimensions are
// negative, the size overflows or the source holds fewer bytes.
bool packedFits(int64_t w, int64_t h, uint64_t sourceSize, int64_t *bytes) {
  return mulSize3(w, h, 3, bytes) && static_cast<uint64_t>(*bytes) <= sourceSize;
}

// Half turn of a packed image of rowPixels x rows into dst.
void halfTurn(const unsigned char *src, unsigned char *dst, int64_t rowPixels, int64_t rows) {
  for (int64_t y = 0; y < rows; ++y) {
    const unsigned char *s = src + y * rowPixels * 3;
    unsigned char *d = dst + (rows - 1 - y) * rowPixels * 3;
    for (int64_t i = 0; i < rowPixels; ++i) std::memcpy(d + (rowPixels - 1 - i) * 3, s + i * 3, 3);
  }
}

// Clockwise quarter turn: source pixel (x, y) goes to output column
// h - 1 - y of output row x.  Reads run along the source rows.
void quarterTurn(const unsigned char *src, unsigned char *dst, int64_t w, int64_t h) {
  for (int64_t y = 0; y < h; ++y) {
    const unsigned char *s = src + y * w * 3;
    unsigned char *d = dst + (h - 1 - y) * 3;
    for (int64_t x = 0; x < w; ++x, s += 3, d += h * 3) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
}

// Single-precision bilinear blend of one byte, summed in the fixed order.
unsigned char blend(float p00, float p10, float p01, float p11, float fx, float fy) {
  float v = p11 * fx * fy + (p01 * (1.0f - fx) * fy + (p00 * (1.0f - fx) * (1.0f - fy) + p10 * fx * (1.0f - fy)));
  return v <= 0.0f ? 0 : (v >= 255.0f ? 255 : static_cast<unsigned char>(v));
}
}  // namespace

// Clockwise quarter turn of a packed 3-byte image into a new buffer; null
// for any angle but 90.  A source smaller than its dimensions, or negative
// dimensions, also give null so that nothing is read past the source.
unsigned char *BMPInfo::Rotate90Degrees(const unsigned char *source, uint64_t sourceSize, int64_t w,
                                        int64_t h, uint64_t *outSize, int64_t *outWidth,
                                        int64_t *outHeight, int32_t angle) {
  if (angle != 90) return nullptr;
  int64_t bytes = 0;
  if (!source || !packedFits(w, h, sourceSize, &bytes)) return nullptr;
  put(outWidth, h);
  put(outHeight, w);
  put(outSize, static_cast<uint64_t>(bytes));
  unsigned char *out = allocBytes(bytes);
  if (!out || w < 1 || h < 1) return out;
  quarterTurn(source, out, w, h);
  return out;
}

// Clockwise turn by 1, 2 or 3 quarter turns into a new buffer; null, with
// the input size reported, for any other count.
unsigned char *BMPInfo::CBMP_Rotate_24bit(const unsigned char *source, uint64_t sourceSize,
                                          int64_t w, int64_t h, uint64_t *outSize,
                                          int64_t *outWidth, int64_t *outHeight,
                                          int32_t quarterTurns) {
  if (!source) {
    put(outWidth, w);
    put(outHeight, h);
    return nullptr;
  }
  if (quarterTurns < 1 || quarterTurns > 3) {
    put(outSize, sourceSize);
    put(outWidth, w);
    put(outHeight, h);
    return nullptr;
  }
  int64_t bytes = 0;
  // Impossible dimensions are treated like a failed allocation.
  if (!packedFits(w, h, sourceSize, &bytes)) {
    put(outWidth, w);
    put(outHeight, h);
    return nullptr;
  }
  if (quarterTurns == 2) {
    unsigned char *out = allocBytes(bytes);
    put(outWidth, w);
    put(outHeight, h);
    if (!out) return nullptr;
    put(outSize, static_cast<uint64_t>(bytes));
    std::memset(out, 255, static_cast<size_t>(bytes));
    halfTurn(source, out, w, h);
    return out;
  }
  unsigned char *out = allocBytes(bytes);
  if (!out) {
    put(outWidth, w);
    put(outHeight, h);
    return nullptr;
  }
  std::memset(out, 255, static_cast<size_t>(bytes));
  put(outWidth, h);
  put(outHeight, w);
  put(outSize, static_cast<uint64_t>(bytes));
  if (w > 0 && h >= 1) quarterTurn(source, out, w, h);
  if (quarterTurns == 1) return out;
  unsigned char *turned = allocBytes(bytes);
  if (!turned) return out;
  std::memcpy(turned, out, static_cast<size_t>(bytes));
  halfTurn(turned, out, h, w);
  std::free(turned);
  return out;
}

// Shrinks a packed 3-byte page in place by scale (below 1) and centres
// the result on white; the page keeps its size.
unsigned char *BMPInfo::CBMP_Scale_24bit(unsigned char *source, uint64_t sourceSize, int64_t w,
                                         int64_t h, float scale) {
  if (!source || scale >= 1.0f) return source;
  int64_t bytes = 0;
  // A scale of 0 or below (or not a number) has no shrunken size, and a
  // page larger than its buffer cannot be resampled: both left unchanged.
  if (!(scale > 0.0f) || w < 1 || h < 1 || !packedFits(w, h, sourceSize, &bytes)) return source;
  int64_t newWidth = static_cast<int64_t>(static_cast<float>(w) * scale);
  int64_t newHeight = static_cast<int64_t>(static_cast<float>(h) * scale);
  // Float rounding of huge sizes must not make the picture outgrow the page.
  if (newWidth > w) newWidth = w;
  if (newHeight > h) newHeight = h;
  unsigned char *small = allocBytes(newWidth * 3 * newHeight);
  if (!small) return source;
  std::memset(small, 255, static_cast<size_t>(newWidth * 3 * newHeight));
  scale_bmp(source, w, h, small, newWidth, newHeight);
  std::memset(source, 255, static_cast<size_t>(sourceSize));
  int64_t top = (h - newHeight) / 2, left = (w - newWidth) / 2;
  for (int64_t r = 0; r < newHeight; ++r)
    std::memcpy(source + ((top + r) * w + left) * 3, small + r * newWidth * 3,
                static_cast<size_t>(newWidth * 3));
  std::free(small);
  return source;
}

// Bilinear resampling of a packed 3-byte image; sample positions are not
// centred and the bytes are truncated.
void scale_bmp(const unsigned char *source, int64_t sourceWidth, int64_t sourceHeight,
               unsigned char *destination, int64_t destinationWidth, int64_t destinationHeight) {
  if (destinationWidth < 1 || destinationHeight < 1) return;
  // An empty source has no pixel to sample.
  if (!source || !destination || sourceWidth < 1 || sourceHeight < 1) return;
  float xRatio = static_cast<float>(sourceWidth) / static_cast<float>(destinationWidth);
  float yRatio = static_cast<float>(sourceHeight) / static_cast<float>(destinationHeight);
  for (int64_t j = 0; j < destinationHeight; ++j) {
    float sy = static_cast<float>(j) * yRatio;
    int64_t y0 = static_cast<int64_t>(sy);
    if (y0 > sourceHeight - 1) y0 = sourceHeight - 1;  // float rounding at huge sizes
    int64_t y1 = y0 + 1 < sourceHeight - 1 ? y0 + 1 : sourceHeight - 1;
    float fy = sy - static_cast<float>(y0);
    const unsigned char *row0 = source + y0 * sourceWidth * 3;
    const unsigned char *row1 = source + y1 * sourceWidth * 3;
    unsigned char *out = destination + j * destinationWidth * 3;
    for (int64_t i = 0; i < destinationWidth; ++i) {
      float sx = static_cast<float>(i) * xRatio;
      int64_t x0 = static_cast<int64_t>(sx);
      if (x0 > sourceWidth - 1) x0 = sourceWidth - 1;
      int64_t x1 = x0 + 1 < sourceWidth - 1 ? x0 + 1 : sourceWidth - 1;
      float fx = sx - static_cast<float>(x0);
      for (int k = 0; k < 3; ++k)
        out[i * 3 + k] = blend(row0[x0 * 3 + k], row0[x1 * 3 + k], row1[x0 * 3 + k],
                               row1[x1 * 3 + k], fx, fy);
    }
  }
}

// The bilinear sample at (x, y), bytes packed lowest first.  Points off
// the image are moved to its nearest edge.
uint32_t bilinear_interpolate(const unsigned char *image, int64_t width, int64_t height, float x,
                              float y) {
  if (!image || width < 1 || height < 1) return 0;
  float maxX = static_cast<float>(width - 1), maxY = static_cast<float>(height - 1);
  x = x >= 0.0f ? (x <= maxX ? x : maxX) : 0.0f;
  y = y >= 0.0f ? (y <= maxY ? y : maxY) : 0.0f;
  int64_t x0 = static_cast<int64_t>(x), y0 = static_cast<int64_t>(y);
  if (x0 > width - 1) x0 = width - 1;
  if (y0 > height - 1) y0 = height - 1;
  int64_t x1 = x0 + 1 < width - 1 ? x0 + 1 : width - 1;
  int64_t y1 = y0 + 1 < height - 1 ? y0 + 1 : height - 1;
  float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
  uint32_t packed = 0;
  for (int k = 0; k < 3; ++k) {
    unsigned char b = blend(image[(y0 * width + x0) * 3 + k], image[(y0 * width + x1) * 3 + k],
                            image[(y1 * width + x0) * 3 + k], image[(y1 * width + x1) * 3 + k], fx, fy);
    packed |= static_cast<uint32_t>(b) << (8 * k);
  }
  return packed;
}

// Mirrors every row left to right in place; bytes that are not colour
// bytes of a pixel become white.  Returns 1 when done.
int BMPInfo::CBMP_ImageMirror(int32_t) {
  if (!pixels || width == 0 || height == 0) return 0;
  if (!pageFits(3)) return 0;  // layout does not fit the buffer: unchanged
  for (int64_t y = 0; y < height; ++y)
    imaging_util::mirrorRow(pixels + y * lineBytes, width, bytesPerPixel, lineBytes);
  std::memset(pixels + lineBytes * height, 255, static_cast<size_t>(imageSize - lineBytes * height));
  return 1;
}
