// Access control of the server. PAPPL 1.3.1 lets every client of the
// command socket and of loopback administer when no authentication service
// is set, so any local user could add, change, pause or delete printers;
// its file: device wrote wherever the server may write; and it took any
// Host header that starts with a digit or ends in .local, which lets a web
// page in a local browser reach the server under a name that rebinds to
// 127.0.0.1. The program exports the functions below (CMakeLists.txt), so
// PAPPL's calls reach them; each changes only those cases.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <grp.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include <pappl/pappl.h>

#include "access.h"

// PAPPL's own, exported by the library but not declared in its headers.
extern "C" {
http_status_t _papplClientIsAuthorizedForGroup(pappl_client_t *client, bool allowRemote, const char *group,
                                               gid_t groupId);
void _papplDeviceAddFileScheme(void);
void _papplPrinterWebHome(pappl_client_t *client, pappl_printer_t *printer);
}

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

std::atomic<pappl_system_t *> TheSystem{nullptr};

// Who is at the other end of a client connection.
struct Peer {
  enum Kind { kRemote, kCommandSocket, kLoopback } kind = kRemote;
  bool known = false;  // uid (and on the command socket gid) found
  uid_t uid = 0;
  gid_t gid = static_cast<gid_t>(-1);
};

// An address and port as /proc/net/tcp and tcp6 list them.
struct Endpoint {
  unsigned char v6[16];
  unsigned char v4[4];
  bool hasV4 = false;
  unsigned port = 0;
};

bool ToEndpoint(const sockaddr_storage &storage, Endpoint *end) {
  if (storage.ss_family == AF_INET) {
    sockaddr_in in;
    std::memcpy(&in, &storage, sizeof in);
    std::memcpy(end->v4, &in.sin_addr, 4);
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    std::memcpy(end->v6, kMapped, 12);
    std::memcpy(end->v6 + 12, end->v4, 4);
    end->hasV4 = true;
    end->port = ntohs(in.sin_port);
    return true;
  }
  if (storage.ss_family == AF_INET6) {
    sockaddr_in6 in6;
    std::memcpy(&in6, &storage, sizeof in6);
    std::memcpy(end->v6, &in6.sin6_addr, 16);
    end->hasV4 = IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr);
    std::memcpy(end->v4, end->v6 + 12, 4);
    end->port = ntohs(in6.sin6_port);
    return true;
  }
  return false;
}

// The kernel prints an address as 32-bit words in the machine's order.
bool DecodeAddress(const char *hex, size_t width, unsigned char *out) {
  if (std::strlen(hex) != 2 * width) return false;
  for (size_t word = 0; word < width / 4; ++word) {
    char part[9];
    std::memcpy(part, hex + 8 * word, 8);
    part[8] = '\0';
    const uint32_t value = static_cast<uint32_t>(std::strtoul(part, nullptr, 16));
    std::memcpy(out + 4 * word, &value, 4);
  }
  return true;
}

// Looks for the client's socket (local end `client`, remote end `server`)
// in one table; records its owner in `uid`. Sockets no process holds any
// more (inode 0: time-wait entries list uid 0 whoever made them) do not
// count. Returns false when two entries disagree.
bool FindOwner(const char *table, size_t width, const unsigned char *client, unsigned clientPort,
               const unsigned char *server, unsigned serverPort, bool *found, uid_t *uid) {
  FILE *file = std::fopen(table, "r");
  if (!file) return true;
  bool consistent = true;
  char line[512];
  while (std::fgets(line, sizeof line, file)) {
    char local[33], remote[33];
    unsigned localPort = 0, remotePort = 0, state = 0, owner = 0;
    unsigned long inode = 0;
    if (std::sscanf(line, " %*u: %32[0-9A-Fa-f]:%x %32[0-9A-Fa-f]:%x %x %*x:%*x %*x:%*x %*x %u %*d %lu", local,
                    &localPort, remote, &remotePort, &state, &owner, &inode) != 7)
      continue;
    unsigned char localAddr[16], remoteAddr[16];
    if (localPort != clientPort || remotePort != serverPort || inode == 0 ||
        !DecodeAddress(local, width, localAddr) || !DecodeAddress(remote, width, remoteAddr) ||
        std::memcmp(localAddr, client, width) != 0 || std::memcmp(remoteAddr, server, width) != 0)
      continue;
    if (*found && *uid != owner) consistent = false;
    *found = true;
    *uid = owner;
  }
  std::fclose(file);
  return consistent;
}

// The owner of the loopback TCP socket at the other end of `fd`.
bool LoopbackOwner(int fd, uid_t *uid) {
  sockaddr_storage self{}, other{};
  socklen_t selfLen = sizeof self, otherLen = sizeof other;
  if (getsockname(fd, reinterpret_cast<sockaddr *>(&self), &selfLen) != 0 ||
      getpeername(fd, reinterpret_cast<sockaddr *>(&other), &otherLen) != 0)
    return false;
  Endpoint server, client;
  if (!ToEndpoint(self, &server) || !ToEndpoint(other, &client)) return false;
  bool found = false;
  // An IPv4 connection's client socket is in tcp, or in tcp6 with mapped
  // addresses when it was made as an IPv6 socket.
  if (server.hasV4 && client.hasV4 &&
      !FindOwner("/proc/net/tcp", 4, client.v4, client.port, server.v4, server.port, &found, uid))
    return false;
  if (!FindOwner("/proc/net/tcp6", 16, client.v6, client.port, server.v6, server.port, &found, uid))
    return false;
  return found;
}

Peer Identify(pappl_client_t *client) {
  Peer peer;
  http_t *http = papplClientGetHTTP(client);
  http_addr_t *address = http ? httpGetAddress(http) : nullptr;
  const int fd = http ? httpGetFd(http) : -1;
  // PAPPL counts a missing address as local, so that stays local (and
  // unknown).
  if (address && httpAddrFamily(address) == AF_LOCAL) {
    peer.kind = Peer::kCommandSocket;
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0) {
      peer.known = true;
      peer.uid = credentials.uid;
      peer.gid = credentials.gid;
    }
    return peer;
  }
  if (address && !httpAddrLocalhost(address)) return peer;
  peer.kind = Peer::kLoopback;
  peer.known = fd >= 0 && LoopbackOwner(fd, &peer.uid);
  return peer;
}

gid_t AdminGroupId(pappl_system_t *system) {
  char name[256];
  if (!system || !papplSystemGetAdminGroup(system, name, sizeof name) || !name[0]) return static_cast<gid_t>(-1);
  group entry{}, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return static_cast<gid_t>(-1);
  return found->gr_gid;
}

// Root, the server's own user and the members of the admin group.
bool IsAdministrator(pappl_system_t *system, const Peer &peer) {
  if (!peer.known) return false;
  if (peer.uid == 0 || peer.uid == geteuid()) return true;
  const gid_t admin = AdminGroupId(system);
  if (admin == static_cast<gid_t>(-1)) return false;
  if (peer.gid == admin) return true;
  passwd entry{}, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(peer.uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
  if (found->pw_gid == admin) return true;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  while (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
    if (static_cast<size_t>(count) <= groups.size()) return false;
    groups.resize(static_cast<size_t>(count));
  }
  for (int i = 0; i < count; ++i)
    if (groups[static_cast<size_t>(i)] == admin) return true;
  return false;
}

bool AuthServiceSet(pappl_system_t *system) {
  const char *service = system ? papplSystemGetAuthService(system) : nullptr;
  return service && *service;
}

// Whether a local client may go on to administer: an administrator, or on
// loopback TCP anyone when an authentication service asks for a login.
bool LocalMayAdminister(pappl_client_t *client, const Peer &peer) {
  pappl_system_t *system = papplClientGetSystem(client);
  if (peer.kind == Peer::kLoopback && AuthServiceSet(system)) return true;
  if (IsAdministrator(system, peer)) return true;
  if (peer.known)
    papplLogClient(client, PAPPL_LOGLEVEL_ERROR, "Administration refused to uid %u: not an administrator.",
                   static_cast<unsigned>(peer.uid));
  else
    papplLogClient(client, PAPPL_LOGLEVEL_ERROR, "Administration refused: the client's user is unknown.");
  return false;
}

// ---------------------------------------------------------------- Host

bool PortText(const std::string &text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  return std::atoi(text.c_str()) <= 65535;
}

bool LocalAddress4(const in_addr &address) {
  if ((ntohl(address.s_addr) >> 24) == 127) return true;
  ifaddrs *list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs *entry = list; entry && !found; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
    sockaddr_in in;
    std::memcpy(&in, entry->ifa_addr, sizeof in);
    found = in.sin_addr.s_addr == address.s_addr;
  }
  freeifaddrs(list);
  return found;
}

bool LocalAddress6(const in6_addr &address) {
  if (IN6_IS_ADDR_LOOPBACK(&address)) return true;
  if (IN6_IS_ADDR_V4MAPPED(&address)) {
    in_addr v4;
    std::memcpy(&v4, address.s6_addr + 12, 4);
    return LocalAddress4(v4);
  }
  ifaddrs *list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs *entry = list; entry && !found; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET6) continue;
    sockaddr_in6 in6;
    std::memcpy(&in6, entry->ifa_addr, sizeof in6);
    found = std::memcmp(&in6.sin6_addr, &address, sizeof address) == 0;
  }
  freeifaddrs(list);
  return found;
}

// A Host header naming this server: its host name, localhost, or an
// address of this machine, each with an optional port.
bool OwnHost(const char *field, pappl_system_t *system) {
  std::string host(field);
  if (host[0] == '[') {
    const size_t close = host.find(']');
    if (close == std::string::npos) return false;
    const std::string rest = host.substr(close + 1);
    if (!rest.empty() && (rest[0] != ':' || !PortText(rest.substr(1)))) return false;
    std::string literal = host.substr(1, close - 1);
    const size_t zone = literal.find('%');
    if (zone != std::string::npos) literal.resize(zone);
    in6_addr address;
    return inet_pton(AF_INET6, literal.c_str(), &address) == 1 && LocalAddress6(address);
  }
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos) {
    if (!PortText(host.substr(colon + 1))) return false;
    host.resize(colon);
  }
  if (host.empty() || host.find(':') != std::string::npos) return false;
  in_addr address;
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return LocalAddress4(address);
  if (host.back() == '.') host.pop_back();
  if (!strcasecmp(host.c_str(), "localhost")) return true;
  char name[256];
  return papplSystemGetHostName(system, name, sizeof name) && !strcasecmp(host.c_str(), name);
}

// True for code of libpappl (its Host check), not of libcups or the program.
bool CalledFromPappl(const void *address) {
  static const void *const base = [] {
    Dl_info info{};
    void *symbol = dlsym(RTLD_DEFAULT, "papplSystemCreate");
    return symbol && dladdr(symbol, &info) ? info.dli_fbase : nullptr;
  }();
  Dl_info info{};
  return base && dladdr(address, &info) && info.dli_fbase == base;
}

}  // namespace

namespace quillet_app {

void SetUpAccess(pappl_system_t *system, const char *adminGroup) {
  char name[256];
  if (adminGroup) {
    papplSystemSetAdminGroup(system, adminGroup);
  } else if (!papplSystemGetAdminGroup(system, name, sizeof name) || !name[0]) {
    // As CUPS does: lpadmin administers where that group exists.
    group entry{}, *found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrnam_r("lpadmin", &entry, buffer.data(), buffer.size(), &found) == 0 && found)
      papplSystemSetAdminGroup(system, "lpadmin");
  }
  TheSystem = system;
}

}  // namespace quillet_app

// PAPPL's authorisation check. Administration (allowRemote false, and
// Disable-/Enable-Printer, which PAPPL checks as printing) from the command
// socket or loopback needs an administrator, told by the peer's
// credentials; on loopback TCP with an authentication service PAPPL's login
// decides as before. Local printing is open; remote clients are left to
// PAPPL.
extern "C" http_status_t _papplClientIsAuthorizedForGroup(pappl_client_t *client, bool allowRemote,
                                                          const char *group, gid_t groupId) {
  using Fn = http_status_t (*)(pappl_client_t *, bool, const char *, gid_t);
  static const Fn next = Next<Fn>("_papplClientIsAuthorizedForGroup");
  if (!client) return next(client, allowRemote, group, groupId);
  if (allowRemote) {
    const ipp_op_t op = papplClientGetOperation(client);
    if (op != IPP_OP_DISABLE_PRINTER && op != IPP_OP_ENABLE_PRINTER) {
      // Local clients print without a login, as on a loopback-only server,
      // also once a login guards the network: ipp://localhost queues keep
      // printing when the server is shared.
      http_addr_t *address = httpGetAddress(papplClientGetHTTP(client));
      if (address && (httpAddrFamily(address) == AF_LOCAL || httpAddrLocalhost(address)))
        return HTTP_STATUS_CONTINUE;
      return next(client, allowRemote, group, groupId);
    }
  }
  const Peer peer = Identify(client);
  if (peer.kind == Peer::kRemote ||
      (peer.kind == Peer::kLoopback && AuthServiceSet(papplClientGetSystem(client))))
    return next(client, allowRemote, group, groupId);
  return LocalMayAdminister(client, peer) ? HTTP_STATUS_CONTINUE : HTTP_STATUS_FORBIDDEN;
}

// The web interface's guard. Without an authentication service or a
// password PAPPL lets every client through; local ones now need to be
// administrators.
extern "C" bool papplClientHTMLAuthorize(pappl_client_t *client) {
  using Fn = bool (*)(pappl_client_t *);
  static const Fn next = Next<Fn>("papplClientHTMLAuthorize");
  if (client) {
    const Peer peer = Identify(client);
    if (peer.kind != Peer::kRemote && !LocalMayAdminister(client, peer)) {
      papplClientRespond(client, HTTP_STATUS_FORBIDDEN, nullptr, nullptr, 0, 0);
      return false;
    }
    // With neither a login service nor a web password PAPPL lets every
    // remote visitor administer; nothing then tells who they are.
    char password[256] = "";
    pappl_system_t *system = papplClientGetSystem(client);
    if (peer.kind == Peer::kRemote && !papplSystemGetAuthService(system) &&
        !*papplSystemGetPassword(system, password, sizeof password)) {
      papplClientRespond(client, HTTP_STATUS_FORBIDDEN, nullptr, nullptr, 0, 0);
      return false;
    }
  }
  return next(client);
}

// A printer's home page takes forms that pause, resume, hold and release
// the printer and make it the default, with no guard at all in PAPPL 1.3.1;
// posting them must pass the web interface's guard, as every other
// administrative form does.
extern "C" void _papplPrinterWebHome(pappl_client_t *client, pappl_printer_t *printer) {
  using Fn = void (*)(pappl_client_t *, pappl_printer_t *);
  static const Fn next = Next<Fn>("_papplPrinterWebHome");
  if (client && papplClientGetMethod(client) == HTTP_STATE_POST && !papplClientHTMLAuthorize(client))
    return;
  next(client, printer);
}

// No file: device: it wrote jobs to any path the server may write, as the
// server's user. A printer stored with such a URI cannot open its device.
extern "C" void _papplDeviceAddFileScheme(void) {}

// PAPPL accepts a file: URI for a new printer whenever the path is writable;
// it is refused like any other unknown scheme.
extern "C" bool papplDeviceIsSupported(const char *uri) {
  using Fn = bool (*)(const char *);
  static const Fn next = Next<Fn>("papplDeviceIsSupported");
  if (uri && !strncasecmp(uri, "file:", 5)) return false;
  return next(uri);
}

// PAPPL reads the Host header three times before it answers a request; a
// Host that does not name this server reads as empty there, which PAPPL
// answers with 400 Bad Request (web pages and IPP alike). Command socket
// clients are not checked: no browser reaches them.
extern "C" const char *httpGetField(http_t *http, http_field_t field) {
  using Fn = const char *(*)(http_t *, http_field_t);
  static const Fn next = Next<Fn>("httpGetField");
  const char *value = next(http, field);
  if (field != HTTP_FIELD_HOST || !value || !*value) return value;
  pappl_system_t *system = TheSystem.load();
  if (!system || !CalledFromPappl(__builtin_return_address(0))) return value;
  sockaddr_storage self{};
  socklen_t length = sizeof self;
  if (getsockname(httpGetFd(http), reinterpret_cast<sockaddr *>(&self), &length) != 0 ||
      self.ss_family == AF_UNIX || OwnHost(value, system))
    return value;
  // Logged once per connection and value, not at each of the three reads.
  thread_local const http_t *loggedHttp = nullptr;
  thread_local std::string loggedValue;
  if (loggedHttp != http || loggedValue != value) {
    loggedHttp = http;
    loggedValue = value;
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Refused Host: header '%s': not a name or address of this server.",
             value);
  }
  return "";
}
