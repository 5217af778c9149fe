// Work-arounds for faults of PAPPL 1.3.1 (Debian 12) that a user of the
// server meets. The program exports these functions (CMakeLists.txt), so
// the dynamic linker hands PAPPL's calls to them; each changes only the
// faulty case and passes everything else to the library's own function.
#include <dlfcn.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <avahi-client/client.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <pappl/pappl.h>

#include "strings_data.h"

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// True when an Avahi daemon answers on the system bus.
bool AvahiRunning() {
  AvahiSimplePoll *poll = avahi_simple_poll_new();
  if (!poll) return false;
  int error = 0;
  AvahiClient *client = avahi_client_new(avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0),
                                         nullptr, nullptr, &error);
  if (client) avahi_client_free(client);
  avahi_simple_poll_free(poll);
  return client != nullptr;
}

// Sets or clears a printer's offline-report from a thread of its own: the
// job thread that opens the device holds the printer's lock, so the change
// waits for PAPPL's pause between two attempts (or the successful open).
class OfflineReports {
 public:
  // Called after every device open of a job: records a change of state.
  void Note(pappl_system_t *system, const char *uri, bool offline) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool &known = offline_[uri];
    if (known == offline) return;
    known = offline;
    pending_.push_back(Change{system, uri, offline});
    if (!worker_started_) {
      std::thread(&OfflineReports::Run, this).detach();
      worker_started_ = true;
    }
    wake_.notify_one();
  }

 private:
  struct Change {
    pappl_system_t *system;
    std::string uri;
    bool offline;
  };

  void Run() {
    for (;;) {
      Change change;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return !pending_.empty(); });
        change = pending_.front();
        pending_.pop_front();
      }
      if (pappl_printer_t *printer = papplSystemFindPrinter(change.system, nullptr, 0, change.uri.c_str())) {
        papplPrinterSetReasons(printer, change.offline ? PAPPL_PREASON_OFFLINE : PAPPL_PREASON_NONE,
                               change.offline ? PAPPL_PREASON_NONE : PAPPL_PREASON_OFFLINE);
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, bool> offline_;
  std::deque<Change> pending_;
  bool worker_started_ = false;
};

OfflineReports &Offline() {
  static OfflineReports *reports = new OfflineReports;  // outlives its detached thread
  return *reports;
}

}  // namespace

// PAPPL 1.3.1 answers every Get-Printer-Attributes by appending
// printer-strings-languages-supported to the printer's own attribute set,
// under a read lock: each answer after the first carries one copy more than
// the last (clients see a duplicate attribute, answers and memory grow with
// every status poll), and two clients asking at once write the same list
// concurrently. That append is dropped; the printer's driver attributes
// carry the list once instead (AddStringsLanguages in strings.cpp). The
// append passes its values; libcups copying an attribute (as PAPPL does
// with the driver attributes) passes none and fills them in after, and
// must go through, or the copy stops there and every attribute after it
// is lost.
extern "C" ipp_attribute_t *ippAddStrings(ipp_t *ipp, ipp_tag_t group, ipp_tag_t valueTag, const char *name,
                                          int numValues, const char *language, const char *const *values) {
  using Fn = ipp_attribute_t *(*)(ipp_t *, ipp_tag_t, ipp_tag_t, const char *, int, const char *,
                                  const char *const *);
  static const Fn next = Next<Fn>("ippAddStrings");
  if (values && name && group == IPP_TAG_PRINTER && !std::strcmp(name, "printer-strings-languages-supported"))
    return nullptr;
  // A held job's reasons are listed bit by bit up to warnings-detected, one
  // short of job-hold-until-specified, so a job held for that reason alone
  // was reported with no job-state-reasons at all (Print-Job and
  // Get-Job-Attributes answers, notifications); that list is never empty
  // otherwise.
  static const char *const kHeld[] = {"job-hold-until-specified"};
  if (numValues == 0 && name && !std::strcmp(name, "job-state-reasons"))
    return next(ipp, group, valueTag, name, 1, language, kHeld);
  // The printers take sRGB raster (page_input.cpp) but print black and
  // white: a CUPS driverless queue offers colour when urf-supported lists
  // it, whatever print-color-mode-supported says.
  if (values && name && numValues > 0 && numValues < 64 && !std::strcmp(name, "urf-supported")) {
    const char *kept[64];
    int n = 0;
    for (int i = 0; i < numValues; ++i)
      if (std::strcmp(values[i], "SRGB24") != 0) kept[n++] = values[i];
    return next(ipp, group, valueTag, name, n, language, kept);
  }
  return next(ipp, group, valueTag, name, numValues, language, values);
}

// Without a running Avahi daemon PAPPL 1.3.1 browses DNS-SD with no client
// and stops on an assertion inside Avahi: the `devices` sub-command and the
// web interface's Add Printer page took the whole server down. DNS-SD
// printers are looked for only when the daemon is there.
extern "C" bool papplDeviceList(pappl_devtype_t types, pappl_device_cb_t cb, void *data,
                                pappl_deverror_cb_t errCb, void *errData) {
  using Fn = bool (*)(pappl_devtype_t, pappl_device_cb_t, void *, pappl_deverror_cb_t, void *);
  static const Fn next = Next<Fn>("papplDeviceList");
  if ((types & PAPPL_DEVTYPE_DNS_SD) && !AvahiRunning())
    types = static_cast<pappl_devtype_t>(types & ~PAPPL_DEVTYPE_DNS_SD);
  return next(types, cb, data, errCb, errData);
}

// A printer that is off or refuses the connection when a job comes: PAPPL
// 1.3.1 keeps the job and tries again every 5 s, but shows the printer only
// as stopped. Opens for jobs (PAPPL passes its device logger and the
// system) now set the printer's offline-report while they fail and clear
// it once one succeeds, so clients and the web page say why.
extern "C" pappl_device_t *papplDeviceOpen(const char *uri, const char *name, pappl_deverror_cb_t errCb,
                                           void *errData) {
  using Fn = pappl_device_t *(*)(const char *, const char *, pappl_deverror_cb_t, void *);
  static const Fn next = Next<Fn>("papplDeviceOpen");
  pappl_device_t *device = next(uri, name, errCb, errData);
  if (uri && errCb == papplLogDevice && errData)
    Offline().Note(static_cast<pappl_system_t *>(errData), uri, device == nullptr);
  return device;
}

// PAPPL 1.3.1 checks a submitted document-format against the printer's
// document-format-supported, but looks for it among the attributes it
// keeps for the printer itself, where it never is (it is with the driver's
// attributes), so every format was taken and a job of an unknown one
// aborted with nothing printed. Where that lookup finds nothing, it gets
// the list every printer of this program has, and an unknown format is
// refused at submission.
extern "C" ipp_attribute_t *ippFindAttribute(ipp_t *ipp, const char *name, ipp_tag_t valueTag) {
  using Fn = ipp_attribute_t *(*)(ipp_t *, const char *, ipp_tag_t);
  static const Fn next = Next<Fn>("ippFindAttribute");
  ipp_attribute_t *found = next(ipp, name, valueTag);
  if (!found && valueTag == IPP_TAG_MIMETYPE && name && !std::strcmp(name, "document-format-supported"))
    return quillet_app::AcceptedFormats();
  return found;
}
