// Labels of the printer's own attributes in the web interface and in the
// clients' print dialogs (served as printer-strings-uri).
#include "strings_data.h"

#include "strings_en.h"
#include "strings_de.h"
#include "strings_zh_CN.h"

namespace quillet_app {
namespace {

struct Strings {
  const char *path;
  const char *language;
  const char *data;
};

const Strings kStrings[] = {
    {"/en.strings", "en", kStringsEn},
    {"/de.strings", "de", kStringsDe},
    {"/zh-cn.strings", "zh-cn", kStringsZhCN},
};

}  // namespace

void AddStrings(pappl_system_t *system) {
  for (const Strings &s : kStrings) papplSystemAddStringsData(system, s.path, s.language, s.data);
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
