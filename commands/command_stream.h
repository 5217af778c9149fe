// The printer's command stream: page headers, bitmap bands down to the
// last row with content, and the PRINT command with the copy count.  The
// CUPS filter and the printer application both write pages through it, so
// a page prints the same whichever way it arrives.
#ifndef QUILLET_COMMAND_STREAM_H
#define QUILLET_COMMAND_STREAM_H

#include <cstddef>
#include <cstdint>

#include "job_settings.h"

struct BMPInfo;

// The printer takes SIZE, offsets and gaps in dots of 203 dpi whatever
// its head's resolution: the command unit, in dots per millimetre.
constexpr int kCommandDpi = 203;
constexpr float kCommandDotsPerMm = 7.992126f;  // kCommandDpi / 25.4
// Rows per BITMAP command.
constexpr int kBandHeight = 24;
// Largest page image the encoder takes on; it needs a few copies of it.
constexpr uint64_t kMaxPageBytes = 512ull << 20;

// PAPERTYPE commands of the A4 models (raw bytes, not text).
extern const unsigned char cmd_paper_black[22];
extern const unsigned char cmd_paper_continuous[22];
extern const unsigned char cmd_paper_tattoo[22];

namespace quillet {

struct HeaderStyle;

// OP_Rotate: the page turned by quarter turns.  A sideways turn is made on
// the page image; an upside-down one by the printer (DIRECTION 1).
enum Rotation : int32_t { kRotateNone = 0, kRotate90 = 1, kRotate180 = 2, kRotate270 = 3 };
constexpr bool TurnsSideways(int32_t rotate) { return rotate == kRotate90 || rotate == kRotate270; }
constexpr bool TurnsUpsideDown(int32_t rotate) { return rotate == kRotate180 || rotate == kRotate270; }

// Where the stream goes.  Flush marks the points after which the bytes
// should reach the printer (after each band and at the end of a page), so
// a cancelled job stops on a band boundary.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const void *data, size_t bytes) = 0;
  virtual void Flush() {}
  // True when the job was cancelled or the output failed: the page stops
  // before its next band and is not printed.
  virtual bool Cancelled() const { return false; }
};

// Dots to whole millimetres, in single precision, halves away from zero.
int32_t DotsToMm(int64_t dots, float dotsPerMm);

// The page header of `style` (see models.h) for a page of width x height
// dots.
void WritePageHeader(ByteSink &out, const HeaderStyle &style, int64_t width, int64_t height,
                     float dotsPerMm, const settings_ &settings);

// One page of 8-bit RGB (`width` x `height`, 3 bytes a dot, unpadded rows;
// `image` is used as scratch): optional quarter turn, preparation (tone,
// binarisation, mirror, negative), the model's header, the bands down to
// the last row with content, PRINT with `copies`.  Returns false, with
// nothing written, when memory or the geometry fails, and false after the
// last whole band when the sink reports the job cancelled.
bool EncodePage(ByteSink &out, unsigned char *image, uint64_t imageSize, int64_t width,
                int64_t height, const settings_ &settings, int copies);

// One page handed over row by row, as a printer application receives it:
// each row is prepared as it arrives (see BMPInfo::CBMP_StartRows), so no
// page of colour pixels is kept.  A turned page, or one the row entry
// cannot take, is gathered whole and goes through EncodePage.  The
// buffers stay for the next page.
class PageWriter {
 public:
  PageWriter() = default;
  ~PageWriter();
  PageWriter(const PageWriter &) = delete;
  PageWriter &operator=(const PageWriter &) = delete;

  // Starts a page of width x height 8-bit RGB dots; false when memory
  // fails or the page is larger than kMaxPageBytes.
  bool Start(int64_t width, int64_t height, const settings_ &settings, int copies);
  // The next row, width x 3 bytes; rows past the page are ignored.
  void AddRow(const unsigned char *rgb);
  // The next row as width gray bytes (each the three equal colours).
  void AddGrayRow(const unsigned char *gray);
  int64_t RowsAdded() const { return rows_; }
  // Writes the page as EncodePage does (same results); false, with
  // nothing written, when not every row came.
  bool Finish(ByteSink &out);

 private:
  bool Reserve(unsigned char **buffer, size_t *capacity, size_t bytes);

  BMPInfo *record_ = nullptr;  // the row entry's page, or null when gathering
  unsigned char *bits_ = nullptr, *page_ = nullptr;
  size_t bitsCapacity_ = 0, pageCapacity_ = 0;
  int64_t width_ = 0, height_ = 0, rows_ = 0;
  settings_ jobSettings_{};
  int copies_ = 1;
};

}  // namespace quillet

#endif
