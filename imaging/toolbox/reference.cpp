// The page road written plainly, stage by stage, with the record's
// whole-page operations: slower and simpler than page_road.cpp, which the
// tests hold equal to it.
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "imaging_util.h"

// Gamma, diffusion or sharpening and threshold, mirror, negative, offset.
void reference::UpImageInfo(BMPInfo &r) {
  const bool mirrorPage = r.deviceData.mirrorPage != 0;
  const bool negativePage = r.deviceData.negativePage != 0;
  const uint64_t mode = r.deviceData.thresholdMode;
  r.CBMP_GammaCorrection(0);
  if (mode == 0) {
    r.CBMP_GrayScale();
    r.CBMP_ImageDither();
  } else {
    LaplacianSharpen(r.pixels, r.width, r.height, r.lineBytes, r.bytesPerPixel);
    BMPInfo::OTSUThresholdCV(r.pixels, r.width, r.height, r.lineBytes, r.bytesPerPixel, 1);
  }
  if (r.doMirror != 0 && mirrorPage) reference::ImageMirror(r);
  if (negativePage && r.pixels && r.width != 0 && r.height != 0 && r.imageSize != 0)
    r.CBMP_ImageNegative();
  if (r.doOffset != 0) reference::DoOffset(r);
}

// Plain mirror through a white page-sized buffer.
int reference::ImageMirror(BMPInfo &r) {
  if (!r.pixels || r.width == 0 || r.height == 0) return 0;
  if (!r.pageFits(3)) return 0;
  unsigned char *out = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(r.imageSize)));
  if (!out) return 0;
  std::memset(out, 255, static_cast<size_t>(r.imageSize));
  for (int64_t y = 0; y < r.height; ++y)
    for (int64_t i = 0; i < r.width; ++i)
      for (int k = 0; k < 3; ++k)
        out[y * r.lineBytes + i * r.bytesPerPixel + k] =
            r.pixels[y * r.lineBytes + (r.width - 1 - i) * r.bytesPerPixel + k];
  std::memcpy(r.pixels, out, static_cast<size_t>(r.imageSize));
  std::free(out);
  return 1;
}

// Plain offset shift through a white page-sized buffer.
void reference::DoOffset(BMPInfo &r) {
  if (!r.pixels) return;
  int64_t dx = 0, dy = 0;
  if (!imaging_util::dotsOf(r.deviceData.deviceOffsetX * r.offsetUnits, &dx) ||
      !imaging_util::dotsOf(r.offsetUnits * r.deviceData.deviceOffsetY, &dy))
    return;
  if (dx == 0 && dy == 0) return;
  if (!r.pageFits(1)) return;
  unsigned char *out = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(r.imageSize)));
  if (!out) return;
  std::memset(out, 255, static_cast<size_t>(r.imageSize));
  int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (r.height - ady < 0 || adx >= r.width) {
    std::free(out);
    return;
  }
  for (int64_t row = 0; row < r.height - ady; ++row) {
    int64_t dst = row + (dy > 0 ? dy : 0), src = row + (dy < 0 ? -dy : 0);
    int64_t n = r.lineBytes - adx * r.bytesPerPixel;
    if (dx < 0)
      std::memcpy(out + dst * r.lineBytes, r.pixels + src * r.lineBytes + adx * r.bytesPerPixel,
                  static_cast<size_t>(n));
    else
      std::memcpy(out + dst * r.lineBytes + dx * r.bytesPerPixel, r.pixels + src * r.lineBytes,
                  static_cast<size_t>(n));
  }
  std::memcpy(r.pixels, out, static_cast<size_t>(r.imageSize));
  std::free(out);
}
