// The plain page road; see baseline.h.
#include "baseline.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <strings.h>

#include "models.h"

namespace baseline {
namespace {

const char *const kOptionKeys[] = {
    "OP_PrintDensity", "OP_PrintSpeed",       "OP_LabelGAP",      "OP_PaperSel",
    "OP_MediaSel",     "OP_AfterDo",          "OP_CutPage",       "OP_OFFSet",
    "OP_Rotate",       "OP_Mirror",           "OP_ReversePhase",  "OP_HorizontalOffset",
    "OP_VerticalOffset", "OP_RememberToPrint", "OP_PaperType",    "OP_Density",
    "OP_HalfTone",     "OP_Direction"};

// The marked choice, else the option's default choice, else none.
ppd_choice_t *Choice(ppd_file_t *ppd, const char *key) {
  ppd_choice_t *c = ppdFindMarkedChoice(ppd, key);
  if (c) return c;
  ppd_option_t *o = ppdFindOption(ppd, key);
  return o ? ppdFindChoice(o, o->defchoice) : nullptr;
}

int32_t IntegerOption(ppd_file_t *ppd, const char *key) {
  ppd_choice_t *c = Choice(ppd, key);
  return c ? std::atoi(c->choice) : 0;
}

int32_t BooleanOption(ppd_file_t *ppd, const char *key) {
  ppd_choice_t *c = Choice(ppd, key);
  if (!c) return 0;
  for (const char *yes : {"True", "On", "Yes", "Enabled", "1"})
    if (strcasecmp(c->choice, yes) == 0) return 1;
  for (const char *no : {"False", "Off", "No", "Disabled", "0"})
    if (strcasecmp(c->choice, no) == 0) return 0;
  char *end = nullptr;
  long v = std::strtol(c->choice, &end, 10);
  if (end == c->choice || *end != '\0') return 0;
  return v != 0;
}

unsigned char Clamp(int v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Gray buffer accessors with the bounds checks of the record.
struct Gray {
  unsigned char *data;
  int64_t width, height;
  bool Inside(int64_t x, int64_t y) const { return x >= 0 && x < width && y >= 0 && y < height; }
  unsigned char Get(int64_t x, int64_t y) const { return Inside(x, y) ? data[y * width + x] : 0; }
  void Set(int64_t x, int64_t y, unsigned char v) {
    if (Inside(x, y)) data[y * width + x] = v;
  }
};

// Dots to whole millimetres, in single precision.
int Mm(int64_t dots) { return static_cast<int>(lroundf(static_cast<float>(dots) / 7.992126f)); }

void PaperType(FILE *out, int32_t type) {
  const unsigned char value = type == 0 ? '1' : type == 1 ? '0' : '2';
  const unsigned char cmd[22] = {0x1F, 0x57, 0x12, 0x00, 0x30, 0x01, 0x0A, 0x00, 0x02, 0x00, 'P',
                                 'A',  'P',  'E',  'R',  'T',  'Y',  'P',  'E',  0x00, value, 0};
  std::fwrite(cmd, 1, sizeof cmd, out);
  std::fflush(out);
  std::fputs("\r\n", out);
}

// The lines of the model's header style, each written here the plain way.
void Header(FILE *out, int64_t width, int64_t height, const Settings &s) {
  using C = quillet::HeaderCommand;
  for (C command : quillet::HeaderStyleFor(s.modelNumber).commands) {
    switch (command) {
      case C::kSize: std::fprintf(out, "SIZE %d mm,%d mm\r\n", Mm(width), Mm(height)); break;
      case C::kPaperType: PaperType(out, s.paperType); break;
      case C::kGapForPaperType:
        std::fputs(s.paperType == 1 ? "GAP 0 mm,0 mm\r\n" : "GAP 2 mm,2 mm\r\n", out);
        break;
      case C::kGapForPaperSel:
        if (s.paperSel == 2)
          std::fprintf(out, "BLINE %d mm,%d mm\r\n", s.labelGap, s.labelGap);
        else if (s.paperSel == 1)
          std::fprintf(out, "GAP %d mm,%d mm\r\n", s.labelGap, s.labelGap);
        else
          std::fputs("GAP 0 mm,0 mm\r\n", out);
        break;
      case C::kDirection: std::fputs(s.direction == 0 ? "DIRECTION 0\r\n" : "DIRECTION 1\r\n", out); break;
      case C::kDirectionForRotate:
        std::fputs((s.rotate & ~1) == 2 ? "DIRECTION 1\r\n" : "DIRECTION 0\r\n", out);
        break;
      case C::kReferenceOrigin: std::fputs("REFERENCE 0,0\r\n", out); break;
      case C::kReferenceOffsets:
        std::fprintf(out, "REFERENCE %d ,%d \r\n", s.horizontalOffset, s.verticalOffset);
        break;
      case C::kOffset: std::fprintf(out, "OFFSET %d mm\r\n", s.offset); break;
      case C::kDensity: std::fprintf(out, "DENSITY %d\r\n", s.density); break;
      case C::kPrintDensity: std::fprintf(out, "DENSITY %d\r\n", s.printDensity); break;
      case C::kSpeed: std::fprintf(out, "SPEED %d\r\n", s.printSpeed); break;
      case C::kClear: std::fputs("CLS\r\n", out); break;
      case C::kEnd: return;
    }
  }
}

}  // namespace

// Fields in table order; the read order differs only for speed and density.
Settings ReadSettings(ppd_file_t *ppd) {
  Settings s{};
  if (!ppd) return s;
  s.modelNumber = ppd->model_number;
  int32_t *fields[] = {&s.printDensity, &s.printSpeed,       &s.labelGap,        &s.paperSel,
                       &s.mediaSel,     &s.afterDo,          &s.cutPage,         &s.offset,
                       &s.rotate,       &s.mirror,           &s.reversePhase,    &s.horizontalOffset,
                       &s.verticalOffset, &s.rememberToPrint, &s.paperType,      &s.density,
                       &s.halfTone,     &s.direction};
  for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i) {
    const bool boolean = std::strcmp(kOptionKeys[i], "OP_HalfTone") == 0;
    *fields[i] = boolean ? BooleanOption(ppd, kOptionKeys[i]) : IntegerOption(ppd, kOptionKeys[i]);
  }
  return s;
}

// Clockwise quarter turn into a new buffer.
unsigned char *Rotate90(const unsigned char *src, int64_t width, int64_t height) {
  auto *dst = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(width * height * 3)));
  if (!dst) return nullptr;
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      for (int k = 0; k < 3; ++k)
        dst[(x * height + (height - 1 - y)) * 3 + k] = src[(y * width + x) * 3 + k];
  return dst;
}

void SwapRedBlue(Page &page) {
  for (int64_t i = 0; i + 2 < page.size; i += 3) {
    unsigned char t = page.pixels[i];
    page.pixels[i] = page.pixels[i + 2];
    page.pixels[i + 2] = t;
  }
}

// Gamma 1.2 by a table of 256 power evaluations.
void Gamma(Page &page) {
  unsigned char table[256];
  for (int i = 0; i < 256; ++i) {
    double v = std::pow(i / 255.0, 1.2) * 255.0;
    table[i] = Clamp(static_cast<int>(v));
  }
  for (int64_t i = 0; i < page.width * page.height * 3; ++i) page.pixels[i] = table[page.pixels[i]];
}

// Gray copy (darkest colour byte) and the last row with content.
unsigned char *GrayCopy(const Page &page, int64_t *blankHeightLast) {
  *blankHeightLast = page.height;
  auto *gray = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(page.width * page.height)));
  if (!gray) return nullptr;
  for (int64_t y = 0; y < page.height; ++y)
    for (int64_t x = 0; x < page.width; ++x) {
      const unsigned char *p = page.pixels + (y * page.width + x) * 3;
      unsigned char m = p[0];
      if (p[1] < m) m = p[1];
      if (p[2] < m) m = p[2];
      gray[y * page.width + x] = m;
    }
  if (page.height >= 3) {
    for (int64_t y = page.height - 1; y >= 2; --y) {
      bool white = true;
      for (int64_t x = 0; x < page.width; ++x) white = white && gray[y * page.width + x] == 255;
      if (!white) {
        *blankHeightLast = y + 1;
        break;
      }
    }
  }
  if (*blankHeightLast <= 0) *blankHeightLast = 1;
  if (*blankHeightLast > page.height) *blankHeightLast = page.height;
  return gray;
}

// Atkinson error diffusion, six eighths passed on, clamped at every step.
void Dither(Page &page, unsigned char *grayData) {
  Gray g{grayData, page.width, page.height};
  const int64_t nx[6] = {1, 2, -1, 0, 1, 0}, ny[6] = {0, 0, 1, 1, 1, 2};
  for (int64_t y = 0; y < page.height; ++y)
    for (int64_t x = 0; x < page.width; ++x) {
      int v = g.Get(x, y), e;
      unsigned char *p = page.pixels + (y * page.width + x) * 3;
      if (v >= 129) {
        p[0] = p[1] = p[2] = 255;
        e = v - 255;
      } else {
        p[0] = p[1] = p[2] = 0;
        e = v;
      }
      int q = e / 8;
      for (int n = 0; n < 6; ++n)
        if (g.Inside(x + nx[n], y + ny[n]))
          g.Set(x + nx[n], y + ny[n], Clamp(g.Get(x + nx[n], y + ny[n]) + q));
    }
}

// 4-neighbour Laplacian on every byte of the interior pixels, from a copy.
void Sharpen(Page &page) {
  const int64_t line = page.width * 3;
  auto *copy = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(line * page.height)));
  if (!copy) return;
  std::memcpy(copy, page.pixels, static_cast<size_t>(line * page.height));
  if (page.width >= 3 && page.height >= 3)
    for (int64_t y = 1; y < page.height - 1; ++y)
      for (int64_t x = 1; x < page.width - 1; ++x)
        for (int k = 0; k < 3; ++k) {
          const int64_t at = y * line + x * 3 + k;
          int v = 5 * copy[at] - (copy[at - line] + copy[at + line] + copy[at - 3] + copy[at + 3]);
          page.pixels[at] = Clamp(v);
        }
  std::free(copy);
}

// Otsu threshold of the darkest colour byte over the whole page.
void Otsu(Page &page) {
  const int64_t n = page.width * page.height;
  auto *gray = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(n > 0 ? n : 1)));
  if (!gray) return;
  uint64_t hist[256] = {};
  for (int64_t i = 0; i < n; ++i) {
    const unsigned char *p = page.pixels + i * 3;
    unsigned char m = p[0];
    if (p[1] < m) m = p[1];
    if (p[2] < m) m = p[2];
    gray[i] = m;
    ++hist[m];
  }
  double total = 0;
  for (int i = 0; i < 256; ++i) total += static_cast<double>(i) * static_cast<double>(hist[i]);
  uint64_t wB = 0;
  double sB = 0, best = -1.0;
  int threshold = 0;
  for (int t = 0; t < 256; ++t) {
    wB += hist[t];
    sB += static_cast<double>(t) * static_cast<double>(hist[t]);
    if (wB == 0) continue;
    const uint64_t wF = static_cast<uint64_t>(n) - wB;
    if (wF == 0) break;
    const double mB = sB / wB, mF = (total - sB) / wF, d = mB - mF;
    const double sigma = (static_cast<double>(wB) * static_cast<double>(wF)) * d * d;
    if (sigma > best) {
      best = sigma;
      threshold = t;
    }
  }
  for (int64_t i = 0; i < n; ++i) {
    unsigned char v = gray[i] > threshold ? 255 : 0;
    page.pixels[i * 3] = page.pixels[i * 3 + 1] = page.pixels[i * 3 + 2] = v;
  }
  std::free(gray);
}

// Left-to-right mirror through a white page-sized copy.
void Mirror(Page &page) {
  auto *out = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(page.size)));
  if (!out) return;
  std::memset(out, 255, static_cast<size_t>(page.size));
  for (int64_t y = 0; y < page.height; ++y)
    for (int64_t x = 0; x < page.width; ++x)
      for (int k = 0; k < 3; ++k)
        out[(y * page.width + x) * 3 + k] = page.pixels[(y * page.width + page.width - 1 - x) * 3 + k];
  std::memcpy(page.pixels, out, static_cast<size_t>(page.size));
  std::free(out);
}

void Negative(Page &page) {
  for (int64_t i = 0; i < page.size; ++i) page.pixels[i] = static_cast<unsigned char>(255 - page.pixels[i]);
}

void SendPage(unsigned char *image, uint64_t size, const cups_page_header2_t &header,
              const Settings &s, FILE *out) {
  int64_t width = header.cupsWidth, height = header.cupsHeight;
  unsigned char *turned = nullptr;
  if ((s.rotate & ~2) == 1) {
    turned = Rotate90(image, width, height);
    if (turned) {
      image = turned;
      size = static_cast<uint64_t>(width * height * 3);
      const int64_t t = width;
      width = height;
      height = t;
    }
  }
  Page page{image, width, height, static_cast<int64_t>(size)};
  SwapRedBlue(page);
  Gamma(page);
  int64_t last = height;
  if (s.halfTone == 1) {
    unsigned char *gray = GrayCopy(page, &last);
    if (gray) Dither(page, gray);
    std::free(gray);
  } else {
    Sharpen(page);
    Otsu(page);
  }
  if (s.mirror != 0) Mirror(page);
  if (s.reversePhase != 0 && width != 0 && height != 0 && size != 0) Negative(page);
  // The device offsets are 0 in the filter, so the offset shift does nothing.

  const int64_t printed = last > 0 && last < height ? last : height;
  const int64_t bytesPerRow = (width + 7) / 8;
  auto *band = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(24 * bytesPerRow + 1)));
  if (!band) {
    std::free(turned);
    return;
  }
  Header(out, width, height, s);
  for (int64_t y = 0; y < printed; y += 24) {
    std::memset(band, 0xFF, static_cast<size_t>(24 * bytesPerRow + 1));
    for (int64_t r = 0; r < 24 && y + r < height; ++r)
      for (int64_t x = 0; x < width; ++x)
        if (image[((y + r) * width + x) * 3] <= 128)
          band[r * bytesPerRow + x / 8] &= static_cast<unsigned char>(~(0x80 >> (x % 8)));
    std::fprintf(out, "BITMAP %d,%d,%d,%d,%d,", 0, static_cast<int>(y), static_cast<int>(bytesPerRow), 24, 1);
    std::fwrite(band, 1, static_cast<size_t>(24 * bytesPerRow), out);
    std::fflush(out);
    std::fputs("\r\n", out);
  }
  std::free(band);
  std::fprintf(out, "PRINT %d,%d\r\n", 1, static_cast<int>(header.NumCopies));
  std::fflush(out);
  std::free(turned);
}

}  // namespace baseline
