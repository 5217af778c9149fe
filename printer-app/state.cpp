// The state file: printers, their settings and the jobs still to print.
//
// PAPPL 1.3.1 rewrites the file in place and only when its main loop wakes
// (at most every 30 s), so a crash cut it or lost the last acknowledged
// changes, and a full disk cut it without a word. Here every save goes to
// a new file that is flushed and renamed over the old one (the one before
// it is kept beside it), a request that changed something is answered only
// once that change is on disk, and a failed save is an error for the
// client. After a restart the jobs that were under way print again (or end
// aborted with a reason) and the ones waiting start at once.
#include "state.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
// PAPPL's own, exported by libpappl: starts the next waiting job.
void _papplPrinterCheckJobs(pappl_printer_t *printer);
}

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// The last line of every file this program saves: one without it was cut
// (or written by an older version).
constexpr const char kTrailer[] = "# end of state\n";

bool EndsWith(const std::string &text, const char *tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && !text.compare(text.size() - n, n, tail);
}

bool ReadWhole(int fd, std::string &out) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool ReadFile(const std::string &path, std::string &out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ReadWhole(fd, out);
  close(fd);
  return ok;
}

bool WriteAll(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string Directory(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// An anonymous file in memory that PAPPL writes or reads its state
// through, while `Use` runs: cupsFile cannot report a write error, and
// this way nothing half-written reaches the disk.
// Set while this thread has PAPPL write the state (cupsAddOption below).
thread_local bool plainOptions = false;

class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("quillet-state", MFD_CLOEXEC)) {}
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile &) = delete;
  MemoryFile &operator=(const MemoryFile &) = delete;
  bool ok() const { return fd_ >= 0; }
  bool Read(std::string &out) const { return lseek(fd_, 0, SEEK_SET) == 0 && ReadWhole(fd_, out); }
  bool Write(const std::string &text) const { return WriteAll(fd_, text); }

  // Runs `fn` with PAPPL's opening of `name` in this thread going here.
  template <typename Fn>
  bool Use(const std::string &name, Fn fn) const {
    current = this;
    currentName = name.c_str();
    const bool result = fn();
    current = nullptr;
    currentName = nullptr;
    return result;
  }

  // The stream PAPPL gets for `filename`, or nullptr when it is not ours.
  static cups_file_t *Open(const char *filename, const char *mode) {
    if (!current || !filename || !mode || std::strcmp(filename, currentName)) return nullptr;
    const int fd = dup(current->fd_);
    if (fd < 0 || lseek(fd, 0, SEEK_SET) != 0 || (*mode == 'w' && ftruncate(fd, 0) != 0)) {
      if (fd >= 0) close(fd);
      return nullptr;
    }
    cups_file_t *file = cupsFileOpenFd(fd, mode);
    if (!file) close(fd);
    return file;
  }

 private:
  int fd_;
  static thread_local const MemoryFile *current;
  static thread_local const char *currentName;
};

thread_local const MemoryFile *MemoryFile::current = nullptr;
thread_local const char *MemoryFile::currentName = nullptr;

// Writes the system's state to `path` by way of `path.saving`, flushed,
// with the current file kept as `path.old`.
bool WriteState(pappl_system_t *system, const std::string &path, std::string &error) {
  MemoryFile memory;
  std::string text;
  const auto save = [&] {
    plainOptions = true;
    const bool saved = papplSystemSaveState(system, path.c_str());
    plainOptions = false;
    return saved;
  };
  if (!memory.ok() || !memory.Use(path, save) ||
      !memory.Read(text) || text.empty()) {
    error = std::string("cannot gather the state: ") + std::strerror(errno ? errno : EIO);
    return false;
  }
  text += kTrailer;
  const std::string temp = path + ".saving";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok) {
    // Between the two renames there is no current file: a load then takes
    // the old one, which is the last complete state.
    if (std::rename(path.c_str(), (path + ".old").c_str()) != 0 && errno != ENOENT) {
      ok = false;
      saved = errno;
    } else if (std::rename(temp.c_str(), path.c_str()) != 0) {
      ok = false;
      saved = errno;
    }
  }
  if (!ok) {
    unlink(temp.c_str());
    error = std::strerror(saved);
    return false;
  }
  const int dir = open(Directory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    if (fsync(dir) != 0) {
      error = std::strerror(errno);
      ok = false;
    }
    close(dir);
  }
  return ok;
}

// Saves after changes. Every change PAPPL reports bumps `requested_`; a save
// covers all changes made before it started. A request thread waits for a
// save that covers its change; changes made elsewhere (job threads) are
// saved by a thread of its own.
class Saver {
 public:
  void Configure(pappl_system_t *system, const std::string &path) {
    std::lock_guard<std::mutex> lock(mutex_);
    system_ = system;
    path_ = path;
  }

  void Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || !system_) return;
    running_ = true;
    std::thread(&Saver::Run, this).detach();
  }

  // A change: saved by the background thread unless the calling request
  // saves it itself before answering.
  void Changed(bool byRequest) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    ++requested_;
    if (!byRequest) wake_.notify_all();
  }

  bool Pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ && requested_ > done_;
  }

  // Saves unless every change so far is saved; false (and why) when the
  // save that should hold them failed.
  bool SaveNow(std::string &error) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_) return true;
    const unsigned long long target = requested_;
    while (done_ < target) {
      if (saving_) {
        wake_.wait(lock);
        continue;
      }
      saving_ = true;
      const unsigned long long covers = requested_;
      lock.unlock();
      std::string why;
      const bool ok = WriteState(system_, path_, why);
      if (!ok) papplLog(system_, PAPPL_LOGLEVEL_ERROR, "Unable to save the state to '%s': %s", path_.c_str(), why.c_str());
      lock.lock();
      saving_ = false;
      done_ = covers;
      lastOk_ = ok;
      lastError_ = why;
      wake_.notify_all();
    }
    error = lastError_;
    return lastOk_;
  }

  // A change PAPPL made without reporting it.
  void Force() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) ++requested_;
  }

 private:
  void Run() {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return requested_ > done_ && !saving_; });
      }
      std::string error;
      SaveNow(error);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  pappl_system_t *system_ = nullptr;
  std::string path_;
  bool running_ = false;
  bool saving_ = false;
  bool lastOk_ = true;
  std::string lastError_;
  unsigned long long requested_ = 0, done_ = 0;
};

Saver &TheSaver() {
  static Saver *saver = new Saver;  // outlives its detached thread
  return *saver;
}

// Set while a request is carried out, whose thread then saves itself.
thread_local bool inRequest = false;

// PAPPL's own periodic and final saves: only what is not saved yet.
bool SaveCallback(pappl_system_t * /*system*/, void * /*data*/) {
  std::string error;
  return TheSaver().SaveNow(error);
}

// ------------------------------------------------------------ loading

std::string Quote(const char *value) {
  std::string out = "\"";
  for (const char *p = value; *p; ++p) {
    if (*p == '\\' || *p == '"') out += '\\';
    out += *p;
  }
  return out + "\"";
}

// Spool files are named pPPPPPjJJJJJJJJJ-NAME.EXT (papplJobOpenFile).
bool SpoolName(const char *name, int &printer, int &job) {
  int used = 0;
  return std::strlen(name) > 17 && name[0] == 'p' && name[6] == 'j' && name[16] == '-' &&
         std::sscanf(name, "p%5dj%9d-%n", &printer, &job, &used) == 2 && used == 17;
}

using JobKey = std::pair<int, int>;  // printer id, job id

// Rewrites the Job lines of a state: a job that was printing waits again,
// and one whose document or attributes are gone ends aborted by the
// system. `active` gets the jobs that stay to print.
std::string RestoreJobs(pappl_system_t *system, const std::string &text,
                        const std::map<JobKey, std::vector<std::string>> &spool, std::set<JobKey> &active) {
  std::string out;
  int printerId = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(at, end - at);
    at = end;
    if (line == kTrailer) continue;
    if (!line.compare(0, 9, "<Printer ")) {
      cups_option_t *options = nullptr;
      std::string values = line.substr(9);
      while (!values.empty() && (values.back() == '\n' || values.back() == '>')) values.pop_back();
      const int count = cupsParseOptions(values.c_str(), 0, &options);
      const char *id = cupsGetOption("id", count, options);
      printerId = id ? std::atoi(id) : 0;
      cupsFreeOptions(count, options);
    } else if (!line.compare(0, 4, "Job ")) {
      cups_option_t *options = nullptr;
      int count = cupsParseOptions(line.c_str() + 4, 0, &options);
      const char *idText = cupsGetOption("id", count, options);
      const char *stateText = cupsGetOption("state", count, options);
      const int id = idText ? std::atoi(idText) : 0;
      const int state = stateText ? std::atoi(stateText) : IPP_JSTATE_PENDING;
      if (id > 0 && state < IPP_JSTATE_STOPPED) {
        const char *document = cupsGetOption("filename", count, options);
        struct stat info {};
        bool attributes = false;
        auto files = spool.find(JobKey(printerId, id));
        if (files != spool.end())
          for (const std::string &name : files->second) attributes |= EndsWith(name, ".ipp");
        char number[32];
        if (!document || stat(document, &info) != 0 || !attributes) {
          papplLog(system, PAPPL_LOGLEVEL_WARN,
                   "Job %d of printer %d cannot be restored (its %s is gone): aborted.", id, printerId,
                   attributes ? "document" : "attributes file");
          count = cupsAddOption("state", std::to_string(IPP_JSTATE_ABORTED).c_str(), count, &options);
          std::snprintf(number, sizeof number, "%d", static_cast<int>(PAPPL_JREASON_ABORTED_BY_SYSTEM));
          count = cupsAddOption("state_reasons", number, count, &options);
          std::snprintf(number, sizeof number, "%ld", static_cast<long>(std::time(nullptr)));
          count = cupsAddOption("completed", number, count, &options);
        } else {
          if (state == IPP_JSTATE_PROCESSING)
            papplLog(system, PAPPL_LOGLEVEL_INFO, "Job %d of printer %d was printing: printing it again.", id,
                     printerId);
          if (state == IPP_JSTATE_PROCESSING || !stateText)
            count = cupsAddOption("state", std::to_string(IPP_JSTATE_PENDING).c_str(), count, &options);
          // What it was doing (job-printing, ...) is over.
          if (state != IPP_JSTATE_HELD) count = cupsRemoveOption("state_reasons", count, &options);
          count = cupsRemoveOption("processing", count, &options);
          active.insert(JobKey(printerId, id));
        }
        line = "Job";
        for (int i = 0; i < count; ++i) line += std::string(" ") + options[i].name + "=" + Quote(options[i].value);
        line += "\n";
      }
      cupsFreeOptions(count, options);
    }
    out += line;
  }
  return out;
}

std::map<JobKey, std::vector<std::string>> SpoolFiles(const std::string &spool) {
  std::map<JobKey, std::vector<std::string>> files;
  if (DIR *dir = opendir(spool.c_str())) {
    while (dirent *entry = readdir(dir)) {
      int printer = 0, job = 0;
      if (SpoolName(entry->d_name, printer, job)) files[JobKey(printer, job)].push_back(entry->d_name);
    }
    closedir(dir);
  }
  return files;
}

// Picks the state to load: the current file when it is whole, else the
// one kept before it, else whatever there is.
bool ChooseState(pappl_system_t *system, const std::string &path, std::string &text) {
  std::string current, old;
  const bool haveCurrent = ReadFile(path, current) && !current.empty();
  const bool haveOld = ReadFile(path + ".old", old) && !old.empty();
  if (haveCurrent && EndsWith(current, kTrailer)) {
    text = current;
  } else if (haveOld && EndsWith(old, kTrailer)) {
    papplLog(system, PAPPL_LOGLEVEL_WARN, "The state file '%s' is %s: loading the previous one.", path.c_str(),
             haveCurrent ? "cut short" : "missing or empty");
    text = old;
  } else if (haveCurrent) {
    text = current;  // from a version that wrote no end line
  } else if (haveOld) {
    text = old;
  } else {
    return false;
  }
  return true;
}

// Runs once the main loop runs: from now on changes are saved, and the
// restored jobs start.
bool StartRestoredJobs(pappl_system_t *system, void * /*data*/) {
  TheSaver().Start();
  papplSystemIteratePrinters(
      system, [](pappl_printer_t *printer, void *) { _papplPrinterCheckJobs(printer); }, nullptr);
  TheSaver().Changed(false);  // keeps what the restore decided
  return false;
}

ipp_op_t OperationOf(pappl_client_t *client) { return papplClientGetOperation(client); }

bool ChangesNothing(ipp_op_t op) {
  if (op == IPP_OP_PAPPL_FIND_DEVICES || op == IPP_OP_PAPPL_FIND_DRIVERS) return true;
  switch (op) {
    case IPP_OP_GET_PRINTER_ATTRIBUTES:
    case IPP_OP_GET_PRINTER_SUPPORTED_VALUES:
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_JOB_ATTRIBUTES:
    case IPP_OP_GET_PRINTERS:
    case IPP_OP_CUPS_GET_PRINTERS:
    case IPP_OP_CUPS_GET_DEFAULT:
    case IPP_OP_GET_SYSTEM_ATTRIBUTES:
    case IPP_OP_VALIDATE_JOB:
    case IPP_OP_GET_NOTIFICATIONS:
    case IPP_OP_GET_SUBSCRIPTIONS:
    case IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES:
    case IPP_OP_IDENTIFY_PRINTER:
      return true;
    default:
      return false;
  }
}

// After a request: its change goes to disk before the answer does; when it
// cannot, the answer is an error and a new printer or job is taken back.
void SaveForRequest(pappl_client_t *client, int newPrinterId) {
  const ipp_op_t op = OperationOf(client);
  if (ChangesNothing(op)) return;
  ipp_t *response = papplClientGetResponse(client);
  const bool succeeded = response && ippGetStatusCode(response) < IPP_STATUS_ERROR_BAD_REQUEST;
  // Some changes are not reported (Set-System-Attributes counts its own,
  // a document sent to a created job is not counted at all): whatever
  // succeeded is saved.
  if (succeeded) TheSaver().Force();
  if (!TheSaver().Pending()) return;
  std::string error;
  if (TheSaver().SaveNow(error) || !succeeded) return;
  const int jobId = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
  pappl_system_t *system = papplClientGetSystem(client);
  if (op == IPP_OP_CREATE_PRINTER && newPrinterId < papplSystemGetNextPrinterID(system)) {
    // The answer does not name it: it is the one created last.
    const int id = papplSystemGetNextPrinterID(system) - 1;
    if (pappl_printer_t *printer = papplSystemFindPrinter(system, nullptr, id, nullptr)) papplPrinterDelete(printer);
  } else if ((op == IPP_OP_PRINT_JOB || op == IPP_OP_CREATE_JOB) && jobId > 0) {
    if (pappl_printer_t *printer = papplClientGetPrinter(client))
      if (pappl_job_t *job = papplPrinterFindJob(printer, jobId)) papplJobCancel(job);
  }
  papplClientRespondIPP(client, IPP_STATUS_ERROR_INTERNAL, "The change could not be saved: %s.", error.c_str());
}

using ProcessFn = void (*)(pappl_client_t *);

void Process(ProcessFn next, pappl_client_t *client) {
  const int newPrinterId = papplClientGetOperation(client) == IPP_OP_CREATE_PRINTER
                               ? papplSystemGetNextPrinterID(papplClientGetSystem(client))
                               : 0;
  inRequest = true;
  next(client);
  inRequest = false;
  SaveForRequest(client, newPrinterId);
}

// A web form's change is saved before its page goes out; the page says
// when it could not be.
void SaveForPage(pappl_client_t *client, bool &failed, std::string &error) {
  failed = papplClientGetMethod(client) == HTTP_STATE_POST && TheSaver().Pending() && !TheSaver().SaveNow(error);
}

void ReportOnPage(pappl_client_t *client, const std::string &error) {
  papplClientHTMLPuts(client, "<div class=\"row\"><div class=\"col-12\"><p><b>The change could not be saved: ");
  papplClientHTMLEscape(client, error.c_str(), 0);
  papplClientHTMLPuts(client, ".</b></p></div></div>\n");
}

}  // namespace

namespace quillet_app {

void SetUpState(pappl_system_t *system, const std::string &path, const std::string &spool) {
  TheSaver().Configure(system, path);
  std::string text;
  std::set<JobKey> active;
  const auto files = SpoolFiles(spool);
  if (ChooseState(system, path, text)) {
    text = RestoreJobs(system, text, files, active);
    MemoryFile memory;
    if (memory.ok() && memory.Write(text))
      memory.Use(path, [&] { return papplSystemLoadState(system, path.c_str()); });
    else
      papplSystemLoadState(system, path.c_str());
  }
  // Files of jobs that are not to print any more.
  for (const auto &job : files) {
    if (active.count(job.first)) continue;
    for (const std::string &name : job.second) {
      papplLog(system, PAPPL_LOGLEVEL_INFO, "Removing '%s' of a job that is gone.", name.c_str());
      unlink((spool + "/" + name).c_str());
    }
  }
  papplSystemSetSaveCallback(system, SaveCallback, nullptr);
  papplSystemAddTimerCallback(system, std::time(nullptr), 0, StartRestoredJobs, nullptr);
}

}  // namespace quillet_app

// Every change PAPPL makes to what the state file holds passes here.
extern "C" void _papplSystemConfigChanged(pappl_system_t *system) {
  static const auto next = Next<void (*)(pappl_system_t *)>("_papplSystemConfigChanged");
  next(system);
  TheSaver().Changed(inRequest);
}

extern "C" void _papplSystemProcessIPP(pappl_client_t *client) {
  static const auto next = Next<ProcessFn>("_papplSystemProcessIPP");
  Process(next, client);
}

extern "C" void _papplPrinterProcessIPP(pappl_client_t *client) {
  static const auto next = Next<ProcessFn>("_papplPrinterProcessIPP");
  Process(next, client);
}

extern "C" void _papplJobProcessIPP(pappl_client_t *client) {
  static const auto next = Next<ProcessFn>("_papplJobProcessIPP");
  Process(next, client);
}

extern "C" void papplClientHTMLHeader(pappl_client_t *client, const char *title, int refresh) {
  static const auto next = Next<void (*)(pappl_client_t *, const char *, int)>("papplClientHTMLHeader");
  bool failed = false;
  std::string error;
  SaveForPage(client, failed, error);
  next(client, title, refresh);
  if (failed) ReportOnPage(client, error);
}

extern "C" void papplClientHTMLPrinterHeader(pappl_client_t *client, pappl_printer_t *printer, const char *title,
                                             int refresh, const char *label, const char *pathOrUrl) {
  using Fn = void (*)(pappl_client_t *, pappl_printer_t *, const char *, int, const char *, const char *);
  static const Fn next = Next<Fn>("papplClientHTMLPrinterHeader");
  bool failed = false;
  std::string error;
  SaveForPage(client, failed, error);
  next(client, printer, title, refresh, label, pathOrUrl);
  if (failed) ReportOnPage(client, error);
}

// PAPPL's state goes through memory while this program saves or loads it.
extern "C" cups_file_t *cupsFileOpen(const char *filename, const char *mode) {
  static const auto next = Next<cups_file_t *(*)(const char *, const char *)>("cupsFileOpen");
  if (cups_file_t *file = MemoryFile::Open(filename, mode)) return file;
  return next(filename, mode);
}

// A restored job's attributes file is read into the attributes PAPPL has
// just made for the job (job-id, job-uri, ...), which it then carried
// twice. What the file holds replaces them.
extern "C" ipp_state_t ippReadFile(int fd, ipp_t *ipp) {
  static const auto next = Next<ipp_state_t (*)(int, ipp_t *)>("ippReadFile");
  if (!ipp || !ippFirstAttribute(ipp)) return next(fd, ipp);
  ipp_t *read = ippNew();
  const ipp_state_t state = next(fd, read);
  for (ipp_attribute_t *attr = ippFirstAttribute(read); attr; attr = ippNextAttribute(read)) {
    const char *name = ippGetName(attr);
    if (!name) continue;
    while (ipp_attribute_t *old = ippFindAttribute(ipp, name, IPP_TAG_ZERO)) ippDeleteAttribute(ipp, old);
    ippCopyAttribute(ipp, attr, 0);
  }
  ippDelete(read);
  return state;
}

// A waiting job's attributes file is written again at every save, and
// PAPPL truncates it in place: a crash in between left it cut and the job
// printed with the printer's defaults. It is written beside the old one
// and renamed over it once whole.
namespace {
std::mutex attributeFilesMutex;
std::map<int, std::string> attributeFiles;  // descriptor -> file written
constexpr const char kNewSuffix[] = ".new";
}  // namespace

extern "C" int papplJobOpenFile(pappl_job_t *job, char *fname, size_t fnamesize, const char *directory,
                                const char *ext, const char *mode) {
  using Fn = int (*)(pappl_job_t *, char *, size_t, const char *, const char *, const char *);
  static const Fn next = Next<Fn>("papplJobOpenFile");
  if (!ext || std::strcmp(ext, "ipp") || !mode || std::strcmp(mode, "w"))
    return next(job, fname, fnamesize, directory, ext, mode);
  const int fd = next(job, fname, fnamesize, directory, "ipp.new", mode);
  if (fd >= 0) {
    std::lock_guard<std::mutex> lock(attributeFilesMutex);
    attributeFiles[fd] = fname;
  }
  return fd;
}

extern "C" ipp_state_t ippWriteFile(int fd, ipp_t *ipp) {
  static const auto next = Next<ipp_state_t (*)(int, ipp_t *)>("ippWriteFile");
  const ipp_state_t state = next(fd, ipp);
  std::string written;
  {
    std::lock_guard<std::mutex> lock(attributeFilesMutex);
    auto found = attributeFiles.find(fd);
    if (found == attributeFiles.end()) return state;
    written = found->second;
    attributeFiles.erase(found);
  }
  if (state == IPP_STATE_DATA && EndsWith(written, kNewSuffix))
    std::rename(written.c_str(), written.substr(0, written.size() - (sizeof kNewSuffix - 1)).c_str());
  else
    unlink(written.c_str());
  return state;
}

// PAPPL writes every job's line of the state through cupsAddOption, whose
// names and values go into libcups' shared string pool: one sorted array of
// every string the server holds, where each insertion and removal moves
// half of it. With a full job history a save spent most of its time there
// (5000 jobs from 10 clients took eight times as long). While the state is
// written, those options live in plain memory, in the same order.
extern "C" int cupsAddOption(const char *name, const char *value, int count, cups_option_t **options) {
  using Fn = int (*)(const char *, const char *, int, cups_option_t **);
  static const Fn next = Next<Fn>("cupsAddOption");
  if (!plainOptions) return next(name, value, count, options);
  if (!name || !*name || !value || !options || count < 0) return count;
  int low = 0, high = count - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int order = strcasecmp(name, (*options)[middle].name);
    if (order == 0) {
      char *copy = strdup(value);
      if (!copy) return count;
      std::free((*options)[middle].value);
      (*options)[middle].value = copy;
      return count;
    }
    if (order < 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  // As libcups does, an empty list's pointer is not looked at: PAPPL
  // starts each job's list anew with the last one's freed pointer.
  auto *grown = static_cast<cups_option_t *>(count ? std::realloc(*options, sizeof(cups_option_t) * (count + 1))
                                                   : std::malloc(sizeof(cups_option_t)));
  if (!grown) return count;
  *options = grown;
  char *nameCopy = strdup(name), *valueCopy = strdup(value);
  if (!nameCopy || !valueCopy) {
    std::free(nameCopy);
    std::free(valueCopy);
    return count;
  }
  std::memmove(grown + low + 1, grown + low, sizeof(cups_option_t) * (count - low));
  grown[low].name = nameCopy;
  grown[low].value = valueCopy;
  return count + 1;
}

extern "C" int cupsAddIntegerOption(const char *name, int value, int count, cups_option_t **options) {
  using Fn = int (*)(const char *, int, int, cups_option_t **);
  static const Fn next = Next<Fn>("cupsAddIntegerOption");
  if (!plainOptions) return next(name, value, count, options);
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return cupsAddOption(name, text, count, options);
}

extern "C" void cupsFreeOptions(int count, cups_option_t *options) {
  using Fn = void (*)(int, cups_option_t *);
  static const Fn next = Next<Fn>("cupsFreeOptions");
  if (!plainOptions) return next(count, options);
  for (int i = 0; i < count; ++i) {
    std::free(options[i].name);
    std::free(options[i].value);
  }
  std::free(options);
}
