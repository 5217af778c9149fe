// quillet-printer-app: makes the Quillet printers look like driverless IPP
// printers (IPP Everywhere, AirPrint, Mopria) on top of PAPPL.  The
// sub-commands are PAPPL's (server, add, delete, submit, jobs, status,
// drivers, devices, options, shutdown, ...).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pappl/pappl.h>

#include "access.h"
#include "driver.h"
#include "instance.h"
#include "job_order.h"
#include "limits.h"
#include "listen.h"
#include "page_input.h"
#include "pappl_workarounds.h"
#include "state.h"
#include "strings_data.h"

#ifndef QUILLET_VERSION
#define QUILLET_VERSION "0"
#endif

namespace {

const char *const kName = quillet_app::kProgramName;

// The state file lives for the life of the process: PAPPL keeps the pointer.
std::string StatePath;

bool MakeDirectories(const std::string &path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at == path.size() || path[at] == '/') {
      const std::string part = path.substr(0, at);
      if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

pappl_loglevel_t LogLevel(const char *value) {
  if (!value) return PAPPL_LOGLEVEL_INFO;
  if (!strcasecmp(value, "debug")) return PAPPL_LOGLEVEL_DEBUG;
  if (!strcasecmp(value, "warn")) return PAPPL_LOGLEVEL_WARN;
  if (!strcasecmp(value, "error")) return PAPPL_LOGLEVEL_ERROR;
  if (!strcasecmp(value, "fatal")) return PAPPL_LOGLEVEL_FATAL;
  return PAPPL_LOGLEVEL_INFO;
}

// A state file written while the printers' own options were missing from
// their attributes holds their defaults empty, and PAPPL reads an empty
// value as 0 or false (a label gap of 0 mm, say). Those lines are left
// out, so the model's defaults stand; nothing else is touched.
void DropEmptyOptionDefaults(const std::string &path) {
  FILE *in = std::fopen(path.c_str(), "r");
  if (!in) return;
  std::string kept, line;
  bool dropped = false;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, in)) {
    line += buffer;
    if (line.back() != '\n' && !std::feof(in)) continue;  // a longer line goes on
    const size_t nameEnd = line.find_first_of(" \t\r\n");
    const std::string name = line.substr(0, nameEnd);
    const bool empty = name.size() > 16 && !name.compare(0, 8, "quillet-") &&
                       !name.compare(name.size() - 8, 8, "-default") &&
                       line.find_first_not_of(" \t\r\n", nameEnd) == std::string::npos;
    if (empty) {
      dropped = true;
    } else {
      kept += line;
    }
    line.clear();
  }
  std::fclose(in);
  if (!dropped) return;
  struct stat info {};
  const mode_t mode = stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0600;
  const std::string temp = path + ".new";
  FILE *out = std::fopen(temp.c_str(), "w");
  if (!out) return;
  const bool written = std::fwrite(kept.data(), 1, kept.size(), out) == kept.size();
  if (std::fclose(out) != 0 || !written || chmod(temp.c_str(), mode) != 0 ||
      std::rename(temp.c_str(), path.c_str()) != 0)
    std::remove(temp.c_str());
}

// Creates the system from the -o options of the server sub-command.
pappl_system_t *CreateSystem(int numOptions, cups_option_t *options, void * /*data*/) {
  const char *host = cupsGetOption("listen-hostname", numOptions, options);
  if (!host) host = "localhost";
  const char *portText = cupsGetOption("server-port", numOptions, options);
  const int port = portText ? std::atoi(portText) : 0;
  const char *stateOption = cupsGetOption("state-directory", numOptions, options);
  const std::string stateDir = stateOption ? stateOption : quillet_app::DefaultStateDirectory();
  if (!MakeDirectories(stateDir)) {
    std::fprintf(stderr, "%s: cannot create the state directory %s: %s\n", kName, stateDir.c_str(),
                 std::strerror(errno));
    return nullptr;
  }
  if (!quillet_app::ClaimStateDirectory(stateDir)) return nullptr;
  // PAPPL adds the command socket after this; the service's unit makes the
  // folder, a root server run by hand makes it here.
  const std::string &runtime = quillet_app::RuntimeDirectory();
  if (quillet_app::SystemInstance(getuid()) && mkdir(runtime.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "%s: cannot create %s: %s\n", kName, runtime.c_str(),
                 std::strerror(errno));
    return nullptr;
  }
  const char *spoolOption = cupsGetOption("spool-directory", numOptions, options);
  const std::string spool = spoolOption ? spoolOption : stateDir + "/spool";
  const char *logFile = cupsGetOption("log-file", numOptions, options);
  if (!logFile) logFile = "-";
  quillet_app::SetLogFile(logFile);
  // Anyone who can reach the server from the network must authenticate for
  // administrative pages and operations; local users must be administrators
  // (access.cpp).
  const char *auth = cupsGetOption("auth-service", numOptions, options);
  const bool loopbackOnly = quillet_app::LoopbackOnly(host);
  if (!auth && !loopbackOnly) auth = "login";

  pappl_soptions_t soptions = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE |
                              PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_NETWORK |
                              PAPPL_SOPTIONS_WEB_SECURITY;
  // TLS guards nothing on loopback, and PAPPL then lists an "ipps" security
  // value for a URI it does not offer to loopback clients.
  if (loopbackOnly) soptions |= PAPPL_SOPTIONS_NO_TLS;
  pappl_system_t *system = papplSystemCreate(soptions, "Quillet Printer App", port,
                                             "_print,_universal", spool.c_str(), logFile,
                                             LogLevel(cupsGetOption("log-level", numOptions, options)),
                                             auth, false);
  if (!system) return nullptr;
  quillet_app::LogFrameworkMends(system);
  quillet_app::ApplyLimits(system);
  quillet_app::AddSystemIcons(system);  // drawn before clients can connect
  if (!quillet_app::AddListeners(system, host)) {
    papplSystemDelete(system);
    return nullptr;
  }
  papplSystemSetPrinterDrivers(system, quillet_app::NumDrivers(), quillet_app::Drivers(),
                               quillet_app::AutoAdd, nullptr, quillet_app::DriverCallback, nullptr);
  quillet_app::AddDocumentFormats(system);
  papplSystemSetFooterHTML(system, "Quillet Printer App " QUILLET_VERSION);

  StatePath = stateDir + "/" + kName + ".state";
  DropEmptyOptionDefaults(StatePath);
  DropEmptyOptionDefaults(StatePath + ".old");
  quillet_app::SetUpState(system, StatePath, spool);
  quillet_app::MendColorDefaults(system);
  // After loading: a stored admin group gives way to the option's.
  quillet_app::SetUpAccess(system, cupsGetOption("admin-group", numOptions, options));
  return system;
}

void Usage(void * /*data*/) {
  std::puts("Server options (quillet-printer-app server -o NAME=VALUE ...):");
  std::puts("  listen-hostname=HOST   localhost (default): loopback only; '*': every address;");
  std::puts("                         a host name or address: its addresses and loopback");
  std::puts("  server-port=PORT       IPP/HTTP port (default: chosen by the server)");
  std::puts("  state-directory=DIR    where printers and settings are kept");
  std::puts("  spool-directory=DIR    where job files wait (default DIR/spool)");
  std::puts("  log-file=FILE          log file, '-' for standard error, 'syslog'");
  std::puts("  log-level=LEVEL        debug, info, warn, error or fatal");
  std::puts("  auth-service=SERVICE   PAM service for administration (default 'login'");
  std::puts("                         when listening beyond the loopback interface)");
  std::puts("  admin-group=GROUP      group allowed to administer");
  std::puts("The other sub-commands reach the server started with the same");
  std::puts("-o state-directory=DIR (its command socket) or -o server-port=PORT");
  std::puts("(loopback TCP); without either, the user's own or the system's server.");
}

}  // namespace

int main(int argc, char *argv[]) {
  // Before the main loop: the devices sub-command lists without a server.
  quillet_app::AddSerialScheme();
  quillet_app::NoteCommandLine(argc, argv);
  return papplMainloop(argc, argv, QUILLET_VERSION, nullptr, quillet_app::NumDrivers(),
                       quillet_app::Drivers(), quillet_app::AutoAdd, quillet_app::DriverCallback,
                       nullptr, nullptr, CreateSystem, Usage, nullptr);
}
