// PDF documents: Ghostscript renders the pages in a process of its own, at
// the printer's resolution and page size, as 8-bit RGB; the rows go
// through the driver as gray (RgbToGray: Ghostscript's own gray, by its
// colour profiles, leaves yellow and cyan too light to print any dots) as
// any raster page does.  A renderer that crashes,
// fails or takes too long ends that job with a reason; the server goes on.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "page_input.h"
#include "strings_data.h"

extern char **environ;

namespace quillet_app {
namespace {

// The renderer and its time limit; the environment may change both (the
// tests stand in a renderer that crashes or hangs).
const char *Renderer() {
  const char *path = std::getenv("QUILLET_PDF_RENDERER");
  return path && *path ? path : "gs";
}

int TimeLimitSeconds() {
  const char *value = std::getenv("QUILLET_PDF_TIMEOUT");
  const int seconds = value ? std::atoi(value) : 0;
  return seconds > 0 ? seconds : 300;
}

void FailJob(pappl_job_t *job, const char *message) {
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message);
  papplJobSetMessage(job, "%s", message);
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
}

// The job message of a document that needs a password (translated in
// strings/).
constexpr const char *kEncrypted =
    "The PDF document is encrypted (password protected) and cannot be printed.";

// True when the document names an encryption dictionary (in its trailer or
// cross-reference stream, which are never compressed).
bool Encrypted(const char *file) {
  FILE *in = std::fopen(file, "rb");
  if (!in) return false;
  static const char kKey[] = "/Encrypt";
  constexpr size_t kKeep = sizeof kKey - 2;  // a key split across two reads
  std::vector<char> buffer(kKeep + 65536);
  size_t kept = 0, got = 0;
  bool found = false;
  while (!found && (got = std::fread(buffer.data() + kept, 1, buffer.size() - kept, in)) > 0) {
    const size_t size = kept + got;
    found = std::search(buffer.begin(), buffer.begin() + static_cast<long>(size), kKey, kKey + sizeof kKey - 1) !=
            buffer.begin() + static_cast<long>(size);
    kept = std::min(kKeep, size);
    std::memmove(buffer.data(), buffer.data() + size - kept, kept);
  }
  std::fclose(in);
  return found;
}

// Reads from the renderer's output with the job's deadline.
class Reader {
 public:
  Reader(int fd, time_t deadline, pappl_job_t *job) : fd_(fd), deadline_(deadline), job_(job) {}
  // Fills `n` bytes; false at the end of the output, on the deadline or a
  // cancel (timedOut() tells which).
  bool Read(unsigned char *to, size_t n) {
    while (n > 0) {
      if (at_ == end_) {
        if (!Fill()) return false;
        continue;
      }
      const size_t take = std::min(n, end_ - at_);
      std::memcpy(to, buffer_ + at_, take);
      at_ += take;
      to += take;
      n -= take;
    }
    return true;
  }
  bool Byte(int *c) {
    unsigned char b;
    if (!Read(&b, 1)) return false;
    *c = b;
    return true;
  }
  bool timedOut() const { return timedOut_; }

 private:
  bool Fill() {
    for (;;) {
      if (papplJobIsCanceled(job_)) return false;
      const time_t now = time(nullptr);
      if (now >= deadline_) {
        timedOut_ = true;
        return false;
      }
      pollfd ready{fd_, POLLIN, 0};
      const int r = poll(&ready, 1, 1000);
      if (r < 0 && errno != EINTR) return false;
      if (r <= 0) continue;
      const ssize_t got = read(fd_, buffer_, sizeof buffer_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      at_ = 0;
      end_ = static_cast<size_t>(got);
      return true;
    }
  }
  int fd_;
  time_t deadline_;
  pappl_job_t *job_;
  unsigned char buffer_[1 << 16];
  size_t at_ = 0, end_ = 0;
  bool timedOut_ = false;
};

// The number of a PPM header ("P6 width height 255"), skipping blanks and
// comments; -1 on anything else.
long HeaderNumber(Reader &in, int *c) {
  for (;;) {
    while (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') {
      if (!in.Byte(c)) return -1;
    }
    if (*c != '#') break;
    while (*c != '\n') {
      if (!in.Byte(c)) return -1;
    }
  }
  long value = 0;
  int digits = 0;
  while (*c >= '0' && *c <= '9' && digits < 9) {
    value = value * 10 + (*c - '0');
    ++digits;
    if (!in.Byte(c)) return -1;
  }
  return digits ? value : -1;
}

// Starts the renderer on `file`; its pages come from *out as PPM images.
pid_t StartRenderer(const char *file, int dpi, int width, int height, int *out) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  const std::string resolution = "-r" + std::to_string(dpi);
  const std::string size = "-g" + std::to_string(width) + "x" + std::to_string(height);
  const std::string input = std::string("-f") + file;
  std::vector<const char *> args = {Renderer(), "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
                                    "-dNOINTERPOLATE", "-sDEVICE=ppmraw", resolution.c_str(),
                                    size.c_str(), "-dFIXEDMEDIA", "-dPDFFitPage",
                                    "-sOutputFile=-", input.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, const_cast<char *const *>(args.data()),
                   environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return -1;
  }
  *out = fds[0];
  return pid;
}

bool PrintPdf(pappl_job_t *job, pappl_device_t *device, void * /*data*/) {
  pappl_printer_t *printer = papplJobGetPrinter(job);
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  pappl_pr_options_t *options = papplJobCreatePrintOptions(job, 0, false);
  const int dpi = options->printer_resolution[0] > 0 ? options->printer_resolution[0] : 203;
  const int width = static_cast<int>(options->header.cupsWidth);
  const int height = static_cast<int>(options->header.cupsHeight);

  // A job whose document never arrived (Create-Job with no Send-Document)
  // comes here without a file.
  const char *file = papplJobGetFilename(job);
  if (!file) {
    FailJob(job, "The job has no document.");
    papplJobDeletePrintOptions(options);
    return false;
  }
  int fd = -1;
  const pid_t pid = StartRenderer(file, dpi, width, height, &fd);
  if (pid < 0) {
    FailJob(job, "Unable to start the PDF renderer.");
    papplJobDeletePrintOptions(options);
    return false;
  }

  const time_t deadline = time(nullptr) + TimeLimitSeconds();
  Reader in(fd, deadline, job);
  const bool started = driver.rstartjob_cb(job, options, device);
  bool ok = started;
  unsigned pages = 0;
  std::vector<unsigned char> row;
  bool broken = false;
  while (ok && !papplJobIsCanceled(job)) {
    int c;
    if (!in.Byte(&c)) break;  // the end of the output
    int second = 0;
    if (c != 'P' || !in.Byte(&second) || second != '6' || !in.Byte(&c)) {
      broken = true;
      break;
    }
    const long w = HeaderNumber(in, &c);
    const long h = w > 0 ? HeaderNumber(in, &c) : -1;
    const long max = h > 0 ? HeaderNumber(in, &c) : -1;
    // One blank after the maximum, then the pixels.
    if (w <= 0 || h <= 0 || max != 255 || w > 65535 || h > 65535) {
      broken = true;
      break;
    }
    ++pages;
    options->header.cupsWidth = static_cast<unsigned>(w);
    options->header.cupsHeight = static_cast<unsigned>(h);
    options->header.cupsBitsPerColor = 8;
    options->header.cupsBitsPerPixel = 8;
    options->header.cupsBytesPerLine = static_cast<unsigned>(w);
    options->header.cupsColorSpace = CUPS_CSPACE_SW;
    options->header.cupsNumColors = 1;
    if (!driver.rstartpage_cb(job, options, device, pages)) {
      ok = false;
      break;
    }
    row.resize(static_cast<size_t>(w) * 3);
    long y = 0;
    for (; y < h && in.Read(row.data(), row.size()); ++y) {
      RgbToGray(row.data(), static_cast<size_t>(w));
      driver.rwriteline_cb(job, options, device, static_cast<unsigned>(y), row.data());
    }
    if (y < h) {  // the renderer stopped within a page
      broken = !papplJobIsCanceled(job);
      driver.rendpage_cb(job, options, device, pages);
      break;
    }
    if (!driver.rendpage_cb(job, options, device, pages)) {
      ok = false;
      break;
    }
    papplJobSetImpressionsCompleted(job, 1);
  }
  if (started) driver.rendjob_cb(job, options, device);

  // However it ended, the renderer does not outlive the job: it gets until
  // the deadline to exit after its output ends.
  close(fd);
  int status = 0;
  bool timedOut = in.timedOut();
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && !timedOut && !papplJobIsCanceled(job)) {
    if (time(nullptr) >= deadline) {
      timedOut = true;
    } else {
      usleep(10000);
    }
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  char message[200];
  if (papplJobIsCanceled(job)) {
    // Cancelled: PAPPL reports it.
  } else if (timedOut) {
    std::snprintf(message, sizeof message, "The PDF renderer took longer than %d seconds.",
                  TimeLimitSeconds());
    FailJob(job, message);
    ok = false;
  } else if (WIFSIGNALED(status)) {
    std::snprintf(message, sizeof message, "The PDF renderer crashed (signal %d).",
                  WTERMSIG(status));
    FailJob(job, message);
    ok = false;
  } else if (broken || (WIFEXITED(status) && WEXITSTATUS(status) != 0) || (ok && pages == 0)) {
    // An encrypted document the renderer could not open wants a password:
    // it is not damaged, and the user can do something about it.
    FailJob(job, Encrypted(file) ? kEncrypted : "The PDF document could not be rendered; it may be damaged.");
    ok = false;
  }
  papplJobDeletePrintOptions(options);
  return ok;
}

}  // namespace

void AddPdfFormat(pappl_system_t *system) {
  papplSystemAddMIMEFilter(system, "application/pdf", "application/vnd.quillet-commands", PrintPdf,
                           nullptr);
}

}  // namespace quillet_app
