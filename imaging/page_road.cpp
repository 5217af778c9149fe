// The page road: the stages every printed page goes through on its way
// to the one-bit print head, all in this file.  Gamma 1.2, then either
// Atkinson error diffusion (which also finds the blank rows at the bottom)
// or Laplacian sharpening and an Otsu threshold, then mirror, negative
// and the offset shift.
//
// The page is walked in row windows so that a page costs little more
// memory than its own buffer: the diffusion keeps three gray rows, the
// sharpening four colour rows, and each row is finished as soon as it is
// final (the row operations are in page_rows.cpp).  The road has two
// ends: CBMP_UpImageInfo writes the black and white pixels back into the
// page; CBMP_PackPage, the page writer's entry, writes one bit a dot and
// skips the colour write-back and, for 3-byte pixels, the red/blue swap of
// CBMP_SetBMPSource, which cannot change a black-and-white result (the
// gray value is the darkest colour byte and the sharpening works per
// colour byte).  The row entry (CBMP_StartRows, CBMP_PutRow,
// CBMP_FinishRows) feeds the same windows one row at a time as a printer
// application receives them, so no page of colour pixels is needed.
//
// The other whole-page operations of the library (toolbox/) are no stage
// of this road; toolbox/reference.cpp builds the same road from them, and
// the tests hold the two equal.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bmpinfo.h"
#include "imaging_util.h"
#include "page_rows.h"

using imaging_util::clampByte;
using namespace page_rows;

namespace {

// True when all eight bytes of `word` are below 8 or from 248 up, where
// the diffusion's error is too small to pass on.
inline bool allQuiet(uint64_t word) {
  const uint64_t high = 0x8080808080808080ull;
  // Adds 8 to every byte without carries between them.
  const uint64_t shifted = ((word & ~high) + 0x0808080808080808ull) ^ (word & high);
  return (shifted & 0xF0F0F0F0F0F0F0F0ull) == 0;
}

// What a dot of each gray value passes on to each of its six neighbours:
// an eighth of its distance to the nearer of black and white, toward
// zero.  A table, because which of the two is nearer follows the picture,
// and as a branch the processor kept guessing it wrong (10 % of a label
// page's preparation).
struct ShareTable {
  int8_t q[256];
  constexpr ShareTable() : q() {
    for (int v = 0; v < 256; ++v) q[v] = static_cast<int8_t>((v >= 129 ? v - 255 : v) / 8);
  }
};
constexpr ShareTable kShares;

// Error-diffusion road: each row's gray values (darkest colour byte, toned
// through one table lookup since the table never decreases) are made two
// rows ahead of the diffusion in a window of three rows; the last
// non-white row from row 2 on goes to lastContent (-1 when none).  Window
// rows carry two spare bytes each side, and a fourth row stands in below
// the page, so the error spreads without edge tests.  The rows come in
// from the whole page or one at a time from the row entry.
class Diffusion {
 public:
  Diffusion(int64_t w, int64_t h, const uint8_t lut[256])
      : w_(w), h_(h), stride_(w + 4), lut_(lut),
        window_(static_cast<unsigned char *>(std::calloc(static_cast<size_t>(4 * stride_), 1))) {}
  ~Diffusion() { std::free(window_); }
  Diffusion(const Diffusion &) = delete;
  Diffusion &operator=(const Diffusion &) = delete;

  bool ok() const { return window_ != nullptr; }
  int64_t lastContent() const { return lastContent_; }
  void usePairs(const uint16_t *pairs) { pairs_ = pairs; }

  // Gray values of row y from its colour pixels (bpp bytes each); rows
  // are loaded in order, at most two ahead of the diffusion.
  void load(int64_t y, const unsigned char *p, int64_t bpp) {
    unsigned char *g = grayRow(y);
    unsigned char all = 255;
    const int64_t w = w_;
    const uint8_t *lut = lut_;
    for (int64_t x = 0; x < w; ++x, p += bpp) {
      unsigned char m = p[0] < p[1] ? p[0] : p[1];
      m = lut[m < p[2] ? m : p[2]];
      g[x] = m;
      all &= m;
    }
    if (all != 255 && y >= 2) lastContent_ = y;
  }
  // The same from a row of one byte a dot (the three colours equal),
  // two dots a lookup when the table's pair table is given.
  void loadGray(int64_t y, const unsigned char *gray) {
    unsigned char *g = grayRow(y);
    unsigned char all = 255;
    const int64_t w = w_;
    const uint8_t *lut = lut_;
    int64_t x = 0;
    if (const uint16_t *pairs = pairs_) {
      uint16_t both = 0xFFFF;
      for (; x + 2 <= w; x += 2) {
        uint16_t v;
        std::memcpy(&v, gray + x, 2);
        v = pairs[v];
        std::memcpy(g + x, &v, 2);
        both &= v;
      }
      all = static_cast<unsigned char>(both & (both >> 8));
    }
    for (; x < w; ++x) {
      const unsigned char m = lut[gray[x]];
      g[x] = m;
      all &= m;
    }
    if (all != 255 && y >= 2) lastContent_ = y;
  }

  // Diffuses row y, whose two rows below are loaded, and emits it.
  void diffuse(const Page &pg, const Sink &sink, int64_t y) {
    // In locals: stores through byte pointers could alias the members.
    const int64_t w = w_;
    unsigned char *g0 = grayRow(y), *g1 = grayRow(y + 1), *g2 = grayRow(y + 2);
    int64_t x = 0;
    while (x < w) {
      int v = g0[x];
      if (static_cast<unsigned char>(v + 8) < 16) {
        // Nothing to pass on: skip the quiet run eight bytes at a time.
        uint64_t word;
        ++x;
        while (x + 8 <= w && (std::memcpy(&word, g0 + x, 8), allQuiet(word))) x += 8;
        continue;
      }
      // A run of pixels with something to pass on. The values still
      // changing stay in registers (the next pixel's, and the row below's
      // two that take more shares), so no step waits for memory; each is
      // stored once final, the rest when the run ends.
      int next = g0[x + 1];
      int below = g1[x - 1], belowNext = g1[x];
      for (;;) {
        const int q = kShares.q[v];
        v = clampByte(next + q);
        g0[x + 1] = static_cast<unsigned char>(v);
        next = clampByte(g0[x + 2] + q);
        g1[x - 1] = clampByte(below + q);
        below = clampByte(belowNext + q);
        belowNext = clampByte(g1[x + 1] + q);
        g2[x] = clampByte(g2[x] + q);
        if (++x >= w || static_cast<unsigned char>(v + 8) < 16) break;
      }
      g0[x + 1] = static_cast<unsigned char>(next);
      g1[x - 1] = static_cast<unsigned char>(below);
      g1[x] = static_cast<unsigned char>(belowNext);
    }
    // A gray value no longer changes once the diffusion has passed it.
    emitRow(pg, sink, y, g0, 129);
  }

 private:
  unsigned char *grayRow(int64_t y) { return window_ + (y < h_ ? y % 3 : 3) * stride_ + 2; }

  int64_t w_, h_, stride_;
  const uint8_t *lut_;
  const uint16_t *pairs_ = nullptr;
  unsigned char *window_;
  int64_t lastContent_ = -1;
};

// The diffusion over a whole page.  Returns false, with the page
// untouched, when the window cannot be had.
bool diffusePage(const Page &pg, const uint8_t lut[256], const Sink &sink, int64_t *lastContent) {
  const int64_t h = pg.height;
  Diffusion diffusion(pg.width, h, lut);
  if (!diffusion.ok()) return false;
  diffusion.load(0, pg.row(0), pg.bpp);
  if (h > 1) diffusion.load(1, pg.row(1), pg.bpp);
  for (int64_t y = 0; y < h; ++y) {
    if (y + 2 < h) diffusion.load(y + 2, pg.row(y + 2), pg.bpp);
    diffusion.diffuse(pg, sink, y);
  }
  *lastContent = diffusion.lastContent();
  return true;
}

// Where the threshold road keeps each final row's gray values for the
// bit sink until the threshold is known: the start of its page row, or a
// gray page of one byte a dot on the row entry.
struct GrayRows {
  unsigned char *start;
  int64_t stride;
  unsigned char *row(int64_t y) const { return start + y * stride; }
};

// The histogram step of the threshold road: counts the darkest colour
// byte of every final row.  For the bit sink it also keeps each row's gray
// values in `kept`, where the row emitter reads them; in place, a final
// row that was built elsewhere goes back to the page.
class GrayHistogram {
 public:
  // `gray` is scratch for one row of w bytes, or null (then rows are
  // counted pixel by pixel).
  GrayHistogram(const Page &pg, const Sink &sink, unsigned char *gray, GrayRows kept)
      : pg_(pg), sink_(sink), gray_(gray), kept_(kept) {}

  void addGrayRow(int64_t y, const unsigned char *values) {
    countRow(values, pg_.width, hist_);
    if (sink_.bits) std::memcpy(kept_.row(y), values, static_cast<size_t>(pg_.width));
  }

  void addColourRow(int64_t y, const unsigned char *row) {
    if (!sink_.bits && row != pg_.row(y))
      std::memcpy(pg_.row(y), row, static_cast<size_t>(pg_.width * pg_.bpp));
    if (!gray_) {
      for (int64_t x = 0; x < pg_.width; ++x, row += pg_.bpp) {
        unsigned char m = row[0] < row[1] ? row[0] : row[1];
        ++hist_[0][m < row[2] ? m : row[2]];
      }
      return;
    }
    grayOfRow(row, pg_.width, pg_.bpp, gray_);
    addGrayRow(y, gray_);
  }

  // Row y, known to be blank paper: already white in the page, not yet
  // in a gray page of its own.
  void addBlankRow(int64_t y) {
    hist_[0][255] += static_cast<uint64_t>(pg_.width);
    if (sink_.bits && kept_.start != pg_.pixels) std::memset(kept_.row(y), 255, static_cast<size_t>(pg_.width));
  }

  // Otsu's threshold over every row counted.
  int threshold() {
    for (int i = 1; i < 4; ++i)
      for (int v = 0; v < 256; ++v) hist_[0][v] += hist_[i][v];
    return imaging_util::otsuSearch(hist_[0], static_cast<uint64_t>(pg_.width * pg_.height));
  }

 private:
  const Page &pg_;
  const Sink &sink_;
  unsigned char *gray_;
  GrayRows kept_;
  uint64_t hist_[4][256] = {};
};

// One toned row of the sharpening window: its colour bytes, or for a row
// of neutral pixels one byte a pixel (colour made only when asked).
struct WindowRow {
  unsigned char *colour, *one;
  bool blank, neutral, hasColour;
};

// The sharpening window of the threshold road: three toned rows slide
// down the page; each middle row is sharpened into a fourth and counted
// as soon as it is final.  Rows of neutral pixels (black text on white
// paper, gray pictures) are toned and sharpened one byte a pixel, which
// gives what each of the three equal colours would; only the bit sink
// takes this shortcut, as it needs no colours back.  `rows` holds four
// colour rows and four rows of one byte a pixel.  The page's rows are
// fed in order, from the whole page or from the row entry.
class SharpenWindow {
 public:
  SharpenWindow(const Page &pg, const uint8_t lut[256], const uint16_t *pairs, const Sink &sink,
                unsigned char *rows, GrayHistogram &histogram)
      : pg_(pg), lut_(lut), pairs_(pairs), histogram_(histogram),
        rowBytes_(pg.width * pg.bpp), neutralShortcut_(sink.bits && pg.bpp == 3) {
    unsigned char *ones = rows + 4 * rowBytes_;
    above_ = {rows, ones, false, false, false};
    here_ = {rows + rowBytes_, ones + pg.width, false, false, false};
    below_ = {rows + 2 * rowBytes_, ones + 2 * pg.width, false, false, false};
    out_ = rows + 3 * rowBytes_;
    outOne_ = ones + 3 * pg.width;
  }

  // Row y of the page arrives: colour pixels of the page's bpp or, with
  // `gray` (only for the bit sink's 3-byte pages), one byte a dot.
  void feed(int64_t y, const unsigned char *row, bool gray = false) {
    if (y == 0) {
      load(above_, row, gray);
      return;
    }
    if (y == 1) {
      load(here_, row, gray);
      addUnsharpened(0, above_);
      return;
    }
    load(below_, row, gray);
    sharpen(y - 1);
    const WindowRow t = above_;
    above_ = here_;
    here_ = below_;
    below_ = t;
  }

  // After the last row: the bottom row goes unsharpened.
  void finish() { addUnsharpened(pg_.height - 1, here_); }

 private:
  void load(WindowRow &s, const unsigned char *row, bool gray) {
    const int64_t w = pg_.width;
    if (gray) std::memcpy(s.one, row, static_cast<size_t>(w));
    s.neutral = gray || (neutralShortcut_ && neutralRow(row, w, s.one));
    s.hasColour = !s.neutral;
    s.blank = s.neutral ? toneBytes(s.one, w, lut_, pairs_) : toneRow(pg_, row, s.colour, lut_, pairs_);
  }
  unsigned char *colourOf(WindowRow &s) {
    if (!s.hasColour) expandRow(s.one, pg_.width, s.colour);
    s.hasColour = true;
    return s.colour;
  }
  void addUnsharpened(int64_t y, WindowRow &s) {
    if (s.neutral) {
      histogram_.addGrayRow(y, s.one);
    } else {
      histogram_.addColourRow(y, s.colour);
    }
  }
  void sharpen(int64_t y) {
    if (above_.blank && here_.blank && below_.blank) {
      // Blank paper all round sharpens to itself: the page row is white
      // already, as its gray values would be.
      histogram_.addBlankRow(y);
    } else if (above_.neutral && here_.neutral && below_.neutral) {
      sharpenRow(above_.one, here_.one, below_.one, outOne_, pg_.width, 1);
      histogram_.addGrayRow(y, outOne_);
    } else {
      sharpenRow(colourOf(above_), colourOf(here_), colourOf(below_), out_, rowBytes_, pg_.bpp);
      histogram_.addColourRow(y, out_);
    }
  }

  const Page &pg_;
  const uint8_t *lut_;
  const uint16_t *pairs_;
  GrayHistogram &histogram_;
  int64_t rowBytes_;
  bool neutralShortcut_;
  WindowRow above_{}, here_{}, below_{};
  unsigned char *out_, *outOne_;
};

// A page too small to sharpen, or with no room for the window: toned in
// place and counted.
void toneUnsharpened(const Page &pg, const uint8_t lut[256], const uint16_t *pairs,
                     GrayHistogram &histogram) {
  for (int64_t y = 0; y < pg.height; ++y) {
    toneRow(pg, pg.row(y), pg.row(y), lut, pairs);
    histogram.addColourRow(y, pg.row(y));
  }
}

// The row emitter of the threshold road: every row black or white by the
// threshold, then packed or mirrored and inverted in place.
void emitThresholdRows(const Page &pg, const Sink &sink, GrayRows kept, int threshold) {
  for (int64_t y = 0; y < pg.height; ++y) {
    if (sink.bits) {
      emitRow(pg, sink, y, kept.row(y), threshold + 1);
      continue;
    }
    unsigned char *p = pg.row(y);
    for (int64_t x = 0; x < pg.width; ++x, p += pg.bpp) {
      unsigned char m = p[0] < p[1] ? p[0] : p[1];
      m = m < p[2] ? m : p[2];
      p[0] = p[1] = p[2] = m > threshold ? 255 : 0;
    }
    finishRow(pg, pg.row(y), sink.mirror, sink.negative);
  }
}

// The road's gamma; it never changes, so neither does its tone table.
constexpr double kRoadGamma = 1.2;

// The pair table of the road's tone table, made once and shared by every
// page and thread (128 kB a page otherwise); null for another table or
// when there is no memory, and then the byte table does.
const uint16_t *sharedPairs(const uint8_t lut[256]) {
  struct Shared {
    uint8_t lut[256];
    uint16_t pairs[1 << 16];
  };
  static const Shared *const shared = [] {
    auto *made = static_cast<Shared *>(std::malloc(sizeof(Shared)));
    if (made) {
      imaging_util::buildGammaTable(kRoadGamma, made->lut);
      buildPairs(made->lut, made->pairs);
    }
    return made;
  }();
  return shared && std::memcmp(shared->lut, lut, 256) == 0 ? shared->pairs : nullptr;
}

// Threshold road: tone, sharpening and histogram in one pass down the
// page, then the Otsu threshold decides each dot in the row emitter.
// Returns false, with the page untouched, when the bit sink's rows cannot
// be had.
bool thresholdPage(const Page &pg, const uint8_t lut[256], const Sink &sink) {
  const int64_t w = pg.width, h = pg.height, rowBytes = w * pg.bpp;
  const bool sharpen = w >= 3 && h >= 3;
  // The window's rows (four colour rows, four of one byte a pixel) and
  // the histogram's gray row.
  const int64_t windowBytes = sharpen ? 4 * rowBytes + 4 * w : 0;
  unsigned char *scratch = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(windowBytes + w)));
  if (!scratch && sink.bits) return false;
  // Worth making only for a page of some size.
  const uint16_t *pairs = w * h >= (1 << 16) ? sharedPairs(lut) : nullptr;
  // The bit sink's gray values wait at the start of their page rows.
  const GrayRows kept{pg.pixels, pg.lineBytes};
  GrayHistogram histogram(pg, sink, scratch ? scratch + windowBytes : nullptr, kept);
  if (sharpen && scratch) {
    SharpenWindow window(pg, lut, pairs, sink, scratch, histogram);
    for (int64_t y = 0; y < h; ++y) window.feed(y, pg.row(y));
    window.finish();
  } else {
    toneUnsharpened(pg, lut, pairs, histogram);
  }
  emitThresholdRows(pg, sink, kept, histogram.threshold());
  std::free(scratch);
  return true;
}

}  // namespace

// Gamma of the road; the diffusion keeps only a window of gray rows, so
// an older gray copy is released as a new conversion would.
void BMPInfo::startPreparation() {
  gamma = kRoadGamma;
  if (deviceData.thresholdMode == 0) CBMP_FreeGrayBuffer();
}

// Both ends of the road: the page in place (sink without bits) or packed.
// Returns false, with the page untouched, when the bit sink cannot be
// served; the in-place end always finishes.
bool BMPInfo::prepare(unsigned char *bits, int64_t bytesPerRow) {
  Sink sink;
  sink.bits = bits;
  sink.bytesPerRow = bytesPerRow;
  sink.mirror = doMirror != 0 && deviceData.mirrorPage != 0;
  sink.negative = deviceData.negativePage != 0;
  const bool diffuse = deviceData.thresholdMode == 0;
  const Page pg{pixels, width, height, lineBytes, bytesPerPixel, imageSize};
  uint8_t lut[256];
  imaging_util::buildGammaTable(gamma, lut);
  if (diffuse) {
    int64_t lastContent = -1;
    if (diffusePage(pg, lut, sink, &lastContent)) {
      noteLastContent(lastContent);
    } else {
      if (bits) return false;
      // Without gray rows the page stays in colour, as it does when the
      // gray copy cannot be made; the page writer's threshold then decides.
      for (int64_t y = 0; y < height; ++y) {
        toneRow(pg, pg.row(y), pg.row(y), lut, nullptr);
        finishRow(pg, pg.row(y), sink.mirror, sink.negative);
      }
    }
  } else if (!thresholdPage(pg, lut, sink)) {
    return false;
  }
  if (bits) return true;
  finishTail(pg, sink.mirror, sink.negative);
  if (doOffset != 0) CBMP_DoOffset();
  return true;
}

// The rows down to the last row with content, as the diffusion found it.
void BMPInfo::noteLastContent(int64_t lastContent) {
  if (height >= 3 && lastContent >= 2) blankHeightLast = lastContent + 1;
  if (blankHeightLast <= 0) blankHeightLast = 1;
  if (blankHeightLast > height) blankHeightLast = height;
}

// Turns the colour page into a black-and-white page in place and finds
// the last row with content (error-diffusion road only).
void BMPInfo::CBMP_UpImageInfo() {
  startPreparation();
  // A geometry that does not fit the buffer, or pixels other than 3 or 4
  // bytes, leaves the page unchanged.
  if (!pageFits(3) || bytesPerPixel > 4) return;
  prepare(nullptr, 0);
}

// The page writer's entry: takes the page in its raster (RGB) order, without
// the red/blue swap of CBMP_SetBMPSource, and writes it packed.  Other set-ups
// (4-byte pixels, an offset shift, no memory for the row windows) go the
// whole way through the swap and CBMP_UpImageInfo.
bool BMPInfo::CBMP_PackPage(unsigned char *data, int64_t size, unsigned char *bits,
                            int64_t bytesPerRow) {
  pixels = data;
  imageSize = size;
  startPreparation();
  if (!bits || !pageFits(3) || bytesPerPixel > 4 || bytesPerRow < (width + 7) / 8) return false;
  const bool shifts = doOffset != 0 && !(std::fabs(deviceData.deviceOffsetX * offsetUnits) < 1.0f &&
                                         std::fabs(offsetUnits * deviceData.deviceOffsetY) < 1.0f);
  // The swap works on groups of three bytes, so only with 3-byte
  // pixels does it stay within each pixel and leave the result alone.
  if (bytesPerPixel == 3 && !shifts && prepare(bits, bytesPerRow)) return true;
  RGB_to_BGR(data, size);
  CBMP_UpImageInfo();
  // The colour page left by a failed diffusion window is judged by its
  // first byte, as the print head's packing always has.
  for (int64_t y = 0; y < height; ++y) {
    const unsigned char *p = pixels + y * lineBytes;
    unsigned char *out = bits + y * bytesPerRow;
    std::memset(out, 0xFF, static_cast<size_t>(bytesPerRow));
    for (int64_t x = 0; x < width; ++x)
      if (p[x * bytesPerPixel] < 129) out[x / 8] = static_cast<unsigned char>(out[x / 8] & ~(0x80u >> (x % 8)));
  }
  return true;
}

// Has no effect; kept for callers of the interface.
void BMPInfo::CBMP_UpImageInfoUI() {}

// Shifts the page by the device offsets in place (positive moves right
// and down); the uncovered area becomes white, and a shift that would
// leave nothing of the page in view is not made.
void BMPInfo::CBMP_DoOffset() {
  if (!pixels) return;
  int64_t dx = 0, dy = 0;
  // Products too large for a dot count cannot be converted safely.
  if (!imaging_util::dotsOf(deviceData.deviceOffsetX * offsetUnits, &dx) ||
      !imaging_util::dotsOf(offsetUnits * deviceData.deviceOffsetY, &dy))
    return;
  if (dx == 0 && dy == 0) return;
  if (!pageFits(1)) return;  // layout does not fit the buffer: unchanged
  int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (height - ady < 0 || adx >= width) return;
  int64_t segment = lineBytes - adx * bytesPerPixel;
  int64_t from = dx < 0 ? adx * bytesPerPixel : 0, to = dx < 0 ? 0 : dx * bytesPerPixel;
  // Rows move toward the shift, so walk from the far side to read every
  // source row before it is overwritten.
  for (int64_t i = 0; i < height; ++i) {
    int64_t d = dy > 0 ? height - 1 - i : i;
    unsigned char *row = pixels + d * lineBytes;
    int64_t s = d - dy;
    if (s < 0 || s >= height) {
      std::memset(row, 255, static_cast<size_t>(lineBytes));
      continue;
    }
    std::memmove(row + to, pixels + s * lineBytes + from, static_cast<size_t>(segment));
    std::memset(row, 255, static_cast<size_t>(to));
    std::memset(row + to + segment, 255, static_cast<size_t>(lineBytes - to - segment));
  }
  std::memset(pixels + lineBytes * height, 255, static_cast<size_t>(imageSize - lineBytes * height));
}


// The row entry's state: the road's row windows fed one row at a time.
// The diffusion needs only its window; the threshold needs the whole
// page's histogram first, so it keeps one gray byte a dot (a third of
// the colour page) until the last row.
struct BMPInfo::RowRoad {
  Page pg{};
  Sink sink;
  uint8_t lut[256];
  int64_t next = 0;  // rows taken
  Diffusion *diffusion = nullptr;
  // Threshold road: window rows, the histogram's gray row and, on a page
  // too small to sharpen, a row to tone into; the gray page (`kept`, in
  // the packed page's buffer or `gray`).
  unsigned char *scratch = nullptr, *toned = nullptr, *gray = nullptr, *kept = nullptr;
  GrayHistogram *histogram = nullptr;
  SharpenWindow *window = nullptr;

  ~RowRoad() {
    delete window;
    delete histogram;
    delete diffusion;
    std::free(scratch);
    std::free(gray);
  }
};

bool BMPInfo::CBMP_StartRows(unsigned char *bits, int64_t bytesPerRow, int64_t bitsBytes) {
  CBMP_EndRows();
  startPreparation();
  const int64_t w = width, h = height;
  if (!bits || bytesPerPixel != 3 || w <= 0 || h <= 0 || bytesPerRow < (w + 7) / 8 ||
      w > INT64_MAX / 4 / 16 || h > INT64_MAX / w || bitsBytes / h < bytesPerRow)
    return false;
  // The shift works on the whole page.
  if (doOffset != 0 && !(std::fabs(deviceData.deviceOffsetX * offsetUnits) < 1.0f &&
                         std::fabs(offsetUnits * deviceData.deviceOffsetY) < 1.0f))
    return false;
  auto *road = new (std::nothrow) RowRoad;
  if (!road) return false;
  road->pg = Page{nullptr, w, h, 3 * w, 3, 0};
  road->sink.bits = bits;
  road->sink.bytesPerRow = bytesPerRow;
  road->sink.mirror = doMirror != 0 && deviceData.mirrorPage != 0;
  road->sink.negative = deviceData.negativePage != 0;
  imaging_util::buildGammaTable(gamma, road->lut);
  bool ok;
  if (deviceData.thresholdMode == 0) {
    road->diffusion = new (std::nothrow) Diffusion(w, h, road->lut);
    ok = road->diffusion && road->diffusion->ok();
    if (ok && w * h >= (1 << 16)) road->diffusion->usePairs(sharedPairs(road->lut));
  } else {
    const bool sharpen = w >= 3 && h >= 3;
    const int64_t windowBytes = sharpen ? 16 * w : 0, tonedBytes = sharpen ? 0 : 3 * w;
    road->scratch = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(windowBytes + w + tonedBytes)));
    // Packed row y ends at (y + 1) x bytesPerRow, never past gray row y,
    // so the gray page can share the packed page's buffer.
    const bool shared = bitsBytes / h >= w && bytesPerRow <= w;
    if (!shared) road->gray = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(w * h)));
    road->kept = shared ? bits : road->gray;
    ok = road->scratch && road->kept;
    if (ok) {
      road->toned = road->scratch + windowBytes + w;
      road->histogram = new (std::nothrow)
          GrayHistogram(road->pg, road->sink, road->scratch + windowBytes, GrayRows{road->kept, w});
      const uint16_t *pairs = w * h >= (1 << 16) ? sharedPairs(road->lut) : nullptr;
      if (road->histogram && sharpen)
        road->window = new (std::nothrow)
            SharpenWindow(road->pg, road->lut, pairs, road->sink, road->scratch, *road->histogram);
      ok = road->histogram && (road->window || !sharpen);
    }
  }
  if (!ok) {
    delete road;
    return false;
  }
  rowRoad = road;
  return true;
}

void BMPInfo::CBMP_PutRow(const unsigned char *row) { putRow(row, false); }

void BMPInfo::CBMP_PutGrayRow(const unsigned char *gray) { putRow(gray, true); }

void BMPInfo::putRow(const unsigned char *row, bool gray) {
  RowRoad *road = rowRoad;
  if (!road || road->next >= height) return;
  const int64_t y = road->next++;
  if (road->diffusion) {
    if (gray) {
      road->diffusion->loadGray(y, row);
    } else {
      road->diffusion->load(y, row, 3);
    }
    if (y >= 2) road->diffusion->diffuse(road->pg, road->sink, y - 2);
  } else if (road->window) {
    road->window->feed(y, row, gray);
  } else {
    if (gray) {
      expandRow(row, width, road->toned);
      row = road->toned;
    }
    toneRow(road->pg, row, road->toned, road->lut, nullptr);
    road->histogram->addColourRow(y, road->toned);
  }
}

bool BMPInfo::CBMP_FinishRows() {
  RowRoad *road = rowRoad;
  const bool whole = road && road->next == height;
  if (whole && road->diffusion) {
    for (int64_t y = height > 2 ? height - 2 : 0; y < height; ++y)
      road->diffusion->diffuse(road->pg, road->sink, y);
    noteLastContent(road->diffusion->lastContent());
  } else if (whole) {
    if (road->window) road->window->finish();
    emitThresholdRows(road->pg, road->sink, GrayRows{road->kept, width}, road->histogram->threshold());
  }
  CBMP_EndRows();
  return whole;
}

void BMPInfo::CBMP_EndRows() {
  delete rowRoad;
  rowRoad = nullptr;
}
