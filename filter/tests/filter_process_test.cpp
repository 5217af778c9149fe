// The filter run as the scheduler runs it, on raster streams written here.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "test_support.h"

using quillet_test::FilledPage;
using quillet_test::kAddressSanitizer;
using quillet_test::MakePpd;
using quillet_test::PpdOption;
using quillet_test::RasterPage;
using quillet_test::RgbHeader;
using quillet_test::TempDir;
using quillet_test::WriteRaster;

namespace {

// A running filter: raster in through a pipe or a file, stdout into a file,
// stderr through a pipe so that progress can be watched.
class Filter {
 public:
  struct Result {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
  };

  // Starts the filter with `args` after the program name; stdin is
  // `inputFd` or, when it is -1, a pipe fed through input().
  Filter(const std::vector<std::string> &args, const std::vector<std::string> &env,
         int inputFd = -1, rlim_t addressLimit = 0) {
    int in[2] = {-1, -1}, err[2];
    if (inputFd < 0 && pipe(in) != 0) ADD_FAILURE() << "pipe";
    if (pipe(err) != 0) ADD_FAILURE() << "pipe";
    out_ = std::tmpfile();
    std::vector<std::string> argvText = {"rastertoquillet"};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char *> argv, envp;
    for (std::string &a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = env;
    for (const char *name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (const char *value = std::getenv(name)) envText.push_back(std::string(name) + "=" + value);
    }
    for (std::string &e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
      dup2(inputFd < 0 ? in[0] : inputFd, 0);
      dup2(fileno(out_), 1);
      dup2(err[1], 2);
      if (inputFd < 0) close(in[1]);
      close(err[0]);
      if (addressLimit) {
        const rlimit limit{addressLimit, addressLimit};
        setrlimit(RLIMIT_AS, &limit);
      }
      execve(RASTERTOQUILLET_PATH, argv.data(), envp.data());
      _exit(127);
    }
    if (inputFd < 0) {
      close(in[0]);
      input_ = in[1];
    }
    close(err[1]);
    errFd_ = err[0];
  }

  ~Filter() {
    if (pid_ > 0) Finish();
    if (out_) std::fclose(out_);
  }

  int input() const { return input_; }
  pid_t pid() const { return pid_; }

  // Reads stderr until `marker` has appeared (or 30 s have passed).
  bool WaitForMessage(const std::string &marker) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (err_.find(marker) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || !ReadErr(1000)) return false;
    }
    return true;
  }

  // Waits until the filter has its SIGTERM handler in place.
  bool WaitForTermHandler() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
      std::string line;
      while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0 &&
            (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGTERM - 1)))) {
          return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Closes the input, waits for the end and collects what was written.
  Result Finish() {
    if (input_ >= 0) close(input_);
    input_ = -1;
    while (ReadErr(-1)) {
    }
    close(errFd_);
    Result result;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::rewind(out_);
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, out_)) > 0) result.out.append(chunk, got);
    result.err = err_;
    return result;
  }

 private:
  // Appends what stderr has within `timeoutMs`; false at its end.
  bool ReadErr(int timeoutMs) {
    pollfd p{errFd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return timeoutMs >= 0;
    char chunk[4096];
    const ssize_t got = read(errFd_, chunk, sizeof chunk);
    if (got <= 0) return false;
    err_.append(chunk, static_cast<size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int errFd_ = -1;
  FILE *out_ = nullptr;
  std::string err_;
};

size_t Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class FilterProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    // Writes into a pipe whose reader has ended must fail, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    ppd_ = dir_.Write("a4.ppd", MakePpd(2, PpdOption("OP_HalfTone", {"True", "False"}, "True") +
                                               PpdOption("OP_PaperType", {"0", "1"}, "1") +
                                               PpdOption("OP_Density", {"8"}, "8") +
                                               PpdOption("OP_PrintSpeed", {"4"}, "4")));
  }

  std::vector<std::string> Env(const std::vector<std::string> &extra = {}) const {
    std::vector<std::string> env = {"PPD=" + ppd_,
                                    std::string("RASTERTOQUILLET_LOCALEDIR=") + QUILLET_LOCALE_DIR};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }

  std::string RasterFile(const std::vector<RasterPage> &pages) {
    const std::string path = dir_.path() + "/job" + std::to_string(++files_) + ".ras";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    WriteRaster(fd, pages);
    close(fd);
    return path;
  }

  // Runs the filter on a raster file named on the command line.
  Filter::Result RunOnFile(const std::string &path,
                           const std::vector<std::string> &extraEnv = {}, rlim_t limit = 0) {
    Filter filter({"7", "user", "title", "1", "", path}, Env(extraEnv), -1, limit);
    return filter.Finish();
  }

  static RasterPage WhitePage(uint32_t width, uint32_t height, uint32_t copies = 1) {
    return {RgbHeader(width, height, copies), FilledPage(width, height, 255)};
  }

  TempDir dir_;
  std::string ppd_;
  int files_ = 0;
};

TEST_F(FilterProcess, WrongArgumentCounts) {
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"1", "u", "t", "1"},
        std::vector<std::string>{"1", "u", "t", "1", "", "f", "x"}}) {
    Filter filter(args, Env());
    const Filter::Result r = filter.Finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Usage: rastertoquillet job user title copies options [filename]\n");
  }
}

TEST_F(FilterProcess, UnreadableRasterFile) {
  const Filter::Result r = RunOnFile(dir_.path() + "/absent.ras");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST_F(FilterProcess, EmptyStreamFails) {
  const Filter::Result r = RunOnFile(dir_.Write("empty.ras", ""));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("ERROR: "), std::string::npos);
}

TEST_F(FilterProcess, StreamWithoutPagesFails) {
  const Filter::Result r = RunOnFile(RasterFile({}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("ERROR: "), std::string::npos);
}

TEST_F(FilterProcess, PagesFromStdinAndFromAFile) {
  const std::vector<RasterPage> pages = {WhitePage(16, 30), WhitePage(16, 30, 2)};
  const std::string path = RasterFile(pages);
  const Filter::Result fromFile = RunOnFile(path);

  const int fd = open(path.c_str(), O_RDONLY);
  Filter filter({"7", "user", "title", "1", ""}, Env(), fd);
  close(fd);
  const Filter::Result fromStdin = filter.Finish();

  for (const Filter::Result &r : {fromFile, fromStdin}) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Count(r.out, "SIZE 2 mm,4 mm\r\n"), 2u);
    EXPECT_EQ(Count(r.out, "BITMAP 0,24,2,24,1,"), 2u);
    EXPECT_NE(r.out.find("PRINT 1,1\r\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 11), "PRINT 1,2\r\n");
    EXPECT_NE(r.err.find("PAGE: 1 1\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("PAGE: 2 2\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("INFO: Printing page 2.\n"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fromFile.out == fromStdin.out);
}

// A stream cut inside a row: the row keeps what was decoded of it, the same
// whether the raster comes from a file or through a pipe, compressed or not.
TEST_F(FilterProcess, CutRowReadsTheSameFromFileAndPipe) {
  cups_page_header2_t header = RgbHeader(64, 40);
  std::vector<unsigned char> data(64 * 40 * 3);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>((i * 37 + (i / 7) * 11) & 0xFF);
  for (cups_mode_t mode : {CUPS_RASTER_WRITE_COMPRESSED, CUPS_RASTER_WRITE}) {
    const std::string whole = dir_.path() + "/whole.ras";
    int fd = open(whole.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    cups_raster_t *raster = cupsRasterOpen(fd, mode);
    ASSERT_NE(raster, nullptr);
    ASSERT_TRUE(cupsRasterWriteHeader2(raster, &header));
    cupsRasterWritePixels(raster, data.data(), static_cast<unsigned>(data.size()));
    cupsRasterClose(raster);
    close(fd);
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t streamBytes = bytes.size();
    bytes.resize(bytes.size() * 2 / 3 + 1);  // inside the page data, mid-row
    const Filter::Result fromFile = RunOnFile(dir_.Write("cut.ras", bytes));

    Filter filter({"7", "user", "title", "1", ""}, Env());
    ASSERT_EQ(write(filter.input(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    const Filter::Result fromPipe = filter.Finish();
    EXPECT_EQ(fromFile.status, 0) << mode;
    EXPECT_EQ(Count(fromFile.out, "PRINT 1,1"), 1u) << mode;
    EXPECT_TRUE(fromFile.out == fromPipe.out) << mode;
    if (mode == CUPS_RASTER_WRITE) {
      // Uncompressed: every byte that arrived counts, the rest is zero.
      std::vector<unsigned char> kept(data.size(), 0);
      const size_t arrived = bytes.size() - (streamBytes - data.size());
      std::copy(data.begin(), data.begin() + arrived, kept.begin());
      EXPECT_TRUE(RunOnFile(RasterFile({{header, kept}})).out == fromFile.out);
    }
  }
}

// A page no larger than the one before reuses its buffer: what a cut
// stream does not deliver must still print as zero bytes, not as rows of
// the page before, from a file (read in blocks) and through a pipe (row
// by row), compressed or not.
TEST_F(FilterProcess, ReusedPageBufferKeepsNothingOfThePageBefore) {
  auto stream = [this](const std::vector<RasterPage> &pages, cups_mode_t mode) {
    const std::string path = dir_.path() + "/stream.ras";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    cups_raster_t *raster = cupsRasterOpen(fd, mode);
    for (RasterPage page : pages) {
      cupsRasterWriteHeader2(raster, &page.header);
      cupsRasterWritePixels(raster, page.data.data(), static_cast<unsigned>(page.data.size()));
    }
    cupsRasterClose(raster);
    close(fd);
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  auto runPipe = [this](const std::string &bytes) {
    Filter filter({"7", "user", "title", "1", ""}, Env());
    EXPECT_EQ(write(filter.input(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    return filter.Finish().out;
  };
  // 3000-byte rows: a file is read 87 rows a call, so the cut falls
  // inside the second call.
  const RasterPage before = WhitePage(1000, 400);
  RasterPage page = {RgbHeader(1000, 300), FilledPage(1000, 300, 200)};
  for (size_t i = 0; i < page.data.size(); i += 7) page.data[i] = static_cast<unsigned char>(i);
  for (cups_mode_t mode : {CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED}) {
    const std::string first = stream({before}, mode);
    std::string job = stream({before, page}, mode);
    std::string alone = stream({page}, mode);
    // The last two thirds of the page go, mid-row.
    const size_t cut = (alone.size() - 1800) * 2 / 3 + 1001;
    job.resize(job.size() - cut);
    alone.resize(alone.size() - cut);
    const std::string expected = RunOnFile(dir_.Write("first.ras", first)).out +
                                 RunOnFile(dir_.Write("alone.ras", alone)).out;
    EXPECT_TRUE(RunOnFile(dir_.Write("job.ras", job)).out == expected) << mode;
    EXPECT_TRUE(runPipe(job) == expected) << mode;
  }
}

// A non-blocking input (a scheduler or shell may hand one over) is waited
// for, not polled in a busy loop.
TEST_F(FilterProcess, NonBlockingInputIsWaitedFor) {
  int pipeFds[2];  // close-on-exec, or the filter would hold the writing end
  ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
  fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
  rusage before;
  getrusage(RUSAGE_CHILDREN, &before);
  Filter filter({"7", "user", "title", "1", ""}, Env(), pipeFds[0]);
  close(pipeFds[0]);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  const int fd = pipeFds[1];
  WriteRaster(fd, {WhitePage(16, 24)});
  close(fd);
  const Filter::Result r = filter.Finish();
  rusage after;
  getrusage(RUSAGE_CHILDREN, &after);
  const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                     (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                     1e-6 * ((after.ru_utime.tv_usec - before.ru_utime.tv_usec) +
                             (after.ru_stime.tv_usec - before.ru_stime.tv_usec));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(r.out, "PRINT 1,1\r\n"), 1u);
  EXPECT_LT(cpu, 0.3);  // spinning for the 0.6 s would cost about that much
}

// libcups ends the stream at a page header of height 0; nothing is sent
// for it and the job still counts as printed.
TEST_F(FilterProcess, ZeroHeightPage) {
  const Filter::Result r =
      RunOnFile(RasterFile({WhitePage(16, 24), {RgbHeader(16, 0), {}}, WhitePage(16, 24)}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Count(r.out, "PRINT 1,1\r\n"), 1u);
}

// A stream that ends inside a page: the rows read are sent, the missing
// ones as zero bytes (dark).
TEST_F(FilterProcess, TruncatedPageIsSent) {
  RasterPage page = WhitePage(8, 48);
  page.data.resize(8 * 3 * 10);
  const Filter::Result r = RunOnFile(RasterFile({page}));
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(Count(r.out, "PRINT 1,1\r\n"), 1u);
  const size_t first = r.out.find("BITMAP 0,0,1,24,1,") + 18;
  const size_t second = r.out.find("BITMAP 0,24,1,24,1,") + 19;
  EXPECT_EQ(r.out.substr(first, 10), std::string(10, '\xFF'));
  EXPECT_EQ(r.out.substr(second, 24), std::string(24, '\0'));
}

// Pages the encoder cannot take are skipped with a reason; the pages
// around them print.
TEST_F(FilterProcess, UnsupportedPagesAreSkipped) {
  cups_page_header2_t deep = RgbHeader(16, 24);
  deep.cupsBitsPerColor = 16;
  deep.cupsBitsPerPixel = 48;
  deep.cupsBytesPerLine = 16 * 6;
  cups_page_header2_t gray = RgbHeader(16, 24);
  gray.cupsColorSpace = CUPS_CSPACE_K;
  gray.cupsNumColors = 1;
  gray.cupsBitsPerPixel = 8;
  gray.cupsBytesPerLine = 16;
  cups_page_header2_t padded = RgbHeader(16, 24);
  padded.cupsBytesPerLine = 16 * 3 + 3;
  const Filter::Result r = RunOnFile(RasterFile({
      WhitePage(16, 24),
      {deep, std::vector<unsigned char>(16 * 6 * 24, 0)},
      {gray, std::vector<unsigned char>(16 * 24, 0)},
      {padded, std::vector<unsigned char>(51 * 24, 0)},
      WhitePage(16, 24, 5),
  }));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Count(r.out, "SIZE "), 2u);
  EXPECT_EQ(r.out.substr(r.out.size() - 11), "PRINT 1,5\r\n");
  EXPECT_EQ(Count(r.err, "ERROR: Unsupported raster page"), 3u) << r.err;
  EXPECT_NE(r.err.find("PAGE: 5 5\n"), std::string::npos) << r.err;
}

TEST_F(FilterProcess, HugePageIsRefusedWithoutCrash) {
  const Filter::Result r = RunOnFile(RasterFile({{RgbHeader(70000, 70000), {}}}));
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("ERROR: Page of 70000 x 70000 dots is too large"), std::string::npos)
      << r.err;
}

// A page buffer that cannot be had ends the job: failed when it is the
// first page, printed when an earlier page was sent.
TEST_F(FilterProcess, PageBufferUnavailable) {
  if (kAddressSanitizer) GTEST_SKIP() << "address space limits do not work under ASan";
  const rlim_t limit = 256u << 20;
  const RasterPage big = {RgbHeader(10000, 10000), {}};  // 300 MB

  const Filter::Result first = RunOnFile(RasterFile({big}), {}, limit);
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(first.out, "");
  EXPECT_NE(first.err.find("ERROR: Not enough memory for page 1."), std::string::npos)
      << first.err;

  const Filter::Result later = RunOnFile(RasterFile({WhitePage(16, 24), big}), {}, limit);
  EXPECT_EQ(later.status, 0);
  EXPECT_EQ(Count(later.out, "PRINT 1,1\r\n"), 1u);
  EXPECT_NE(later.err.find("ERROR: Not enough memory for page 2."), std::string::npos)
      << later.err;
}

// Cancelled while page 3 of 5 is read: page 3 goes out with its unread
// rows dark, nothing after it.
TEST_F(FilterProcess, CancelDuringThirdPage) {
  Filter filter({"7", "user", "title", "1", ""}, Env());
  cups_raster_t *raster = cupsRasterOpen(filter.input(), CUPS_RASTER_WRITE);
  ASSERT_NE(raster, nullptr);
  std::vector<unsigned char> row(8 * 3, 255);
  for (int page = 1; page <= 5; ++page) {
    cups_page_header2_t header = RgbHeader(8, 48);
    cupsRasterWriteHeader2(raster, &header);
    for (int r = 0; r < 48; ++r) {
      if (page == 3 && r == 5) {
        ASSERT_TRUE(filter.WaitForMessage("INFO: Printing page 3."));
        kill(filter.pid(), SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
      cupsRasterWritePixels(raster, row.data(), static_cast<unsigned>(row.size()));
    }
  }
  cupsRasterClose(raster);
  const Filter::Result r = filter.Finish();
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(Count(r.out, "PRINT 1,1\r\n"), 3u);
  EXPECT_EQ(r.err.find("PAGE: 4"), std::string::npos) << r.err;
  // Page 3: first row white, last band dark.
  const size_t page3 = r.out.rfind("CLS\r\n") + 5;
  const size_t firstBand = r.out.find("BITMAP 0,0,1,24,1,", page3) + 18;
  const size_t lastBand = r.out.find("BITMAP 0,24,1,24,1,", page3) + 19;
  EXPECT_EQ(r.out[firstBand], '\xFF');
  EXPECT_EQ(r.out.substr(lastBand, 24), std::string(24, '\0'));
}

TEST_F(FilterProcess, CancelBeforeFirstPage) {
  Filter filter({"7", "user", "title", "1", ""}, Env());
  ASSERT_TRUE(filter.WaitForTermHandler());
  kill(filter.pid(), SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // The filter may have ended already, and then the stream cannot be written.
  if (cups_raster_t *raster = cupsRasterOpen(filter.input(), CUPS_RASTER_WRITE)) {
    std::vector<unsigned char> page = FilledPage(8, 24, 255);
    for (int n = 0; n < 5; ++n) {
      cups_page_header2_t header = RgbHeader(8, 24);
      cupsRasterWriteHeader2(raster, &header);
      cupsRasterWritePixels(raster, page.data(), static_cast<unsigned>(page.size()));
    }
    cupsRasterClose(raster);
  }
  const Filter::Result r = filter.Finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

// Messages follow APPLE_LANGUAGE, else LANG, even where the locale itself
// is not generated; without either they stay in English.
TEST_F(FilterProcess, MessagesAreTranslated) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "ERROR: Unable to open PPD file: "},
      {{"LANG=de_DE.UTF-8"}, "ERROR: PPD-Datei kann nicht geöffnet werden: "},
      {{"LANG=de_DE.UTF-8", "APPLE_LANGUAGE=zh-Hans"}, "ERROR: 无法打开 PPD 文件："},
      {{"APPLE_LANGUAGE=zh_CN"}, "ERROR: 无法打开 PPD 文件："},
      {{"LANG=C"}, "ERROR: Unable to open PPD file: "},
  };
  for (const auto &[languageEnv, expected] : cases) {
    std::vector<std::string> env = languageEnv;
    env.push_back("PPD=" + dir_.path() + "/absent.ppd");
    env.push_back(std::string("RASTERTOQUILLET_LOCALEDIR=") + QUILLET_LOCALE_DIR);
    Filter filter({"1", "u", "t", "1", ""}, env);
    const Filter::Result r = filter.Finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(expected, 0), 0u) << r.err;
  }
}

// The filter reads its catalogue itself: a cut or overwritten one gives
// English, not a crash or stray bytes.
TEST_F(FilterProcess, DamagedCatalogueGivesEnglish) {
  std::ifstream in(std::string(QUILLET_LOCALE_DIR) + "/de/LC_MESSAGES/rastertoquillet.mo",
                   std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(good.size(), 64u);
  std::string farOffsets = good;
  for (size_t at = 12; at < 20; ++at) farOffsets[at] = '\xFF';  // the two tables
  std::string farStrings = good;
  for (size_t at = 28; at < 64; ++at) farStrings[at] = '\x7F';  // the first entries
  for (const std::string &catalogue :
       {good.substr(0, 20), good.substr(0, good.size() / 2), farOffsets, farStrings}) {
    TempDir locale;
    ASSERT_EQ(mkdir((locale.path() + "/de").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((locale.path() + "/de/LC_MESSAGES").c_str(), 0700), 0);
    locale.Write("de/LC_MESSAGES/rastertoquillet.mo", catalogue);
    Filter filter({"1", "u", "t", "1", ""},
                  {"LANG=de_DE.UTF-8", "PPD=" + dir_.path() + "/absent.ppd",
                   "RASTERTOQUILLET_LOCALEDIR=" + locale.path()});
    const Filter::Result r = filter.Finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ERROR: Unable to open PPD file: ", 0), 0u) << r.err;
  }
}

}  // namespace
