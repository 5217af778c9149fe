// Message layer: gettext catalogues stand in for the localised strings of
// the program bundle on other systems.
#include "messages.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libintl.h>
#include <string>

#ifndef QUILLET_LOCALEDIR
#define QUILLET_LOCALEDIR "/usr/share/locale"
#endif

namespace {

// Turns a language tag as CUPS passes it ("de-DE", "zh-Hans", "zh_CN.UTF-8")
// into a gettext language name.
std::string GettextLanguage(const char *value) {
  std::string lang(value);
  for (char &c : lang) {
    if (c == '-') c = '_';
  }
  if (lang.compare(0, 7, "zh_Hans") == 0) return "zh_CN";
  if (lang.compare(0, 7, "zh_Hant") == 0) return "zh_TW";
  return lang;
}

// Binds the text domain once; a build tree or a relocated install may point
// the catalogues elsewhere with RASTERTOQUILLET_LOCALEDIR.
void BindCatalogue() {
  static bool bound = false;
  if (bound) return;
  bound = true;
  const char *dir = std::getenv("RASTERTOQUILLET_LOCALEDIR");
  bindtextdomain(kTextDomain, dir && *dir ? dir : QUILLET_LOCALEDIR);
  // CUPS reads filter messages as UTF-8 whatever the character type locale.
  bind_textdomain_codeset(kTextDomain, "UTF-8");
}

}  // namespace

// Chooses the message language.
void SetLocale() {
  setbuf(stderr, nullptr);
  const char *value = std::getenv("APPLE_LANGUAGE");
  if (!value) value = std::getenv("LANG");
  if (!value) return;

  BindCatalogue();
  const std::string lang = GettextLanguage(value);
  // LANGUAGE outranks every locale variable in gettext's search, so the
  // chosen value wins even over a stray LC_ALL.
  setenv("LANGUAGE", lang.c_str(), 1);
  const char *locale = setlocale(LC_MESSAGES, "");
  // gettext ignores LANGUAGE in the "C" locale, and the locale named by the
  // environment is often not generated on a print server: C.UTF-8 always is.
  if ((!locale || std::strcmp(locale, "C") == 0) && lang != "C" && lang != "POSIX") {
    setlocale(LC_MESSAGES, "C.UTF-8");
  }
}

// Writes one message line to stderr.
void LogMessage(const char *prefix, const char *format, ...) {
  BindCatalogue();
  char text[kMaxMessageBytes];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, dgettext(kTextDomain, format), args);
  va_end(args);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) return;
  std::fprintf(stderr, "%s: %s\n", prefix, text);
}
