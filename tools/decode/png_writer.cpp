// PNG output of a decoded page: 1-bit grayscale, so the printer's bits
// (0 = dot) go into the file unchanged and 0 shows as black.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "printer_stream.h"

namespace quillet {
namespace {

// libpng reports errors by longjmp; the message is kept for the caller.
struct PngErrorState {
  std::string message;
};

void OnPngError(png_structp png, png_const_charp message) {
  auto *state = static_cast<PngErrorState *>(png_get_error_ptr(png));
  state->message = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Does the libpng work; kept free of C++ objects with destructors so the
// longjmp cannot skip one.
bool WriteRows(FILE *file, const PageBitmap &bitmap, int dpi, PngErrorState *state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state, OnPngError, OnPngWarning);
  if (!png) {
    state->message = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    if (state->message.empty()) state->message = "out of memory";
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width), static_cast<png_uint_32>(bitmap.height), 1,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Unfiltered rows keep the file trivial to read back in test scripts;
  // black-and-white pages compress well without filters anyway.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  if (dpi > 0) {
    auto perMetre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    png_write_row(png, const_cast<png_bytep>(&bitmap.bits[static_cast<size_t>(y) * bitmap.rowBytes]));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const std::string &path, const PageBitmap &bitmap, int dpi, std::string *error) {
  if (bitmap.width <= 0 || bitmap.height <= 0) {
    if (error) *error = "empty page image";
    return false;
  }
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  PngErrorState state;
  bool ok = WriteRows(file, bitmap, dpi, &state);
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    state.message = std::strerror(errno);
  }
  if (!ok) {
    std::remove(path.c_str());
    if (error) *error = state.message;
  }
  return ok;
}

}  // namespace quillet
