// Where the server listens and what it announces by DNS-SD (listen.cpp).
#pragma once

#include <pappl/pappl.h>

namespace quillet_app {

// Whether listen-hostname `host` means loopback only: localhost, a
// loopback address, or a name whose addresses are all loopback.
bool LoopbackOnly(const char *host);

// Adds the TCP listeners for listen-hostname `host`: loopback only for a
// loopback name; every address for "*"; the name's addresses and loopback
// for any other name, so local clients (ipp://localhost queues, the web
// interface) keep working. DNS-SD then announces only where a listener
// is: nothing for loopback only, the interfaces that carry the name's
// addresses for a name. False, with a message, when the loopback (or "*")
// listeners could not be opened.
bool AddListeners(pappl_system_t *system, const char *host);

}  // namespace quillet_app
