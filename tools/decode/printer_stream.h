// Parser and checker for the printer command stream that rastertoquillet
// writes: one self-contained job per page (SIZE ... CLS, BITMAP bands,
// PRINT).  Kept apart from the command-line tool so tests can drive it.
#ifndef QUILLET_PRINTER_STREAM_H
#define QUILLET_PRINTER_STREAM_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

struct HeaderStyle;

// One BITMAP command: position in dots, size in bytes x rows, raw bits
// (1 = white, 0 = dot).
struct Band {
  int32_t x = 0;
  int32_t y = 0;
  int32_t widthBytes = 0;
  int32_t height = 0;
  int32_t mode = 0;
  std::vector<uint8_t> bits;
};

// Everything one page job carried.  Optional commands have a has* flag.
struct PageRecord {
  size_t offset = 0;  // byte offset of the page's SIZE command
  const HeaderStyle *style = nullptr;  // the model table's style the header has
  int32_t widthMm = 0;
  int32_t heightMm = 0;
  int paperTypeValue = -1;  // PAPERTYPE value digit 0/1/2, -1 when absent
  bool hasGap = false;
  bool gapIsBline = false;  // BLINE (black line) rather than GAP
  int32_t gap[2] = {0, 0};
  int32_t direction = -1;
  bool hasReference = false;
  bool referenceBlanks = false;  // "REFERENCE x ,y " rather than "REFERENCE x,y"
  int32_t reference[2] = {0, 0};
  bool hasOffset = false;
  int32_t offsetMm = 0;
  bool hasDensity = false;
  int32_t density = 0;
  bool hasSpeed = false;
  int32_t speed = 0;
  std::vector<Band> bands;
  int32_t printSets = 0;  // first number of PRINT
  int32_t copies = 0;     // second number of PRINT
};

struct DecodeError {
  size_t offset = 0;
  std::string message;
};

// Called for every complete page; returning false stops decoding
// (DecodeStream then returns true: the caller chose to stop).
using PageSink = std::function<bool(const PageRecord &)>;

// Checks and decodes a whole stream.  Returns false with *error filled at
// the first malformed or truncated command; pages completed before it have
// been handed to the sink.
// The header styles are the model table's.
bool DecodeStream(const uint8_t *data, size_t size, const PageSink &sink, DecodeError *error);
// The same with the header styles given (the first that fits names a page).
bool DecodeStream(const uint8_t *data, size_t size, const PageSink &sink, DecodeError *error,
                  const std::vector<const HeaderStyle *> &styles);

// The page as an image: the extent of its bands (the exact page height in
// dots is not in the stream), one bit per dot, MSB first, 1 = white.
struct PageBitmap {
  int32_t width = 0;
  int32_t height = 0;
  size_t rowBytes = 0;
  std::vector<uint8_t> bits;

  bool IsDot(int32_t x, int32_t y) const {
    return (bits[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) / 8] &
            (0x80u >> (x % 8))) == 0;
  }
};

// Lays the bands out on a white canvas, honouring the BITMAP modes
// (0 overwrite, 1 OR, 2 XOR of dots).  minHeight pads the canvas below
// the last band (0: band extent only).
PageBitmap ComposePage(const PageRecord &page, int32_t minHeight = 0);

// Dots that SIZE's millimetres stand for, in the printer's command unit
// (kCommandDpi for every model), undoing the writer's conversion.
int32_t SizeMmToDots(int32_t mm);

// One line of key=value fields describing a page (no line end).
std::string SummarizePage(int pageNumber, const PageRecord &page, const PageBitmap &bitmap);

// Writes a 1-bit grayscale PNG (0 = black) with the given resolution in
// its pHYs chunk (0: none).  Returns false with a message on failure.
bool WritePng(const std::string &path, const PageBitmap &bitmap, int dpi, std::string *error);

}  // namespace quillet

#endif
