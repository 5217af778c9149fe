// Work-arounds for faults of PAPPL 1.3.1 (Debian 12 and 13) that a user of
// the server meets. The program exports these functions (CMakeLists.txt),
// so the dynamic linker hands every caller's calls to them; each mends
// only the faulty call, recognised by its arguments and by its caller (the
// call comes from libpappl, in the context where PAPPL goes wrong), and
// passes everything else to the library's own function unchanged.
//
// They are built only against the PAPPL version they were measured on
// (QUILLET_PAPPL_MENDED, set by CMakeLists.txt from pkg-config) and act
// only while the libpappl the process runs is that version too: PAPPL has
// no function that tells its version, and Debian's file name carries only
// the soname (libpappl.so.1), so the version is read from the loaded
// library itself, from the Server header every build of PAPPL carries
// among its constants ("PAPPL/1.3.1 CUPS IPP/2.0"). That needs no file,
// no package database and no call into a library whose ABI is in doubt.
#include "pappl_workarounds.h"

#include <dlfcn.h>
#include <link.h>

#include <cctype>
#include <condition_variable>
#include <cstdint>
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

#include "job_order.h"
#include "job_text_options.h"
#include "strings_data.h"

// The replacements below have libcups 2's signatures.
#if defined(QUILLET_PAPPL_MENDED) && CUPS_VERSION_MAJOR != 2
#undef QUILLET_PAPPL_MENDED
#endif

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// libpappl as this process loaded it.
struct LoadedLibrary {
  uintptr_t codeStart = 0, codeEnd = 0;  // its executable segments
  std::string version;                   // empty when not found
  std::string path;
};

std::string VersionAfter(const char *at, const char *end) {
  static const char kTag[] = "PAPPL/";
  static const char kTail[] = " CUPS IPP/2.0";
  const char *p = at + sizeof kTag - 1;
  const char *v = p;
  while (p < end && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '.')) ++p;
  if (p == v || static_cast<size_t>(end - p) < sizeof kTail - 1 || std::memcmp(p, kTail, sizeof kTail - 1))
    return {};
  return std::string(v, p);
}

const LoadedLibrary &Pappl() {
  static const LoadedLibrary library = [] {
    LoadedLibrary found;
    const auto symbol = reinterpret_cast<uintptr_t>(dlsym(RTLD_NEXT, "papplSystemCreate"));
    struct Search {
      uintptr_t symbol;
      LoadedLibrary *found;
    } search{symbol, &found};
    if (!symbol) return found;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) -> int {
          auto *s = static_cast<Search *>(data);
          bool ours = false;
          for (int i = 0; i < info->dlpi_phnum && !ours; ++i) {
            const ElfW(Phdr) &ph = info->dlpi_phdr[i];
            const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
            ours = ph.p_type == PT_LOAD && s->symbol >= start && s->symbol < start + ph.p_memsz;
          }
          if (!ours) return 0;
          s->found->path = info->dlpi_name ? info->dlpi_name : "";
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr) &ph = info->dlpi_phdr[i];
            if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_R)) continue;
            const char *begin = reinterpret_cast<const char *>(info->dlpi_addr + ph.p_vaddr);
            const char *end = begin + ph.p_filesz;
            if (ph.p_flags & PF_X) {
              s->found->codeStart = reinterpret_cast<uintptr_t>(begin);
              s->found->codeEnd = reinterpret_cast<uintptr_t>(begin + ph.p_memsz);
            }
            for (const char *at = begin; s->found->version.empty() && at < end; ++at) {
              at = static_cast<const char *>(memmem(at, static_cast<size_t>(end - at), "PAPPL/", 6));
              if (!at) break;
              s->found->version = VersionAfter(at, end);
            }
          }
          return 1;
        },
        &search);
    return found;
  }();
  return library;
}

// True while the running libpappl is the version the mends were made for.
bool Mending() {
#ifdef QUILLET_PAPPL_MENDED
  static const bool mending = Pappl().version == QUILLET_PAPPL_MENDED;
  return mending;
#else
  return false;
#endif
}

// The client whose new job PAPPL is checking in this thread.
thread_local pappl_client_t *tlsDocumentCheck = nullptr;

#ifdef QUILLET_PAPPL_MENDED
// True when `address` (a return address) is in libpappl's code.
bool FromPappl(const void *address) {
  const auto a = reinterpret_cast<uintptr_t>(address);
  return a >= Pappl().codeStart && a < Pappl().codeEnd;
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

#endif  // QUILLET_PAPPL_MENDED

}  // namespace

void quillet_app::LogFrameworkMends(pappl_system_t *system) {
#ifdef QUILLET_PAPPL_MENDED
  const char *built = QUILLET_PAPPL_MENDED;
#else
  const char *built = "none";
#endif
  const LoadedLibrary &pappl = Pappl();
  papplLog(system, PAPPL_LOGLEVEL_INFO, "PAPPL %s (%s): the work-arounds for PAPPL %s are %s.",
           pappl.version.empty() ? "of unknown version" : pappl.version.c_str(), pappl.path.c_str(), built,
           Mending() ? "on" : "off");
}

// PAPPL 1.3.1 answers every Get-Printer-Attributes by appending
// printer-strings-languages-supported to the printer's own attribute set,
// under a read lock: each answer after the first carries one copy more than
// the last (clients see a duplicate attribute, answers and memory grow with
// every status poll), and two clients asking at once write the same list
// concurrently. That append (PAPPL's call, with its values) is dropped; the
// printer's driver attributes carry the list once instead
// (AddStringsLanguages in strings.cpp). libcups copying an attribute (as
// PAPPL does with the driver attributes) passes no values and fills them
// in after, and goes through.
//
// A held job's reasons are listed bit by bit up to warnings-detected, one
// short of job-hold-until-specified, so a job held for that reason alone
// was reported with no job-state-reasons at all (Print-Job and
// Get-Job-Attributes answers, notifications): PAPPL then asks for a list
// of no values, which it never does otherwise.
extern "C" ipp_attribute_t *ippAddStrings(ipp_t *ipp, ipp_tag_t group, ipp_tag_t valueTag, const char *name,
                                          int numValues, const char *language, const char *const *values) {
  using Fn = ipp_attribute_t *(*)(ipp_t *, ipp_tag_t, ipp_tag_t, const char *, int, const char *,
                                  const char *const *);
  static const Fn next = Next<Fn>("ippAddStrings");
#ifdef QUILLET_PAPPL_MENDED
  const auto tag = static_cast<ipp_tag_t>(valueTag & IPP_TAG_CUPS_MASK);
  if (values && name && Mending()) {
    if (group == IPP_TAG_PRINTER && tag == IPP_TAG_LANGUAGE && numValues > 0 &&
        !std::strcmp(name, "printer-strings-languages-supported") && FromPappl(__builtin_return_address(0)))
      return nullptr;
    static const char *const kHeld[] = {"job-hold-until-specified"};
    if (numValues == 0 && tag == IPP_TAG_KEYWORD && !std::strcmp(name, "job-state-reasons") &&
        FromPappl(__builtin_return_address(0)))
      return next(ipp, group, valueTag, name, 1, language, kHeld);
  }
#endif
  // Not a framework fault, this program's choice, so on any version: the
  // printers take sRGB raster (page_input.cpp) but print black and white,
  // and a CUPS driverless queue offers colour when urf-supported lists it,
  // whatever print-color-mode-supported says.
  if (values && name && group == IPP_TAG_PRINTER && numValues > 0 && numValues < 64 &&
      !std::strcmp(name, "urf-supported")) {
    const char *kept[64];
    int n = 0;
    for (int i = 0; i < numValues; ++i)
      if (std::strcmp(values[i], "SRGB24") != 0) kept[n++] = values[i];
    return next(ipp, group, valueTag, name, n, language, kept);
  }
  return next(ipp, group, valueTag, name, numValues, language, values);
}

#ifdef QUILLET_PAPPL_MENDED
// Without a running Avahi daemon PAPPL 1.3.1 browses DNS-SD with no client
// and stops on an assertion inside Avahi: the `devices` sub-command and the
// web interface's Add Printer page took the whole server down. PAPPL's
// lists look for DNS-SD printers only when the daemon is there.
extern "C" bool papplDeviceList(pappl_devtype_t types, pappl_device_cb_t cb, void *data,
                                pappl_deverror_cb_t errCb, void *errData) {
  using Fn = bool (*)(pappl_devtype_t, pappl_device_cb_t, void *, pappl_deverror_cb_t, void *);
  static const Fn next = Next<Fn>("papplDeviceList");
  if ((types & PAPPL_DEVTYPE_DNS_SD) && Mending() && FromPappl(__builtin_return_address(0)) &&
      !AvahiRunning())
    types = static_cast<pappl_devtype_t>(types & ~PAPPL_DEVTYPE_DNS_SD);
  return next(types, cb, data, errCb, errData);
}

// A printer that is off or refuses the connection when a job comes: PAPPL
// 1.3.1 keeps the job and tries again every 5 s, but shows the printer only
// as stopped. PAPPL's opens for a job (in a job thread, with its device
// logger and the system) now set the printer's offline-report while they
// fail and clear it once one succeeds, so clients and the web page say why.
// Opens for status, maintenance or auto-setup change nothing.
extern "C" pappl_device_t *papplDeviceOpen(const char *uri, const char *name, pappl_deverror_cb_t errCb,
                                           void *errData) {
  using Fn = pappl_device_t *(*)(const char *, const char *, pappl_deverror_cb_t, void *);
  static const Fn next = Next<Fn>("papplDeviceOpen");
  pappl_device_t *device = next(uri, name, errCb, errData);
  if (uri && errCb == papplLogDevice && errData && quillet_app::JobOfThisThread() && Mending() &&
      FromPappl(__builtin_return_address(0)))
    Offline().Note(static_cast<pappl_system_t *>(errData), uri, device == nullptr);
  return device;
}

// PAPPL 1.3.1 checks a submitted document-format against the printer's
// document-format-supported, but looks for it among the attributes it
// keeps for the printer itself, where it never is (it is with the driver's
// attributes), so every format was taken and a job of an unknown one
// aborted with nothing printed. That one lookup, in PAPPL's check of a new
// job's document, gets the list every printer of this program has, and an
// unknown format is refused at submission.
extern "C" ipp_attribute_t *ippFindAttribute(ipp_t *ipp, const char *name, ipp_tag_t valueTag) {
  using Fn = ipp_attribute_t *(*)(ipp_t *, const char *, ipp_tag_t);
  static const Fn next = Next<Fn>("ippFindAttribute");
  ipp_attribute_t *found = next(ipp, name, valueTag);
  if (!found && tlsDocumentCheck && valueTag == IPP_TAG_MIMETYPE && name &&
      !std::strcmp(name, "document-format-supported") && ipp != papplClientGetRequest(tlsDocumentCheck) &&
      FromPappl(__builtin_return_address(0)))
    return quillet_app::AcceptedFormats();
  return found;
}
#endif  // QUILLET_PAPPL_MENDED

// PAPPL checks a new job's document attributes (Print-Job, Create-Job,
// Validate-Job) just before its job attributes; Send-Document comes here
// too.
extern "C" bool _papplJobValidateDocumentAttributes(pappl_client_t *client) {
  using Fn = bool (*)(pappl_client_t *);
  static const Fn next = Next<Fn>("_papplJobValidateDocumentAttributes");
  const ipp_op_t op = papplClientGetOperation(client);
  if (op == IPP_OP_PRINT_JOB || op == IPP_OP_CREATE_JOB || op == IPP_OP_VALIDATE_JOB)
    quillet_app::JobSettingsFromText(papplClientGetRequest(client));
  if (!Mending()) return next(client);
  tlsDocumentCheck = client;
  const bool valid = next(client);
  tlsDocumentCheck = nullptr;
  return valid;
}
