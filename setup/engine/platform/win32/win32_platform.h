#pragma once
// The real Windows behind the platform interfaces (cross build only).
#include <memory>

#include "platform/platform.h"

namespace platform::win32 {

class Win32Spooler : public Spooler {
 public:
  PLATFORM_SPOOLER_OVERRIDES
};

class Win32Devices : public Devices {
 public:
  PLATFORM_DEVICES_OVERRIDES
};

class Win32Registry : public Registry {
 public:
  PLATFORM_REGISTRY_OVERRIDES
};

class Win32Files : public Files {
 public:
  PLATFORM_FILES_OVERRIDES
};

class Win32Processes : public Processes {
 public:
  PLATFORM_PROCESSES_OVERRIDES
};

class Win32Network : public Network {
 public:
  PLATFORM_NETWORK_OVERRIDES
};

class Win32Bluetooth : public Bluetooth {
 public:
  PLATFORM_BLUETOOTH_OVERRIDES
};

class Win32Services : public Services {
 public:
  PLATFORM_SERVICES_OVERRIDES
};

class Win32System : public System {
 public:
  PLATFORM_SYSTEM_OVERRIDES
};

class Win32Clock : public Clock {
 public:
  uint32_t NowMs() override;
  void SleepMs(uint32_t ms) override;
  uint64_t SystemFileTime() override;
};

// The one set of real services a program uses.
class Win32Platform {
 public:
  Platform View();

 private:
  Win32Spooler spooler_;
  Win32Devices devices_;
  Win32Registry registry_;
  Win32Files files_;
  Win32Processes processes_;
  Win32Network network_;
  Win32Bluetooth bluetooth_;
  Win32Services services_;
  Win32System system_;
  Win32Clock clock_;
};

}  // namespace platform::win32
