// Labels of the printer's own attributes in the web interface and in the
// clients' print dialogs (served as printer-strings-uri).
#include "strings_data.h"

#include "strings_en.h"
#include "strings_de.h"
#include "strings_zh_CN.h"

namespace quillet_app {

void AddStrings(pappl_system_t *system) {
  papplSystemAddStringsData(system, "/en.strings", "en", kStringsEn);
  papplSystemAddStringsData(system, "/de.strings", "de", kStringsDe);
  papplSystemAddStringsData(system, "/zh-cn.strings", "zh-cn", kStringsZhCN);
}

}  // namespace quillet_app
