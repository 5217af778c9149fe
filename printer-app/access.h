// Who may administer the server, which devices it writes to and which
// Host names it answers (access.cpp).
#ifndef QUILLET_PRINTER_APP_ACCESS_H
#define QUILLET_PRINTER_APP_ACCESS_H

#include <pappl/pappl.h>

namespace quillet_app {

// Called once the system exists and its state is loaded: sets the admin
// group (`adminGroup`, the -o option, wins over the stored one; without
// either, lpadmin when that group exists) and lets the checks find the
// system.
void SetUpAccess(pappl_system_t *system, const char *adminGroup);

}  // namespace quillet_app

#endif
