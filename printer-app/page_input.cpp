// What reaches the driver.  The printers print black dots only: clients
// are offered gray, PAPPL's choice between colour and gray always falls on
// gray, colour images are turned to gray here, and sRGB raster that a
// client sends anyway still prints as before, through the page road's own
// colour rule.  Images with no orientation asked for turn to fit the
// page.  The program exports the interposed functions (CMakeLists.txt).
#include "page_input.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>

namespace quillet_app {
namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

bool IsRgbSpace(unsigned space) {
  return space == CUPS_CSPACE_RGB || space == CUPS_CSPACE_SRGB || space == CUPS_CSPACE_ADOBERGB;
}

// The raster header of 8-bit sRGB or sGray lines of the same page.
void SetColours(cups_page_header2_t *header, bool rgb) {
  header->cupsBitsPerColor = 8;
  header->cupsBitsPerPixel = rgb ? 24 : 8;
  header->cupsBytesPerLine = header->cupsWidth * (rgb ? 3 : 1);
  header->cupsColorSpace = rgb ? CUPS_CSPACE_SRGB : CUPS_CSPACE_SW;
  header->cupsNumColors = rgb ? 3 : 1;
}

void MendColorDefault(pappl_printer_t *printer, void * /*data*/) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  if (!(data.color_default & data.color_supported)) {
    data.color_default = PAPPL_COLOR_MODE_MONOCHROME;
    papplPrinterSetDriverDefaults(printer, &data, 0, nullptr);
  }
}

}  // namespace

void RgbToGray(unsigned char *pixels, size_t count) {
  // Luminance as JPEG's YCbCr has it. Alone it puts yellow at 226 and blue
  // at 29, where the page road prints no dot (from about 225 up) or no
  // gap (below about 50): a colour's luminance is drawn into 64..200,
  // as far as the colour is colourful (max - min of its bytes), so every
  // colour prints as a tone of its own; grays keep their value.
  const unsigned char *from = pixels;
  for (size_t i = 0; i < count; ++i, from += 3) {
    const int r = from[0], g = from[1], b = from[2];
    const int luma = (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
    const int chroma = std::max(r, std::max(g, b)) - std::min(r, std::min(g, b));
    // luma + chroma / 255 * ((64 + luma * 136 / 255) - luma), rounded
    pixels[i] = static_cast<unsigned char>((luma * 65025 + chroma * (16320 - 119 * luma) + 32512) / 65025);
  }
}

bool IsRgbAsBytes(const cups_page_header2_t &header) {
  return header.cupsBitsPerColor == 8 && header.cupsBitsPerPixel == 8 && header.cupsNumColors == 3 &&
         IsRgbSpace(header.cupsColorSpace) && header.cupsWidth % 3 == 0;
}

void MendColorDefaults(pappl_system_t *system) {
  papplSystemIteratePrinters(system, MendColorDefault, nullptr);
}

}  // namespace quillet_app

// Print options are always monochrome (PAPPL's "auto" would pick colour
// for a colour document). For a colour image the header still says sRGB,
// so that PAPPL's JPEG reader decodes colour, which papplJobFilterImage
// below turns to gray; PAPPL's own gray decode is the bare luminance.
extern "C" pappl_pr_options_t *papplJobCreatePrintOptions(pappl_job_t *job, unsigned num_pages,
                                                          bool color) {
  using Fn = pappl_pr_options_t *(*)(pappl_job_t *, unsigned, bool);
  static const Fn next = quillet_app::Next<Fn>("papplJobCreatePrintOptions");
  pappl_pr_options_t *options = next(job, num_pages, false);
  if (options && color) quillet_app::SetColours(&options->header, true);
  return options;
}

// PAPPL refuses raster pages of more than 8 bits a pixel from a printer
// without colour.  Clients are offered sgray_8 only, but sRGB raster that
// comes anyway is read as rows of bytes three times as wide; the driver
// takes them as RGB pixels again (IsRgbAsBytes).  Only PAPPL reads raster
// in this program.
extern "C" unsigned cupsRasterReadHeader2(cups_raster_t *r, cups_page_header2_t *h) {
  using Fn = unsigned (*)(cups_raster_t *, cups_page_header2_t *);
  static const Fn next = quillet_app::Next<Fn>("cupsRasterReadHeader2");
  const unsigned ok = next(r, h);
  if (ok && h->cupsBitsPerColor == 8 && h->cupsBitsPerPixel == 24 && h->cupsColorOrder == CUPS_ORDER_CHUNKED &&
      h->cupsNumColors == 3 && quillet_app::IsRgbSpace(h->cupsColorSpace) && h->cupsWidth <= UINT_MAX / 3) {
    h->cupsWidth *= 3;
    h->cupsBitsPerPixel = 8;
  }
  return ok;
}

// Colour images print as gray (RgbToGray), and an image turns a quarter
// when it is wide on a tall page or tall on a wide one, unless the job
// asks for an orientation. A job without one gets the printer's default,
// which printers made before stored as portrait: that counts as no choice.
extern "C" bool papplJobFilterImage(pappl_job_t *job, pappl_device_t *device, pappl_pr_options_t *options,
                                    const unsigned char *pixels, int width, int height, int depth, int ppi,
                                    bool smoothing) {
  using Fn = bool (*)(pappl_job_t *, pappl_device_t *, pappl_pr_options_t *, const unsigned char *, int,
                      int, int, int, bool);
  static const Fn next = quillet_app::Next<Fn>("papplJobFilterImage");
  if (depth == 3 && width > 0 && height > 0) {
    // The caller's own buffer (PNG and JPEG readers alike), freed unread
    // after this call: gray in place costs no second image.
    quillet_app::RgbToGray(const_cast<unsigned char *>(pixels), size_t(width) * size_t(height));
    depth = 1;
  }
  quillet_app::SetColours(&options->header, false);
  const ipp_orient_t asked = options->orientation_requested;
  if (asked == IPP_ORIENT_NONE ||
      (asked == IPP_ORIENT_PORTRAIT && !papplJobGetAttribute(job, "orientation-requested"))) {
    const unsigned pageWidth = options->header.cupsWidth, pageHeight = options->header.cupsHeight;
    const bool turn = width != height && pageWidth != pageHeight &&
                      (width > height) != (pageWidth > pageHeight);
    options->orientation_requested = turn ? IPP_ORIENT_LANDSCAPE : IPP_ORIENT_PORTRAIT;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "The %dx%d image prints %s.", width, height,
                turn ? "turned" : "upright");
  }
  return next(job, device, options, pixels, width, height, depth, ppi, smoothing);
}
