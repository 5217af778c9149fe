// quillet-baseline: the plain filter, with the command line and page loop
// of rastertoquillet, for timing against it and comparing its bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <cups/cups.h>

#include "baseline.h"

int main(int argc, char *argv[]) {
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "Usage: %s job user title copies options [filename]\n", argv[0]);
    return 1;
  }
  cups_option_t *options = nullptr;
  const int numOptions = cupsParseOptions(argv[5], 0, &options);
  ppd_file_t *ppd = ppdOpenFile(std::getenv("PPD"));
  if (!ppd) {
    std::fprintf(stderr, "ERROR: Unable to open PPD file\n");
    cupsFreeOptions(numOptions, options);
    return 1;
  }
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, numOptions, options);
  const baseline::Settings settings = baseline::ReadSettings(ppd);

  const int fd = argc == 7 ? open(argv[6], O_RDONLY) : 0;
  int status = 1;
  cups_raster_t *raster = fd < 0 ? nullptr : cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  while (raster && cupsRasterReadHeader2(raster, &header)) {
    const uint64_t size = uint64_t{header.cupsHeight} * header.cupsBytesPerLine;
    auto *page = static_cast<unsigned char *>(std::calloc(size, 1));
    if (!page) break;
    for (uint32_t row = 0; row < header.cupsHeight; ++row)
      if (!cupsRasterReadPixels(raster, page + uint64_t{row} * header.cupsBytesPerLine,
                                header.cupsBytesPerLine))
        break;
    baseline::SendPage(page, size, header, settings, stdout);
    std::free(page);
    status = 0;
  }
  if (raster) cupsRasterClose(raster);
  if (fd > 0) close(fd);
  ppdClose(ppd);
  cupsFreeOptions(numOptions, options);
  return status;
}
