// Page encoder of the filter: checks a raster page against what the
// command stream takes and writes it to stdout.
#include "page_writer.h"

#include <cstdio>
#include <cstring>

#include "messages.h"
#include "models.h"

namespace {

constexpr uint32_t kBytesPerPixel = 3;

// The filter's standard output; flushed where the stream says, so a
// cancelled job leaves the printer at a band boundary.
class StdoutSink : public quillet::ByteSink {
 public:
  void Write(const void *data, size_t bytes) override { std::fwrite(data, 1, bytes, stdout); }
  void Flush() override { std::fflush(stdout); }
};

}  // namespace

// Layout check for the encoder's assumptions.
bool CheckPageLayout(const cups_page_header2_t &header) {
  const uint32_t colours = header.cupsNumColors & 0xFFFFu;
  // The stream may hold any number in the enumerated fields; loading one
  // outside its enumeration is undefined, so they are read as numbers.
  uint32_t space, order;
  std::memcpy(&space, &header.cupsColorSpace, sizeof space);
  std::memcpy(&order, &header.cupsColorOrder, sizeof order);
  // The colour space is only named in the message: any three 8-bit colours
  // a pixel are read as red, green, blue, as the printer's data always is.
  if (header.cupsBitsPerColor != 8 || colours != kBytesPerPixel || order != CUPS_ORDER_CHUNKED ||
      uint64_t{header.cupsBytesPerLine} != uint64_t{header.cupsWidth} * kBytesPerPixel) {
    LogMessage("ERROR",
               N_("Unsupported raster page (%u bits per colour, %u colours, colour space %u, "
                  "%u bytes per line for %u dots); the page is skipped."),
               header.cupsBitsPerColor, header.cupsNumColors, space,
               header.cupsBytesPerLine, header.cupsWidth);
    return false;
  }
  if (uint64_t{header.cupsBytesPerLine} * header.cupsHeight > kMaxPageBytes) {
    LogMessage("ERROR", N_("Page of %u x %u dots is too large to print; the page is skipped."),
               header.cupsWidth, header.cupsHeight);
    return false;
  }
  return true;
}

// One page through the command stream.
bool SendOnePage_RGB(unsigned char *image, uint64_t imageSize, cups_page_header2_t header,
                     settings_ settings) {
  if (!CheckPageLayout(header)) return false;
  if (imageSize < uint64_t{header.cupsBytesPerLine} * header.cupsHeight) {
    LogMessage("ERROR", N_("Page data is shorter than its header says; the page is skipped."));
    return false;
  }
  StdoutSink out;
  return quillet::EncodePage(out, image, imageSize, header.cupsWidth, header.cupsHeight, settings,
                             static_cast<int>(header.NumCopies));
}

void SendOnePage_Header(int64_t width, int64_t height, float dotsPerMm,
                        cups_page_header2_t /*header*/, settings_ settings) {
  StdoutSink out;
  quillet::WritePageHeader(out, *quillet::FindModelByDriver("quillet_label_203")->header, width, height,
                           dotsPerMm, settings);
}

void SendOnePage_HeaderA4(int64_t width, int64_t height, float dotsPerMm,
                          cups_page_header2_t /*header*/, settings_ settings) {
  StdoutSink out;
  quillet::WritePageHeader(out, *quillet::FindModelByDriver("quillet_a4_203")->header, width, height,
                           dotsPerMm, settings);
}
