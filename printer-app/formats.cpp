// Document formats the application handles itself.  PNG: PAPPL 1.3's own
// PNG reader loops for ever on a corrupt file (its libpng error callback
// returns instead of jumping out), so a broken PNG would hold the printer
// busy and fill the log; this reader fails the job instead.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <png.h>

#include "strings_data.h"

namespace quillet_app {
namespace {

// The driver's own format: PAPPL looks for a filter to it before it looks
// for one to PWG raster, so these take precedence over PAPPL's.
constexpr const char *kDriverFormat = "application/vnd.quillet-commands";

struct PngError {
  jmp_buf jump;
  char message[200];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto *error = static_cast<PngError *>(png_get_error_ptr(png));
  std::snprintf(error->message, sizeof error->message, "%s", message);
  longjmp(error->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void FailJob(pappl_job_t *job, const char *message) {
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message);
  papplJobSetMessage(job, "%s", message);
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
}

// Decodes the job's PNG into 8-bit gray or RGB rows and prints it through
// PAPPL's image placement and the driver.
bool PrintPng(pappl_job_t *job, pappl_device_t *device, void * /*data*/) {
  const char *file = papplJobGetFilename(job);  // none when no document arrived
  FILE *in = file ? std::fopen(file, "rb") : nullptr;
  if (!in) {
    FailJob(job, "Unable to open the PNG file.");
    return false;
  }
  PngError error{};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // Set after setjmp and read after a jump: volatile, and no objects with
  // destructors in the jump's reach.
  unsigned char *volatile pixels = nullptr;
  png_bytep *volatile rows = nullptr;
  volatile bool ok = false;
  if (!png || !info) {
    FailJob(job, "Not enough memory to read the PNG file.");
  } else if (setjmp(error.jump)) {
    char message[256];
    std::snprintf(message, sizeof message, "The PNG file is damaged: %s.", error.message);
    FailJob(job, message);
  } else {
    png_init_io(png, in);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);  // transparent areas print as their colour
    png_set_packing(png);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_channels(png, info);
    int maxWidth = 0, maxHeight = 0;
    const size_t maxBytes = papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)),
                                                       &maxWidth, &maxHeight);
    if (depth != 1 && depth != 3) {
      FailJob(job, "Unsupported PNG colour layout.");
    } else if (width == 0 || height == 0 || width > static_cast<png_uint_32>(maxWidth) ||
               height > static_cast<png_uint_32>(maxHeight) ||
               size_t{width} * height * static_cast<size_t>(depth) > maxBytes) {
      FailJob(job, "The PNG image is too large to print.");
    } else {
      pixels = static_cast<unsigned char *>(std::malloc(size_t{width} * height * depth));
      rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * height));
      if (!pixels || !rows) {
        FailJob(job, "Not enough memory to read the PNG file.");
      } else {
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + size_t{y} * width * depth;
        png_read_image(png, rows);
        png_read_end(png, nullptr);
        const png_uint_32 ppm = png_get_x_pixels_per_meter(png, info);
        pappl_pr_options_t *options = papplJobCreatePrintOptions(job, 1, depth == 3);
        ok = papplJobFilterImage(job, device, options, pixels, static_cast<int>(width),
                                 static_cast<int>(height), depth,
                                 static_cast<int>(ppm * 254 / 10000), true);
        papplJobDeletePrintOptions(options);
      }
    }
  }
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  std::free(rows);
  std::free(pixels);
  std::fclose(in);
  return ok;
}

}  // namespace

void AddDocumentFormats(pappl_system_t *system) {
  papplSystemAddMIMEFilter(system, "image/png", kDriverFormat, PrintPng, nullptr);
  AddPdfFormat(system);
}

// What PAPPL lists for every printer: auto-typing, its raster and JPEG
// readers, the filters above and the driver's own format (the tests hold
// this equal to the printers' document-format-supported).
ipp_attribute_t *AcceptedFormats() {
  static const char *const formats[] = {"application/octet-stream", "image/pwg-raster", "image/urf",
                                        kDriverFormat, "application/pdf", "image/jpeg", "image/png"};
  static ipp_t *const holder = [] {
    ipp_t *ipp = ippNew();
    ippAddStrings(ipp, IPP_TAG_PRINTER, IPP_TAG_MIMETYPE, "document-format-supported",
                  sizeof formats / sizeof formats[0], nullptr, formats);
    return ipp;
  }();
  return ippFindAttribute(holder, "document-format-supported", IPP_TAG_MIMETYPE);
}

}  // namespace quillet_app
