// Helpers shared by the filter tests: temporary files, PPDs, raster
// streams and capture of what a call writes to stdout or stderr.
#ifndef QUILLET_FILTER_TEST_SUPPORT_H
#define QUILLET_FILTER_TEST_SUPPORT_H

#include <cups/raster.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quillet_test {

// Address-space limits and heap figures do not hold under AddressSanitizer
// (its shadow memory and quarantine); tests that rely on them skip then.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif


// A directory under $TMPDIR removed with its files when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  // Writes `contents` to a file of that name in the directory; returns its path.
  std::string Write(const std::string &name, const std::string &contents) const;

 private:
  std::string path_;
};

// A PPD with the given model number and option lines ("*OpenUI" blocks).
std::string MakePpd(int modelNumber, const std::string &options);
// One PickOne option with the given choices (keywords) and default.
std::string PpdOption(const std::string &key, const std::vector<std::string> &choices,
                      const std::string &defaultChoice);

// Header of an 8-bit RGB page as this printer's PPD asks for.
cups_page_header2_t RgbHeader(uint32_t width, uint32_t height, uint32_t copies = 1);

// An RGB page filled with one byte value.
std::vector<unsigned char> FilledPage(uint32_t width, uint32_t height, unsigned char value);

// A page to put into a raster stream: its header and as many row bytes as
// should be written (fewer than the header says makes a truncated page).
struct RasterPage {
  cups_page_header2_t header;
  std::vector<unsigned char> data;
};

// Writes the pages as a CUPS raster stream to the descriptor.
void WriteRaster(int fd, const std::vector<RasterPage> &pages);

// Everything `fn` wrote to the stream (stdout or stderr) while it ran.
std::string Capture(FILE *stream, const std::function<void()> &fn);

}  // namespace quillet_test

#endif
