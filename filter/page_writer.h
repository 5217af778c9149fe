// Printer command stream of rastertoquillet: one self-contained printer job
// per raster page, written to stdout.
#ifndef QUILLET_FILTER_PAGE_WRITER_H
#define QUILLET_FILTER_PAGE_WRITER_H

#include <cstdint>

#include <cups/raster.h>

#include "job_settings.h"

// 203 dpi in dots per millimetre, for every model.
constexpr float kDotsPerMm = 7.992126f;
// Rows per BITMAP command.
constexpr int kBandHeight = 24;
// Model number of the label printer; every other number is an A4 model.
constexpr int32_t kLabelModelNumber = 1001;
// Largest page image the encoder takes on; it needs a few copies of it.
constexpr uint64_t kMaxPageBytes = 512ull << 20;

// PAPERTYPE commands of the A4 models (raw bytes, not text).
extern const unsigned char cmd_paper_black[22];
extern const unsigned char cmd_paper_continuous[22];
extern const unsigned char cmd_paper_tattoo[22];

// Dots to whole millimetres, in single precision, halves away from zero.
int32_t DotsToMm(int64_t dots, float dotsPerMm);

// True when the encoder can take pages described by `header` (8-bit chunky
// RGB, unpadded rows, a sane size); otherwise writes an ERROR line naming
// the problem and returns false.
bool CheckPageLayout(const cups_page_header2_t &header);

// Prepares one page (turn, tone, binarise, mirror, negative) in place and
// writes its header, bands and PRINT command.  Returns true when the page
// was written, false when nothing was written for it.
bool SendOnePage_RGB(unsigned char *image, uint64_t imageSize, cups_page_header2_t header,
                     settings_ settings);

// Page header of the label model.
void SendOnePage_Header(int64_t width, int64_t height, float dotsPerMm,
                        cups_page_header2_t header, settings_ settings);

// Page header of the A4 models.
void SendOnePage_HeaderA4(int64_t width, int64_t height, float dotsPerMm,
                          cups_page_header2_t header, settings_ settings);

#endif
