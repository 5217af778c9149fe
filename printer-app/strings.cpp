// Labels of the printer's own attributes in the web interface and in the
// clients' print dialogs (served as printer-strings-uri), and the program's
// words for PAPPL's own texts where the framework has none or wrong ones.
#include "strings_data.h"

#include <string>
#include <vector>

#include "strings_de.h"
#include "strings_en.h"
#include "strings_es.h"
#include "strings_fr.h"
#include "strings_it.h"
#include "strings_ja.h"
#include "strings_nb_NO.h"
#include "strings_pl.h"
#include "strings_tr.h"
#include "strings_zh_CN.h"
#include "strings_zh_TW.h"
#include "web_de.h"
#include "web_en.h"
#include "web_es.h"
#include "web_fr.h"
#include "web_it.h"
#include "web_ja.h"
#include "web_nb_NO.h"
#include "web_pl.h"
#include "web_tr.h"
#include "web_zh_CN.h"
#include "web_zh_TW.h"

namespace quillet_app {
namespace {

struct Strings {
  const char *path;
  const char *language;
  const char *data;
  const char *web;  // PAPPL's own texts
};

// Every language PAPPL 1.3.1 has built in, and Chinese; lower case, as IPP's
// naturalLanguage values must be (PAPPL finds "nb-NO" by either case).
const Strings kStrings[] = {
    {"/en.strings", "en", kStringsEn, kWebStringsEn},
    {"/de.strings", "de", kStringsDe, kWebStringsDe},
    {"/es.strings", "es", kStringsEs, kWebStringsEs},
    {"/fr.strings", "fr", kStringsFr, kWebStringsFr},
    {"/it.strings", "it", kStringsIt, kWebStringsIt},
    {"/ja.strings", "ja", kStringsJa, kWebStringsJa},
    {"/nb-no.strings", "nb-no", kStringsNbNO, kWebStringsNbNO},
    {"/pl.strings", "pl", kStringsPl, kWebStringsPl},
    {"/tr.strings", "tr", kStringsTr, kWebStringsTr},
    {"/zh-cn.strings", "zh-cn", kStringsZhCN, kWebStringsZhCN},
    {"/zh-tw.strings", "zh-tw", kStringsZhTW, kWebStringsZhTW},
};

}  // namespace

int NumLanguages() { return static_cast<int>(sizeof kStrings / sizeof kStrings[0]); }
const char *LanguageName(int i) { return kStrings[i].language; }

// One resource a language, the attribute labels first: PAPPL serves the
// first resource of a language as printer-strings-uri. The text must stay
// for the life of the system.
void AddStrings(pappl_system_t *system) {
  static std::vector<std::string> texts;
  if (texts.empty())
    for (const Strings &s : kStrings) texts.push_back(std::string(s.data) + s.web);
  for (size_t i = 0; i < texts.size(); ++i)
    papplSystemAddStringsData(system, kStrings[i].path, kStrings[i].language, texts[i].c_str());
}

// Added value by value: PAPPL's own ippAddStrings call for this attribute
// is dropped (pappl_workarounds.cpp).
void AddStringsLanguages(ipp_t *printerAttrs) {
  ipp_attribute_t *attr = nullptr;
  for (const Strings &s : kStrings) {
    if (attr)
      ippSetString(printerAttrs, &attr, ippGetCount(attr), s.language);
    else
      attr = ippAddString(printerAttrs, IPP_TAG_PRINTER, IPP_TAG_LANGUAGE, "printer-strings-languages-supported",
                          nullptr, s.language);
  }
}

}  // namespace quillet_app
