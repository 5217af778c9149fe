// Message layer: the filter's own catalogues (GNU .mo files, compiled from
// po/) stand in for the localised strings of the program bundle on other
// systems.
//
// The catalogue is read here rather than through gettext: gettext
// translates only in a locale that is generated, or in C.UTF-8 through
// LANGUAGE, and newer glibc (2.41 of Debian 13) ignores LANGUAGE in C.UTF-8
// as in C.  Print servers often generate no locale at all, and the
// language a job asks for must not depend on that.
#include "messages.h"

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <strings.h>
#include <vector>

#ifndef QUILLET_LOCALEDIR
#define QUILLET_LOCALEDIR "/usr/share/locale"
#endif

namespace {

// One GNU message catalogue, read whole; every offset in it is checked
// before use, so a damaged file gives no translation rather than a crash.
class Catalogue {
 public:
  void Clear() {
    data_.clear();
    count_ = 0;
  }

  bool Load(const std::string &path) {
    Clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    uint32_t magic = 0;
    if (data_.size() < 28 || !Word(0, &magic)) return Fail();
    if (magic == 0x950412deu) {
      swapped_ = false;
    } else if (magic == 0xde120495u) {
      swapped_ = true;
    } else {
      return Fail();
    }
    uint32_t revision = 0;
    Word(4, &revision);
    Word(8, &count_);
    Word(12, &originals_);
    Word(16, &translations_);
    if ((revision >> 16) > 1) return Fail();
    // The header (the translation of "") names the character set; the
    // filter writes UTF-8, and its own catalogues are UTF-8.
    const char *header = Find("");
    if (!header || !HasUtf8Charset(header)) return Fail();
    return true;
  }

  // The translation of `key`, or null where the catalogue has none.
  const char *Find(const char *key) const {
    // msgfmt stores the original texts sorted by byte value.
    uint32_t low = 0, high = count_;
    while (low < high) {
      const uint32_t mid = low + (high - low) / 2;
      const char *original = Text(originals_, mid);
      if (!original) return nullptr;
      const int order = std::strcmp(key, original);
      if (order == 0) return Text(translations_, mid);
      if (order < 0) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return nullptr;
  }

 private:
  bool Fail() {
    Clear();
    return false;
  }

  bool Word(uint64_t offset, uint32_t *value) const {
    if (offset + 4 > data_.size()) return false;
    uint32_t v;
    std::memcpy(&v, data_.data() + offset, 4);
    if (swapped_) v = __builtin_bswap32(v);
    *value = v;
    return true;
  }

  // Entry `index` of the table at `table`: a zero-terminated text inside
  // the file, else null.
  const char *Text(uint32_t table, uint32_t index) const {
    uint32_t length = 0, offset = 0;
    const uint64_t entry = table + uint64_t{8} * index;
    if (!Word(entry, &length) || !Word(entry + 4, &offset)) return nullptr;
    if (uint64_t{offset} + length >= data_.size() || data_[offset + length] != '\0') return nullptr;
    return data_.data() + offset;
  }

  static bool HasUtf8Charset(const char *header) {
    const char *charset = std::strstr(header, "charset=");
    if (!charset) return false;
    charset += 8;
    return strncasecmp(charset, "UTF-8", 5) == 0 && !std::isalnum(static_cast<unsigned char>(charset[5]));
  }

  std::vector<char> data_;
  bool swapped_ = false;
  uint32_t count_ = 0;
  uint32_t originals_ = 0;
  uint32_t translations_ = 0;
};

Catalogue &CurrentCatalogue() {
  static Catalogue catalogue;
  return catalogue;
}

// Turns a language tag as CUPS passes it ("de-DE", "zh-Hans", "zh_CN.UTF-8")
// into a catalogue language name.
std::string CatalogueLanguage(const char *value) {
  std::string lang(value);
  for (char &c : lang) {
    if (c == '-') c = '_';
  }
  if (lang.compare(0, 7, "zh_Hans") == 0) return "zh_CN";
  if (lang.compare(0, 7, "zh_Hant") == 0) return "zh_TW";
  return lang;
}

// The folder names to look in, most specific first, as gettext tries them:
// "de_DE.UTF-8@euro", "de_DE@euro", "de_DE", "de@euro", "de".
std::vector<std::string> CatalogueNames(const std::string &lang) {
  std::string rest = lang, modifier, territory;
  const size_t at = rest.find('@');
  if (at != std::string::npos) {
    modifier = rest.substr(at);
    rest.erase(at);
  }
  const size_t dot = rest.find('.');
  if (dot != std::string::npos) rest.erase(dot);
  const size_t underscore = rest.find('_');
  if (underscore != std::string::npos) {
    territory = rest.substr(underscore);
    rest.erase(underscore);
  }
  std::vector<std::string> names{lang};
  for (const std::string &name : {rest + territory + modifier, rest + territory, rest + modifier, rest}) {
    if (!name.empty() && name != names.back()) names.push_back(name);
  }
  return names;
}

// The catalogue's text for the key `format`, else the key itself.
__attribute__((format_arg(1))) const char *Translate(const char *format) {
  const char *translated = CurrentCatalogue().Find(format);
  return translated ? translated : format;
}

}  // namespace

// Chooses the message language.
void SetLocale() {
  setbuf(stderr, nullptr);
  Catalogue &catalogue = CurrentCatalogue();
  catalogue.Clear();
  const char *value = std::getenv("APPLE_LANGUAGE");
  if (!value) value = std::getenv("LANG");
  if (!value || !*value) return;
  const std::string lang = CatalogueLanguage(value);
  if (lang == "C" || lang == "POSIX" || lang.compare(0, 2, "C.") == 0) return;

  // A build tree or a relocated install may point the catalogues elsewhere.
  const char *dir = std::getenv("RASTERTOQUILLET_LOCALEDIR");
  const std::string root = dir && *dir ? dir : QUILLET_LOCALEDIR;
  for (const std::string &name : CatalogueNames(lang)) {
    if (name.find('/') != std::string::npos || name == "..") continue;
    if (catalogue.Load(root + "/" + name + "/LC_MESSAGES/" + kTextDomain + ".mo")) return;
  }
}

// Writes one message line to stderr.
void LogMessage(const char *prefix, const char *format, ...) {
  char text[kMaxMessageBytes];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, Translate(format), args);
  va_end(args);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) return;
  std::fprintf(stderr, "%s: %s\n", prefix, text);
}
