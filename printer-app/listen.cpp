// Listening and DNS-SD. PAPPL 1.3.1 listens on the addresses of one name
// only (for "*" with a fixed port only on IPv4: it stops after the first
// family), so a server shared on the network dropped its loopback clients;
// and it announces its printers on every interface whatever it listens on,
// so a loopback-only server was published as host.local:PORT, which
// refuses connections. The program exports the functions below
// (CMakeLists.txt), so PAPPL's calls reach them.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include <avahi-client/publish.h>
#include <pappl/pappl.h>

#include "instance.h"
#include "listen.h"

extern "C" {
bool _papplSystemRegisterDNSSDNoLock(pappl_system_t *system);
bool _papplPrinterRegisterDNSSDNoLock(pappl_printer_t *printer);
void _papplSystemAddPrinter(pappl_system_t *system, pappl_printer_t *printer, int printer_id);
}

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// What DNS-SD announces: PAPPL's every interface until the listeners say.
enum Announce { kEverywhere, kNowhere, kInterfaces };
std::atomic<int> Announcing{kEverywhere};
// kInterfaces: (interface index, Avahi protocol) pairs; set before the
// system runs, read only after.
std::vector<std::pair<int, int>> Interfaces;

bool LoopbackName(const char *host) {
  return !strcasecmp(host, "localhost") || !strncmp(host, "127.", 4) || !strcmp(host, "::1") ||
         !strcmp(host, "[::1]");
}

bool Wildcard(const char *host) { return !*host || !strcmp(host, "*"); }

struct Address {
  sockaddr_storage storage;
  bool loopback;
  std::string text;  // as papplSystemAddListeners takes it
};

// The name's addresses, IPv6 link-local ones left out (PAPPL cannot take
// their zone).
std::vector<Address> Resolve(const char *host) {
  std::string name(host);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *list = nullptr;
  std::vector<Address> out;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0) return out;
  for (addrinfo *entry = list; entry; entry = entry->ai_next) {
    Address address{};
    char text[INET6_ADDRSTRLEN] = "";
    if (entry->ai_family == AF_INET) {
      sockaddr_in in;
      std::memcpy(&in, entry->ai_addr, sizeof in);
      address.loopback = (ntohl(in.sin_addr.s_addr) >> 24) == 127;
      inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
      address.text = text;
    } else if (entry->ai_family == AF_INET6) {
      sockaddr_in6 in6;
      std::memcpy(&in6, entry->ai_addr, sizeof in6);
      if (IN6_IS_ADDR_LINKLOCAL(&in6.sin6_addr)) continue;
      address.loopback = IN6_IS_ADDR_LOOPBACK(&in6.sin6_addr);
      inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
      address.text = std::string("[") + text + "]";
    } else {
      continue;
    }
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    bool seen = false;
    for (const Address &other : out) seen = seen || other.text == address.text;
    if (!seen) out.push_back(address);
  }
  freeaddrinfo(list);
  return out;
}

bool SameAddress(const sockaddr *a, const sockaddr_storage &b) {
  if (a->sa_family != b.ss_family) return false;
  if (a->sa_family == AF_INET) {
    sockaddr_in x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x.sin_addr.s_addr == y.sin_addr.s_addr;
  }
  sockaddr_in6 x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
}

// The interfaces (and protocols) that carry the listened addresses.
void NoteInterfaces(const std::vector<Address> &listened) {
  ifaddrs *list = nullptr;
  if (getifaddrs(&list) != 0) return;
  for (ifaddrs *entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || (entry->ifa_addr->sa_family != AF_INET && entry->ifa_addr->sa_family != AF_INET6))
      continue;
    for (const Address &address : listened) {
      if (!SameAddress(entry->ifa_addr, address.storage)) continue;
      const std::pair<int, int> where(static_cast<int>(if_nametoindex(entry->ifa_name)),
                                      entry->ifa_addr->sa_family == AF_INET ? AVAHI_PROTO_INET : AVAHI_PROTO_INET6);
      bool seen = where.first == 0;
      for (const auto &other : Interfaces) seen = seen || other == where;
      if (!seen) Interfaces.push_back(where);
    }
  }
  freeifaddrs(list);
}

// Calls `add` once for each announced interface when PAPPL asks for all.
template <typename Add>
int OnInterfaces(AvahiIfIndex interface, AvahiProtocol protocol, Add add) {
  if (interface != AVAHI_IF_UNSPEC || Announcing != kInterfaces) return add(interface, protocol);
  int result = 0;
  for (const auto &where : Interfaces) {
    if (protocol != AVAHI_PROTO_UNSPEC && protocol != where.second) continue;
    const int added = add(where.first, where.second);
    if (added < 0 && result == 0) result = added;
  }
  return result;
}

}  // namespace

namespace quillet_app {

bool LoopbackOnly(const char *host) {
  if (LoopbackName(host)) return true;
  if (Wildcard(host)) return false;
  const std::vector<Address> addresses = Resolve(host);
  for (const Address &address : addresses)
    if (!address.loopback) return false;
  return !addresses.empty();
}

bool AddListeners(pappl_system_t *system, const char *host) {
  if (Wildcard(host)) {
    Announcing = kEverywhere;
    if (!papplSystemAddListeners(system, "0.0.0.0")) {
      std::fprintf(stderr, "%s: cannot listen on the port\n", quillet_app::kProgramName);
      return false;
    }
    papplSystemAddListeners(system, "[::]");  // none where IPv6 is off
    return true;
  }
  // Loopback first: with no fixed port PAPPL picks the first that is free
  // there.
  if (!papplSystemAddListeners(system, "127.0.0.1")) {
    std::fprintf(stderr, "%s: cannot listen on 127.0.0.1\n", quillet_app::kProgramName);
    return false;
  }
  papplSystemAddListeners(system, "[::1]");
  const std::vector<Address> addresses = LoopbackName(host) ? std::vector<Address>() : Resolve(host);
  std::vector<Address> listened;
  for (const Address &address : addresses) {
    // A name may stand for another loopback address (Debian gives the
    // host's own name 127.0.1.1).
    if (address.loopback && (address.text == "127.0.0.1" || address.text == "[::1]")) continue;
    if (papplSystemAddListeners(system, address.text.c_str()) && !address.loopback) listened.push_back(address);
  }
  if (LoopbackOnly(host)) {
    Announcing = kNowhere;
    return true;
  }
  if (listened.empty()) {
    std::fprintf(stderr, "%s: cannot listen on %s\n", quillet_app::kProgramName, host);
    return false;
  }
  NoteInterfaces(listened);
  Announcing = Interfaces.empty() ? kNowhere : kInterfaces;
  return true;
}

}  // namespace quillet_app

// No DNS-SD at all while only loopback listens: Avahi publishes on the
// network interfaces, never on loopback.
extern "C" bool _papplSystemRegisterDNSSDNoLock(pappl_system_t *system) {
  using Fn = bool (*)(pappl_system_t *);
  static const Fn next = Next<Fn>("_papplSystemRegisterDNSSDNoLock");
  return Announcing != kNowhere && next(system);
}

extern "C" bool _papplPrinterRegisterDNSSDNoLock(pappl_printer_t *printer) {
  using Fn = bool (*)(pappl_printer_t *);
  static const Fn next = Next<Fn>("_papplPrinterRegisterDNSSDNoLock");
  return Announcing != kNowhere && next(printer);
}

// A printer added while the server runs was announced only after a
// restart (or a change of its location).
extern "C" void _papplSystemAddPrinter(pappl_system_t *system, pappl_printer_t *printer, int printer_id) {
  using Fn = void (*)(pappl_system_t *, pappl_printer_t *, int);
  static const Fn next = Next<Fn>("_papplSystemAddPrinter");
  next(system, printer, printer_id);
  if (papplSystemIsRunning(system)) _papplPrinterRegisterDNSSDNoLock(printer);
}

// PAPPL registers every service on all interfaces; a server listening on
// some addresses is announced on the interfaces that carry them.
extern "C" int avahi_entry_group_add_service_strlst(AvahiEntryGroup *group, AvahiIfIndex interface,
                                                    AvahiProtocol protocol, AvahiPublishFlags flags,
                                                    const char *name, const char *type, const char *domain,
                                                    const char *host, uint16_t port, AvahiStringList *txt) {
  using Fn = int (*)(AvahiEntryGroup *, AvahiIfIndex, AvahiProtocol, AvahiPublishFlags, const char *,
                     const char *, const char *, const char *, uint16_t, AvahiStringList *);
  static const Fn next = Next<Fn>("avahi_entry_group_add_service_strlst");
  return OnInterfaces(interface, protocol, [&](AvahiIfIndex i, AvahiProtocol p) {
    return next(group, i, p, flags, name, type, domain, host, port, txt);
  });
}

extern "C" int avahi_entry_group_add_service_subtype(AvahiEntryGroup *group, AvahiIfIndex interface,
                                                     AvahiProtocol protocol, AvahiPublishFlags flags,
                                                     const char *name, const char *type, const char *domain,
                                                     const char *subtype) {
  using Fn = int (*)(AvahiEntryGroup *, AvahiIfIndex, AvahiProtocol, AvahiPublishFlags, const char *,
                     const char *, const char *, const char *);
  static const Fn next = Next<Fn>("avahi_entry_group_add_service_subtype");
  return OnInterfaces(interface, protocol, [&](AvahiIfIndex i, AvahiProtocol p) {
    return next(group, i, p, flags, name, type, domain, subtype);
  });
}

extern "C" int avahi_entry_group_add_record(AvahiEntryGroup *group, AvahiIfIndex interface, AvahiProtocol protocol,
                                            AvahiPublishFlags flags, const char *name, uint16_t clazz,
                                            uint16_t type, uint32_t ttl, const void *rdata, size_t size) {
  using Fn = int (*)(AvahiEntryGroup *, AvahiIfIndex, AvahiProtocol, AvahiPublishFlags, const char *, uint16_t,
                     uint16_t, uint32_t, const void *, size_t);
  static const Fn next = Next<Fn>("avahi_entry_group_add_record");
  return OnInterfaces(interface, protocol, [&](AvahiIfIndex i, AvahiProtocol p) {
    return next(group, i, p, flags, name, clazz, type, ttl, rdata, size);
  });
}
