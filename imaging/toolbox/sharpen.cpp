// Sharpening and high-pass filters.  The page road sharpens row by row
// (page_rows.cpp); LaplacianSharpen here is the plain whole-page version
// it is checked against.
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "imaging_util.h"

using imaging_util::clampByte;
using imaging_util::mulSize;

// 4-neighbour Laplacian sharpening of every byte of each interior pixel,
// neighbours read from an unchanged copy; the outermost pixels keep their
// values.
void LaplacianSharpen(unsigned char *image, int64_t width, int64_t height, int64_t lineBytes,
                      int64_t bytesPerPixel) {
  if (!image || height < 3 || width < 3 || bytesPerPixel < 1) return;
  int64_t rowPixels = 0, total = 0;
  // Rows shorter than their pixels would overlap and run past the copy.
  if (!mulSize(width, bytesPerPixel, &rowPixels) || lineBytes < rowPixels ||
      !mulSize(lineBytes, height, &total))
    return;
  unsigned char *copy = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(total)));
  if (!copy) return;
  std::memcpy(copy, image, static_cast<size_t>(total));
  for (int64_t y = 1; y < height - 1; ++y) {
    for (int64_t x = 1; x < width - 1; ++x) {
      for (int64_t k = 0; k < bytesPerPixel; ++k) {
        int64_t at = y * lineBytes + x * bytesPerPixel + k;
        int c = copy[at];
        int sum = copy[at - lineBytes] + copy[at + lineBytes] + copy[at - bytesPerPixel] +
                  copy[at + bytesPerPixel];
        image[at] = clampByte(5 * c - sum);
      }
    }
  }
  std::free(copy);
}

// One-channel sharpening into a new white image: the border comes out
// white, an image under 3 x 3 entirely white.
void CBMP_SharpenLaplacian(unsigned char *image, int32_t width, int32_t height) {
  // The size is formed in 64 bits; a 32-bit product could wrap and make the
  // buffer too small.
  int64_t count = 0;
  if (!image || !mulSize(width, height, &count)) return;
  unsigned char *out = static_cast<unsigned char *>(std::malloc(count ? static_cast<size_t>(count) : 1));
  if (!out) return;
  std::memset(out, 255, static_cast<size_t>(count));
  if (height >= 3 && width >= 3) {
    for (int64_t y = 1; y < height - 1; ++y) {
      for (int64_t x = 1; x < width - 1; ++x) {
        int64_t at = y * width + x;
        int sum = image[at - width] + image[at + width] + image[at - 1] + image[at + 1];
        out[at] = clampByte(5 * image[at] - sum);
      }
    }
  }
  std::memcpy(image, out, static_cast<size_t>(count));
  std::free(out);
}

// Address of pixel (x, y); null for a null image.
unsigned char *GetPixelAddress(unsigned char *image, int64_t x, int64_t y, int64_t lineBytes,
                               int64_t bytesPerPixel) {
  if (!image) return nullptr;
  return image + (y * lineBytes + x * bytesPerPixel);
}

// Whether there is a page to sharpen; changes nothing.
int BMPInfo::CBMP_Sharpen() const { return width >= 1 && height >= 1 && pixels ? 1 : 0; }

// Edge image on the first byte of each pixel: 4c - (up + down + left +
// right).  Pixels are addressed without row padding, as (y * width + x) *
// bytesPerPixel.  The border and the other bytes keep their values.
int BMPInfo::CBMP_HighPassFilter() {
  if (!pixels || width < 1 || height < 1 || bytesPerPixel < 1) return 0;
  int64_t needed = 0;
  // The packed addressing must stay inside imageSize.
  if (!imaging_util::mulSize3(width, height, bytesPerPixel, &needed) || needed > imageSize) return 0;
  unsigned char *out = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(imageSize)));
  if (!out) return 0;
  std::memcpy(out, pixels, static_cast<size_t>(imageSize));
  int64_t row = width * bytesPerPixel;
  for (int64_t y = 1; y < height - 1; ++y) {
    for (int64_t x = 1; x < width - 1; ++x) {
      int64_t at = (y * width + x) * bytesPerPixel;
      int sum = pixels[at - row] + pixels[at + row] + pixels[at - bytesPerPixel] +
                pixels[at + bytesPerPixel];
      out[at] = clampByte(4 * pixels[at] - sum);
    }
  }
  std::memcpy(pixels, out, static_cast<size_t>(imageSize));
  std::free(out);
  return 1;
}

// Sharpening kernel on every byte of the interior pixels, bytes per pixel
// taken from bitCount, reading rows lineBytes apart and writing packed
// rows of width x bytes per pixel.  Border pixels are carried over into
// the packed layout; a page under 3 x 3 is left unchanged.  Returns 1 when
// done.
int BMPInfo::CBMP_HighPassFilter_Laplacian() {
  if (!pixels || width < 3 || height < 3 || bitCount < 8) return 0;
  int64_t bpp = bitCount / 8;
  int64_t packedRow = 0, packed = 0, lastRowStart = 0;
  // Both the strided input and the packed output must fit imageSize.
  if (!mulSize(width, bpp, &packedRow) || lineBytes < packedRow ||
      !mulSize(packedRow, height, &packed) || packed > imageSize ||
      !mulSize(lineBytes, height - 1, &lastRowStart) || lastRowStart + packedRow > imageSize)
    return 0;
  unsigned char *out = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(imageSize)));
  if (!out) return 0;
  std::memcpy(out, pixels, static_cast<size_t>(imageSize));
  for (int64_t y = 0; y < height; ++y) {
    const unsigned char *in = pixels + y * lineBytes;
    unsigned char *o = out + y * packedRow;
    bool borderRow = y == 0 || y == height - 1;
    for (int64_t x = 0; x < width; ++x) {
      for (int64_t k = 0; k < bpp; ++k) {
        int64_t at = x * bpp + k;
        if (borderRow || x == 0 || x == width - 1) {
          o[at] = in[at];
          continue;
        }
        int sum = in[at - lineBytes] + in[at + lineBytes] + in[at - bpp] + in[at + bpp];
        o[at] = clampByte(5 * in[at] - sum);
      }
    }
  }
  std::memcpy(pixels, out, static_cast<size_t>(imageSize));
  std::free(out);
  return 1;
}
