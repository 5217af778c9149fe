// Tests of the printer stream checker: streams are built here byte by
// byte, the way the filter writes them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_stream.h"
#include "models.h"
#include "printer_stream.h"

namespace {

using quillet::DecodeError;
using quillet::PageRecord;

std::string PaperType(char value) {
  std::string s("\x1F\x57\x12\x00\x30\x01\x0A\x00\x02\x00PAPERTYPE\x00", 20);
  s += value;
  s += '\0';
  return s + "\r\n";
}

std::string Bitmap(int y, int widthBytes, int height, const std::string &bytes, int mode = 1) {
  return "BITMAP 0," + std::to_string(y) + "," + std::to_string(widthBytes) + "," + std::to_string(height) +
         "," + std::to_string(mode) + "," + bytes + "\r\n";
}

std::string A4Header(char paper = '0') {
  return "SIZE 216 mm,297 mm\r\n" + PaperType(paper) +
         "GAP 0 mm,0 mm\r\nDIRECTION 0\r\nREFERENCE 0,0\r\nDENSITY 8\r\nSPEED 4\r\nCLS\r\n";
}

std::string LabelHeader() {
  return "SIZE 50 mm,30 mm\r\nREFERENCE -3 ,2 \r\nDIRECTION 1\r\nBLINE 3 mm,3 mm\r\n"
         "OFFSET 0 mm\r\nDENSITY 10\r\nSPEED 3\r\nCLS\r\n";
}

// A4 page with two 2-byte-wide bands of 2 rows: one dot top left, one at
// the far right of the last row.
std::string A4Page(int copies = 1) {
  return A4Header() + Bitmap(0, 2, 2, std::string("\x7F\xFF\xFF\xFF", 4)) +
         Bitmap(2, 2, 2, std::string("\xFF\xFF\xFF\xFE", 4)) + "PRINT 1," + std::to_string(copies) + "\r\n";
}

struct Result {
  bool ok;
  DecodeError error;
  std::vector<PageRecord> pages;
};

Result Decode(const std::string &s, const std::vector<const quillet::HeaderStyle *> *styles = nullptr) {
  Result r;
  auto sink = [&](const PageRecord &p) {
    r.pages.push_back(p);
    return true;
  };
  const auto *data = reinterpret_cast<const uint8_t *>(s.data());
  r.ok = styles ? quillet::DecodeStream(data, s.size(), sink, &r.error, *styles)
                : quillet::DecodeStream(data, s.size(), sink, &r.error);
  return r;
}

struct StringSink : quillet::ByteSink {
  std::string bytes;
  void Write(const void *data, size_t n) override { bytes.append(static_cast<const char *>(data), n); }
};

TEST(PrinterStream, A4PagesDecodeWithAllHeaderValues) {
  Result r = Decode(A4Page(1) + A4Page(3));
  ASSERT_TRUE(r.ok) << r.error.offset << ": " << r.error.message;
  ASSERT_EQ(r.pages.size(), 2u);
  const PageRecord &p = r.pages[0];
  EXPECT_STREQ(p.style->name, "a4");
  EXPECT_EQ(p.widthMm, 216);
  EXPECT_EQ(p.heightMm, 297);
  EXPECT_EQ(p.paperTypeValue, 0);
  EXPECT_FALSE(p.gapIsBline);
  EXPECT_EQ(p.direction, 0);
  EXPECT_FALSE(p.referenceBlanks);
  EXPECT_EQ(p.density, 8);
  EXPECT_EQ(p.speed, 4);
  ASSERT_EQ(p.bands.size(), 2u);
  EXPECT_EQ(p.bands[1].y, 2);
  EXPECT_EQ(p.bands[1].bits.back(), 0xFE);
  EXPECT_EQ(r.pages[0].copies, 1);
  EXPECT_EQ(r.pages[1].copies, 3);
  EXPECT_EQ(r.pages[1].offset, A4Page(1).size());
}

TEST(PrinterStream, LabelHeaderWithBlanksNegativeReferenceAndBlackLine) {
  Result r = Decode(LabelHeader() + Bitmap(0, 1, 1, std::string(1, '\0')) + "PRINT 1,1\r\n");
  ASSERT_TRUE(r.ok) << r.error.offset << ": " << r.error.message;
  const PageRecord &p = r.pages.at(0);
  EXPECT_STREQ(p.style->name, "label");
  EXPECT_TRUE(p.referenceBlanks);
  EXPECT_EQ(p.reference[0], -3);
  EXPECT_EQ(p.reference[1], 2);
  EXPECT_TRUE(p.gapIsBline);
  EXPECT_EQ(p.gap[0], 3);
  EXPECT_EQ(p.direction, 1);
  EXPECT_TRUE(p.hasOffset);
  EXPECT_EQ(p.paperTypeValue, -1);
}

TEST(PrinterStream, EmptyStreamAndEmptyBandsAreWellFormed) {
  EXPECT_TRUE(Decode("").ok);
  // A degenerate page of width 0: bands without data bytes.
  Result r = Decode(A4Header() + Bitmap(0, 0, 24, "") + "PRINT 1,1\r\n");
  ASSERT_TRUE(r.ok) << r.error.message;
  EXPECT_EQ(quillet::ComposePage(r.pages[0]).width, 0);
}

TEST(PrinterStream, PaperTypeValuesAndEveryCorruptedByte) {
  for (char v : {'0', '1', '2'}) {
    Result r = Decode(A4Header(v) + "PRINT 1,1\r\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r.pages[0].paperTypeValue, v - '0');
  }
  const std::string head = "SIZE 216 mm,297 mm\r\n";
  const std::string good = A4Header('1') + "PRINT 1,1\r\n";
  // Every byte of the 22-byte command and its line end is checked.
  for (size_t i = 0; i < 24; ++i) {
    std::string bad = good;
    bad[head.size() + i] = static_cast<char>(bad[head.size() + i] ^ 0x08);
    Result r = Decode(bad);
    EXPECT_FALSE(r.ok) << "byte " << i;
    EXPECT_EQ(r.error.offset, head.size() + i) << "byte " << i << ": " << r.error.message;
  }
  EXPECT_FALSE(Decode(A4Header('3') + "PRINT 1,1\r\n").ok);
}

TEST(PrinterStream, EveryTruncationIsReported) {
  const std::string page = A4Page() + LabelHeader() + Bitmap(0, 1, 2, "\x0F\xF0") + "PRINT 1,2\r\n";
  const size_t firstEnd = A4Page().size();
  for (size_t n = 1; n < page.size(); ++n) {
    if (n == firstEnd) continue;  // a cut between pages leaves a valid stream
    Result r = Decode(page.substr(0, n));
    ASSERT_FALSE(r.ok) << "prefix " << n << " accepted";
    EXPECT_LE(r.error.offset, n) << r.error.message;
    EXPECT_EQ(r.pages.size(), n > firstEnd ? 1u : 0u);
  }
}

TEST(PrinterStream, MalformedCommandsReportTheirOffset) {
  const std::string h = A4Header();
  struct Case {
    std::string stream;
    size_t offset;
    const char *text;
  } cases[] = {
      {"SIZE 216 mm,297 mm\n", 18, "line feed without carriage return"},
      {"SIZE 216 mm,297 mm\rX", 19, "not followed by line feed"},
      {"FOO 1\r\n", 0, "unknown command"},
      {"size 1 mm,1 mm\r\n", 0, "expected a command"},
      {"\r\n", 0, "expected a command"},
      {"SIZE 216,297 mm\r\n", 8, "expected ' mm'"},
      {"SIZE -1 mm,297 mm\r\n", 5, "out of range"},
      {"SIZE 99999999999 mm,1 mm\r\n", 5, "too long"},
      {"SIZE 2 mm,3 mm extra\r\n", 15, "unexpected text"},
      {"SIZE" + std::string(300, ' ') + "1 mm\r\n", 0, "too long"},
      {"CLS\r\n", 0, "outside a page"},
      {"BITMAP 0,0,1,1,1,\xFF\r\n", 0, "outside a page"},
      {"SIZE 1 mm,1 mm\r\nBITMAP 0,0,1,1,1,\xFF\r\n", 16, "before CLS"},
      {"SIZE 1 mm,1 mm\r\nPRINT 1,1\r\n", 16, "before CLS"},
      {h + "SIZE 1 mm,1 mm\r\n", h.size(), "PRINT missing"},
      {h + "DENSITY 3\r\n", h.size(), "after CLS"},
      {"SIZE 1 mm,1 mm\r\nDENSITY 3\r\nDENSITY 4\r\n", 27, "duplicate"},
      {"SIZE 1 mm,1 mm\r\nGAP 0 mm,0 mm\r\nBLINE 1 mm,1 mm\r\n", 31, "duplicate"},
      {"SIZE 1 mm,1 mm\r\nDIRECTION 2\r\n", 26, "out of range"},
      {"SIZE 1 mm,1 mm\r\nDIRECTION0\r\n", 25, "blank expected"},
      {"SIZE 1 mm,1 mm\r\nREFERENCE 1;2\r\n", 27, "expected ','"},
      {"SIZE 1 mm,1 mm\r\nGAP 0 mm,0 mm\r\nDIRECTION 0\r\nDENSITY 1\r\nSPEED 1\r\nCLS\r\n", 64,
       "without REFERENCE"},
      {"SIZE 1 mm,1 mm\r\nGAP 0 mm,0 mm\r\nDIRECTION 0\r\nREFERENCE 0,0\r\nDENSITY 1\r\nSPEED 1\r\nCLS\r\n", 79,
       "neither PAPERTYPE"},
      {"SIZE 1 mm,1 mm\r\n" + PaperType('0') + "OFFSET 0 mm\r\nGAP 0 mm,0 mm\r\nDIRECTION 0\r\n"
       "REFERENCE 0,0\r\nDENSITY 1\r\nSPEED 1\r\nCLS\r\n", 116, "mixes"},
      {PaperType('0'), 0, "outside a page header"},
      {h + "BITMAP 0,0,1,1,3,\xFF\r\n", h.size() + 15, "mode"},
      {h + "BITMAP 0,-1,1,1,1,\xFF\r\n", h.size() + 9, "out of range"},
      {h + "BITMAP 0,0,1,1,1\xFF\r\n", h.size() + 16, "',' expected"},
      {h + "BITMAP0,0,1,1,1,\xFF\r\n", h.size() + 6, "blank expected"},
      {h + "BITMAP 0,0,1,1,1,\xFF\xFF\r\n", h.size() + 18, "longer than announced"},
      {h + "BITMAP 0,0,100000,100000,1,", h.size(), "reaches beyond"},
      {h + "BITMAP 16000,0,100,1,1,", h.size(), "reaches beyond"},
      {h + "BITMAP 0,65530,1,24,1,", h.size(), "reaches beyond"},
      {h + "PRINT 0,1\r\n", h.size() + 6, "out of range"},
      {h + "PRINT 1\r\n", h.size() + 7, "expected ','"},
      {h + "PRINT 1,1\r\nPRINT 1,1\r\n", h.size() + 11, "outside a page"},
  };
  for (const Case &c : cases) {
    Result r = Decode(c.stream);
    EXPECT_FALSE(r.ok) << c.stream;
    EXPECT_EQ(r.error.offset, c.offset) << c.stream << " -> " << r.error.message;
    EXPECT_NE(r.error.message.find(c.text), std::string::npos) << c.stream << " -> " << r.error.message;
  }
}

// Each model's header as the writer sends it reads back as that model's
// style, whichever of its lines the paper options pick.
TEST(PrinterStream, EveryModelsHeaderDecodesAsItsStyle) {
  for (size_t m = 0; m < quillet::kNumModels; ++m) {
    const quillet::Model &model = quillet::kModels[m];
    for (int32_t choice : {0, 1, 2}) {
      settings_ s = quillet::DefaultSettings(model);
      s.paperSel = s.paperType = choice;
      StringSink out;
      quillet::WritePageHeader(out, *model.header, 400, 240, kCommandDotsPerMm, s);
      Result r = Decode(out.bytes + "PRINT 1,1\r\n");
      ASSERT_TRUE(r.ok) << model.driverName << ": " << r.error.message;
      EXPECT_EQ(r.pages.at(0).style, model.header) << model.driverName << " " << choice;
    }
  }
}

// A style no row has yet, its lines reordered and some left out, reads
// back as itself with its values; a header with its lines in another
// order, or the label header with lines it lacks, is none of the styles.
TEST(PrinterStream, AnyStyleRoundTripsAndOrderCounts) {
  using C = quillet::HeaderCommand;
  const quillet::HeaderStyle madeUp = {
      "made-up", {C::kSize, C::kSpeed, C::kPrintDensity, C::kGapForPaperSel, C::kReferenceOffsets, C::kClear}};
  const quillet::Model &label = *quillet::FindModelByDriver("quillet_label_203");
  const std::vector<const quillet::HeaderStyle *> styles = {label.header, &madeUp};
  for (int32_t paperSel : {0, 1, 2}) {
    settings_ s = quillet::DefaultSettings(label);
    s.paperSel = paperSel;
    s.labelGap = 4;
    s.printSpeed = 6;
    s.printDensity = 11;
    s.horizontalOffset = -5;
    StringSink out;
    quillet::WritePageHeader(out, madeUp, 400, 240, kCommandDotsPerMm, s);
    Result r = Decode(out.bytes + "PRINT 1,1\r\n", &styles);
    ASSERT_TRUE(r.ok) << paperSel << ": " << r.error.message;
    const PageRecord &p = r.pages.at(0);
    EXPECT_EQ(p.style, &madeUp);
    EXPECT_EQ(p.offset, 0u);
    EXPECT_FALSE(p.hasOffset);
    EXPECT_EQ(p.direction, -1);
    EXPECT_EQ(p.speed, 6);
    EXPECT_EQ(p.density, 11);
    EXPECT_EQ(p.gapIsBline, paperSel == 2);
    EXPECT_EQ(p.gap[0], paperSel ? 4 : 0);
    EXPECT_EQ(p.reference[0], -5);
    EXPECT_EQ(p.widthMm, 50);
  }
  const std::string swapped = "SIZE 50 mm,30 mm\r\nDENSITY 8\r\nSPEED 4\r\nGAP 2 mm,2 mm\r\nREFERENCE 0 ,0 \r\nCLS\r\n";
  Result r = Decode(swapped + "PRINT 1,1\r\n", &styles);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.message.find("not in the order the made-up header"), std::string::npos) << r.error.message;
  r = Decode(LabelHeader() + "PRINT 1,1\r\n", &styles);
  EXPECT_TRUE(r.ok && r.pages.at(0).style == label.header) << r.error.message;
  const std::vector<const quillet::HeaderStyle *> onlyMadeUp = {&madeUp};
  EXPECT_FALSE(Decode(LabelHeader() + "PRINT 1,1\r\n", &onlyMadeUp).ok);
}

TEST(PrinterStream, SinkCanStopDecoding) {
  int seen = 0;
  DecodeError e;
  std::string s = A4Page() + A4Page() + "garbage";
  EXPECT_TRUE(quillet::DecodeStream(reinterpret_cast<const uint8_t *>(s.data()), s.size(),
                                    [&](const PageRecord &) { return ++seen < 1; }, &e));
  EXPECT_EQ(seen, 1);
}

TEST(PageImage, BandsComposeWithModesOffsetsAndPadding) {
  PageRecord p;
  quillet::Band first;
  first.widthBytes = 1;
  first.height = 2;
  first.mode = 0;
  first.bits = {0x0F, 0xFF};  // dots at x 0-3 of row 0
  quillet::Band xorBand = first;
  xorBand.x = 2;
  xorBand.mode = 2;  // flips x 2-5 of row 0: dots at 0,1,4,5
  quillet::Band orBand = first;
  orBand.y = 1;
  orBand.mode = 1;  // rows 1-2
  p.bands = {first, xorBand, orBand};
  quillet::PageBitmap b = quillet::ComposePage(p);
  EXPECT_EQ(b.width, 10);
  EXPECT_EQ(b.height, 3);
  EXPECT_EQ(b.rowBytes, 2u);
  std::string row0;
  for (int x = 0; x < b.width; ++x) row0 += b.IsDot(x, 0) ? '#' : '.';
  EXPECT_EQ(row0, "##..##....");
  EXPECT_TRUE(b.IsDot(3, 1));
  EXPECT_FALSE(b.IsDot(4, 1));
  EXPECT_FALSE(b.IsDot(0, 2));
  EXPECT_EQ(b.bits[1] & 0x3F, 0x3F);  // pad bits beyond the width stay white
  EXPECT_EQ(quillet::ComposePage(p, 50).height, 50);
}

TEST(PageImage, SizeConversionUndoesTheFilterRounding) {
  // The filter writes round(dots / 7.992126); going back lands within half
  // a millimetre of the original dot count.
  for (int dots : {3508, 2376, 2339, 1728}) {
    int mm = static_cast<int>(dots / 7.992126f + 0.5f);
    EXPECT_NEAR(quillet::SizeMmToDots(mm), dots, 4) << dots;
  }
}

TEST(PageImage, SummaryAndPngOutput) {
  Result r = Decode(A4Page(3));
  ASSERT_TRUE(r.ok);
  quillet::PageBitmap b = quillet::ComposePage(r.pages[0]);
  std::string line = quillet::SummarizePage(1, r.pages[0], b);
  for (const char *field : {"page=1 ", "header=a4", "size=216x297mm", "papertype=0(continuous)", "bands=2",
                            "width=16", "height=4", "ink=2", "lastink=3", "print=1,3"}) {
    EXPECT_NE(line.find(field), std::string::npos) << field << " in " << line;
  }
  std::string path = ::testing::TempDir() + "quillet_stream_test.png";
  std::string error;
  ASSERT_TRUE(quillet::WritePng(path, b, 203, &error)) << error;
  FILE *f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  unsigned char sig[8] = {};
  EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
  std::fclose(f);
  std::remove(path.c_str());
  EXPECT_EQ(sig[1], 'P');
  EXPECT_FALSE(quillet::WritePng("/nonexistent-dir/x.png", b, 0, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
