// Limits that keep one client from crashing or starving the server
// (limits.cpp).
#pragma once

#include <pappl/pappl.h>

namespace quillet_app {

// Applies the image size bound and starts the connection watchdog; call
// once the system exists.
void ApplyLimits(pappl_system_t *system);

}  // namespace quillet_app
