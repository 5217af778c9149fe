#include "delay_import_slots.h"

namespace {

PfnDliHook g_next = nullptr;

FARPROC WINAPI SlotHook(unsigned notification, PDelayLoadInfo info) {
  if (notification == dliStartProcessing && info && info->ppfn) {
    DWORD old = 0;
    VirtualProtect(info->ppfn, sizeof(*info->ppfn), PAGE_READWRITE, &old);
  }
  return g_next ? g_next(notification, info) : nullptr;
}

}  // namespace

void InstallDelayLoadHook(PfnDliHook next) {
  if (__pfnDliNotifyHook2 != SlotHook) g_next = __pfnDliNotifyHook2;
  if (next) g_next = next;
  __pfnDliNotifyHook2 = SlotHook;
}
