#include "win32_platform.h"

namespace platform::win32 {

// The references the engine is given.
Platform Win32Platform::View() {
  return Platform{spooler_, devices_, registry_, files_, processes_, network_,
                  bluetooth_, services_, system_, clock_};
}

}  // namespace platform::win32
