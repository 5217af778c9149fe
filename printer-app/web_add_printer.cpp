// The web interface's Add Printer page takes a network printer on any
// port ("host:port", "[v6 address]:port"). PAPPL 1.3.1's form pattern lets
// the browser send only a bare host name or address (port 9100), and its
// own parsing splits a bare IPv6 address at its last colon; so the page
// gets a pattern that allows a port, and the form's host becomes the
// complete socket:// device URI before PAPPL reads it.
#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pappl/pappl.h>

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// How PAPPL's own host pattern begins (system-webif.c).
const char kPapplHostPattern[] = "(^\\s*((?=.{1,255}$)[0-9A-Za-z]";

// A host name or IPv4 address, or an IPv6 address in brackets, each with
// an optional port; or a bare IPv6 address. Valid with the u and v flags.
const char kHostPattern[] =
    "\\s*(\\[[0-9A-Fa-f:.]+(%[0-9A-Za-z]+)?\\]|[0-9A-Za-z]([0-9A-Za-z.\\-]{0,253}[0-9A-Za-z.])?)"
    "(:[0-9]{1,5})?\\s*|\\s*[0-9A-Fa-f.]*:[0-9A-Fa-f.]*:[0-9A-Fa-f:.]*(%[0-9A-Za-z]+)?\\s*";

std::string Trim(const char *s) {
  std::string t = s;
  t.erase(0, t.find_first_not_of(" \t"));
  t.erase(t.find_last_not_of(" \t") + 1);
  return t;
}

// "socket://HOST:PORT/" for what the user typed, or "" where PAPPL's own
// checks are to answer (a bad port, a host that does not resolve).
std::string SocketUri(const char *typed) {
  std::string text = Trim(typed), host = text;
  long port = 9100;
  size_t colon = text.rfind(':');
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) return "";
    host = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return "";
      colon = close + 1;
    } else {
      colon = std::string::npos;
    }
  } else if (colon != std::string::npos && text.find(':') != colon) {
    colon = std::string::npos;  // a bare IPv6 address
  } else if (colon != std::string::npos) {
    host = text.substr(0, colon);
  }
  if (colon != std::string::npos) {
    char *end = nullptr;
    errno = 0;
    port = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (errno || *end || end == text.c_str() + colon + 1 || port < 1 || port > 65535) return "";
  }
  if (host.empty()) return "";
  http_addrlist_t *list = httpAddrGetList(host.c_str(), AF_UNSPEC, "9100");
  if (!list) return "";
  httpAddrFreeList(list);
  char uri[1024];
  if (httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "socket", nullptr, host.c_str(), static_cast<int>(port),
                      "/") < HTTP_URI_STATUS_OK)
    return "";
  return uri;
}

}  // namespace

extern "C" int papplClientGetForm(pappl_client_t *client, cups_option_t **form) {
  static const auto real = Next<int (*)(pappl_client_t *, cups_option_t **)>("papplClientGetForm");
  int count = real(client, form);
  const char *uri = papplClientGetURI(client);
  if (count <= 0 || !uri || std::strcmp(uri, "/addprinter") != 0) return count;
  const char *device = cupsGetOption("device_uri", count, *form);
  const char *host = cupsGetOption("hostname", count, *form);
  if (!device || std::strcmp(device, "socket") != 0 || !host) return count;
  const std::string socket = SocketUri(host);
  // Anything else stays for PAPPL to refuse with its own message.
  if (!socket.empty()) {
    count = cupsAddOption("device_uri", socket.c_str(), count, form);
    count = cupsRemoveOption("hostname", count, form);
  }
  return count;
}

extern "C" void papplClientHTMLEscape(pappl_client_t *client, const char *s, size_t slen) {
  static const auto real = Next<void (*)(pappl_client_t *, const char *, size_t)>("papplClientHTMLEscape");
  if (s && slen > sizeof kPapplHostPattern && std::strncmp(s, kPapplHostPattern, sizeof kPapplHostPattern - 1) == 0)
    real(client, kHostPattern, std::strlen(kHostPattern));
  else
    real(client, s, slen);
}
