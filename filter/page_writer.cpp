// Page encoder: drives one raster page through the image preparation and
// packs it into the printer's text commands with raw bitmap bands.
#include "page_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "messages.h"

#define PAPERTYPE_COMMAND(value)                                                  \
  {0x1F, 0x57, 0x12, 0x00, 0x30, 0x01, 0x0A, 0x00, 0x02, 0x00, 'P', 'A', 'P', 'E', \
   'R', 'T', 'Y', 'P', 'E', 0x00, (value), 0x00}

const unsigned char cmd_paper_black[22] = PAPERTYPE_COMMAND('1');
const unsigned char cmd_paper_continuous[22] = PAPERTYPE_COMMAND('0');
const unsigned char cmd_paper_tattoo[22] = PAPERTYPE_COMMAND('2');

#undef PAPERTYPE_COMMAND

namespace {

constexpr uint32_t kBytesPerPixel = 3;

// Writes the BITMAP command of the band that starts at row y of the packed
// page; rows below the page are sent white.
void WriteBand(const unsigned char *bits, int64_t height, int64_t y, unsigned char *lastBand,
               int64_t bytesPerRow) {
  const size_t dataBytes = static_cast<size_t>(kBandHeight * bytesPerRow);
  const unsigned char *data = bits + y * bytesPerRow;
  if (height - y < kBandHeight) {
    const size_t have = static_cast<size_t>((height - y) * bytesPerRow);
    std::memcpy(lastBand, data, have);
    std::memset(lastBand + have, 0xFF, dataBytes - have);
    data = lastBand;
  }
  std::printf("BITMAP %d,%d,%d,%d,%d,", 0, static_cast<int>(y), static_cast<int>(bytesPerRow),
              kBandHeight, 1);
  std::fwrite(data, 1, dataBytes, stdout);
  std::fflush(stdout);
  std::printf("\r\n");
}

}  // namespace

// Millimetre conversion used by SIZE; see the header.
int32_t DotsToMm(int64_t dots, float dotsPerMm) {
  return static_cast<int32_t>(std::lround(static_cast<float>(dots) / dotsPerMm));
}

// Layout check for the encoder's assumptions; see the header.
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

// One page: record, optional quarter turn, preparation, header, bands,
// PRINT; see the header.
bool SendOnePage_RGB(unsigned char *image, uint64_t imageSize, cups_page_header2_t header,
                     settings_ settings) {
  if (!CheckPageLayout(header)) return false;
  if (imageSize < uint64_t{header.cupsBytesPerLine} * header.cupsHeight) {
    LogMessage("ERROR", N_("Page data is shorter than its header says; the page is skipped."));
    return false;
  }

  BMPInfo *record = CBMP_Create();
  if (!record) return false;

  int64_t width = header.cupsWidth;
  int64_t height = header.cupsHeight;
  const int64_t bpp = header.cupsNumColors & 0xFFFFu;
  unsigned char *turned = nullptr;

  if ((settings.rotate & ~2) == 1) {
    uint64_t turnedSize = 0;
    int64_t turnedWidth = 0;
    int64_t turnedHeight = 0;
    turned = CBMP_Rotate90Degrees(record, image, imageSize, width, height, &turnedSize,
                                  &turnedWidth, &turnedHeight, 90);
    // Without the turn the page is still printed, upright.
    if (turned) {
      image = turned;
      imageSize = turnedSize;
      width = turnedWidth;
      height = turnedHeight;
    }
  }

  CBMP_SetOffsetUnits(record, kDotsPerMm);
  CBMP_SetDoOffset(record, 1);
  CBMP_SetDoMirror(record, 1);
  CBMP_SetSettings(record, settings);
  CBMP_SetBitCount(record, static_cast<uint16_t>(bpp * 8));
  CBMP_SetBMPInfo(record, width, height, bpp);
  // The page is packed one bit a dot as it is prepared; a page without
  // dots has nothing to prepare and is sent as empty rows.
  const int64_t bytesPerRow = (width + 7) / 8;
  auto *bits = static_cast<unsigned char *>(
      std::malloc(static_cast<size_t>((height + kBandHeight) * bytesPerRow + 1)));
  if (!bits || (width > 0 && height > 0 &&
                !record->CBMP_PackPage(image, static_cast<int64_t>(imageSize), bits, bytesPerRow))) {
    std::free(bits);
    CBMP_destroy(record);
    std::free(turned);
    return false;
  }
  const int64_t last = CBMP_GetBlankHeightLast(record);
  CBMP_ClearCBMPInfo(record);
  CBMP_destroy(record);
  std::free(turned);

  const int64_t printedHeight = (last > 0 && last < height) ? last : height;
  if (settings.modelNumber == kLabelModelNumber) {
    SendOnePage_Header(width, height, kDotsPerMm, header, settings);
  } else {
    SendOnePage_HeaderA4(width, height, kDotsPerMm, header, settings);
  }
  const int64_t bands = (printedHeight + kBandHeight - 1) / kBandHeight;
  unsigned char *lastBand = bits + height * bytesPerRow;  // room for one band after the page
  for (int64_t b = 0; b < bands; ++b) {
    WriteBand(bits, height, b * kBandHeight, lastBand, bytesPerRow);
  }
  std::free(bits);
  std::printf("PRINT %d,%d\r\n", 1, static_cast<int>(header.NumCopies));
  std::fflush(stdout);
  return true;
}

// Label header: size, reference point, direction, paper, offset, density,
// speed, clear.
void SendOnePage_Header(int64_t width, int64_t height, float dotsPerMm,
                        cups_page_header2_t /*header*/, settings_ settings) {
  std::printf("SIZE %d mm,%d mm\r\n", DotsToMm(width, dotsPerMm), DotsToMm(height, dotsPerMm));
  std::printf("REFERENCE %d ,%d \r\n", settings.horizontalOffset, settings.verticalOffset);
  std::puts((settings.rotate & ~1) == 2 ? "DIRECTION 1\r" : "DIRECTION 0\r");
  if (settings.paperSel == 2) {
    std::printf("BLINE %d mm,%d mm\r\n", settings.labelGap, settings.labelGap);
  } else if (settings.paperSel == 1) {
    std::printf("GAP %d mm,%d mm\r\n", settings.labelGap, settings.labelGap);
  } else {
    std::puts("GAP 0 mm,0 mm\r");
  }
  std::printf("OFFSET %d mm\r\n", settings.offset);
  std::printf("DENSITY %d\r\n", settings.printDensity);
  std::printf("SPEED %d\r\n", settings.printSpeed);
  std::puts("CLS\r");
}

// A4 header: size, paper type, gap, direction, reference point, density,
// speed, clear.
void SendOnePage_HeaderA4(int64_t width, int64_t height, float dotsPerMm,
                          cups_page_header2_t /*header*/, settings_ settings) {
  std::printf("SIZE %d mm,%d mm\r\n", DotsToMm(width, dotsPerMm), DotsToMm(height, dotsPerMm));
  // The printer's PAPERTYPE numbers differ from the option's: 0 sends "1".
  const unsigned char *paper = settings.paperType == 0   ? cmd_paper_black
                               : settings.paperType == 1 ? cmd_paper_continuous
                                                         : cmd_paper_tattoo;
  std::fwrite(paper, 1, sizeof cmd_paper_black, stdout);
  std::fflush(stdout);
  std::printf("\r\n");
  if (settings.paperType == 1) {
    std::puts("GAP 0 mm,0 mm\r");
  } else {
    std::printf("GAP %d mm,%d mm\r\n", 2, 2);
  }
  std::puts(settings.direction == 0 ? "DIRECTION 0\r" : "DIRECTION 1\r");
  std::printf("REFERENCE %d,%d\r\n", 0, 0);
  std::printf("DENSITY %d\r\n", settings.density);
  std::printf("SPEED %d\r\n", settings.printSpeed);
  std::puts("CLS\r");
}
