// The row operations the page road is built from (page_rows.cpp).  Only
// the road uses them; they are not part of the library's interface.
#ifndef QUILLET_PAGE_ROWS_H
#define QUILLET_PAGE_ROWS_H

#include <cstdint>

namespace page_rows {

struct Page {
  unsigned char *pixels;
  int64_t width, height, lineBytes, bpp, imageSize;
  unsigned char *row(int64_t y) const { return pixels + y * lineBytes; }
};

// Where finished rows go: back into the page as 0 / 255 colour bytes, or
// packed into `bits` (bytesPerRow a row).
struct Sink {
  unsigned char *bits = nullptr;
  int64_t bytesPerRow = 0;
  bool mirror = false, negative = false;
};

// Fills `pairs` (65536 entries) from the byte table `lut`: entry k, read
// as two bytes, holds the table's values of k's two bytes.
void buildPairs(const uint8_t lut[256], uint16_t *pairs);

// Tone table on the three colour bytes of every pixel of row `from`,
// written to `to` (which may be `from`); other bytes are copied.  `pairs`
// (or null) is the table's pair table.  True when the row is known to be
// blank paper, before and after.
bool toneRow(const Page &pg, const unsigned char *from, unsigned char *to, const uint8_t lut[256],
             const uint16_t *pairs);
// Tone table on n bytes in place; true when all were blank paper.
bool toneBytes(unsigned char *bytes, int64_t n, const uint8_t lut[256], const uint16_t *pairs);

// The darkest colour byte of every pixel of a row of w pixels.
void grayOfRow(const unsigned char *row, int64_t w, int64_t bpp, unsigned char *gray);
// True when every pixel of a 3-byte row has three equal colour bytes;
// their values then go to `one`, one byte a pixel.
bool neutralRow(const unsigned char *row, int64_t w, unsigned char *one);
// A row of one byte a pixel written out as 3-byte neutral pixels.
void expandRow(const unsigned char *one, int64_t w, unsigned char *row);

// Adds a row of gray values to four interleaved 256-bin histograms.
void countRow(const unsigned char *gray, int64_t w, uint64_t hist[4][256]);

// 5 x centre less the four neighbours for every byte of the interior
// pixels of row `here`, clamped, into `out`; edge pixels are copied.
void sharpenRow(const unsigned char *above, const unsigned char *here, const unsigned char *below,
                unsigned char *out, int64_t rowBytes, int64_t bpp);

// Mirror and negative of a row whose pixels are final.
void finishRow(const Page &pg, unsigned char *row, bool mirror, bool negative);
// Mirror and negative of the bytes after the last row.
void finishTail(const Page &pg, bool mirror, bool negative);
// Finished row y of black (below `least`) and white values: packed into
// the sink, or written back as colour bytes, mirrored and inverted.
void emitRow(const Page &pg, const Sink &sink, int64_t y, unsigned char *values, int least);

}  // namespace page_rows

#endif
