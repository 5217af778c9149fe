// One server per state folder, and the sub-commands find the one they mean.
// PAPPL 1.3.1 gives every root server the same command socket, whatever its
// port or state: a second server took it over and the first one's
// sub-commands reached the wrong server or none. A state folder other than
// the default one now has a socket of its own (its name carries a hash of
// the folder), a server refuses a folder another live server has, and the
// sub-commands take -o state-directory=DIR (that server's socket) or
// -o server-port=PORT (that server over loopback TCP).
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <string>

#include <pappl/pappl.h>

#include "instance.h"

// PAPPL's own, exported by the library but not declared in its headers
// (cups_len_t is int with libcups 2.4).
extern "C" {
char *_papplMainloopGetServerPath(const char *base_name, uid_t uid, char *buffer, size_t bufsize);
http_t *_papplMainloopConnect(const char *base_name, bool auto_start);
int _papplMainloopShowDrivers(const char *base_name, int num_drivers, pappl_pr_driver_t *drivers,
                              pappl_pr_autoadd_cb_t autoadd_cb, pappl_pr_driver_cb_t driver_cb, int num_options,
                              cups_option_t *options, pappl_ml_system_cb_t system_cb, void *data);
void _papplLocPrintf(FILE *fp, const char *message, ...);
}

namespace quillet_app {

const char *const kProgramName = "quillet-printer-app";

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// From the command line: the server a sub-command means, or the server's own.
std::string StateOption;
int PortOption = 0;

const time_t Started = std::time(nullptr);

// The service runs as a user of its own (the package creates it); -1
// where there is none.
uid_t ServiceUid() {
  static const uid_t uid = [] {
    const struct passwd *user = getpwnam(kProgramName);
    return user ? user->pw_uid : static_cast<uid_t>(-1);
  }();
  return uid;
}

std::string Canonical(const std::string &path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) return resolved;
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

// "" for the default state folder, whose socket keeps its known name;
// "-HASH" for any other.
std::string SocketSuffix() {
  if (StateOption.empty()) return "";
  const std::string dir = Canonical(StateOption);
  if (dir == Canonical(DefaultStateDirectory())) return "";
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : dir) hash = (hash ^ c) * 1099511628211ull;
  char text[24];
  std::snprintf(text, sizeof text, "-%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool SocketAnswers(const char *path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) return false;
  std::strcpy(address.sun_path, path);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

}  // namespace

bool SystemInstance(uid_t uid) {
  return !std::getenv("SNAP_COMMON") && (uid == 0 || uid == ServiceUid());
}

const std::string &RuntimeDirectory() {
  static const std::string dir = std::string("/run/") + kProgramName;
  return dir;
}

std::string DefaultStateDirectory() {
  if (SystemInstance(getuid())) return std::string("/var/lib/") + kProgramName;
  if (const char *config = std::getenv("XDG_CONFIG_HOME")) return std::string(config) + "/" + kProgramName;
  if (const char *home = std::getenv("HOME")) return std::string(home) + "/.config/" + kProgramName;
  return std::string(papplGetTempDir()) + "/" + kProgramName;
}

void NoteCommandLine(int argc, char *argv[]) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "-o") != 0) continue;
    cups_option_t *options = nullptr;
    const int count = cupsParseOptions(argv[++i], 0, &options);
    if (const char *dir = cupsGetOption("state-directory", count, options)) StateOption = dir;
    if (const char *port = cupsGetOption("server-port", count, options)) PortOption = std::atoi(port);
    cupsFreeOptions(count, options);
  }
}

bool ClaimStateDirectory(const std::string &dir) {
  // Held open (and locked) until the process ends, also by kill -9.
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      std::fprintf(stderr, "%s: another server is running with the state folder %s\n", kProgramName,
                   dir.c_str());
    else
      std::fprintf(stderr, "%s: cannot lock the state folder %s: %s\n", kProgramName, dir.c_str(),
                   std::strerror(errno));
    if (fd >= 0) close(fd);
    return false;
  }
  char path[1024];
  _papplMainloopGetServerPath(kProgramName, getuid(), path, sizeof path);
  if (SocketAnswers(path)) {
    std::fprintf(stderr, "%s: another server is listening on %s\n", kProgramName, path);
    close(fd);
    return false;
  }
  return true;
}

}  // namespace quillet_app

using quillet_app::Next;
using quillet_app::PortOption;
using quillet_app::StateOption;

// PAPPL's command socket is /run/NAME.sock for root and a per-uid file in
// the temporary folder otherwise, so a server run as the service user and
// root's sub-commands would miss each other. The system's server (run by
// root or the service user) listens in its runtime folder instead, and
// that is where root, the service user and, after their own socket, other
// users' sub-commands look. A state folder other than the default one adds
// its hash to the name.
extern "C" char *_papplMainloopGetServerPath(const char *base_name, uid_t uid, char *buffer,
                                             size_t bufsize) {
  const std::string suffix = quillet_app::SocketSuffix();
  if (quillet_app::SystemInstance(uid))
    std::snprintf(buffer, bufsize, "%s/%s%s.sock", quillet_app::RuntimeDirectory().c_str(), base_name,
                  suffix.c_str());
  else if (uid)
    std::snprintf(buffer, bufsize, "%s/%s%d%s.sock", papplGetTempDir(), base_name, static_cast<int>(uid),
                  suffix.c_str());
  else  // root with SNAP_COMMON set
    std::snprintf(buffer, bufsize, "%s/%s%s.sock", std::getenv("SNAP_COMMON"), base_name, suffix.c_str());
  return buffer;
}

// A sub-command that names its server reaches that one or none: PAPPL
// would start a server of its own with the default state (and leave it
// running) when it found none.
extern "C" http_t *_papplMainloopConnect(const char *base_name, bool auto_start) {
  using Fn = http_t *(*)(const char *, bool);
  static const Fn next = Next<Fn>("_papplMainloopConnect");
  if (StateOption.empty() && !PortOption) return next(base_name, auto_start);
  http_t *http = nullptr;
  if (!StateOption.empty()) {
    char path[1024];
    http = httpConnect2(_papplMainloopGetServerPath(base_name, getuid(), path, sizeof path), 0, nullptr,
                        AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr);
    if (!http && getuid())  // the system's server with that folder
      http = httpConnect2(_papplMainloopGetServerPath(base_name, 0, path, sizeof path), 0, nullptr, AF_UNSPEC,
                          HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr);
  } else {
    http = httpConnect2("localhost", PortOption, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000,
                        nullptr);
  }
  // `status` says so itself; the others would end without a word.
  if (!http && auto_start) _papplLocPrintf(stderr, "%s: Server is not running.", base_name);
  return http;
}

// PAPPL lists the drivers by creating a whole system: it listened on a
// port, loaded the state and logged to standard error. The list needs
// none of that.
extern "C" int _papplMainloopShowDrivers(const char * /*base_name*/, int num_drivers, pappl_pr_driver_t *drivers,
                                         pappl_pr_autoadd_cb_t autoadd_cb, pappl_pr_driver_cb_t /*driver_cb*/,
                                         int num_options, cups_option_t *options,
                                         pappl_ml_system_cb_t /*system_cb*/, void *data) {
  const char *only = nullptr;
  if (const char *deviceId = cupsGetOption("device-id", num_options, options)) {
    if (!autoadd_cb || !(only = autoadd_cb(nullptr, nullptr, deviceId, data))) return 0;
  }
  for (int i = 0; i < num_drivers; ++i) {
    if (only && std::strcmp(only, drivers[i].name) != 0) continue;
    std::printf("%s \"%s\" \"%s\"\n", drivers[i].name, drivers[i].description,
                drivers[i].device_id ? drivers[i].device_id : "");
  }
  return 0;
}

// The system's state changes with its printers' states; with no printer
// PAPPL reported it changed in 1970 (and `status` said "idle since 1970").
// It has been idle since the server started.
extern "C" ipp_attribute_t *ippAddDate(ipp_t *ipp, ipp_tag_t group, const char *name, const ipp_uchar_t *value) {
  using Fn = ipp_attribute_t *(*)(ipp_t *, ipp_tag_t, const char *, const ipp_uchar_t *);
  static const Fn next = Next<Fn>("ippAddDate");
  if (group == IPP_TAG_SYSTEM && value && name && !std::strcmp(name, "system-state-change-date-time") &&
      ippDateToTime(value) <= 0)
    value = ippTimeToDate(quillet_app::Started);
  return next(ipp, group, name, value);
}

// The same as seconds since the start: it was negative.
extern "C" ipp_attribute_t *ippAddInteger(ipp_t *ipp, ipp_tag_t group, ipp_tag_t valueTag, const char *name,
                                          int value) {
  using Fn = ipp_attribute_t *(*)(ipp_t *, ipp_tag_t, ipp_tag_t, const char *, int);
  static const Fn next = Next<Fn>("ippAddInteger");
  if (value < 0 && group == IPP_TAG_SYSTEM && name && !std::strcmp(name, "system-state-change-time")) value = 0;
  return next(ipp, group, valueTag, name, value);
}
