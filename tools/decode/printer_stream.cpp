// Strict reader of the printer command language.  It is meant to catch
// faults in the filter's output, so it accepts what the language defines
// and reports the first deviation with its byte offset.
#include "printer_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include "command_stream.h"
#include "models.h"

namespace quillet {
namespace {

// Longest text part of a command we accept; real lines are < 40 bytes, so
// anything longer is garbage or a missing line end.
constexpr size_t kMaxLine = 256;
constexpr size_t kPaperTypeSize = 22;
// Largest page we lay out: 16384 dots across (1.4 m at 300 dpi) and 65536
// rows (5.5 m at 300 dpi), so a hostile stream cannot ask for a huge canvas.
constexpr int64_t kMaxDotsAcross = 16384;
constexpr int64_t kMaxRows = 65536;

class Parser {
 public:
  Parser(const uint8_t *data, size_t size, const PageSink &sink, DecodeError *error,
         const std::vector<const HeaderStyle *> &styles)
      : data_(data), size_(size), sink_(sink), error_(error), styles_(styles) {}

  bool Run();

 private:
  enum class State { BetweenPages, Header, Body };

  bool Fail(size_t at, const std::string &message);
  bool ReadLine(size_t *textEnd);
  bool ParseCommand();
  bool ParsePaperType();
  bool ParseBitmap(size_t lineStart);
  bool ParseText(const std::string &keyword, size_t argStart, size_t textEnd);
  bool CheckHeaderComplete(size_t at);
  bool Matches(const HeaderStyle &style, bool strict) const;
  bool Has(const char *keyword) const;

  // Argument cursor helpers over [pos_, argEnd_).
  void SkipBlanks();
  bool Int(int64_t lo, int64_t hi, int32_t *out, const char *what);
  bool Literal(const char *text);
  bool End();

  const uint8_t *data_;
  size_t size_;
  const PageSink &sink_;
  DecodeError *error_;
  const std::vector<const HeaderStyle *> &styles_;
  // The page header's lines so far: keyword (GAP for BLINE too), and
  // whether the line was BLINE or REFERENCE with blanks.
  struct HeaderLine {
    std::string keyword;
    bool variant;
  };
  std::vector<HeaderLine> lines_;
  size_t pos_ = 0;
  size_t argEnd_ = 0;
  State state_ = State::BetweenPages;
  PageRecord page_;
  bool stopped_ = false;
};

// Records the first error and returns false so callers can `return Fail(...)`.
bool Parser::Fail(size_t at, const std::string &message) {
  if (error_) {
    error_->offset = at;
    error_->message = message;
  }
  return false;
}

// Finds the CR LF that ends the text line starting at pos_.
bool Parser::ReadLine(size_t *textEnd) {
  size_t limit = std::min(size_, pos_ + kMaxLine);
  for (size_t i = pos_; i < limit; ++i) {
    if (data_[i] == '\n') return Fail(i, "line feed without carriage return");
    if (data_[i] == '\r') {
      if (i + 1 >= size_) return Fail(i + 1, "truncated: carriage return without line feed");
      if (data_[i + 1] != '\n') return Fail(i + 1, "carriage return not followed by line feed");
      *textEnd = i;
      return true;
    }
    if (data_[i] < 0x20 || data_[i] > 0x7e) return Fail(i, "unexpected byte in command text");
  }
  if (limit == size_) return Fail(size_, "truncated: command without line end");
  return Fail(pos_, "command line too long (no line end)");
}

// Walks the stream command by command and checks the page structure.
bool Parser::Run() {
  while (pos_ < size_ && !stopped_) {
    if (!ParseCommand()) return false;
  }
  if (!stopped_ && state_ != State::BetweenPages) {
    return Fail(size_, "truncated: page starting at offset " + std::to_string(page_.offset) +
                           " has no PRINT command");
  }
  return true;
}

bool Parser::ParseCommand() {
  if (data_[pos_] == 0x1F) return ParsePaperType();
  size_t lineStart = pos_;
  size_t k = pos_;
  while (k < size_ && data_[k] >= 'A' && data_[k] <= 'Z') ++k;
  std::string keyword(reinterpret_cast<const char *>(data_ + pos_), k - pos_);
  if (keyword.empty()) return Fail(pos_, "expected a command");
  if (keyword == "BITMAP") {
    pos_ = k;
    return ParseBitmap(lineStart);
  }
  size_t textEnd = 0;
  if (!ReadLine(&textEnd)) return false;
  return ParseText(keyword, k, textEnd);
}

void Parser::SkipBlanks() {
  while (pos_ < argEnd_ && data_[pos_] == ' ') ++pos_;
}

// Reads an optionally signed decimal within [lo, hi]; leading blanks allowed.
bool Parser::Int(int64_t lo, int64_t hi, int32_t *out, const char *what) {
  SkipBlanks();
  size_t start = pos_;
  bool negative = false;
  if (pos_ < argEnd_ && data_[pos_] == '-') {
    negative = true;
    ++pos_;
  }
  int64_t value = 0;
  size_t digits = 0;
  while (pos_ < argEnd_ && data_[pos_] >= '0' && data_[pos_] <= '9') {
    if (++digits > 10) return Fail(start, std::string(what) + ": number too long");
    value = value * 10 + (data_[pos_] - '0');
    ++pos_;
  }
  if (digits == 0) return Fail(start, std::string(what) + ": number expected");
  if (negative) value = -value;
  if (value < lo || value > hi) {
    return Fail(start, std::string(what) + ": " + std::to_string(value) + " out of range " +
                           std::to_string(lo) + ".." + std::to_string(hi));
  }
  *out = static_cast<int32_t>(value);
  return true;
}

// Expects fixed text, after optional blanks unless the text itself
// starts with its blank (" mm").
bool Parser::Literal(const char *text) {
  if (text[0] != ' ') SkipBlanks();
  size_t n = std::strlen(text);
  if (argEnd_ - pos_ < n || std::memcmp(data_ + pos_, text, n) != 0) {
    return Fail(pos_, std::string("expected '") + text + "'");
  }
  pos_ += n;
  return true;
}

// Only blanks may follow the last argument.
bool Parser::End() {
  SkipBlanks();
  if (pos_ != argEnd_) return Fail(pos_, "unexpected text after the arguments");
  return true;
}

// The binary setting command: 1F 57, length, fixed 30 01, key and value
// lengths, "PAPERTYPE\0", one digit, \0, then CR LF.
bool Parser::ParsePaperType() {
  size_t at = pos_;
  if (state_ != State::Header) return Fail(at, "PAPERTYPE command outside a page header");
  if (page_.paperTypeValue >= 0) return Fail(at, "duplicate PAPERTYPE command");
  if (size_ - pos_ < kPaperTypeSize + 2) return Fail(size_, "truncated PAPERTYPE command");
  static const uint8_t kPrefix[20] = {0x1F, 0x57, 0x12, 0x00, 0x30, 0x01, 0x0A, 0x00, 0x02, 0x00,
                                      'P',  'A',  'P',  'E',  'R',  'T',  'Y',  'P',  'E',  0x00};
  static const char *const kFieldNames[] = {
      "command", "command", "length", "length", "fixed bytes", "fixed bytes", "key length",
      "key length", "value length", "value length"};
  for (size_t i = 0; i < sizeof kPrefix; ++i) {
    if (data_[at + i] != kPrefix[i]) {
      std::string what = i < 10 ? kFieldNames[i] : "key PAPERTYPE";
      return Fail(at + i, "PAPERTYPE command: wrong " + what + " byte");
    }
  }
  uint8_t value = data_[at + 20];
  if (value < '0' || value > '2') return Fail(at + 20, "PAPERTYPE value must be '0', '1' or '2'");
  if (data_[at + 21] != 0) return Fail(at + 21, "PAPERTYPE value not terminated by a zero byte");
  if (data_[at + 22] != '\r') return Fail(at + 22, "PAPERTYPE command not followed by CR LF");
  if (data_[at + 23] != '\n') return Fail(at + 23, "PAPERTYPE command: carriage return not followed by line feed");
  page_.paperTypeValue = value - '0';
  lines_.push_back({"PAPERTYPE", false});
  pos_ = at + kPaperTypeSize + 2;
  return true;
}

// "BITMAP x,y,widthBytes,height,mode," then widthBytes*height raw bytes, CR LF.
bool Parser::ParseBitmap(size_t lineStart) {
  if (state_ != State::Body) {
    return Fail(lineStart, state_ == State::Header ? "BITMAP before CLS" : "BITMAP outside a page");
  }
  // The text part ends at the fifth comma; raw bytes follow directly, so
  // the numbers are read up to the end of the input.
  argEnd_ = size_;
  Band band;
  if (pos_ >= size_) return Fail(size_, "truncated BITMAP command");
  if (data_[pos_] != ' ') return Fail(pos_, "BITMAP: blank expected after the command");
  ++pos_;
  int32_t *fields[5] = {&band.x, &band.y, &band.widthBytes, &band.height, &band.mode};
  static const char *const kNames[5] = {"BITMAP x", "BITMAP y", "BITMAP width", "BITMAP height",
                                        "BITMAP mode"};
  static const int64_t kHi[5] = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 2};
  for (int i = 0; i < 5; ++i) {
    if (pos_ >= size_) return Fail(size_, "truncated BITMAP command");
    if (!Int(0, kHi[i], fields[i], kNames[i])) {
      if (pos_ >= size_) return Fail(size_, "truncated BITMAP command");
      return false;
    }
    if (pos_ >= size_) return Fail(size_, "truncated BITMAP command");
    if (data_[pos_] != ',') return Fail(pos_, std::string(kNames[i]) + ": ',' expected");
    ++pos_;
  }
  if (band.x + 8LL * band.widthBytes > kMaxDotsAcross || static_cast<int64_t>(band.y) + band.height > kMaxRows) {
    return Fail(lineStart, "BITMAP reaches beyond " + std::to_string(kMaxDotsAcross) + " dots or " +
                               std::to_string(kMaxRows) + " rows");
  }
  int64_t bytes = static_cast<int64_t>(band.widthBytes) * band.height;
  if (static_cast<int64_t>(size_ - pos_) < bytes) {
    return Fail(size_, "truncated BITMAP data: " + std::to_string(bytes) + " bytes announced at offset " +
                           std::to_string(pos_) + ", " + std::to_string(size_ - pos_) + " present");
  }
  band.bits.assign(data_ + pos_, data_ + pos_ + bytes);
  pos_ += static_cast<size_t>(bytes);
  if (size_ - pos_ < 2) return Fail(size_, "truncated: BITMAP data not followed by CR LF");
  if (data_[pos_] != '\r' || data_[pos_ + 1] != '\n') {
    return Fail(pos_, "BITMAP data not followed by CR LF (data longer than announced?)");
  }
  pos_ += 2;
  page_.bands.push_back(std::move(band));
  return true;
}

// Whether the page header so far has a line starting with this word.
bool Parser::Has(const char *keyword) const {
  const std::string k = keyword;
  if (k == "SIZE" || k == "CLS") return true;
  if (k == "PAPERTYPE") return page_.paperTypeValue >= 0;
  if (k == "GAP") return page_.hasGap;
  if (k == "DIRECTION") return page_.direction >= 0;
  if (k == "REFERENCE") return page_.hasReference;
  if (k == "OFFSET") return page_.hasOffset;
  if (k == "DENSITY") return page_.hasDensity;
  if (k == "SPEED") return page_.hasSpeed;
  return false;
}

// Whether the header's lines are the style's, in its order.  Strict also
// holds each line to the form the writer gives that command (BLINE only
// for the paper-selection gap, REFERENCE blanks only with the offsets).
bool Parser::Matches(const HeaderStyle &style, bool strict) const {
  size_t n = 0;
  for (; n < kMaxHeaderCommands && style.commands[n] != HeaderCommand::kEnd; ++n) {
    if (n >= lines_.size() || lines_[n].keyword != HeaderKeyword(style.commands[n])) return false;
    if (!strict) continue;
    const bool variant = lines_[n].variant;
    switch (style.commands[n]) {
      case HeaderCommand::kGapForPaperType:
      case HeaderCommand::kReferenceOrigin:
        if (variant) return false;
        break;
      case HeaderCommand::kReferenceOffsets:
        if (!variant) return false;
        break;
      default:
        break;
    }
  }
  return n == lines_.size();
}

// A page header must say everything the printer needs for the page, as
// one of the header styles it knows (those of the model table) says it:
// the same lines in the same order.
bool Parser::CheckHeaderComplete(size_t at) {
  for (bool strict : {true, false}) {
    for (const HeaderStyle *style : styles_) {
      if (!Matches(*style, strict)) continue;
      page_.style = style;
      return true;
    }
  }
  // No style has these lines: name the style they are out of order for,
  // else what is missing or foreign.
  auto order = [](const HeaderStyle &style) {
    std::string text;
    for (HeaderCommand c : style.commands) {
      if (c != HeaderCommand::kEnd) text += std::string(text.empty() ? "" : " ") + HeaderKeyword(c);
    }
    return text;
  };
  std::vector<std::string> had;
  for (const HeaderLine &line : lines_) had.push_back(line.keyword);
  std::sort(had.begin(), had.end());
  for (const HeaderStyle *style : styles_) {
    std::vector<std::string> wants;
    for (HeaderCommand c : style->commands) {
      if (c != HeaderCommand::kEnd) wants.push_back(HeaderKeyword(c));
    }
    std::sort(wants.begin(), wants.end());
    if (wants == had) {
      return Fail(at, std::string("page header lines not in the order the ") + style->name +
                          " header has them (" + order(*style) + ")");
    }
  }
  const std::vector<const HeaderStyle *> &styles = styles_;
  auto inStyle = [](const HeaderStyle &style, const std::string &keyword) {
    for (HeaderCommand c : style.commands) {
      if (c != HeaderCommand::kEnd && keyword == HeaderKeyword(c)) return true;
    }
    return false;
  };
  auto inAll = [&](const std::string &keyword) {
    for (const HeaderStyle *style : styles) {
      if (!inStyle(*style, keyword)) return false;
    }
    return true;
  };
  // Lines every style has are reported missing first.
  for (HeaderCommand c : styles[0]->commands) {
    const char *keyword = HeaderKeyword(c);
    if (c == HeaderCommand::kEnd || Has(keyword) || !inAll(keyword)) continue;
    return Fail(at, std::string("page header without ") +
                        (std::strcmp(keyword, "GAP") == 0 ? "GAP or BLINE" : keyword) + " before CLS");
  }
  // The lines that tell the styles apart: those present, and each style's first.
  std::vector<std::string> present;
  std::string firsts;
  for (const HeaderStyle *style : styles) {
    bool first = true;
    for (HeaderCommand c : style->commands) {
      const std::string keyword = HeaderKeyword(c);
      if (c == HeaderCommand::kEnd || inAll(keyword)) continue;
      if (first) firsts += (firsts.empty() ? "" : " nor ") + keyword + " (" + style->name + ")";
      first = false;
      if (Has(keyword.c_str()) && std::find(present.begin(), present.end(), keyword) == present.end())
        present.push_back(keyword);
    }
  }
  if (present.empty() && !firsts.empty()) return Fail(at, "page header has neither " + firsts);
  for (const HeaderStyle *style : styles) {
    bool holdsAll = true;
    for (const std::string &keyword : present) holdsAll = holdsAll && inStyle(*style, keyword);
    if (!holdsAll) continue;
    for (HeaderCommand c : style->commands) {
      if (c != HeaderCommand::kEnd && !Has(HeaderKeyword(c))) {
        return Fail(at, std::string("page header without ") + HeaderKeyword(c) + " before CLS");
      }
    }
    return Fail(at, std::string("page header lines not as the ") + style->name + " header has them (" +
                        order(*style) + ")");
  }
  std::string mixed;
  for (const std::string &keyword : present) {
    for (const HeaderStyle *style : styles) {
      if (!inStyle(*style, keyword)) continue;
      mixed += (mixed.empty() ? "" : " and ") + keyword + " (" + style->name + ")";
      break;
    }
  }
  return Fail(at, "page header mixes " + mixed);
}

// Text commands; argEnd_ is the carriage return of the line.
bool Parser::ParseText(const std::string &keyword, size_t argStart, size_t textEnd) {
  size_t lineStart = pos_;
  pos_ = argStart;
  argEnd_ = textEnd;
  size_t next = textEnd + 2;
  auto duplicate = [&](bool seen) {
    return seen ? Fail(lineStart, "duplicate " + keyword + " command") : true;
  };
  auto inHeader = [&]() {
    if (state_ == State::Header) return true;
    return Fail(lineStart, keyword + (state_ == State::Body ? " after CLS" : " outside a page (SIZE expected first)"));
  };
  // Commands with arguments need a blank after the keyword.
  auto blank = [&]() {
    if (pos_ < argEnd_ && data_[pos_] == ' ') return true;
    return Fail(pos_, keyword + ": blank expected after the command");
  };

  if (keyword == "SIZE") {
    if (state_ != State::BetweenPages) return Fail(lineStart, "SIZE inside a page (PRINT missing)");
    page_ = PageRecord();
    page_.offset = lineStart;
    if (!blank() || !Int(0, INT32_MAX, &page_.widthMm, "SIZE width") || !Literal(" mm") || !Literal(",") ||
        !Int(0, INT32_MAX, &page_.heightMm, "SIZE height") || !Literal(" mm") || !End()) {
      return false;
    }
    state_ = State::Header;
    lines_.assign(1, {keyword, false});
  } else if (keyword == "GAP" || keyword == "BLINE") {
    if (!inHeader() || !duplicate(page_.hasGap)) return false;
    if (!blank() || !Int(0, INT32_MAX, &page_.gap[0], keyword.c_str()) || !Literal(" mm") || !Literal(",") ||
        !Int(0, INT32_MAX, &page_.gap[1], keyword.c_str()) || !Literal(" mm") || !End()) {
      return false;
    }
    page_.hasGap = true;
    page_.gapIsBline = keyword == "BLINE";
    lines_.push_back({"GAP", page_.gapIsBline});
  } else if (keyword == "DIRECTION") {
    if (!inHeader() || !duplicate(page_.direction >= 0)) return false;
    if (!blank() || !Int(0, 1, &page_.direction, "DIRECTION") || !End()) return false;
    lines_.push_back({keyword, false});
  } else if (keyword == "REFERENCE") {
    if (!inHeader() || !duplicate(page_.hasReference)) return false;
    if (!blank() || !Int(INT32_MIN, INT32_MAX, &page_.reference[0], "REFERENCE x")) return false;
    page_.referenceBlanks = pos_ < argEnd_ && data_[pos_] == ' ';
    if (!Literal(",") || !Int(INT32_MIN, INT32_MAX, &page_.reference[1], "REFERENCE y") || !End()) return false;
    page_.hasReference = true;
    lines_.push_back({keyword, page_.referenceBlanks});
  } else if (keyword == "OFFSET") {
    if (!inHeader() || !duplicate(page_.hasOffset)) return false;
    if (!blank() || !Int(INT32_MIN, INT32_MAX, &page_.offsetMm, "OFFSET") || !Literal(" mm") || !End()) {
      return false;
    }
    page_.hasOffset = true;
    lines_.push_back({keyword, false});
  } else if (keyword == "DENSITY") {
    if (!inHeader() || !duplicate(page_.hasDensity)) return false;
    if (!blank() || !Int(0, INT32_MAX, &page_.density, "DENSITY") || !End()) return false;
    page_.hasDensity = true;
    lines_.push_back({keyword, false});
  } else if (keyword == "SPEED") {
    if (!inHeader() || !duplicate(page_.hasSpeed)) return false;
    if (!blank() || !Int(0, INT32_MAX, &page_.speed, "SPEED") || !End()) return false;
    page_.hasSpeed = true;
    lines_.push_back({keyword, false});
  } else if (keyword == "CLS") {
    if (!inHeader() || !End()) return false;
    lines_.push_back({keyword, false});
    if (!CheckHeaderComplete(lineStart)) return false;
    state_ = State::Body;
  } else if (keyword == "PRINT") {
    if (state_ != State::Body) {
      return Fail(lineStart, state_ == State::Header ? "PRINT before CLS" : "PRINT outside a page");
    }
    if (!blank() || !Int(1, INT32_MAX, &page_.printSets, "PRINT sets") || !Literal(",") ||
        !Int(0, INT32_MAX, &page_.copies, "PRINT copies") || !End()) {
      return false;
    }
    state_ = State::BetweenPages;
    pos_ = next;
    if (!sink_(page_)) stopped_ = true;
    return true;
  } else {
    return Fail(lineStart, "unknown command '" + keyword + "'");
  }
  pos_ = next;
  return true;
}

}  // namespace

namespace {

std::vector<const HeaderStyle *> TableStyles() {
  std::vector<const HeaderStyle *> styles;
  for (size_t m = 0; m < kNumModels; ++m) {
    if (std::find(styles.begin(), styles.end(), kModels[m].header) == styles.end())
      styles.push_back(kModels[m].header);
  }
  return styles;
}

}  // namespace

bool DecodeStream(const uint8_t *data, size_t size, const PageSink &sink, DecodeError *error,
                  const std::vector<const HeaderStyle *> &styles) {
  Parser parser(data, size, sink, error, styles);
  return parser.Run();
}

bool DecodeStream(const uint8_t *data, size_t size, const PageSink &sink, DecodeError *error) {
  static const std::vector<const HeaderStyle *> table = TableStyles();
  return DecodeStream(data, size, sink, error, table);
}

int32_t SizeMmToDots(int32_t mm) {
  return static_cast<int32_t>(std::lround(static_cast<double>(mm) * kCommandDpi / 25.4));
}

// Lays the bands onto a packed white canvas, dot by dot so that any x
// position and every mode combine correctly.
PageBitmap ComposePage(const PageRecord &page, int32_t minHeight) {
  int64_t width = 0, height = minHeight;
  for (const Band &b : page.bands) {
    width = std::max<int64_t>(width, static_cast<int64_t>(b.x) + 8LL * b.widthBytes);
    height = std::max<int64_t>(height, static_cast<int64_t>(b.y) + b.height);
  }
  PageBitmap bmp;
  if (width <= 0 || height <= 0 || width > kMaxDotsAcross || height > kMaxRows) return bmp;
  bmp.width = static_cast<int32_t>(width);
  bmp.height = static_cast<int32_t>(height);
  bmp.rowBytes = (static_cast<size_t>(width) + 7) / 8;
  bmp.bits.assign(bmp.rowBytes * static_cast<size_t>(height), 0xFF);
  for (const Band &b : page.bands) {
    for (int32_t r = 0; r < b.height; ++r) {
      uint8_t *row = &bmp.bits[static_cast<size_t>(b.y + r) * bmp.rowBytes];
      const uint8_t *src = &b.bits[static_cast<size_t>(r) * static_cast<size_t>(b.widthBytes)];
      for (int32_t c = 0; c < b.widthBytes * 8; ++c) {
        bool dot = (src[c / 8] & (0x80u >> (c % 8))) == 0;
        int32_t x = b.x + c;
        uint8_t mask = static_cast<uint8_t>(0x80u >> (x % 8));
        bool was = (row[x / 8] & mask) == 0;
        bool now = b.mode == 0 ? dot : b.mode == 1 ? (was || dot) : (was != dot);
        if (now) row[x / 8] = static_cast<uint8_t>(row[x / 8] & ~mask);
        else row[x / 8] = static_cast<uint8_t>(row[x / 8] | mask);
      }
    }
  }
  return bmp;
}

// key=value fields so scripts can split the line on blanks and '='.
std::string SummarizePage(int pageNumber, const PageRecord &page, const PageBitmap &bitmap) {
  std::ostringstream s;
  s << "page=" << pageNumber << " offset=" << page.offset
    << " header=" << (page.style ? page.style->name : "none") << " size=" << page.widthMm << "x"
    << page.heightMm << "mm";
  if (page.paperTypeValue >= 0) {
    static const char *const kNames[] = {"continuous", "blackmark", "tattoo"};
    s << " papertype=" << page.paperTypeValue << "(" << kNames[page.paperTypeValue] << ")";
  }
  s << (page.gapIsBline ? " bline=" : " gap=") << page.gap[0] << "," << page.gap[1] << "mm"
    << " direction=" << page.direction << " reference=" << page.reference[0] << ","
    << page.reference[1];
  if (page.referenceBlanks) s << "(blanks)";
  if (page.hasOffset) s << " offset_mm=" << page.offsetMm;
  s << " density=" << page.density << " speed=" << page.speed << " bands=" << page.bands.size();
  int64_t ink = 0;
  int32_t lastInk = -1;
  for (int32_t y = 0; y < bitmap.height; ++y) {
    for (int32_t x = 0; x < bitmap.width; ++x) {
      if (bitmap.IsDot(x, y)) {
        ++ink;
        lastInk = y;
      }
    }
  }
  s << " width=" << bitmap.width << " height=" << bitmap.height << " ink=" << ink << " lastink=" << lastInk
    << " print=" << page.printSets << "," << page.copies;
  return s.str();
}

}  // namespace quillet
