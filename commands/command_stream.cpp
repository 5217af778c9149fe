// Page encoder: drives one page through the image preparation and packs it
// into the printer's text commands with raw bitmap bands.
#include "command_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bmpinfo.h"
#include "models.h"

#define PAPERTYPE_COMMAND(value)                                                  \
  {0x1F, 0x57, 0x12, 0x00, 0x30, 0x01, 0x0A, 0x00, 0x02, 0x00, 'P', 'A', 'P', 'E', \
   'R', 'T', 'Y', 'P', 'E', 0x00, (value), 0x00}

const unsigned char cmd_paper_black[22] = PAPERTYPE_COMMAND('1');
const unsigned char cmd_paper_continuous[22] = PAPERTYPE_COMMAND('0');
const unsigned char cmd_paper_tattoo[22] = PAPERTYPE_COMMAND('2');

#undef PAPERTYPE_COMMAND

namespace quillet {
namespace {

__attribute__((format(printf, 2, 3))) void Print(ByteSink &out, const char *format, ...) {
  char line[128];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) out.Write(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

void Text(ByteSink &out, const char *text) { out.Write(text, std::strlen(text)); }

// Writes the BITMAP command of the band that starts at row y of the packed
// page; rows below the page are sent white.
void WriteBand(ByteSink &out, const unsigned char *bits, int64_t height, int64_t y,
               unsigned char *lastBand, int64_t bytesPerRow) {
  const size_t dataBytes = static_cast<size_t>(kBandHeight * bytesPerRow);
  const unsigned char *data = bits + y * bytesPerRow;
  if (height - y < kBandHeight) {
    const size_t have = static_cast<size_t>((height - y) * bytesPerRow);
    std::memcpy(lastBand, data, have);
    std::memset(lastBand + have, 0xFF, dataBytes - have);
    data = lastBand;
  }
  Print(out, "BITMAP %d,%d,%d,%d,%d,", 0, static_cast<int>(y), static_cast<int>(bytesPerRow),
        kBandHeight, 1);
  out.Write(data, dataBytes);
  out.Flush();
  Text(out, "\r\n");
}

// Describes a page of 3-byte RGB dots to the record.
void SetUp(BMPInfo *record, int64_t width, int64_t height, const settings_ &settings) {
  CBMP_SetOffsetUnits(record, kCommandDotsPerMm);
  CBMP_SetDoOffset(record, 1);
  CBMP_SetDoMirror(record, 1);
  CBMP_SetSettings(record, settings);
  CBMP_SetBitCount(record, 24);
  CBMP_SetBMPInfo(record, width, height, 3);
}

// The packed page's commands: the model's header, the bands down to the
// last row with content (`bits` has room for one band below the page),
// PRINT with the copy count.  False after the last whole band when the
// job is cancelled.
bool WritePacked(ByteSink &out, unsigned char *bits, int64_t width, int64_t height, int64_t last,
                 const settings_ &settings, int copies) {
  const int64_t bytesPerRow = (width + 7) / 8;
  const int64_t printedHeight = (last > 0 && last < height) ? last : height;
  WritePageHeader(out, HeaderStyleFor(settings.modelNumber), width, height, kCommandDotsPerMm, settings);
  const int64_t bands = (printedHeight + kBandHeight - 1) / kBandHeight;
  unsigned char *lastBand = bits + height * bytesPerRow;
  for (int64_t b = 0; b < bands; ++b) {
    if (out.Cancelled()) return false;
    WriteBand(out, bits, height, b * kBandHeight, lastBand, bytesPerRow);
  }
  Print(out, "PRINT %d,%d\r\n", 1, copies);
  out.Flush();
  return true;
}

}  // namespace

int32_t DotsToMm(int64_t dots, float dotsPerMm) {
  return static_cast<int32_t>(std::lround(static_cast<float>(dots) / dotsPerMm));
}

bool EncodePage(ByteSink &out, unsigned char *image, uint64_t imageSize, int64_t width,
                int64_t height, const settings_ &settings, int copies) {
  BMPInfo *record = CBMP_Create();
  if (!record) return false;

  unsigned char *turned = nullptr;

  if (TurnsSideways(settings.rotate)) {
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

  SetUp(record, width, height, settings);
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
  const bool sent = WritePacked(out, bits, width, height, last, settings, copies);
  std::free(bits);
  return sent;
}

PageWriter::~PageWriter() {
  CBMP_destroy(record_);
  std::free(bits_);
  std::free(page_);
}

bool PageWriter::Reserve(unsigned char **buffer, size_t *capacity, size_t bytes) {
  if (*buffer && *capacity >= bytes) return true;
  std::free(*buffer);
  *buffer = static_cast<unsigned char *>(std::malloc(bytes));
  *capacity = *buffer ? bytes : 0;
  return *buffer != nullptr;
}

bool PageWriter::Start(int64_t width, int64_t height, const settings_ &settings, int copies) {
  CBMP_destroy(record_);
  record_ = nullptr;
  if (width < 0 || height < 0 || (width > 0 && uint64_t(height) > kMaxPageBytes / 3 / uint64_t(width)))
    return false;
  width_ = width;
  height_ = height;
  rows_ = 0;
  jobSettings_ = settings;
  copies_ = copies;
  const bool turns = TurnsSideways(settings.rotate);
  const int64_t bytesPerRow = (width + 7) / 8;
  // The threshold road's gray page shares the packed page's buffer.
  const size_t bitsBytes = std::max(static_cast<size_t>((height + kBandHeight) * bytesPerRow + 1),
                                    settings.halfTone != 1 ? static_cast<size_t>(width * height) : 0);
  if (!turns && width > 0 && height > 0 && Reserve(&bits_, &bitsCapacity_, bitsBytes)) {
    record_ = CBMP_Create();
    if (record_) {
      SetUp(record_, width, height, settings);
      if (record_->CBMP_StartRows(bits_, bytesPerRow, static_cast<int64_t>(bitsCapacity_))) return true;
      CBMP_destroy(record_);
      record_ = nullptr;
    }
  }
  const size_t pageBytes = static_cast<size_t>(width * height * 3);
  return Reserve(&page_, &pageCapacity_, pageBytes ? pageBytes : 1);
}

void PageWriter::AddRow(const unsigned char *rgb) {
  if (rows_ >= height_) return;
  if (record_) {
    record_->CBMP_PutRow(rgb);
  } else {
    std::memcpy(page_ + rows_ * width_ * 3, rgb, static_cast<size_t>(width_ * 3));
  }
  ++rows_;
}

void PageWriter::AddGrayRow(const unsigned char *gray) {
  if (rows_ >= height_) return;
  if (record_) {
    record_->CBMP_PutGrayRow(gray);
  } else {
    unsigned char *row = page_ + rows_ * width_ * 3;
    for (int64_t x = 0; x < width_; ++x, row += 3) row[0] = row[1] = row[2] = gray[x];
  }
  ++rows_;
}

bool PageWriter::Finish(ByteSink &out) {
  if (rows_ < height_) {
    if (record_) record_->CBMP_EndRows();
    return false;
  }
  if (!record_)
    return EncodePage(out, page_, static_cast<uint64_t>(width_ * height_ * 3), width_, height_,
                      jobSettings_, copies_);
  const bool prepared = record_->CBMP_FinishRows();
  const int64_t last = CBMP_GetBlankHeightLast(record_);
  CBMP_destroy(record_);
  record_ = nullptr;
  return prepared && WritePacked(out, bits_, width_, height_, last, jobSettings_, copies_);
}

void WritePageHeader(ByteSink &out, const HeaderStyle &style, int64_t width, int64_t height,
                     float dotsPerMm, const settings_ &settings) {
  for (size_t i = 0; i < kMaxHeaderCommands && style.commands[i] != HeaderCommand::kEnd; ++i) {
    switch (style.commands[i]) {
      case HeaderCommand::kSize:
        Print(out, "SIZE %d mm,%d mm\r\n", DotsToMm(width, dotsPerMm), DotsToMm(height, dotsPerMm));
        break;
      case HeaderCommand::kPaperType: {
        // The printer's PAPERTYPE numbers differ from the option's: 0 sends "1".
        const unsigned char *paper = settings.paperType == 0   ? cmd_paper_black
                                     : settings.paperType == 1 ? cmd_paper_continuous
                                                               : cmd_paper_tattoo;
        out.Write(paper, sizeof cmd_paper_black);
        out.Flush();
        Text(out, "\r\n");
        break;
      }
      case HeaderCommand::kGapForPaperType:
        if (settings.paperType == 1) {
          Text(out, "GAP 0 mm,0 mm\r\n");
        } else {
          Print(out, "GAP %d mm,%d mm\r\n", 2, 2);
        }
        break;
      case HeaderCommand::kGapForPaperSel:
        if (settings.paperSel == 2) {
          Print(out, "BLINE %d mm,%d mm\r\n", settings.labelGap, settings.labelGap);
        } else if (settings.paperSel == 1) {
          Print(out, "GAP %d mm,%d mm\r\n", settings.labelGap, settings.labelGap);
        } else {
          Text(out, "GAP 0 mm,0 mm\r\n");
        }
        break;
      case HeaderCommand::kDirection:
        Text(out, settings.direction == 0 ? "DIRECTION 0\r\n" : "DIRECTION 1\r\n");
        break;
      case HeaderCommand::kDirectionForRotate:
        Text(out, TurnsUpsideDown(settings.rotate) ? "DIRECTION 1\r\n" : "DIRECTION 0\r\n");
        break;
      case HeaderCommand::kReferenceOrigin:
        Print(out, "REFERENCE %d,%d\r\n", 0, 0);
        break;
      case HeaderCommand::kReferenceOffsets:
        // The label printer takes the blanks before the commas as sent.
        Print(out, "REFERENCE %d ,%d \r\n", settings.horizontalOffset, settings.verticalOffset);
        break;
      case HeaderCommand::kOffset:
        Print(out, "OFFSET %d mm\r\n", settings.offset);
        break;
      case HeaderCommand::kDensity:
      case HeaderCommand::kPrintDensity:
        // The A4 header takes OP_Density, the label header OP_PrintDensity.
        Print(out, "DENSITY %d\r\n",
              style.commands[i] == HeaderCommand::kDensity ? settings.density : settings.printDensity);
        break;
      case HeaderCommand::kSpeed:
        Print(out, "SPEED %d\r\n", settings.printSpeed);
        break;
      case HeaderCommand::kClear:
        Text(out, "CLS\r\n");
        break;
      case HeaderCommand::kEnd:
        break;
    }
  }
}

}  // namespace quillet
