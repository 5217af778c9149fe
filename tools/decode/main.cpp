// quillet-decode: checks a printer stream, prints one summary line per
// page and writes every page as a PNG preview.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "printer_stream.h"

namespace {

const char kUsage[] =
    "Usage: quillet-decode [options] [FILE|-]\n"
    "Checks a rastertoquillet printer stream (standard input without FILE),\n"
    "prints one line per page and writes each page as a 1-bit PNG.\n"
    "  -o, --output PREFIX  PNG names PREFIX-001.png, ... (default: page);\n"
    "                       a folder or a PREFIX ending in / gives FOLDER/page-001.png\n"
    "      --no-png         write no PNG files\n"
    "  -q, --quiet          no summary lines\n"
    "      --dpi N          resolution stored in the PNGs (default 203)\n"
    "      --full-page      pad each image to the page height of its SIZE command\n"
    "                       (default: the image ends with the last band)\n"
    "Exit status: 0 well-formed, 1 malformed or truncated input or a write error,\n"
    "2 bad usage.\n";

struct Options {
  std::string input = "-";
  std::string prefix = "page";
  bool png = true;
  bool quiet = false;
  bool fullPage = false;
  int dpi = 203;
};

// Parses the command line; false on a usage error (message written).
bool ParseArgs(int argc, char **argv, Options *opt) {
  bool haveInput = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char *name) -> const char * {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "quillet-decode: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "-o" || a == "--output") {
      const char *v = value("--output");
      if (!v) return false;
      opt->prefix = v;
    } else if (a == "--no-png") {
      opt->png = false;
    } else if (a == "-q" || a == "--quiet") {
      opt->quiet = true;
    } else if (a == "--full-page") {
      opt->fullPage = true;
    } else if (a == "--dpi") {
      const char *v = value("--dpi");
      if (!v) return false;
      char *end = nullptr;
      long dpi = std::strtol(v, &end, 10);
      if (*v == '\0' || *end != '\0' || dpi < 1 || dpi > 10000) {
        std::fprintf(stderr, "quillet-decode: bad --dpi value '%s'\n", v);
        return false;
      }
      opt->dpi = static_cast<int>(dpi);
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quillet-decode: unknown option '%s'\n", a.c_str());
      return false;
    } else if (haveInput) {
      std::fprintf(stderr, "quillet-decode: only one input file\n");
      return false;
    } else {
      opt->input = a;
      haveInput = true;
    }
  }
  struct stat st;
  if (!opt->prefix.empty() && opt->prefix.back() != '/' && stat(opt->prefix.c_str(), &st) == 0 &&
      S_ISDIR(st.st_mode)) {
    opt->prefix += '/';
  }
  if (!opt->prefix.empty() && opt->prefix.back() == '/') opt->prefix += "page";
  return true;
}

// Reads the whole input; pages are small enough to hold at once.
bool ReadAll(const std::string &name, std::vector<uint8_t> *data) {
  FILE *f = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "quillet-decode: %s: %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
  bool ok = !std::ferror(f);
  if (!ok) std::fprintf(stderr, "quillet-decode: %s: read error\n", name.c_str());
  if (f != stdin) std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  Options opt;
  if (!ParseArgs(argc, argv, &opt)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<uint8_t> data;
  if (!ReadAll(opt.input, &data)) return 1;

  int pageNumber = 0;
  bool writeFailed = false;
  auto onPage = [&](const quillet::PageRecord &page) {
    ++pageNumber;
    int32_t minHeight = opt.fullPage ? quillet::SizeMmToDots(page.heightMm) : 0;
    quillet::PageBitmap bitmap = quillet::ComposePage(page, minHeight);
    std::string line = quillet::SummarizePage(pageNumber, page, bitmap);
    if (opt.png) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, "-%03d.png", pageNumber);
      std::string path = opt.prefix + suffix;
      std::string error;
      if (bitmap.width == 0 || bitmap.height == 0) {
        line += " png=none";
      } else if (quillet::WritePng(path, bitmap, opt.dpi, &error)) {
        line += " png=" + path;
      } else {
        std::fprintf(stderr, "quillet-decode: %s: %s\n", path.c_str(), error.c_str());
        writeFailed = true;
        return false;
      }
    }
    if (!opt.quiet) std::printf("%s\n", line.c_str());
    return true;
  };
  quillet::DecodeError error;
  if (!quillet::DecodeStream(data.data(), data.size(), onPage, &error)) {
    std::fflush(stdout);
    std::fprintf(stderr, "quillet-decode: offset %zu: %s\n", error.offset, error.message.c_str());
    return 1;
  }
  if (writeFailed) return 1;
  if (!opt.quiet) std::fprintf(stderr, "quillet-decode: %d page(s)\n", pageNumber);
  return 0;
}
