// The printers' own icons (a printer pictogram: a sheet for the A4 models,
// labels on a backing strip for the label model), drawn once as PNG in
// memory, and a test page made for the printer's default media size and
// resolution: a frame at the edge, marks every 10 mm, diagonals, a gray
// ramp and the size in figures.
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <cups/raster.h>
#include <pappl/pappl.h>

#include "strings_data.h"

namespace quillet_app {
namespace {

// ---------------------------------------------------------------- icons

struct Rgba {
  unsigned char r, g, b, a;
};

// The colour at (x, y) of the unit square, or a clear pixel.
Rgba IconPixel(double x, double y, bool label) {
  auto in = [&](double x0, double y0, double x1, double y1) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
  const Rgba clear{0, 0, 0, 0}, body{70, 78, 90, 255}, edge{40, 44, 52, 255}, paper{255, 255, 255, 255},
      ink{120, 130, 145, 255}, light{60, 190, 90, 255}, backing{230, 200, 120, 255};
  const double px0 = label ? 0.33 : 0.24, px1 = label ? 0.67 : 0.76;
  // Output: below the body, in front of it.
  if (in(px0, 0.62, px1, 0.94)) {
    if (!in(px0 + 0.02, 0.62, px1 - 0.02, 0.92)) return edge;
    if (label) {
      if (!in(px0 + 0.05, 0.62, px1 - 0.05, 0.92)) return backing;
      double cell = std::fmod(y - 0.62, 0.1);
      if (cell > 0.085) return backing;
    }
    if (in(px0 + 0.07, 0.7, px1 - 0.07, 0.72) || in(px0 + 0.07, 0.76, px1 - 0.12, 0.78)) return ink;
    return paper;
  }
  // Body with rounded corners, an output slot and a status light.
  if (in(0.08, 0.34, 0.92, 0.72)) {
    const double r = 0.06;
    double cx = std::min(std::max(x, 0.08 + r), 0.92 - r), cy = std::min(std::max(y, 0.34 + r), 0.72 - r);
    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > r * r) return clear;
    if (in(0.2, 0.6, 0.8, 0.63)) return edge;
    if ((x - 0.8) * (x - 0.8) + (y - 0.44) * (y - 0.44) < 0.035 * 0.035) return light;
    return body;
  }
  // Input: the top of the waiting sheet or roll behind the body.
  if (in(px0, 0.08, px1, 0.34)) return in(px0 + 0.02, 0.1, px1 - 0.02, 0.34) ? paper : edge;
  return clear;
}

std::vector<unsigned char> IconPng(int size, bool label) {
  // Several samples a pixel smooth the edges; the large icon needs few.
  const int n = size > 128 ? 2 : 4;
  std::vector<unsigned char> rgba(static_cast<size_t>(size) * size * 4);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx) {
          Rgba p = IconPixel((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size, label);
          r += p.r * p.a, g += p.g * p.a, b += p.b * p.a, a += p.a;
        }
      unsigned char *out = &rgba[(static_cast<size_t>(y) * size + x) * 4];
      out[0] = a ? static_cast<unsigned char>(r / a) : 0;
      out[1] = a ? static_cast<unsigned char>(g / a) : 0;
      out[2] = a ? static_cast<unsigned char>(b / a) : 0;
      out[3] = static_cast<unsigned char>(a / (n * n));
    }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = image.height = static_cast<png_uint_32>(size);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t length = 0;
  std::vector<unsigned char> png;
  if (png_image_write_to_memory(&image, nullptr, &length, 0, rgba.data(), 0, nullptr)) {
    png.resize(length);
    if (!png_image_write_to_memory(&image, png.data(), &length, 0, rgba.data(), 0, nullptr)) png.clear();
    png.resize(length);
  }
  return png;
}

// ------------------------------------------------------------ test page

// 5 x 7 figures and the few letters the size line needs.
const char *Glyph(char c) {
  switch (c) {
    case '0': return "01110100011001110101110011000101110";
    case '1': return "00100011000010000100001000010001110";
    case '2': return "01110100010000100010001000100011111";
    case '3': return "11111000100010000010000011000101110";
    case '4': return "00010001100101010010111110001000010";
    case '5': return "11111100001111000001000011000101110";
    case '6': return "00110010001000011110100011000101110";
    case '7': return "11111000010001000100010000100001000";
    case '8': return "01110100011000101110100011000101110";
    case '9': return "01110100011000101111000010001001100";
    case 'x': return "00000000001000101010001000101010001";
    case 'm': return "00000000001101010101101011000110001";
    case 'd': return "00001000010110110011100011000101111";
    case 'p': return "00000000001111010001111101000010000";
    case 'i': return "00100000000110000100001000010001110";
    default: return nullptr;
  }
}

class Page {
 public:
  Page(unsigned width, unsigned height) : width_(width), height_(height), pixels_(size_t(width) * height, 255) {}
  void Fill(long x0, long y0, long x1, long y1, unsigned char v) {
    x0 = std::max(x0, 0L), y0 = std::max(y0, 0L);
    x1 = std::min(x1, long(width_)), y1 = std::min(y1, long(height_));
    for (long y = y0; y < y1; ++y)
      for (long x = x0; x < x1; ++x) pixels_[size_t(y) * width_ + size_t(x)] = v;
  }
  void Line(double x0, double y0, double x1, double y1, long thick) {
    const long steps = long(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (long i = 0; i <= steps; ++i) {
      long x = long(x0 + (x1 - x0) * i / steps), y = long(y0 + (y1 - y0) * i / steps);
      Fill(x - thick / 2, y - thick / 2, x + (thick + 1) / 2, y + (thick + 1) / 2, 0);
    }
  }
  void Text(long x, long y, long dot, const std::string &text) {
    for (char c : text) {
      if (const char *g = Glyph(c))
        for (int row = 0; row < 7; ++row)
          for (int col = 0; col < 5; ++col)
            if (g[row * 5 + col] == '1') Fill(x + col * dot, y + row * dot, x + (col + 1) * dot, y + (row + 1) * dot, 0);
      x += 6 * dot;
    }
  }
  const unsigned char *Row(unsigned y) const { return &pixels_[size_t(y) * width_]; }

 private:
  unsigned width_, height_;
  std::vector<unsigned char> pixels_;
};

const char *TestPage(pappl_printer_t *printer, char *buffer, size_t bufsize) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const pappl_media_col_t &media = data.media_default;
  const int dpi = data.x_default > 0 ? data.x_default : 203;
  pwg_media_t *pwg = pwgMediaForSize(media.size_width, media.size_length);
  cups_page_header2_t header;
  if (!pwg || !cupsRasterInitPWGHeader(&header, pwg, "sgray_8", dpi, dpi, "one-sided", nullptr)) return nullptr;

  std::snprintf(buffer, bufsize, "%s/quillet-test-page-XXXXXX.png", papplGetTempDir());
  int fd = mkstemps(buffer, 4);
  if (fd < 0) return nullptr;
  const unsigned w = header.cupsWidth, h = header.cupsHeight;
  const double dots = dpi / 25.4;  // dots a millimetre
  Page page(w, h);
  const long line = std::max(2L, long(dots / 2));
  const long inset = long(dots);
  page.Fill(inset, inset, long(w) - inset, inset + line, 0);
  page.Fill(inset, long(h) - inset - line, long(w) - inset, long(h) - inset, 0);
  page.Fill(inset, inset, inset + line, long(h) - inset, 0);
  page.Fill(long(w) - inset - line, inset, long(w) - inset, long(h) - inset, 0);
  for (int mm = 10; mm * dots < w; mm += 10) {
    long len = long(dots * (mm % 50 ? 3 : 6)), x = long(mm * dots);
    page.Fill(x, inset, x + line / 2 + 1, inset + len, 0);
  }
  for (int mm = 10; mm * dots < h; mm += 10) {
    long len = long(dots * (mm % 50 ? 3 : 6)), y = long(mm * dots);
    page.Fill(inset, y, inset + len, y + line / 2 + 1, 0);
  }
  page.Line(inset, inset, w - inset, h - inset, line / 2 + 1);
  page.Line(w - inset, inset, inset, h - inset, line / 2 + 1);
  // Ten gray steps across the middle, black to white.
  const long rampTop = long(h / 2 - 4 * dots), step = long((w - 4 * inset) / 10);
  for (int i = 0; i < 10; ++i)
    page.Fill(2 * inset + i * step, rampTop, 2 * inset + (i + 1) * step, rampTop + long(8 * dots),
              static_cast<unsigned char>(i * 255 / 9));
  char size[64];
  std::snprintf(size, sizeof size, "%dx%dmm %ddpi", (media.size_width + 50) / 100, (media.size_length + 50) / 100, dpi);
  const long dot = std::max(1L, long((w - 4 * inset) / (6 * std::strlen(size) + 2)));
  page.Text(2 * inset, rampTop - 9 * std::min(dot, long(dots)), std::min(dot, long(dots)), size);

  // A PNG of the page's size in dots: PAPPL 1.3.1 takes PWG raster only
  // as a stream, not as a file job, and prints this one at 1:1.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_GRAY;
  FILE *file = fdopen(fd, "wb");
  bool ok = file && png_image_write_to_stdio(&image, file, 0, page.Row(0), static_cast<png_int_32>(w), nullptr);
  if (file ? std::fclose(file) != 0 : close(fd) != 0) ok = false;
  if (!ok) {
    unlink(buffer);
    return nullptr;
  }
  return buffer;
}

// Small, medium and large (48, 128, 512 pixels), sheet and label.
const std::vector<unsigned char> &Icon(bool label, int size) {
  static std::once_flag once;
  static std::vector<unsigned char> icons[2][3];
  std::call_once(once, [] {
    static const int sizes[3] = {48, 128, 512};
    for (int kind = 0; kind < 2; ++kind)
      for (int i = 0; i < 3; ++i) icons[kind][i] = IconPng(sizes[i], kind == 1);
  });
  return icons[label ? 1 : 0][size];
}

}  // namespace

// In place of PAPPL's own pictures in the page header and the browser tab.
void AddSystemIcons(pappl_system_t *system) {
  const std::vector<unsigned char> &small = Icon(false, 0), &medium = Icon(false, 1);
  if (!small.empty()) papplSystemAddResourceData(system, "/navicon.png", "image/png", small.data(), small.size());
  if (!medium.empty()) papplSystemAddResourceData(system, "/favicon.png", "image/png", medium.data(), medium.size());
}

void AddPictures(pappl_pr_driver_data_t *data, bool label) {
  for (int i = 0; i < 3; ++i) {
    const std::vector<unsigned char> &png = Icon(label, i);
    data->icons[i].filename[0] = '\0';
    data->icons[i].data = png.empty() ? nullptr : png.data();
    data->icons[i].datalen = png.size();
  }
  data->testpage_cb = TestPage;
}

}  // namespace quillet_app
