// Keeping the printers, settings and jobs across a crash or a full disk.
#pragma once

#include <string>

#include <pappl/pappl.h>

namespace quillet_app {

// Loads the state kept at `path` (or the copy kept before it when that one
// is unreadable or cut), restarts or aborts the jobs that were under way,
// removes spool files of jobs that are gone, and saves from now on after
// every change: each to a new file, flushed and renamed over the old one.
void SetUpState(pappl_system_t *system, const std::string &path, const std::string &spool);

}  // namespace quillet_app
