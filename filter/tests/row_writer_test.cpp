// The command stream's row-by-row page writer: the bytes EncodePage gives
// for the whole page, without a page of colour pixels.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "command_stream.h"
#include "models.h"
#include "test_support.h"

using quillet_test::kAddressSanitizer;

namespace {

class StringSink : public quillet::ByteSink {
 public:
  void Write(const void *data, size_t bytes) override {
    text.append(static_cast<const char *>(data), bytes);
  }
  std::string text;
};

using Bytes = std::vector<unsigned char>;

// A page of blank paper with noisy gray blocks and black strokes, its
// bottom third blank: every road has work, and a tail to trim.
Bytes LabelPage(int64_t w, int64_t h, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes page(static_cast<size_t>(w * h * 3), 255);
  for (int64_t y = 0; y < h * 2 / 3; ++y)
    for (int64_t x = 0; x < w; ++x) {
      unsigned char *p = &page[static_cast<size_t>((y * w + x) * 3)];
      if ((x / 40 + y / 40) % 3 == 0) {
        p[0] = p[1] = p[2] = static_cast<unsigned char>(rng());
      } else if (x % 29 < 3) {
        p[0] = p[1] = p[2] = 0;
      } else if ((x / 50) % 5 == 4) {
        p[0] = static_cast<unsigned char>(rng());  // coloured
      }
    }
  return page;
}

std::string Streamed(quillet::PageWriter &writer, const Bytes &page, int64_t w, int64_t h,
                     const settings_ &s, int copies) {
  StringSink out;
  EXPECT_TRUE(writer.Start(w, h, s, copies));
  for (int64_t y = 0; y < h; ++y) writer.AddRow(&page[static_cast<size_t>(y * w * 3)]);
  EXPECT_TRUE(writer.Finish(out));
  return out.text;
}

// A neutral page (every pixel its green byte thrice) handed over as gray rows.
std::string StreamedGray(quillet::PageWriter &writer, const Bytes &neutral, int64_t w, int64_t h,
                         const settings_ &s) {
  StringSink out;
  Bytes gray(static_cast<size_t>(w));
  EXPECT_TRUE(writer.Start(w, h, s, 1));
  for (int64_t y = 0; y < h; ++y) {
    for (int64_t x = 0; x < w; ++x) gray[x] = neutral[static_cast<size_t>((y * w + x) * 3)];
    writer.AddGrayRow(gray.data());
  }
  EXPECT_TRUE(writer.Finish(out));
  return out.text;
}

std::string Whole(Bytes page, int64_t w, int64_t h, const settings_ &s, int copies) {
  StringSink out;
  EXPECT_TRUE(quillet::EncodePage(out, page.data(), page.size(), w, h, s, copies));
  return out.text;
}

}  // namespace

// One writer over pages of every road and switch, of sizes around the
// sharpening's and the packing's edges, turned and not.
TEST(RowWriter, SameBytesAsTheWholePage) {
  quillet::PageWriter writer;
  const int64_t shapes[][2] = {{1, 1}, {2, 7}, {9, 2}, {3, 3}, {17, 30}, {203, 61}, {96, 5}, {301, 240}};
  unsigned seed = 1;
  for (const auto &shape : shapes)
    for (int halfTone : {0, 1})
      for (int mirror : {0, 1})
        for (int negative : {0, 1})
          for (int rotate : {0, 1}) {
            settings_ s{};
            s.modelNumber = rotate ? quillet::FindModelByDriver("quillet_label_203")->modelNumber : 2;
            s.halfTone = halfTone;
            s.mirror = mirror;
            s.reversePhase = negative;
            s.rotate = rotate;
            const Bytes page = LabelPage(shape[0], shape[1], ++seed);
            ASSERT_EQ(Streamed(writer, page, shape[0], shape[1], s, 2),
                      Whole(page, shape[0], shape[1], s, 2))
                << shape[0] << "x" << shape[1] << " halftone " << halfTone << " mirror " << mirror
                << " negative " << negative << " rotate " << rotate;
            Bytes neutral = page;
            for (size_t i = 0; i < neutral.size(); i += 3) neutral[i] = neutral[i + 2] = neutral[i + 1];
            ASSERT_EQ(StreamedGray(writer, neutral, shape[0], shape[1], s),
                      Whole(neutral, shape[0], shape[1], s, 1))
                << "gray " << shape[0] << "x" << shape[1] << " halftone " << halfTone;
          }
}

TEST(RowWriter, PageCutShortIsNotWritten) {
  for (int halfTone : {0, 1}) {
    settings_ s{};
    s.halfTone = halfTone;
    quillet::PageWriter writer;
    const Bytes page = LabelPage(40, 30, 3);
    ASSERT_TRUE(writer.Start(40, 30, s, 1));
    for (int64_t y = 0; y < 29; ++y) writer.AddRow(&page[static_cast<size_t>(y * 40 * 3)]);
    StringSink out;
    EXPECT_FALSE(writer.Finish(out));
    EXPECT_TRUE(out.text.empty());
  }
}

// Heap taken by a 4 x 6 inch label at 203 dpi, against its colour pixels:
// the diffusion keeps a few rows and the packed page, the threshold one
// gray byte a dot besides.  Bounds with room, read between rows.
TEST(RowWriter, MemoryIsAFractionOfTheColourPage) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer keeps its own heap";
  const int64_t w = 812, h = 1218;
  const Bytes page = LabelPage(w, h, 5);
  const double rgb = static_cast<double>(page.size());
  for (int halfTone : {1, 0}) {
    settings_ s{};
    s.modelNumber = quillet::FindModelByDriver("quillet_label_203")->modelNumber;
    s.halfTone = halfTone;
    {  // tables made once for the process are not the page's
      quillet::PageWriter warm;
      Streamed(warm, page, w, h, s, 1);
    }
    auto heap = [] {
      const struct mallinfo2 m = mallinfo2();
      return static_cast<double>(m.uordblks + m.hblkhd);
    };
    const double before = heap();
    double peak = before;
    StringSink out;
    {
      quillet::PageWriter writer;
      ASSERT_TRUE(writer.Start(w, h, s, 1));
      for (int64_t y = 0; y < h; ++y) {
        writer.AddRow(&page[static_cast<size_t>(y * w * 3)]);
        peak = std::max(peak, heap());
      }
      ASSERT_TRUE(writer.Finish(out));
      peak = std::max(peak, heap());
    }
    const double share = (peak - before - static_cast<double>(out.text.capacity())) / rgb;
    RecordProperty(halfTone ? "diffusion" : "threshold", std::to_string(share));
    EXPECT_LT(share, halfTone ? 0.15 : 0.4) << (halfTone ? "diffusion" : "threshold");
  }
}
