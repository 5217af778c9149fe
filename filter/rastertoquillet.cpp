// rastertoquillet: CUPS raster filter for the thermal printers.  Reads the
// job's raster pages and writes one printer job per page to stdout.
#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cups/raster.h>

#include "messages.h"
#include "page_writer.h"
#include "settings.h"

// Set by SIGTERM (the scheduler cancelling the job); polled between rows.
volatile std::sig_atomic_t CancelJob = 0;

// SIGTERM handler: only records the request.
extern "C" void SignalHandler(int /*signal*/) { CancelJob = 1; }

namespace {

// Reads and discards the pixel data of a page the encoder refused, so that
// the next page header is found.  libcups delivers one row per colour
// plane for planar pages.
void SkipPageRows(cups_raster_t *raster, const cups_page_header2_t &header) {
  static unsigned char scratch[64 * 1024];
  uint64_t left = uint64_t{header.cupsBytesPerLine} * header.cupsHeight;
  uint32_t order;  // read as a number: the stream may hold any value there
  std::memcpy(&order, &header.cupsColorOrder, sizeof order);
  if (order == CUPS_ORDER_PLANAR) left *= header.cupsNumColors;
  while (left > 0 && !(CancelJob & 1)) {
    const unsigned chunk = static_cast<unsigned>(std::min<uint64_t>(left, sizeof scratch));
    if (cupsRasterReadPixels(raster, scratch, chunk) == 0) break;
    left -= chunk;
  }
}

// Reads the rows of one page into `page`, `rowsPerRead` rows a call;
// stops early at the end of the stream or when the job is cancelled.
// What is not read stays zero: a fresh buffer comes zeroed, a reused one
// (`zeroFirst`) is cleared a call's worth at a time just before the read,
// so a cut read keeps what libcups delivered of it and the clearing
// leaves the rows in cache for the copy.
void ReadPageRows(cups_raster_t *raster, const cups_page_header2_t &header, unsigned char *page,
                  uint32_t rowsPerRead, bool zeroFirst) {
  const size_t pageBytes = size_t{header.cupsHeight} * header.cupsBytesPerLine;
  for (uint32_t row = 0; row < header.cupsHeight; row += rowsPerRead) {
    const uint32_t rows = std::min(rowsPerRead, header.cupsHeight - row);
    unsigned char *at = page + size_t{row} * header.cupsBytesPerLine;
    const unsigned bytes = rows * header.cupsBytesPerLine;
    if (zeroFirst) std::memset(at, 0, bytes);
    if (cupsRasterReadPixels(raster, at, bytes) == 0 || (CancelJob & 1)) {
      if (zeroFirst) std::memset(at + bytes, 0, pageBytes - (at + bytes - page));
      return;
    }
  }
}

// Rows a read takes.  One for compressed rows: a compressed row cut short
// keeps what was decoded of it only when it is read alone.  Uncompressed
// rows (what the scheduler's raster filters send) about 256 kB a call:
// every byte that arrives lands in place, so a cut read keeps the same
// bytes either way, and libcups would copy small reads through its own
// buffer, a system call every row or two on a pipe.
uint32_t RowsPerRead(bool uncompressed, uint32_t bytesPerLine) {
  if (!uncompressed || bytesPerLine == 0) return 1;
  return std::max<uint32_t>(1, (256u << 10) / bytesPerLine);
}

// The job's input as libcups reads it through ReadInput.
struct Input {
  int fd = 0;
  unsigned char sync[4] = {};
  size_t seen = 0;  // of the first four bytes

  // Whether the stream's sync word says version 1 or 3 (uncompressed rows),
  // in either byte order.
  bool Uncompressed() const {
    return seen == 4 && (std::memcmp(sync, "RaSt", 4) == 0 || std::memcmp(sync, "tSaR", 4) == 0 ||
                         std::memcmp(sync, "RaS3", 4) == 0 || std::memcmp(sync, "3SaR", 4) == 0);
  }
};

// Read callback for libcups: reads as its own does and notes the sync word
// as it passes.  Once the job is cancelled, also when the cancel
// interrupts a read, it takes only what has already arrived: a large read
// would otherwise wait for rows a cancelled job may never send.
ssize_t ReadInput(void *context, unsigned char *buffer, size_t bytes) {
  Input &input = *static_cast<Input *>(context);
  for (;;) {
    if (CancelJob & 1) {
      pollfd ready{input.fd, POLLIN, 0};
      if (poll(&ready, 1, 0) <= 0) return -1;
    }
    const ssize_t got = read(input.fd, buffer, bytes);
    if (got > 0) {
      for (ssize_t i = 0; i < got && input.seen < 4; ++i) input.sync[input.seen++] = buffer[i];
      return got;
    }
    if (got == 0) return 0;
    if (errno == EAGAIN) {  // a non-blocking input: wait for it instead of spinning
      pollfd ready{input.fd, POLLIN, 0};
      poll(&ready, 1, -1);
    } else if (errno != EINTR) {
      return -1;
    }
  }
}

// A zeroed page buffer from its own mapping, in 2 MB pages where the
// kernel allows: faulting a page's worth of 4 kB pages in costs as much
// as the rest of the preparation, and relatively more on a short page.
// The tail goes into a huge page too when that wastes at most 1/16 of the
// page (an A4 page's tail is almost a whole one); otherwise it stays in
// 4 kB pages so a small page costs no more memory than its size.
struct PageBuffer {
  unsigned char *data = nullptr;
  void *mapping = MAP_FAILED;
  size_t mappedBytes = 0;

  explicit PageBuffer(size_t size) {
    constexpr size_t kHuge = size_t{2} << 20;
    size_t hugeBytes = size & ~(kHuge - 1);
    if (hugeBytes != size && (hugeBytes + kHuge - size) * 16 <= size) hugeBytes += kHuge;
    // Room to align the start to a huge page and to end on one.
    mappedBytes = std::max(size, hugeBytes) + kHuge;
    mapping = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(mapping) + kHuge - 1) & ~(kHuge - 1);
    data = reinterpret_cast<unsigned char *>(start);
#ifdef MADV_HUGEPAGE  // Linux only; elsewhere the page stays in small pages
    if (hugeBytes) madvise(data, hugeBytes, MADV_HUGEPAGE);  // a hint only
#endif
  }
  ~PageBuffer() {
    if (mapping != MAP_FAILED) munmap(mapping, mappedBytes);
  }
  PageBuffer(const PageBuffer &) = delete;
  PageBuffer &operator=(const PageBuffer &) = delete;
};

// Reads and sends every page (`uncompressed`: see RowsPerRead);
// returns true when the job counts as done (at least one page was read to
// its end and the next header looked for).
bool PrintPages(cups_raster_t *raster, const settings_ &settings, bool uncompressed) {
  cups_page_header2_t header;
  if (!cupsRasterReadHeader2(raster, &header)) {
    if (!(CancelJob & 1)) LogMessage("ERROR", N_("The print data holds no pages."));
    return false;
  }
  if (CancelJob & 1) return false;

  bool completed = false;
  // Kept for the next page when it is large enough: clearing rows just
  // before they are read is cheaper than a fresh mapping's page faults
  // (2 to 8 % of a page's work).
  std::optional<PageBuffer> buffer;
  size_t capacity = 0;
  for (int page = 1;; ++page) {
    if (!CheckPageLayout(header)) {
      SkipPageRows(raster, header);
    } else if (header.cupsHeight > 0) {
      const uint64_t size = uint64_t{header.cupsHeight} * header.cupsBytesPerLine;
      const bool reuse = buffer && capacity >= size;
      if (!reuse) {
        buffer.reset();  // first, so that only one page is held at a time
        buffer.emplace(static_cast<size_t>(size));
        capacity = static_cast<size_t>(size);
        if (!buffer->data) {
          LogMessage("ERROR", N_("Not enough memory for page %d."), page);
          return completed;
        }
      }
      LogMessage("INFO", N_("Printing page %d."), page);
      ReadPageRows(raster, header, buffer->data,
                   RowsPerRead(uncompressed, header.cupsBytesPerLine), reuse);
      if (SendOnePage_RGB(buffer->data, size, header, settings)) {
        std::fprintf(stderr, "PAGE: %d %u\n", page, header.NumCopies);
      }
    }
    if (!cupsRasterReadHeader2(raster, &header)) return true;
    completed = true;
    if (CancelJob & 1) return true;
  }
}

}  // namespace

// Entry point: `rastertoquillet job user title copies options [filename]`.
// Exit status 0 when the job was printed, 1 when it was not.
int main(int argc, char *argv[]) {
  JobInfo job;
  settings_ settings;
  ppd_file_t *ppd = InitializeWithSetting(argc, argv, &job, &settings);
  if (!ppd) {
    cupsFreeOptions(job.numOptions, job.options);
    return 1;
  }

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SignalHandler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);

  Input input;
  if (argc == 7) {
    input.fd = open(argv[6], O_RDONLY);
    if (input.fd < 0) {
      ppdClose(ppd);
      cupsFreeOptions(job.numOptions, job.options);
      return 1;
    }
  }

  bool completed = false;
  cups_raster_t *raster = cupsRasterOpenIO(ReadInput, &input, CUPS_RASTER_READ);
  if (raster) {
    completed = PrintPages(raster, settings, input.Uncompressed());
    cupsRasterClose(raster);
  } else if (!(CancelJob & 1)) {
    LogMessage("ERROR", N_("Unable to read the print data."));
  }
  if (input.fd != 0) close(input.fd);
  ppdClose(ppd);
  cupsFreeOptions(job.numOptions, job.options);
  return completed ? 0 : 1;
}
