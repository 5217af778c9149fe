// The preparation of one page for the one-bit print head: gamma 1.2, then
// Atkinson error diffusion (with the search for blank rows at the bottom)
// or Laplacian sharpening and an Otsu threshold, then mirror, negative and
// offset.
//
// The page is walked in row windows so that a page costs little more
// memory than its own buffer: the diffusion keeps three gray rows, the
// sharpening two saved rows, and mirror and negative are done on each row
// as soon as it is final.  reference::UpImageInfo at the end runs the same
// road through the record's whole-page operations; the tests hold the two
// equal.
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "imaging_util.h"

using imaging_util::clampByte;

namespace {

struct Page {
  unsigned char *pixels;
  int64_t width, height, lineBytes, bpp, imageSize;
  unsigned char *row(int64_t y) const { return pixels + y * lineBytes; }
};

// Gamma table on the three colour bytes of every pixel of a row.
void toneRow(const Page &pg, unsigned char *row, const uint8_t lut[256]) {
  for (int64_t x = 0; x < pg.width; ++x, row += pg.bpp) {
    row[0] = lut[row[0]];
    row[1] = lut[row[1]];
    row[2] = lut[row[2]];
  }
}

// Counts the darkest colour byte of every pixel of a row.
void countRow(const Page &pg, const unsigned char *row, uint64_t hist[256]) {
  for (int64_t x = 0; x < pg.width; ++x, row += pg.bpp) {
    unsigned char m = row[0] < row[1] ? row[0] : row[1];
    ++hist[m < row[2] ? m : row[2]];
  }
}

// Mirror and negative of a row whose pixels are final.
void finishRow(const Page &pg, unsigned char *row, bool mirror, bool negative) {
  if (mirror) imaging_util::mirrorRow(row, pg.width, pg.bpp, pg.lineBytes);
  if (negative)
    for (int64_t b = 0; b < pg.lineBytes; ++b) row[b] = static_cast<unsigned char>(~row[b]);
}

// Mirror and negative of the bytes after the last row: the mirror leaves
// them white, the negative inverts them.
void finishTail(const Page &pg, bool mirror, bool negative) {
  unsigned char *tail = pg.pixels + pg.height * pg.lineBytes;
  int64_t n = pg.imageSize - pg.height * pg.lineBytes;
  if (mirror) std::memset(tail, 255, static_cast<size_t>(n));
  if (negative)
    for (int64_t i = 0; i < n; ++i) tail[i] = static_cast<unsigned char>(~tail[i]);
}

// Error-diffusion road: each row's gray values (darkest toned colour byte)
// are made two rows ahead of the diffusion in a window of three rows; the
// last non-white row from row 2 on goes to lastContent (-1 when none).
// Returns false, with the page untouched, when the window cannot be had.
bool diffusePage(const Page &pg, const uint8_t lut[256], bool mirror, bool negative,
                 int64_t *lastContent) {
  const int64_t w = pg.width, h = pg.height;
  unsigned char *window = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(3 * w)));
  if (!window) return false;
  *lastContent = -1;
  auto grayRow = [&](int64_t y) { return window + (y % 3) * w; };
  // Only the gray value is kept: the diffusion overwrites every colour
  // byte, so the toned bytes need not be written back.
  auto load = [&](int64_t y) {
    const unsigned char *p = pg.row(y);
    unsigned char *g = grayRow(y);
    unsigned char all = 255;
    for (int64_t x = 0; x < w; ++x, p += pg.bpp) {
      unsigned char a = lut[p[0]], b = lut[p[1]], c = lut[p[2]];
      unsigned char m = a < b ? a : b;
      m = m < c ? m : c;
      g[x] = m;
      all &= m;
    }
    if (all != 255 && y >= 2) *lastContent = y;
  };
  load(0);
  if (h > 1) load(1);
  for (int64_t y = 0; y < h; ++y) {
    if (y + 2 < h) load(y + 2);
    unsigned char *g0 = grayRow(y);
    unsigned char *g1 = y + 1 < h ? grayRow(y + 1) : nullptr;
    unsigned char *g2 = y + 2 < h ? grayRow(y + 2) : nullptr;
    unsigned char *p = pg.row(y);
    for (int64_t x = 0; x < w; ++x, p += pg.bpp) {
      int v = g0[x], e;
      if (v >= 129) {
        p[0] = p[1] = p[2] = 255;
        e = v - 255;
      } else {
        p[0] = p[1] = p[2] = 0;
        e = v;
      }
      int q = e / 8;
      if (q == 0) continue;  // adding 0 to a byte changes nothing
      if (x + 1 < w) g0[x + 1] = clampByte(g0[x + 1] + q);
      if (x + 2 < w) g0[x + 2] = clampByte(g0[x + 2] + q);
      if (g1) {
        if (x >= 1) g1[x - 1] = clampByte(g1[x - 1] + q);
        g1[x] = clampByte(g1[x] + q);
        if (x + 1 < w) g1[x + 1] = clampByte(g1[x + 1] + q);
      }
      if (g2) g2[x] = clampByte(g2[x] + q);
    }
    finishRow(pg, pg.row(y), mirror, negative);
  }
  std::free(window);
  return true;
}

// Threshold road: tone, 4-neighbour Laplacian on every byte of the
// interior pixels and the histogram of the darkest colour byte in one
// pass (a row is final once sharpened; the rows above are read from two
// saved copies), then the Otsu threshold with mirror and negative.
void thresholdPage(const Page &pg, const uint8_t lut[256], bool mirror, bool negative) {
  const int64_t w = pg.width, h = pg.height, bpp = pg.bpp, rowBytes = w * bpp;
  uint64_t hist[256] = {};
  unsigned char *saved = nullptr;
  if (w >= 3 && h >= 3) saved = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(2 * rowBytes)));
  if (saved) {
    unsigned char *above = saved, *here = saved + rowBytes;
    toneRow(pg, pg.row(0), lut);
    toneRow(pg, pg.row(1), lut);
    std::memcpy(above, pg.row(0), static_cast<size_t>(rowBytes));
    countRow(pg, pg.row(0), hist);
    for (int64_t y = 1; y < h - 1; ++y) {
      unsigned char *out = pg.row(y), *below = pg.row(y + 1);
      toneRow(pg, below, lut);
      std::memcpy(here, out, static_cast<size_t>(rowBytes));
      for (int64_t at = bpp; at < rowBytes - bpp; ++at)
        out[at] = clampByte(5 * here[at] - (above[at] + below[at] + here[at - bpp] + here[at + bpp]));
      countRow(pg, out, hist);
      unsigned char *t = above;
      above = here;
      here = t;
    }
    countRow(pg, pg.row(h - 1), hist);
    std::free(saved);
  } else {
    // Too small to sharpen, or no room for the saved rows: unsharpened.
    for (int64_t y = 0; y < h; ++y) {
      toneRow(pg, pg.row(y), lut);
      countRow(pg, pg.row(y), hist);
    }
  }
  const int threshold = imaging_util::otsuSearch(hist, static_cast<uint64_t>(w * h));
  for (int64_t y = 0; y < h; ++y) {
    unsigned char *p = pg.row(y);
    for (int64_t x = 0; x < w; ++x, p += bpp) {
      unsigned char m = p[0] < p[1] ? p[0] : p[1];
      m = m < p[2] ? m : p[2];
      p[0] = p[1] = p[2] = m > threshold ? 255 : 0;
    }
    finishRow(pg, pg.row(y), mirror, negative);
  }
}

}  // namespace

// Turns the colour page into a black-and-white page in place and finds
// the last row with content (error-diffusion road only).
void BMPInfo::CBMP_UpImageInfo() {
  const bool mirror = doMirror != 0 && deviceData.mirrorPage != 0;
  const bool negative = deviceData.negativePage != 0;
  const bool diffuse = deviceData.thresholdMode == 0;
  gamma = 1.2;
  // The diffusion keeps only a window of gray rows; an older gray copy is
  // released as a new conversion would.
  if (diffuse) CBMP_FreeGrayBuffer();
  // A geometry that does not fit the buffer, or pixels other than 3 or 4
  // bytes, leaves the page unchanged.
  if (!pageFits(3) || bytesPerPixel > 4) return;
  const Page pg{pixels, width, height, lineBytes, bytesPerPixel, imageSize};
  uint8_t lut[256];
  imaging_util::buildGammaTable(gamma, lut);
  if (diffuse) {
    int64_t lastContent = -1;
    if (diffusePage(pg, lut, mirror, negative, &lastContent)) {
      if (height >= 3 && lastContent >= 2) blankHeightLast = lastContent + 1;
      if (blankHeightLast <= 0) blankHeightLast = 1;
      if (blankHeightLast > height) blankHeightLast = height;
    } else {
      // Without gray rows the page stays in colour, as it does when the
      // gray copy cannot be made; the encoder's threshold then decides.
      for (int64_t y = 0; y < height; ++y) {
        toneRow(pg, pg.row(y), lut);
        finishRow(pg, pg.row(y), mirror, negative);
      }
    }
  } else {
    thresholdPage(pg, lut, mirror, negative);
  }
  finishTail(pg, mirror, negative);
  if (doOffset != 0) CBMP_DoOffset();
}

// Has no effect; kept for callers of the interface.
void BMPInfo::CBMP_UpImageInfoUI() {}

// The same road through the record's whole-page operations.
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
