// Stage benchmarks: the page road of the baseline filter stage by stage,
// the image library's whole-page reference road, and its row-window
// pipeline, on an A4 page at 203 dpi of mixed content.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "baseline.h"
#include "bmpinfo.h"

namespace {

constexpr int64_t kWidth = 1680, kHeight = 2376;

// Text-like strokes and a photo-like ramp with noise on white.
const std::vector<unsigned char> &SamplePage() {
  static const std::vector<unsigned char> page = [] {
    std::vector<unsigned char> p(size_t(kWidth * kHeight * 3), 255);
    std::mt19937 rng(1);
    for (int64_t y = 100; y < kHeight / 2; ++y)
      for (int64_t x = 80; x < kWidth - 80; ++x)
        if ((y / 12) % 2 == 0 && (x * 7 + y * 3) % 11 < 4) std::memset(&p[size_t((y * kWidth + x) * 3)], 20, 3);
    for (int64_t y = kHeight / 2; y < kHeight - 300; ++y)
      for (int64_t x = 0; x < kWidth; ++x)
        for (int k = 0; k < 3; ++k)
          p[size_t((y * kWidth + x) * 3 + k)] = static_cast<unsigned char>((x * 255 / kWidth + (rng() & 31)) & 255);
    return p;
  }();
  return page;
}

// Runs `stage` on a fresh copy of the page each iteration, timing only the stage.
template <typename Stage>
void OnPage(benchmark::State &state, Stage stage) {
  std::vector<unsigned char> page;
  for (auto _ : state) {
    state.PauseTiming();
    page = SamplePage();
    state.ResumeTiming();
    stage(page.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

baseline::Page Plain(unsigned char *p) { return {p, kWidth, kHeight, kWidth * kHeight * 3}; }

void BaselineGamma(benchmark::State &s) { OnPage(s, [](unsigned char *p) { auto pg = Plain(p); baseline::Gamma(pg); }); }
void BaselineGrayAndDither(benchmark::State &s) {
  OnPage(s, [](unsigned char *p) {
    auto pg = Plain(p);
    int64_t last;
    unsigned char *gray = baseline::GrayCopy(pg, &last);
    baseline::Dither(pg, gray);
    std::free(gray);
  });
}
void BaselineSharpen(benchmark::State &s) { OnPage(s, [](unsigned char *p) { auto pg = Plain(p); baseline::Sharpen(pg); }); }
void BaselineOtsu(benchmark::State &s) { OnPage(s, [](unsigned char *p) { auto pg = Plain(p); baseline::Otsu(pg); }); }
void BaselineMirror(benchmark::State &s) { OnPage(s, [](unsigned char *p) { auto pg = Plain(p); baseline::Mirror(pg); }); }
void BaselineRotate(benchmark::State &s) {
  OnPage(s, [](unsigned char *p) { std::free(baseline::Rotate90(p, kWidth, kHeight)); });
}

// The image library on the same page; halfTone 1 diffuses, 0 thresholds.
template <bool kReference>
void Library(benchmark::State &state) {
  settings_ settings{};
  settings.halfTone = static_cast<int32_t>(state.range(0));
  settings.mirror = 1;
  OnPage(state, [&](unsigned char *p) {
    BMPInfo record;
    record.CBMP_SetSettings(settings);
    record.CBMP_SetBMPInfo(kWidth, kHeight, 3);
    record.CBMP_SetBMPSource(p, kWidth * kHeight * 3);
    if (kReference) reference::UpImageInfo(record); else record.CBMP_UpImageInfo();
    record.CBMP_ClearCBMPInfo();
  });
}

}  // namespace

BENCHMARK(BaselineGamma)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineGrayAndDither)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineSharpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineOtsu)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineMirror)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineRotate)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Library, true)->Name("LibraryReferenceRoad")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Library, false)->Name("LibraryPipeline")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
