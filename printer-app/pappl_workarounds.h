// The work-arounds for the framework's faults (pappl_workarounds.cpp).
#ifndef QUILLET_PRINTER_APP_PAPPL_WORKAROUNDS_H
#define QUILLET_PRINTER_APP_PAPPL_WORKAROUNDS_H

#include <pappl/pappl.h>

namespace quillet_app {

// Logs the running libpappl's version and whether the work-arounds act.
void LogFrameworkMends(pappl_system_t *system);

}  // namespace quillet_app

#endif
