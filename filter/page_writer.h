// Printer command stream of rastertoquillet: one self-contained printer job
// per raster page, written to stdout.
#ifndef QUILLET_FILTER_PAGE_WRITER_H
#define QUILLET_FILTER_PAGE_WRITER_H

#include <cstdint>

#include <cups/raster.h>

#include "command_stream.h"
#include "job_settings.h"

// Stream constants and DotsToMm come with the command stream.
using quillet::DotsToMm;

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
