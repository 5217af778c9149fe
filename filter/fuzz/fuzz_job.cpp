// libFuzzer target over a whole job of rastertoquillet: the input picks the
// printer model (first byte), the job options (up to the first line feed)
// and supplies the raster stream (the rest), which the filter reads from an
// in-memory file.  The filter's main is compiled in under another name.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <cups/raster.h>

#include "models.h"

int rastertoquillet_main(int argc, char *argv[]);

namespace {

// Pages larger than this are allowed by the filter but make a fuzz run
// crawl; such inputs are passed over, the filter's own size checks are
// exercised by the malformed corpus.
constexpr uint64_t kMaxFuzzPageBytes = 4u << 20;

// Sends the filter's messages to /dev/null while it runs, so that
// libFuzzer's own progress stays readable; QUILLET_FUZZ_VERBOSE keeps them
// (use it when replaying a crash, whose sanitizer report goes there too).
class QuietStderr {
 public:
  QuietStderr() {
    if (std::getenv("QUILLET_FUZZ_VERBOSE")) return;
    const int null = open("/dev/null", O_WRONLY);
    saved_ = dup(2);
    dup2(null, 2);
    close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    dup2(saved_, 2);
    close(saved_);
  }
  QuietStderr(const QuietStderr &) = delete;
  QuietStderr &operator=(const QuietStderr &) = delete;

 private:
  int saved_ = -1;
};

int MemoryFile(const uint8_t *data, size_t size) {
  const int fd = memfd_create("fuzz", 0);
  if (fd < 0) std::abort();
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  lseek(fd, 0, SEEK_SET);
  return fd;
}

// True when every page header of the stream stays within the fuzzing limit.
bool PagesSmallEnough(int fd) {
  const int copy = dup(fd);
  cups_raster_t *r = cupsRasterOpen(copy, CUPS_RASTER_READ);
  bool ok = true;
  cups_page_header2_t h;
  static unsigned char scratch[64 * 1024];
  for (int pages = 0; ok && r && cupsRasterReadHeader2(r, &h); ++pages) {
    uint64_t left = uint64_t{h.cupsBytesPerLine} * h.cupsHeight;
    // The order is read as a number: the stream may hold any value there.
    uint32_t order;
    std::memcpy(&order, &h.cupsColorOrder, sizeof order);
    if (order == CUPS_ORDER_PLANAR) left *= h.cupsNumColors;
    ok = left <= kMaxFuzzPageBytes && pages < 16;
    while (ok && left > 0) {
      const unsigned chunk = static_cast<unsigned>(left < sizeof scratch ? left : sizeof scratch);
      if (cupsRasterReadPixels(r, scratch, chunk) == 0) break;
      left -= chunk;
    }
  }
  if (r) cupsRasterClose(r);
  close(copy);
  lseek(fd, 0, SEEK_SET);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // The printer stream is not looked at; the sanitizers watch the run.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the model, a PPD a row of the model table.
  const std::string ppd = std::string(QUILLET_FUZZ_PPD_DIR "/") + quillet::kModels[data[0] % quillet::kNumModels].ppdFile;
  setenv("PPD", ppd.c_str(), 1);
  ++data;
  --size;
  const void *newline = std::memchr(data, '\n', size < 256 ? size : 256);
  const size_t optionBytes = newline ? static_cast<size_t>(static_cast<const uint8_t *>(newline) - data) : 0;
  std::string options(reinterpret_cast<const char *>(data), optionBytes);
  options = options.c_str();  // an option string ends at its first zero byte
  if (newline) {
    data += optionBytes + 1;
    size -= optionBytes + 1;
  }

  const int fd = MemoryFile(data, size);
  if (PagesSmallEnough(fd)) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    char *argv[] = {const_cast<char *>("rastertoquillet"), const_cast<char *>("1"),
                    const_cast<char *>("fuzz"), const_cast<char *>("job"),
                    const_cast<char *>("1"), options.data(), const_cast<char *>(path.c_str()),
                    nullptr};
    QuietStderr quiet;
    rastertoquillet_main(7, argv);
  }
  close(fd);
  return 0;
}
