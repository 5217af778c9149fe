// The Linux build of the engine runs only under tests and tools: its
// process-wide engine works on a simulated machine.
#include "engine/setup_engine.h"

#include "sim_platform.h"

#include <system_error>
#include <thread>

// One simulated machine for the whole process.
platform::Platform& DefaultPlatform() {
  static platform::sim::SimPlatform machine;
  static platform::Platform view = machine.View();
  return view;
}

// A detached std::thread; workers are never joined.
bool StartWorkerThread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}
