// libFuzzer target over the job start-up: the option string (up to the
// first zero byte) and the PPD text (the rest) go through argument
// checking, option parsing, PPD opening and marking and the settings.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const void *zero = std::memchr(data, 0, size);
  const size_t optionBytes = zero ? static_cast<size_t>(static_cast<const uint8_t *>(zero) - data) : size;
  std::string options(reinterpret_cast<const char *>(data), optionBytes);
  const uint8_t *ppdText = zero ? data + optionBytes + 1 : data + size;
  const size_t ppdBytes = static_cast<size_t>(data + size - ppdText);

  const int fd = memfd_create("ppd", 0);
  if (fd < 0) std::abort();
  if (ppdBytes > 0 && write(fd, ppdText, ppdBytes) != static_cast<ssize_t>(ppdBytes)) std::abort();
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  setenv("PPD", path.c_str(), 1);

  char *argv[] = {const_cast<char *>("rastertoquillet"), const_cast<char *>("1"),
                  const_cast<char *>("fuzz"), const_cast<char *>("job"),
                  const_cast<char *>("1"), options.data(), nullptr};
  // The filter's messages go to /dev/null unless QUILLET_FUZZ_VERBOSE is set.
  const bool quiet = !std::getenv("QUILLET_FUZZ_VERBOSE");
  const int saved = quiet ? dup(2) : -1;
  if (quiet) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(null);
  }
  JobInfo job;
  settings_ settings;
  if (ppd_file_t *ppd = InitializeWithSetting(6, argv, &job, &settings)) {
    // The settings are read back as the page encoder would.
    volatile int32_t sink = settings.modelNumber + settings.halfTone + settings.rotate;
    (void)sink;
    ppdClose(ppd);
  }
  cupsFreeOptions(job.numOptions, job.options);
  if (quiet) {
    dup2(saved, 2);
    close(saved);
  }
  close(fd);
  return 0;
}
