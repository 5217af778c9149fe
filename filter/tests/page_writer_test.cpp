// Printer command stream: headers, band packing and whole pages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "models.h"
#include "page_writer.h"
#include "test_support.h"

using quillet_test::Capture;
using quillet_test::FilledPage;
using quillet_test::RgbHeader;

namespace {

settings_ A4Settings() {
  settings_ s{};
  s.modelNumber = 2;
  s.halfTone = 1;
  return s;
}

settings_ LabelSettings() {
  settings_ s{};
  s.modelNumber = quillet::FindModelByDriver("quillet_label_203")->modelNumber;
  s.halfTone = 1;
  return s;
}

std::string PaperType(const unsigned char (&command)[22]) {
  return std::string(reinterpret_cast<const char *>(command), sizeof command);
}

std::string A4Header(const settings_ &s, int64_t width, int64_t height) {
  return Capture(stdout, [&] {
    SendOnePage_HeaderA4(width, height, kCommandDotsPerMm, RgbHeader(1, 1), s);
  });
}

std::string LabelHeader(const settings_ &s, int64_t width, int64_t height) {
  return Capture(stdout, [&] {
    SendOnePage_Header(width, height, kCommandDotsPerMm, RgbHeader(1, 1), s);
  });
}

// Output and messages of one SendOnePage_RGB call on `image`.
struct PageRun {
  bool sent = false;
  std::string out;
  std::string err;
};

PageRun SendPage(std::vector<unsigned char> image, const cups_page_header2_t &header,
                 const settings_ &settings) {
  PageRun run;
  run.err = Capture(stderr, [&] {
    run.out = Capture(stdout, [&] {
      run.sent = SendOnePage_RGB(image.data(), image.size(), header, settings);
    });
  });
  return run;
}

// One BITMAP command as the encoder writes it.
std::string Band(int y, int bytesPerRow, const std::string &data) {
  return "BITMAP 0," + std::to_string(y) + "," + std::to_string(bytesPerRow) + ",24,1," + data +
         "\r\n";
}

// The data bytes of band `band` in `out` (bands located by their text).
std::string BandData(const std::string &out, int band, int bytesPerRow) {
  size_t at = 0;
  for (int b = 0; b <= band; ++b) {
    at = out.find("BITMAP ", at);
    if (at == std::string::npos) return "";
    if (b < band) ++at;
  }
  // The data follow the fifth comma of the command.
  size_t data = at;
  for (int comma = 0; comma < 5; ++comma) data = out.find(',', data) + 1;
  return out.substr(data, static_cast<size_t>(24 * bytesPerRow));
}

size_t Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(PageWriter, MillimetreConversion) {
  EXPECT_EQ(DotsToMm(1728, kCommandDotsPerMm), 216);
  EXPECT_EQ(DotsToMm(2376, kCommandDotsPerMm), 297);
  EXPECT_EQ(DotsToMm(2339, kCommandDotsPerMm), 293);
  EXPECT_EQ(DotsToMm(4, kCommandDotsPerMm), 1);
  EXPECT_EQ(DotsToMm(3, kCommandDotsPerMm), 0);
  EXPECT_EQ(DotsToMm(0, kCommandDotsPerMm), 0);
}

TEST(PageWriter, PaperTypeCommands) {
  const unsigned char black[22] = {0x1F, 0x57, 0x12, 0x00, 0x30, 0x01, 0x0A, 0x00,
                                   0x02, 0x00, 0x50, 0x41, 0x50, 0x45, 0x52, 0x54,
                                   0x59, 0x50, 0x45, 0x00, 0x31, 0x00};
  EXPECT_EQ(PaperType(cmd_paper_black), PaperType(black));
  std::string continuous = PaperType(black), tattoo = PaperType(black);
  continuous[20] = '0';
  tattoo[20] = '2';
  EXPECT_EQ(PaperType(cmd_paper_continuous), continuous);
  EXPECT_EQ(PaperType(cmd_paper_tattoo), tattoo);
}

TEST(PageWriter, A4HeaderByPaperTypeAndDirection) {
  settings_ s = A4Settings();
  s.density = 8;
  s.printDensity = 3;  // the label density must not leak into the A4 header
  s.printSpeed = 4;
  s.paperType = 1;
  EXPECT_EQ(A4Header(s, 1728, 2376),
            "SIZE 216 mm,297 mm\r\n" + PaperType(cmd_paper_continuous) +
                "\r\nGAP 0 mm,0 mm\r\nDIRECTION 0\r\nREFERENCE 0,0\r\nDENSITY 8\r\n"
                "SPEED 4\r\nCLS\r\n");

  s.paperType = 0;
  s.direction = 5;
  s.rotate = 0;
  const std::string black = A4Header(s, 1728, 2376);
  EXPECT_NE(black.find(PaperType(cmd_paper_black) + "\r\nGAP 2 mm,2 mm\r\nDIRECTION 1\r\n"),
            std::string::npos);

  // Any other paper type is tattoo paper; rotate never sets the A4 direction.
  s.paperType = 7;
  s.direction = 0;
  s.rotate = 3;
  const std::string tattoo = A4Header(s, 1728, 2376);
  EXPECT_NE(tattoo.find(PaperType(cmd_paper_tattoo) + "\r\nGAP 2 mm,2 mm\r\nDIRECTION 0\r\n"),
            std::string::npos);
}

TEST(PageWriter, LabelHeaderLines) {
  settings_ s = LabelSettings();
  s.horizontalOffset = -3;
  s.verticalOffset = 2;
  s.paperSel = 1;
  s.labelGap = 3;
  s.offset = 1;
  s.printDensity = 9;
  s.density = 4;  // the A4 density must not leak into the label header
  s.printSpeed = 5;
  EXPECT_EQ(LabelHeader(s, 800, 240),
            "SIZE 100 mm,30 mm\r\nREFERENCE -3 ,2 \r\nDIRECTION 0\r\nGAP 3 mm,3 mm\r\n"
            "OFFSET 1 mm\r\nDENSITY 9\r\nSPEED 5\r\nCLS\r\n");

  s.paperSel = 2;
  EXPECT_NE(LabelHeader(s, 800, 240).find("\r\nBLINE 3 mm,3 mm\r\n"), std::string::npos);
  for (int sel : {0, 3}) {
    s.paperSel = sel;
    EXPECT_NE(LabelHeader(s, 800, 240).find("\r\nGAP 0 mm,0 mm\r\n"), std::string::npos) << sel;
  }
  const std::vector<std::pair<int, const char *>> directions = {
      {0, "DIRECTION 0"}, {1, "DIRECTION 0"}, {2, "DIRECTION 1"}, {3, "DIRECTION 1"}};
  for (const auto &[rotate, line] : directions) {
    s.rotate = rotate;
    EXPECT_NE(LabelHeader(s, 800, 240).find(std::string("\r\n") + line + "\r\n"),
              std::string::npos)
        << rotate;
  }
}

// A4 model, continuous paper, a white page with a black row 100.
TEST(PageWriter, WorkedExampleIsByteExact) {
  settings_ s = A4Settings();
  s.paperType = 1;
  s.density = 8;
  s.printSpeed = 4;
  std::vector<unsigned char> image = FilledPage(1728, 2376, 255);
  std::memset(image.data() + 100 * 1728 * 3, 0, 1728 * 3);

  const PageRun run = SendPage(image, RgbHeader(1728, 2376), s);
  ASSERT_TRUE(run.sent);
  std::string expected = "SIZE 216 mm,297 mm\r\n" + PaperType(cmd_paper_continuous) +
                         "\r\nGAP 0 mm,0 mm\r\nDIRECTION 0\r\nREFERENCE 0,0\r\nDENSITY 8\r\n"
                         "SPEED 4\r\nCLS\r\n";
  for (int b = 0; b < 5; ++b) {
    std::string data(24 * 216, '\xFF');
    if (b == 4) std::memset(&data[4 * 216], 0, 216);
    expected += Band(24 * b, 216, data);
  }
  expected += "PRINT 1,1\r\n";
  EXPECT_TRUE(run.out == expected) << "output of " << run.out.size() << " bytes differs";
  EXPECT_EQ(run.err, "");
}

// 1730 dots: 217 bytes a row, the 6 pad bits at the right are white.
TEST(PageWriter, RowPaddingIsWhite) {
  const PageRun run = SendPage(FilledPage(1730, 24, 0), RgbHeader(1730, 24), A4Settings());
  ASSERT_TRUE(run.sent);
  std::string row(216, '\0');
  row += '\x3F';
  std::string data;
  for (int r = 0; r < 24; ++r) data += row;
  EXPECT_EQ(BandData(run.out, 0, 217), data);
  EXPECT_NE(run.out.find("BITMAP 0,0,217,24,1,"), std::string::npos);
}

// Bits: pixel 8k goes to bit 7 of byte k; 0 is a dot.
TEST(PageWriter, PixelBitOrder) {
  std::vector<unsigned char> image = FilledPage(16, 1, 255);
  image[0] = 0;            // pixel 0 black
  image[3 * 9] = 0;        // pixel 9 black
  const PageRun run = SendPage(image, RgbHeader(16, 1), A4Settings());
  ASSERT_TRUE(run.sent);
  std::string data(24 * 2, '\xFF');
  data[0] = '\x7F';
  data[1] = '\xBF';
  EXPECT_EQ(BandData(run.out, 0, 2), data);
}

// 30 rows: two bands; rows 30 to 47 of the second band are sent white.
TEST(PageWriter, PartialLastBandIsPaddedWhite) {
  const PageRun run = SendPage(FilledPage(8, 30, 0), RgbHeader(8, 30), A4Settings());
  ASSERT_TRUE(run.sent);
  EXPECT_EQ(Count(run.out, "BITMAP "), 2u);
  EXPECT_EQ(BandData(run.out, 0, 1), std::string(24, '\0'));
  EXPECT_EQ(BandData(run.out, 1, 1), std::string(6, '\0') + std::string(18, '\xFF'));
}

TEST(PageWriter, BlankTailIsNotSent) {
  std::vector<unsigned char> image = FilledPage(8, 200, 255);
  std::memset(image.data() + 30 * 8 * 3, 0, 8 * 3);  // content ends at row 30
  const PageRun run = SendPage(image, RgbHeader(8, 200), A4Settings());
  ASSERT_TRUE(run.sent);
  EXPECT_EQ(Count(run.out, "BITMAP "), 2u);
  // The header still gives the whole page.
  EXPECT_EQ(run.out.rfind("SIZE 1 mm,25 mm\r\n", 0), 0u);
}

TEST(PageWriter, CopiesGoIntoPrint) {
  const PageRun run = SendPage(FilledPage(8, 8, 255), RgbHeader(8, 8, 3), A4Settings());
  ASSERT_TRUE(run.sent);
  EXPECT_EQ(run.out.substr(run.out.size() - 11), "PRINT 1,3\r\n");
}

// rotate 3 on the label model: turned clockwise (width and height swap,
// the top-left dot goes to the top-right) and DIRECTION 1.
TEST(PageWriter, LabelRotateTurnsThePage) {
  std::vector<unsigned char> image = FilledPage(16, 40, 255);
  image[0] = image[1] = image[2] = 0;
  settings_ s = LabelSettings();
  s.rotate = 3;
  const PageRun run = SendPage(image, RgbHeader(16, 40), s);
  ASSERT_TRUE(run.sent);
  EXPECT_EQ(run.out.rfind("SIZE 5 mm,2 mm\r\n", 0), 0u);
  EXPECT_NE(run.out.find("\r\nDIRECTION 1\r\n"), std::string::npos);
  EXPECT_EQ(Count(run.out, "BITMAP 0,0,5,24,1,"), 1u);
  const std::string data = BandData(run.out, 0, 5);
  ASSERT_EQ(data.size(), 120u);
  EXPECT_EQ(data[4], '\xFE');  // x 39 of row 0
  EXPECT_EQ(data.substr(0, 4), std::string(4, '\xFF'));

  s.rotate = 2;
  const PageRun upright = SendPage(image, RgbHeader(16, 40), s);
  EXPECT_EQ(upright.out.rfind("SIZE 2 mm,5 mm\r\n", 0), 0u);
  EXPECT_NE(upright.out.find("\r\nDIRECTION 1\r\n"), std::string::npos);
  EXPECT_EQ(Count(upright.out, "BITMAP 0,0,2,24,1,"), 1u);
}

TEST(PageWriter, ZeroWidthPageSendsEmptyBands) {
  const PageRun run = SendPage({}, RgbHeader(0, 30), A4Settings());
  ASSERT_TRUE(run.sent);
  EXPECT_NE(run.out.find("CLS\r\nBITMAP 0,0,0,24,1,\r\nBITMAP 0,24,0,24,1,\r\nPRINT 1,1\r\n"),
            std::string::npos);
}

// Pages the encoder cannot read safely are refused whole, with a reason.
TEST(PageWriter, UnsupportedLayoutsAreRefused) {
  std::vector<cups_page_header2_t> headers;
  cups_page_header2_t h = RgbHeader(100, 10);
  h.cupsBitsPerColor = 16;
  h.cupsBitsPerPixel = 48;
  h.cupsBytesPerLine = 600;
  headers.push_back(h);
  h = RgbHeader(100, 10);
  h.cupsNumColors = 1;
  h.cupsColorSpace = CUPS_CSPACE_W;
  h.cupsBitsPerPixel = 8;
  h.cupsBytesPerLine = 100;
  headers.push_back(h);
  h = RgbHeader(100, 10);
  h.cupsBytesPerLine = 303;  // padded rows
  headers.push_back(h);
  h = RgbHeader(100, 10);
  h.cupsColorOrder = CUPS_ORDER_PLANAR;
  headers.push_back(h);
  // 70000 x 70000 dots: the buffer size wraps in 32 bits.
  headers.push_back(RgbHeader(70000, 70000));

  std::vector<unsigned char> image(100 * 10 * 3 + 100, 255);
  for (const cups_page_header2_t &header : headers) {
    const PageRun run = SendPage(image, header, A4Settings());
    EXPECT_FALSE(run.sent);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("ERROR: ", 0), 0u) << run.err;
  }
}

// Three 8-bit colours are read as RGB whatever the header's colour space.
TEST(PageWriter, ColourSpaceDoesNotChangeThePage) {
  std::vector<unsigned char> image = FilledPage(40, 30, 255);
  for (size_t i = 0; i < image.size(); i += 7) image[i] = static_cast<unsigned char>(i * 13);
  const PageRun rgb = SendPage(image, RgbHeader(40, 30), A4Settings());
  cups_page_header2_t cmy = RgbHeader(40, 30);
  cmy.cupsColorSpace = CUPS_CSPACE_CMY;
  const PageRun other = SendPage(image, cmy, A4Settings());
  ASSERT_TRUE(rgb.sent);
  EXPECT_TRUE(other.sent);
  EXPECT_EQ(other.out, rgb.out);
}

TEST(PageWriter, ImageShorterThanHeaderIsRefused) {
  const PageRun run = SendPage(FilledPage(100, 9, 255), RgbHeader(100, 10), A4Settings());
  EXPECT_FALSE(run.sent);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("ERROR: ", 0), 0u) << run.err;
}

}  // namespace
