// Helpers shared by the filter tests.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quillet_test {

TempDir::TempDir() {
  const char *base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillet-filter-XXXXXX";
  if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string &name, const std::string &contents) const {
  const std::string file = path_ + "/" + name;
  std::ofstream(file, std::ios::binary) << contents;
  return file;
}

std::string MakePpd(int modelNumber, const std::string &options) {
  return "*PPD-Adobe: \"4.3\"\n"
         "*FormatVersion: \"4.3\"\n"
         "*FileVersion: \"1.0\"\n"
         "*LanguageVersion: English\n"
         "*LanguageEncoding: ISOLatin1\n"
         "*PCFileName: \"TEST.PPD\"\n"
         "*Manufacturer: \"Test\"\n"
         "*Product: \"(Test)\"\n"
         "*ModelName: \"Test printer\"\n"
         "*ShortNickName: \"Test printer\"\n"
         "*NickName: \"Test printer\"\n"
         "*PSVersion: \"(3010.000) 0\"\n"
         "*cupsVersion: 2.4\n"
         "*cupsModelNumber: " +
         std::to_string(modelNumber) +
         "\n"
         "*cupsFilter: \"application/vnd.cups-raster 0 rastertoquillet\"\n" +
         options;
}

std::string PpdOption(const std::string &key, const std::vector<std::string> &choices,
                      const std::string &defaultChoice) {
  std::string text = "*OpenUI *" + key + "/" + key + ": PickOne\n";
  text += "*Default" + key + ": " + defaultChoice + "\n";
  for (const std::string &choice : choices) {
    text += "*" + key + " " + choice + "/" + choice + ": \"\"\n";
  }
  text += "*CloseUI: *" + key + "\n";
  return text;
}

cups_page_header2_t RgbHeader(uint32_t width, uint32_t height, uint32_t copies) {
  cups_page_header2_t header;
  std::memset(&header, 0, sizeof header);
  header.HWResolution[0] = header.HWResolution[1] = 203;
  header.NumCopies = copies;
  header.cupsWidth = width;
  header.cupsHeight = height;
  header.cupsBitsPerColor = 8;
  header.cupsBitsPerPixel = 24;
  header.cupsBytesPerLine = width * 3;
  header.cupsColorOrder = CUPS_ORDER_CHUNKED;
  header.cupsColorSpace = CUPS_CSPACE_RGB;
  header.cupsNumColors = 3;
  return header;
}

std::vector<unsigned char> FilledPage(uint32_t width, uint32_t height, unsigned char value) {
  return std::vector<unsigned char>(size_t{width} * height * 3, value);
}

void WriteRaster(int fd, const std::vector<RasterPage> &pages) {
  cups_raster_t *raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  ASSERT_NE(raster, nullptr);
  for (const RasterPage &page : pages) {
    cups_page_header2_t header = page.header;
    ASSERT_TRUE(cupsRasterWriteHeader2(raster, &header));
    if (!page.data.empty()) {
      auto *data = const_cast<unsigned char *>(page.data.data());
      cupsRasterWritePixels(raster, data, static_cast<unsigned>(page.data.size()));
    }
  }
  cupsRasterClose(raster);
}

std::string Capture(FILE *stream, const std::function<void()> &fn) {
  std::fflush(stream);
  const int fd = fileno(stream);
  const int saved = dup(fd);
  FILE *sink = std::tmpfile();
  dup2(fileno(sink), fd);
  fn();
  std::fflush(stream);
  dup2(saved, fd);
  close(saved);
  std::string text;
  std::rewind(sink);
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, sink)) > 0) text.append(chunk, got);
  std::fclose(sink);
  return text;
}

}  // namespace quillet_test
