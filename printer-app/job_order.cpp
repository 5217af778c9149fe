// How PAPPL 1.3.1 runs a printer's queue, mended where it goes wrong:
// - waiting jobs start oldest first (PAPPL keeps its active jobs sorted
//   newest first and starts the first pending one);
// - one job at a time per printer, each once (two checks for work close
//   together started two jobs, or one twice);
// - a printer connection that broke is closed after the job it cut, so the
//   next job opens a fresh one (and waits, as PAPPL does, until the printer
//   answers) instead of failing on the dead one;
// - a cancelled job whose printer stopped reading is not held by its
//   blocked write: its connection is shut down.
// Each function below is exported (CMakeLists.txt), so libpappl's calls
// reach it; it changes only the faulty case and passes on to the library.
#include "job_order.h"

#include <dlfcn.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <pappl/pappl.h>

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// How long a cancelled job may take to stop on its own before its
// connection is shut down: one band normally takes milliseconds.
constexpr auto kCancelGrace = std::chrono::milliseconds(1000);

// The job threads' devices, their sockets, and what is to happen to them.
struct Registry {
  std::mutex mutex;
  std::map<pappl_device_t *, int> deviceSocket;       // socket:// devices
  std::map<pappl_job_t *, pappl_device_t *> running;  // jobs writing to a device
  std::set<pappl_job_t *> dropDevice;                 // close the device after this job
  std::atomic<int> drops{0};                          // dropDevice.size(), read unlocked
  std::set<pappl_printer_t *> busy;                   // printers with a job thread at work
  std::condition_variable idle;                       // one of them is free
};

Registry &Jobs() {
  static Registry *registry = new Registry;  // used by detached threads until exit
  return *registry;
}

// In a thread that runs PAPPL's check for work: arrays are walked from the
// end (the active jobs then come oldest first).
thread_local bool tlsReverse = false;
// The job this thread runs (_papplJobProcess).
thread_local pappl_job_t *tlsJob = nullptr;
// The socket the last connection made in this thread got.
thread_local int tlsLastSocket = -1;
// The active-jobs array of a printer whose device must be closed: finish_job
// closes it when it sees no more active jobs.
thread_local cups_array_t *tlsEmptyActive = nullptr;

void ShutDownLater(pappl_job_t *job) {
  std::thread([job] {
    Registry &r = Jobs();
    const auto deadline = std::chrono::steady_clock::now() + kCancelGrace;
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.running.find(job);
        if (it == r.running.end()) return;  // it stopped by itself
        if (std::chrono::steady_clock::now() >= deadline) {
          auto sock = r.deviceSocket.find(it->second);
          if (sock != r.deviceSocket.end()) {
            // The device is closed only after it leaves the registry (under
            // this lock), so the socket is still the printer's.
            shutdown(sock->second, SHUT_RDWR);
            if (r.dropDevice.insert(job).second) ++r.drops;
          }
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }).detach();
}

}  // namespace

namespace quillet_app {

void JobDeviceStarted(pappl_job_t *job, pappl_device_t *device) {
  Registry &r = Jobs();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (tlsLastSocket >= 0 && !r.deviceSocket.count(device)) r.deviceSocket[device] = tlsLastSocket;
  tlsLastSocket = -1;
  r.running[job] = device;
}

void DropDeviceAfter(pappl_job_t *job) {
  Registry &r = Jobs();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.dropDevice.insert(job).second) ++r.drops;
}

pappl_job_t *JobOfThisThread() { return tlsJob; }

}  // namespace quillet_app

extern "C" {

void *cupsArrayFirst(cups_array_t *a) {
  using Fn = void *(*)(cups_array_t *);
  static const Fn first = Next<Fn>("cupsArrayFirst");
  static const Fn last = Next<Fn>("cupsArrayLast");
  return tlsReverse ? last(a) : first(a);
}

void *cupsArrayNext(cups_array_t *a) {
  using Fn = void *(*)(cups_array_t *);
  static const Fn next = Next<Fn>("cupsArrayNext");
  static const Fn prev = Next<Fn>("cupsArrayPrev");
  return tlsReverse ? prev(a) : next(a);
}

int cupsArrayRemove(cups_array_t *a, void *e) {
  using Fn = int (*)(cups_array_t *, void *);
  static const Fn next = Next<Fn>("cupsArrayRemove");
  if (Jobs().drops.load(std::memory_order_relaxed) > 0 && e) {
    Registry &r = Jobs();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.dropDevice.erase(static_cast<pappl_job_t *>(e))) {
      --r.drops;
      tlsEmptyActive = a;
    }
  }
  return next(a, e);
}

int cupsArrayCount(cups_array_t *a) {
  using Fn = int (*)(cups_array_t *);
  static const Fn next = Next<Fn>("cupsArrayCount");
  if (tlsEmptyActive && a == tlsEmptyActive) return 0;
  return next(a);
}

http_addrlist_t *httpAddrConnect2(http_addrlist_t *addrlist, int *sock, int msec, int *cancel) {
  using Fn = http_addrlist_t *(*)(http_addrlist_t *, int *, int, int *);
  static const Fn next = Next<Fn>("httpAddrConnect2");
  http_addrlist_t *addr = next(addrlist, sock, msec, cancel);
  tlsLastSocket = addr && sock ? *sock : -1;
  return addr;
}

void papplDeviceClose(pappl_device_t *device) {
  using Fn = void (*)(pappl_device_t *);
  static const Fn next = Next<Fn>("papplDeviceClose");
  {
    Registry &r = Jobs();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.deviceSocket.erase(device);
    for (auto it = r.running.begin(); it != r.running.end();)
      it = it->second == device ? r.running.erase(it) : std::next(it);
  }
  tlsEmptyActive = nullptr;  // the count is true again for the next check
  next(device);
}

void _papplPrinterCheckJobs(pappl_printer_t *printer) {
  using Fn = void (*)(pappl_printer_t *);
  static const Fn next = Next<Fn>("_papplPrinterCheckJobs");
  const bool outer = !tlsReverse;
  tlsReverse = true;
  next(printer);
  if (outer) tlsReverse = false;
}

void *_papplJobProcess(pappl_job_t *job) {
  using Fn = void *(*)(pappl_job_t *);
  static const Fn next = Next<Fn>("_papplJobProcess");
  Registry &r = Jobs();
  pappl_printer_t *printer = papplJobGetPrinter(job);
  {
    // PAPPL looks for a running job before it takes the printer's lock, so
    // a check for work that waited on that lock while a job started took
    // the next pending job too, and two checks close together each
    // started the same one: one job thread at a time per printer.
    std::unique_lock<std::mutex> lock(r.mutex);
    r.idle.wait(lock, [&] { return !r.busy.count(printer); });
    r.busy.insert(printer);
  }
  void *result = nullptr;
  // A second start of a job that has run (or is cancelled or held
  // meanwhile) finds it no longer pending: nothing to do.
  if (papplJobGetState(job) == IPP_JSTATE_PENDING) {
    tlsLastSocket = -1;
    tlsJob = job;
    result = next(job);
    tlsJob = nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    r.busy.erase(printer);
    r.running.erase(job);
    if (r.dropDevice.erase(job)) --r.drops;
  }
  r.idle.notify_all();
  tlsEmptyActive = nullptr;
  return result;
}

// PAPPL only marks a printing job cancelled; the job stops at its next
// check, which a write blocked on a printer that stopped reading never
// reaches.
void papplJobCancel(pappl_job_t *job) {
  using Fn = void (*)(pappl_job_t *);
  static const Fn next = Next<Fn>("papplJobCancel");
  next(job);
  if (!job) return;
  Registry &r = Jobs();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.running.count(job)) ShutDownLater(job);
}

}  // extern "C"
