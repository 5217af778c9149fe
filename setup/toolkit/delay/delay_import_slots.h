// The program's delay-loaded imports (GDI+, the accessibility library, the
// spooler) are resolved by the runtime's delay-load helper, which writes
// each function's address into its slot in the import section. GNU ld
// from 2.43 on (Debian 13's mingw-w64) marks that section read-only, so
// the first delay-loaded call faulted. The helper's notification hook
// installed here makes each slot writable just before the helper writes it.
#ifndef QUILLET_DELAY_IMPORT_SLOTS_H
#define QUILLET_DELAY_IMPORT_SLOTS_H

#include <windows.h>

#include <delayimp.h>

// Installs the hook (again: harmless). It passes every notification on to
// `next` when given, else to the hook it keeps from before.
void InstallDelayLoadHook(PfnDliHook next = nullptr);

#endif
