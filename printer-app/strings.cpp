// Labels of the printer's own attributes in the web interface and in the
// clients' print dialogs.
#include "strings_data.h"

namespace quillet_app {

void AddStrings(pappl_system_t * /*system*/) {}

}  // namespace quillet_app
