// The web interface and IPP messages in the client's language. PAPPL 1.3.1
// picks a language from at most six characters of each Accept-Language
// entry and finds none for zh-TW, zh-Hans-CN or a language it lacks: the
// page then shows its keys ("print-color-mode", state numbers). It also
// reads its own strings before the program's, so a wrong word of its own
// could not be corrected. Here the program's strings load first, a tag
// maps to the nearest language there is (zh-TW, zh-HK and Hant to
// traditional Chinese, other Chinese to simplified, a region variant to
// its base language, else English), and a key a language lacks takes the
// English text instead of showing the key.
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <pappl/pappl.h>

#include "strings_data.h"

extern "C" void _papplLocLoadAll(pappl_system_t *system);
extern "C" bool _papplClientProcessHTTP(pappl_client_t *client);

namespace quillet_app {
namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

pappl_system_t *theSystem = nullptr;

// Each language's next one when it lacks a key; written once while the
// system is made, before any client thread, and only read afterwards.
struct Fallback {
  pappl_loc_t *loc;
  pappl_loc_t *next;
};
std::vector<Fallback> fallbacks;

// PAPPL clears the request's header fields when it starts its answer,
// before a page asks for its words: the Accept-Language value is kept for
// the rest of the request (a client is served by one thread).
thread_local std::string acceptLanguage;
thread_local bool acceptLanguageKept = false;

pappl_loc_t *NextLoc(pappl_loc_t *loc) {
  for (const Fallback &f : fallbacks)
    if (f.loc == loc) return f.next;
  return nullptr;
}

}  // namespace

const char *PickLanguage(const char *tag) {
  std::vector<std::string> subtags;
  std::string part;
  for (const char *p = tag;; ++p) {
    if (*p == '-' || *p == '_' || *p == '\0') {
      subtags.push_back(part);
      part.clear();
      if (!*p) break;
    } else {
      part += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
  }
  const std::string &primary = subtags[0];
  if (primary == "zh") {
    for (const std::string &s : subtags)
      if (s == "hant" || s == "tw" || s == "hk" || s == "mo") return "zh-tw";
    return "zh-cn";
  }
  if (primary == "nb" || primary == "no" || primary == "nn") return "nb-no";
  for (int i = 0; i < NumLanguages(); ++i)
    if (primary == LanguageName(i)) return LanguageName(i);
  return nullptr;
}

const char *PickAcceptLanguage(const char *header) {
  // Entries in order of their quality value, the first listed first among
  // equals; q=0 means "not this one".
  struct Entry {
    std::string tag;
    double q;
  };
  std::vector<Entry> entries;
  std::string text = header ? header : "";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    start = end + 1;
    double q = 1.0;
    size_t semi = item.find(';');
    if (semi != std::string::npos) {
      size_t qpos = item.find("q=", semi);
      if (qpos != std::string::npos) q = std::strtod(item.c_str() + qpos + 2, nullptr);
      item.erase(semi);
    }
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (!item.empty() && item != "*" && q > 0) entries.push_back(Entry{item, q});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.q > b.q; });
  for (const Entry &e : entries)
    if (const char *name = PickLanguage(e.tag.c_str())) return name;
  return "en";
}

}  // namespace quillet_app

using quillet_app::fallbacks;
using quillet_app::Next;
using quillet_app::theSystem;

// The program's strings go in before PAPPL's own, so that they win where
// both have a key; then every language learns where it falls back to.
extern "C" void _papplLocLoadAll(pappl_system_t *system) {
  theSystem = system;
  quillet_app::AddStrings(system);
  Next<void (*)(pappl_system_t *)>("_papplLocLoadAll")(system);
  pappl_loc_t *en = papplSystemFindLoc(system, "en");
  pappl_loc_t *zhCn = papplSystemFindLoc(system, "zh-cn");
  fallbacks.clear();
  for (int i = 0; i < quillet_app::NumLanguages(); ++i) {
    const char *name = quillet_app::LanguageName(i);
    pappl_loc_t *loc = papplSystemFindLoc(system, name);
    if (!loc || loc == en) continue;
    fallbacks.push_back({loc, strcmp(name, "zh-tw") == 0 && zhCn ? zhCn : en});
  }
}

extern "C" const char *papplLocGetString(pappl_loc_t *loc, const char *key) {
  static const auto real = Next<const char *(*)(pappl_loc_t *, const char *)>("papplLocGetString");
  for (int hops = 0; loc && hops < 4; ++hops, loc = quillet_app::NextLoc(loc)) {
    const char *text = real(loc, key);
    if (text != key) return text;
  }
  return key;
}

extern "C" bool _papplClientProcessHTTP(pappl_client_t *client) {
  static const auto real = Next<bool (*)(pappl_client_t *)>("_papplClientProcessHTTP");
  quillet_app::acceptLanguage.clear();
  quillet_app::acceptLanguageKept = false;
  return real(client);
}

extern "C" void httpClearFields(http_t *http) {
  static const auto real = Next<void (*)(http_t *)>("httpClearFields");
  if (!quillet_app::acceptLanguageKept) {
    // libcups also clears them before it reads a request.
    const char *value = httpGetField(http, HTTP_FIELD_ACCEPT_LANGUAGE);
    if (value && *value) {
      quillet_app::acceptLanguage = value;
      quillet_app::acceptLanguageKept = true;
    }
  }
  real(http);
}

// PAPPL keeps the first choice in the client and reads it directly in
// papplClientGetLocString, so both are replaced; the choice is cheap.
extern "C" pappl_loc_t *papplClientGetLoc(pappl_client_t *client) {
  if (!client || !theSystem) return nullptr;
  const char *lang = ippGetString(
      ippFindAttribute(papplClientGetRequest(client), "attributes-natural-language", IPP_TAG_LANGUAGE), 0, nullptr);
  const char *name = lang ? quillet_app::PickLanguage(lang) : nullptr;
  if (!lang)
    name = quillet_app::PickAcceptLanguage(quillet_app::acceptLanguageKept
                                               ? quillet_app::acceptLanguage.c_str()
                                               : httpGetField(papplClientGetHTTP(client), HTTP_FIELD_ACCEPT_LANGUAGE));
  pappl_loc_t *loc = name ? papplSystemFindLoc(theSystem, name) : nullptr;
  return loc ? loc : papplSystemFindLoc(theSystem, "en");
}

extern "C" const char *papplClientGetLocString(pappl_client_t *client, const char *s) {
  if (!client) return nullptr;
  return papplLocGetString(papplClientGetLoc(client), s);
}
