// A deliberately plain rastertoquillet: every stage of the page road done
// the obvious way, one whole-page pass and one whole-page buffer per stage,
// pixel accessors with bounds checks.  It is the yardstick the benchmarks
// measure the real filter against, and a second implementation whose
// bytes the real filter must match.
#ifndef QUILLET_BENCH_BASELINE_H
#define QUILLET_BENCH_BASELINE_H

#include <cstdint>
#include <cstdio>

#include <cups/ppd.h>
#include <cups/raster.h>

namespace baseline {

// The 20 job settings, in the order the filter keeps them.
struct Settings {
  int32_t modelNumber, reserved, printSpeed, printDensity, labelGap, paperSel, mediaSel,
      afterDo, cutPage, offset, rotate, mirror, reversePhase, horizontalOffset, verticalOffset,
      rememberToPrint, paperType, density, halfTone, direction;
};

// Settings from an opened and marked PPD.
Settings ReadSettings(ppd_file_t *ppd);

// A colour page as the stages see it: rows of width x 3 bytes.
struct Page {
  unsigned char *pixels;
  int64_t width, height, size;
};

// Stages, in the order the page goes through them.
unsigned char *Rotate90(const unsigned char *src, int64_t width, int64_t height);
void SwapRedBlue(Page &page);
void Gamma(Page &page);
unsigned char *GrayCopy(const Page &page, int64_t *blankHeightLast);
void Dither(Page &page, unsigned char *gray);
void Sharpen(Page &page);
void Otsu(Page &page);
void Mirror(Page &page);
void Negative(Page &page);

// Runs the preparation and writes the page's printer job to `out`.
void SendPage(unsigned char *image, uint64_t size, const cups_page_header2_t &header,
              const Settings &settings, FILE *out);

}  // namespace baseline

#endif
