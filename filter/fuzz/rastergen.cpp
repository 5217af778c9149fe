// quillet-rastergen: writes CUPS raster streams for the benchmarks and the
// robustness tests: long pages built from a real one, plain pages, random
// pages, and a set of malformed streams.
//
//   quillet-rastergen tile IN OUT N        page 1 of IN stacked N times
//   quillet-rastergen page OUT W H [BYTE]  one uniform RGB page
//   quillet-rastergen random OUT SEED      1-3 random pages
//   quillet-rastergen malformed DIR        the malformed corpus, one file a case
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <cups/raster.h>

namespace {

[[noreturn]] void Fail(const std::string &what) {
  std::fprintf(stderr, "quillet-rastergen: %s\n", what.c_str());
  std::exit(2);
}

cups_page_header2_t RgbHeader(uint32_t width, uint32_t height, uint32_t copies = 1) {
  cups_page_header2_t h;
  std::memset(&h, 0, sizeof h);
  h.HWResolution[0] = h.HWResolution[1] = 203;
  h.NumCopies = copies;
  h.cupsWidth = width;
  h.cupsHeight = height;
  h.cupsBitsPerColor = 8;
  h.cupsBitsPerPixel = 24;
  h.cupsBytesPerLine = width * 3;
  h.cupsColorOrder = CUPS_ORDER_CHUNKED;
  h.cupsColorSpace = CUPS_CSPACE_RGB;
  h.cupsNumColors = 3;
  return h;
}

struct Page {
  cups_page_header2_t header;
  std::vector<unsigned char> data;  // may be shorter than the header says
};

// Writes pages through libcups (compressed or not).
void WritePages(const std::string &path, const std::vector<Page> &pages, bool compressed) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("cannot write " + path);
  cups_raster_t *r = cupsRasterOpen(fd, compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
  for (const Page &p : pages) {
    cups_page_header2_t h = p.header;
    if (!cupsRasterWriteHeader2(r, &h)) Fail("libcups refused a header for " + path);
    if (!p.data.empty())
      cupsRasterWritePixels(r, const_cast<unsigned char *>(p.data.data()),
                            static_cast<unsigned>(p.data.size()));
  }
  cupsRasterClose(r);
  close(fd);
}

// Writes sync word, raw headers and data bytes exactly as given, so that
// headers libcups would never write can be made.
void WriteRaw(const std::string &path, const std::vector<Page> &pages, size_t cutAt = SIZE_MAX) {
  std::string bytes;
  const uint32_t sync = CUPS_RASTER_SYNC;  // "RaS3": uncompressed, native order
  bytes.append(reinterpret_cast<const char *>(&sync), sizeof sync);
  for (const Page &p : pages) {
    bytes.append(reinterpret_cast<const char *>(&p.header), sizeof p.header);
    bytes.append(reinterpret_cast<const char *>(p.data.data()), p.data.size());
  }
  if (cutAt < bytes.size()) bytes.resize(cutAt);
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot write " + path);
  std::fclose(f);
}

std::string ReadFile(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) Fail("cannot read " + path);
  std::string s;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

void WriteFile(const std::string &path, const std::string &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot write " + path);
  std::fclose(f);
}

// Page 1 of `in` repeated `times` times from top to bottom, as one page.
void Tile(const std::string &in, const std::string &out, int times) {
  const int fd = open(in.c_str(), O_RDONLY);
  if (fd < 0) Fail("cannot read " + in);
  cups_raster_t *r = cupsRasterOpen(fd, CUPS_RASTER_READ);
  Page p;
  if (!r || !cupsRasterReadHeader2(r, &p.header)) Fail("no page in " + in);
  std::vector<unsigned char> one(size_t{p.header.cupsBytesPerLine} * p.header.cupsHeight);
  if (cupsRasterReadPixels(r, one.data(), static_cast<unsigned>(one.size())) != one.size())
    Fail("short page in " + in);
  cupsRasterClose(r);
  close(fd);
  p.header.cupsHeight *= static_cast<unsigned>(times);
  p.header.PageSize[1] *= static_cast<unsigned>(times);
  for (int i = 0; i < times; ++i) p.data.insert(p.data.end(), one.begin(), one.end());
  WritePages(out, {p}, false);
}

// Random page contents: a background, boxes, lines, noise and gradients,
// often with a blank tail so that trimming is exercised.
Page RandomPage(std::mt19937 &rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const uint32_t w = static_cast<uint32_t>(pick(0, 9) == 0 ? pick(1, 12) : pick(13, 640));
  const uint32_t h = static_cast<uint32_t>(pick(0, 9) == 0 ? pick(1, 30) : pick(31, 800));
  Page p{RgbHeader(w, h, static_cast<uint32_t>(pick(1, 3))), {}};
  p.data.assign(size_t{w} * h * 3, static_cast<unsigned char>(pick(0, 3) == 0 ? pick(0, 255) : 255));
  auto at = [&](uint32_t x, uint32_t y) { return p.data.data() + (size_t{y} * w + x) * 3; };
  const uint32_t inkRows = pick(0, 2) == 0 ? h : static_cast<uint32_t>(pick(0, static_cast<int>(h)));
  for (int shape = pick(0, 12); shape > 0 && inkRows > 0; --shape) {
    const uint32_t x0 = static_cast<uint32_t>(pick(0, static_cast<int>(w) - 1));
    const uint32_t y0 = static_cast<uint32_t>(pick(0, static_cast<int>(inkRows) - 1));
    const uint32_t x1 = std::min<uint32_t>(w, x0 + static_cast<uint32_t>(pick(1, 200)));
    const uint32_t y1 = std::min<uint32_t>(inkRows, y0 + static_cast<uint32_t>(pick(1, 200)));
    const int kind = pick(0, 3);
    const unsigned char c[3] = {static_cast<unsigned char>(pick(0, 255)),
                                static_cast<unsigned char>(pick(0, 255)),
                                static_cast<unsigned char>(pick(0, 255))};
    for (uint32_t y = y0; y < y1; ++y)
      for (uint32_t x = x0; x < x1; ++x) {
        unsigned char *px = at(x, y);
        for (int k = 0; k < 3; ++k) {
          switch (kind) {
            case 0: px[k] = c[k]; break;                                              // box
            case 1: px[k] = static_cast<unsigned char>(rng()); break;                 // noise
            case 2: px[k] = static_cast<unsigned char>((x - x0) * 255 / (x1 - x0)); break;  // ramp
            default: px[k] = (x + y) % 7 == 0 ? 0 : px[k]; break;                     // hatching
          }
        }
      }
  }
  return p;
}

// The malformed corpus; the test that runs it holds what each must give.
void Malformed(const std::string &dir) {
  const std::string d = dir + "/";
  const Page good{RgbHeader(40, 30), std::vector<unsigned char>(40 * 30 * 3, 0x80)};
  auto withHeader = [&](void (*edit)(cups_page_header2_t &), size_t dataBytes) {
    Page p{RgbHeader(40, 30), std::vector<unsigned char>(dataBytes, 0x40)};
    edit(p.header);
    return p;
  };

  WriteFile(d + "empty.ras", "");
  WriteFile(d + "bad-sync.ras", "%!PS-Adobe-3.0\n%%Pages: 1\nshowpage\n");
  WriteRaw(d + "truncated-sync.ras", {good}, 2);
  WriteRaw(d + "truncated-header.ras", {good}, 4 + 900);
  WriteRaw(d + "truncated-page.ras", {good}, 4 + sizeof(cups_page_header2_t) + 40 * 3 * 11 + 17);
  WriteRaw(d + "truncated-second-header.ras", {good, good},
           4 + 2 * sizeof(cups_page_header2_t) + good.data.size() - 300);
  WriteRaw(d + "zero-width.ras", {withHeader([](cups_page_header2_t &h) { h.cupsWidth = 0; h.cupsBytesPerLine = 0; }, 0), good});
  WriteRaw(d + "zero-height.ras", {withHeader([](cups_page_header2_t &h) { h.cupsHeight = 0; }, 0), good});
  WriteRaw(d + "huge.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsWidth = 70000; h.cupsHeight = 70000; h.cupsBytesPerLine = 210000; }, 0)});
  // 2^29 + 1 dots of 24 bits wrap to 3 bytes per line in 32-bit arithmetic.
  WriteRaw(d + "wrapping-width.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsWidth = (1u << 29) + 1; h.cupsBytesPerLine = 3; h.cupsHeight = 4; }, 12), good});
  WriteRaw(d + "padded-rows.ras", {withHeader([](cups_page_header2_t &h) { h.cupsBytesPerLine = 40 * 3 + 3; }, 123 * 30), good});
  WriteRaw(d + "short-rows.ras", {withHeader([](cups_page_header2_t &h) { h.cupsBytesPerLine = 39 * 3; }, 117 * 30), good});
  WriteRaw(d + "rgb16.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsBitsPerColor = 16; h.cupsBitsPerPixel = 48; h.cupsBytesPerLine = 40 * 6; }, 240 * 30), good});
  WriteRaw(d + "gray1.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsColorSpace = CUPS_CSPACE_K; h.cupsNumColors = 1; h.cupsBitsPerPixel = 8; h.cupsBytesPerLine = 40; }, 40 * 30), good});
  WriteRaw(d + "cmyk.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsColorSpace = CUPS_CSPACE_CMYK; h.cupsNumColors = 4; h.cupsBitsPerPixel = 32; h.cupsBytesPerLine = 160; }, 160 * 30), good});
  WriteRaw(d + "rgbw4.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsColorSpace = CUPS_CSPACE_RGBW; h.cupsNumColors = 4; h.cupsBitsPerPixel = 32; h.cupsBytesPerLine = 160; }, 160 * 30), good});
  WriteRaw(d + "bits1.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsBitsPerColor = 1; h.cupsBitsPerPixel = 1; h.cupsColorSpace = CUPS_CSPACE_K; h.cupsNumColors = 1; h.cupsBytesPerLine = 5; }, 5 * 30), good});
  WriteRaw(d + "planar.ras", {withHeader([](cups_page_header2_t &h) {
             h.cupsColorOrder = CUPS_ORDER_PLANAR; h.cupsBitsPerPixel = 8; h.cupsBytesPerLine = 40; }, 40 * 30 * 3), good});
  WriteRaw(d + "colour-space-99.ras", {withHeader([](cups_page_header2_t &h) {
             const uint32_t space = 99;  // no such colour space
             std::memcpy(&h.cupsColorSpace, &space, sizeof space); }, 120 * 30), good});
  WriteRaw(d + "rgb-colours-17.ras", {withHeader([](cups_page_header2_t &h) { h.cupsNumColors = 17; }, 120 * 30), good});

  // A compressed page whose run-length data is cut and then garbled.
  Page noisy{RgbHeader(64, 48), std::vector<unsigned char>(64 * 48 * 3)};
  std::mt19937 rng(7);
  for (auto &b : noisy.data) b = static_cast<unsigned char>(rng() & 0xC0);
  WritePages(d + "compressed.tmp", {noisy}, true);
  std::string c = ReadFile(d + "compressed.tmp");
  std::remove((d + "compressed.tmp").c_str());
  WriteFile(d + "compressed-truncated.ras", c.substr(0, c.size() * 2 / 3));
  for (size_t i = 4 + sizeof(cups_page_header2_t); i < c.size(); i += 5) c[i] = static_cast<char>(0x7F + (i & 0x80));
  WriteFile(d + "compressed-garbled.ras", c);
}

}  // namespace

int main(int argc, char *argv[]) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "tile" && argc == 5) {
    Tile(argv[2], argv[3], std::atoi(argv[4]));
  } else if (mode == "page" && (argc == 5 || argc == 6)) {
    const uint32_t w = static_cast<uint32_t>(std::atoi(argv[3])), h = static_cast<uint32_t>(std::atoi(argv[4]));
    const unsigned char fill = static_cast<unsigned char>(argc == 6 ? std::atoi(argv[5]) : 255);
    WritePages(argv[2], {{RgbHeader(w, h), std::vector<unsigned char>(size_t{w} * h * 3, fill)}}, false);
  } else if (mode == "random" && argc == 4) {
    std::mt19937 rng(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    std::vector<Page> pages;
    for (int n = std::uniform_int_distribution<int>(1, 3)(rng); n > 0; --n) pages.push_back(RandomPage(rng));
    WritePages(argv[2], pages, rng() % 2 == 0);
  } else if (mode == "malformed" && argc == 3) {
    Malformed(argv[2]);
  } else {
    std::fprintf(stderr,
                 "Usage: quillet-rastergen tile IN OUT N | page OUT W H [BYTE] | random OUT SEED |"
                 " malformed DIR\n");
    return 2;
  }
  return 0;
}
