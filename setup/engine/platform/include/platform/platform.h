#pragma once
// Everything the installer engine uses of Windows, one reference per service.
#include "platform/bluetooth.h"
#include "platform/devices.h"
#include "platform/files.h"
#include "platform/network.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/system.h"

namespace platform {

struct Platform {
  Spooler& spooler;
  Devices& devices;
  Registry& registry;
  Files& files;
  Processes& processes;
  Network& network;
  Bluetooth& bluetooth;
  Services& services;
  System& system;
  Clock& clock;
};

}  // namespace platform
