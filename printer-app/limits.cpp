// Limits that keep one client from crashing or starving the server. PAPPL
// 1.3.1 gives every connection a thread and waits for a client's bytes
// without end, libcups 2.4 reads an IPP request recursively (one stack
// frame a collection level) and the image filters decode whatever size an
// image header declares. The program exports the functions below
// (CMakeLists.txt), so PAPPL's calls reach them first:
//
// - the attribute part of an IPP request is read here, framed and limited
//   (collection depth, bytes), and only then parsed from memory;
// - connections are counted: at the cap the oldest one that is not in the
//   middle of a request is closed for a new one, and a watchdog closes
//   connections whose request header stalls or whose body comes slower
//   than a minimum rate (time the server spends elsewhere, e.g. writing to
//   a slow printer, does not count against the client);
// - a decoded image must fit a memory bound before it is decoded.
#include "limits.h"

#include <dlfcn.h>
#include <malloc.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <jpeglib.h>

namespace quillet_app {
namespace {

// A real client nests media-col and friends two or three deep.
constexpr int kMaxCollectionDepth = 32;
// The attribute part of a request (document data not counted).
constexpr size_t kMaxAttributeBytes = size_t{1} << 20;
// Connections held at once; each is a thread and about 100 KB.
constexpr int kMaxConnections = 256;
// A request line and header must be complete this long after its first
// byte; a new connection must start its first request (or TLS) as soon.
constexpr double kHeaderSeconds = 10;
// PAPPL closes a connection idle for 30 s; this catches one that never
// gets back to that wait.
constexpr double kIdleSeconds = 40;
// A request body (attributes and document) may take this long plus one
// second a KiB: a stalled or trickling client is cut off.
constexpr double kBodyGraceSeconds = 30;
constexpr double kBodyMinBytesPerSecond = 1024;
// A response the client does not take for this long in all is dropped.
constexpr double kWriteStallSeconds = 30;
// libcups' socket waits wake this often to ask whether to go on waiting.
constexpr double kWaitSeconds = 1;
// A decoded image: the largest page the printers take, A4 at 300 dpi in
// RGB, is 26 MB; 96 MiB leaves room for a 32-megapixel photo.
constexpr size_t kMaxImageBytes = size_t{96} << 20;

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

enum class Phase { kIdle, kHeader, kBusy };

struct Connection {
  pappl_client_t *client = nullptr;
  int fd = -1;
  Phase phase = Phase::kIdle;
  double since = 0;          // start of the phase
  bool reading = false;      // the server waits for the client's body
  double readStart = 0;
  double clientSeconds = 0;  // time this request's body reads waited
  double bytes = 0;          // body bytes of this request
  double writeStall = 0;
  bool cut = false;          // reads of this socket are shut down
  bool expired = false;      // the body came too slowly
  pappl_job_t *job = nullptr;  // a raster job streamed from this request
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<const http_t *, Connection *> connections;
  pappl_system_t *system = nullptr;
  int cap = kMaxConnections;
  size_t peak = 0;  // connections at the last memory trim or since
  bool watching = false;
  std::vector<int> listeners;  // those given a longer backlog
  double lastRefusalLog = -1e9;
};

Registry &Connections() {
  static Registry *registry = new Registry;  // outlives the client threads
  return *registry;
}

// Wakes the client thread's reads: they see the end of the stream. The
// thread still answers and closes the connection itself.
void Cut(Connection *c) {
  if (c->cut) return;
  c->cut = true;
  shutdown(c->fd, SHUT_RD);
}

bool OverBudget(const Connection &c, double now) {
  const double waited = c.clientSeconds + (c.reading ? now - c.readStart : 0);
  return waited > kBodyGraceSeconds + c.bytes / kBodyMinBytesPerSecond;
}

void NoteExpired(Connection *c) {
  if (!c->job) return;
  papplJobSetReasons(c->job, PAPPL_JREASON_ABORTED_BY_SYSTEM, PAPPL_JREASON_NONE);
  papplJobSetMessage(c->job, "The document data stopped arriving (less than %d bytes a second).",
                     static_cast<int>(kBodyMinBytesPerSecond));
}

void Watch() {
  Registry &r = Connections();
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    bool trim = false;
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      const double now = Now();
      for (auto &entry : r.connections) {
        Connection *c = entry.second;
        if (c->cut) continue;
        if ((c->phase == Phase::kHeader && now - c->since > kHeaderSeconds) ||
            (c->phase == Phase::kIdle && now - c->since > kIdleSeconds)) {
          papplLogClient(c->client, PAPPL_LOGLEVEL_INFO, "Closing a stalled connection.");
          Cut(c);
        } else if (c->phase == Phase::kBusy && c->reading && OverBudget(*c, now)) {
          papplLogClient(c->client, PAPPL_LOGLEVEL_ERROR,
                         "The request's data comes too slowly (%.0f bytes in %.0f s); closing.", c->bytes,
                         c->clientSeconds + now - c->readStart);
          c->expired = true;
          Cut(c);
        }
      }
      // Freed connections leave their memory in the allocator's arenas;
      // give it back once many have gone.
      const size_t now_held = r.connections.size();
      if (now_held + 32 < r.peak) {
        trim = true;
        r.peak = now_held;
      }
    }
    if (trim) malloc_trim(0);
  }
}

// libcups asks this after every wait of kWaitSeconds without progress;
// going on means waiting again.
int OnWait(http_t *, void *data) {
  auto *c = static_cast<Connection *>(data);
  std::lock_guard<std::mutex> lock(Connections().mutex);
  if (c->cut) return 0;
  switch (c->phase) {
    case Phase::kIdle:
    case Phase::kHeader:
      return Now() - c->since < kHeaderSeconds;
    case Phase::kBusy:
      if (c->reading) return 1;  // the watchdog holds reads to their budget
      c->writeStall += kWaitSeconds;
      return c->writeStall < kWriteStallSeconds;
  }
  return 0;
}

Connection *Find(const http_t *http) {
  Registry &r = Connections();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.connections.find(http);
  return found == r.connections.end() ? nullptr : found->second;
}

// Accepts the waiting connection only to tell it to come back later.
void Refuse(int listener) {
  const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  static const char kBusy[] =
      "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
  (void)!send(fd, kBusy, sizeof kBusy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  close(fd);
}

// Reads exactly n more bytes of the request body onto `out`.
bool ReadExactly(http_t *http, std::string &out, size_t n) {
  const size_t start = out.size();
  out.resize(start + n);
  size_t got = 0;
  while (got < n) {
    const ssize_t bytes = httpRead2(http, &out[start + got], n - got);
    if (bytes <= 0) {
      out.resize(start + got);
      return false;
    }
    got += static_cast<size_t>(bytes);
  }
  return true;
}

unsigned Big(const std::string &s, size_t at, int n) {
  unsigned value = 0;
  for (int i = 0; i < n; ++i) value = value << 8 | static_cast<unsigned char>(s[at + i]);
  return value;
}

enum class Frame { kComplete, kTruncated, kTooDeep, kTooLarge };

// Reads the request's header and attributes, tag by tag, up to the
// end-of-attributes tag; the document data stays in the stream.
Frame ReadAttributes(http_t *http, std::string &message) {
  if (!ReadExactly(http, message, 8)) return Frame::kTruncated;
  int depth = 0;
  for (;;) {
    if (!ReadExactly(http, message, 1)) return Frame::kTruncated;
    unsigned tag = static_cast<unsigned char>(message.back());
    if (tag == IPP_TAG_EXTENSION) {
      if (!ReadExactly(http, message, 4)) return Frame::kTruncated;
      tag = Big(message, message.size() - 4, 4);
    }
    if (tag == IPP_TAG_END) return Frame::kComplete;
    if (tag < IPP_TAG_UNSUPPORTED_VALUE) continue;  // a group
    for (int part = 0; part < 2; ++part) {  // name, then value
      if (!ReadExactly(http, message, 2)) return Frame::kTruncated;
      const unsigned length = Big(message, message.size() - 2, 2);
      if (message.size() + length > kMaxAttributeBytes) return Frame::kTooLarge;
      if (!ReadExactly(http, message, length)) return Frame::kTruncated;
    }
    if (tag == IPP_TAG_BEGIN_COLLECTION && ++depth > kMaxCollectionDepth) return Frame::kTooDeep;
    if (tag == IPP_TAG_END_COLLECTION && depth > 0) --depth;
  }
}

struct Memory {
  const std::string *data;
  size_t at;
};

ssize_t ReadMemory(void *context, ipp_uchar_t *buffer, size_t n) {
  auto *m = static_cast<Memory *>(context);
  n = std::min(n, m->data->size() - m->at);
  std::memcpy(buffer, m->data->data() + m->at, n);
  m->at += n;
  return static_cast<ssize_t>(n);
}

struct JpegError {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

void OnJpegMessage(j_common_ptr) {}

// Bytes PAPPL's JPEG filter would hold for this file: its pixels as the
// printer takes them, and for a progressive file libjpeg's coefficients
// of the whole image. 0 when the header cannot be read (the filter then
// reports the damage itself).
size_t JpegBytes(pappl_job_t *job, unsigned *width, unsigned *height) {
  const char *file = papplJobGetFilename(job);
  FILE *in = file ? std::fopen(file, "rb") : nullptr;
  if (!in) return 0;
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.output_message = OnJpegMessage;
  volatile size_t bytes = 0;
  jpeg_create_decompress(&info);
  if (!setjmp(error.jump)) {
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    size_t components = 1;
    if (info.num_components > 1) {
      pappl_pr_options_t *options = papplJobCreatePrintOptions(job, 1, true);
      components = options->header.cupsNumColors == 1 ? 1 : 3;
      papplJobDeletePrintOptions(options);
    }
    const size_t pixels = size_t{info.image_width} * info.image_height;
    *width = info.image_width;
    *height = info.image_height;
    bytes = pixels * components +
            (jpeg_has_multiple_scans(&info) ? pixels * static_cast<size_t>(info.num_components) * sizeof(JCOEF)
                                            : 0);
  }
  jpeg_destroy_decompress(&info);
  std::fclose(in);
  return bytes;
}

}  // namespace

void ApplyLimits(pappl_system_t *system) {
  // A client gone before its answer is written must not end the server.
  signal(SIGPIPE, SIG_IGN);
  papplSystemSetMaxImageSize(system, kMaxImageBytes, 0, 0);
  Registry &r = Connections();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.system = system;
  // PAPPL stops accepting at its own maximum; stay well below it, dying
  // connections included.
  r.cap = std::max(8, std::min(kMaxConnections, papplSystemGetMaxClients(system) / 2 - 8));
}

}  // namespace quillet_app

using quillet_app::Connection;
using quillet_app::Connections;
using quillet_app::Find;
using quillet_app::Next;
using quillet_app::Now;
using quillet_app::Phase;

extern "C" pappl_client_t *_papplClientCreate(pappl_system_t *system, int sock) {
  using Fn = pappl_client_t *(*)(pappl_system_t *, int);
  static const Fn next = Next<Fn>("_papplClientCreate");
  auto &r = Connections();
  bool refuse = false, logRefusal = false;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.watching) {
      std::thread(quillet_app::Watch).detach();
      r.watching = true;
    }
    // libcups listens with a backlog of 128: a burst of connections beyond
    // it has the kernel drop new ones, real clients' included, for a
    // second or more.
    if (std::find(r.listeners.begin(), r.listeners.end(), sock) == r.listeners.end()) {
      listen(sock, SOMAXCONN);
      r.listeners.push_back(sock);
    }
    int live = 0;
    Connection *oldest = nullptr;
    for (auto &entry : r.connections) {
      Connection *c = entry.second;
      if (c->cut) continue;
      ++live;
      if (c->phase != Phase::kBusy && (!oldest || c->since < oldest->since)) oldest = c;
    }
    if (live >= r.cap || r.connections.size() >= 2 * static_cast<size_t>(r.cap)) {
      if (oldest && r.connections.size() < 2 * static_cast<size_t>(r.cap)) {
        quillet_app::Cut(oldest);
      } else {
        refuse = true;
        const double now = Now();
        if (now - r.lastRefusalLog > 10) {
          r.lastRefusalLog = now;
          logRefusal = true;
        }
      }
    }
  }
  if (refuse) {
    if (logRefusal)
      papplLog(system, PAPPL_LOGLEVEL_WARN, "All %d connections are busy with requests; refusing new ones.",
               r.cap);
    quillet_app::Refuse(sock);
    return nullptr;
  }
  pappl_client_t *client = next(system, sock);
  if (!client) return nullptr;
  http_t *http = papplClientGetHTTP(client);
  auto *c = new Connection;
  c->client = client;
  c->fd = httpGetFd(http);
  c->since = Now();
  httpSetTimeout(http, quillet_app::kWaitSeconds, quillet_app::OnWait, c);
  std::lock_guard<std::mutex> lock(r.mutex);
  r.connections[http] = c;
  r.peak = std::max(r.peak, r.connections.size());
  return client;
}

extern "C" void _papplClientDelete(pappl_client_t *client) {
  using Fn = void (*)(pappl_client_t *);
  static const Fn next = Next<Fn>("_papplClientDelete");
  auto &r = Connections();
  Connection *c = nullptr;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.connections.find(papplClientGetHTTP(client));
    if (found != r.connections.end()) {
      c = found->second;
      r.connections.erase(found);
    }
  }
  next(client);  // its last writes may still ask OnWait about c
  delete c;
}

// The start of a request: its header is timed from here.
extern "C" http_state_t httpReadRequest(http_t *http, char *uri, size_t urilen) {
  using Fn = http_state_t (*)(http_t *, char *, size_t);
  static const Fn next = Next<Fn>("httpReadRequest");
  if (Connection *c = Find(http)) {
    std::lock_guard<std::mutex> lock(Connections().mutex);
    if (c->phase != Phase::kHeader) {
      c->phase = Phase::kHeader;
      c->since = Now();
    }
  }
  return next(http, uri, urilen);
}

// The header is complete: the request's body and answer follow.
extern "C" http_status_t httpUpdate(http_t *http) {
  using Fn = http_status_t (*)(http_t *);
  static const Fn next = Next<Fn>("httpUpdate");
  const http_status_t status = next(http);
  if (status != HTTP_STATUS_CONTINUE) {
    if (Connection *c = Find(http)) {
      std::lock_guard<std::mutex> lock(Connections().mutex);
      if (c->phase == Phase::kHeader) {
        c->phase = Phase::kBusy;
        c->since = Now();
        c->clientSeconds = c->bytes = c->writeStall = 0;
      }
    }
  }
  return status;
}

// PAPPL's client thread calls this after each request it answered.
extern "C" void _papplClientCleanTempFiles(pappl_client_t *client) {
  using Fn = void (*)(pappl_client_t *);
  static const Fn next = Next<Fn>("_papplClientCleanTempFiles");
  next(client);
  if (Connection *c = Find(papplClientGetHTTP(client))) {
    std::lock_guard<std::mutex> lock(Connections().mutex);
    c->phase = Phase::kIdle;
    c->since = Now();
  }
}

namespace {

// Times a read of a request body against the client's budget; a client
// over it gets an error for this and every later read.
template <typename Read>
ssize_t TimedRead(http_t *http, Read read) {
  Connection *c = Find(http);
  if (!c) return read();
  auto &r = Connections();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (c->expired) return -1;
    c->reading = true;
    c->readStart = Now();
  }
  const ssize_t bytes = read();
  bool expiredNow = false;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    const double now = Now();
    if (!c->expired && c->phase == Phase::kBusy && OverBudget(*c, now)) {
      c->expired = true;
      quillet_app::Cut(c);
    }
    c->clientSeconds += now - c->readStart;
    c->reading = false;
    if (bytes > 0) c->bytes += static_cast<double>(bytes);
    expiredNow = c->expired;
  }
  if (expiredNow) {
    quillet_app::NoteExpired(c);
    return -1;
  }
  return bytes;
}

}  // namespace

extern "C" ssize_t httpRead2(http_t *http, char *buffer, size_t length) {
  using Fn = ssize_t (*)(http_t *, char *, size_t);
  static const Fn next = Next<Fn>("httpRead2");
  return TimedRead(http, [&] { return next(http, buffer, length); });
}

extern "C" ssize_t httpPeek(http_t *http, char *buffer, size_t length) {
  using Fn = ssize_t (*)(http_t *, char *, size_t);
  static const Fn next = Next<Fn>("httpPeek");
  return TimedRead(http, [&] { return next(http, buffer, length); });
}

extern "C" void _cupsSetError(ipp_status_t status, const char *message, int localize);

// libcups reads a collection by calling itself once a level, so a request
// nested some thousands deep ran the client thread out of stack. Requests
// on the server's connections are framed here first, within the depth and
// size limits, and parsed from memory; a refused request is read to its
// end (up to the size limit again), so its client gets PAPPL's "400 Bad
// Request" rather than a reset.
extern "C" ipp_state_t ippRead(http_t *http, ipp_t *ipp) {
  using Fn = ipp_state_t (*)(http_t *, ipp_t *);
  static const Fn next = Next<Fn>("ippRead");
  Connection *c = Find(http);
  if (!c || !ipp || ippGetState(ipp) != IPP_STATE_IDLE) return next(http, ipp);
  std::string message;
  const quillet_app::Frame frame = quillet_app::ReadAttributes(http, message);
  if (frame == quillet_app::Frame::kComplete) {
    quillet_app::Memory source{&message, 0};
    return ippReadIO(&source, quillet_app::ReadMemory, 1, nullptr, ipp);
  }
  if (frame == quillet_app::Frame::kTruncated) {
    _cupsSetError(IPP_STATUS_ERROR_INTERNAL, "The IPP request ends early.", 0);
    return IPP_STATE_ERROR;
  }
  _cupsSetError(IPP_STATUS_ERROR_INTERNAL,
                frame == quillet_app::Frame::kTooDeep ? "The IPP request nests collections too deeply."
                                                      : "The IPP request's attributes are too large.",
                0);
  char rest[16384];
  size_t drained = 0;
  ssize_t bytes;
  while (drained < quillet_app::kMaxAttributeBytes && (bytes = httpRead2(http, rest, sizeof rest)) > 0)
    drained += static_cast<size_t>(bytes);
  return IPP_STATE_ERROR;
}

// PAPPL streams a raster job from the client's connection; a job whose
// data stopped arriving says so.
extern "C" void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client) {
  using Fn = void (*)(pappl_job_t *, pappl_client_t *);
  static const Fn next = Next<Fn>("_papplJobProcessRaster");
  Connection *c = Find(papplClientGetHTTP(client));
  if (c) {
    std::lock_guard<std::mutex> lock(Connections().mutex);
    c->job = job;
  }
  next(job, client);
  if (c) {
    bool expired;
    {
      std::lock_guard<std::mutex> lock(Connections().mutex);
      expired = c->expired;
    }
    // The driver may have called the page short meanwhile; the cause wins.
    if (expired) quillet_app::NoteExpired(c);
    std::lock_guard<std::mutex> lock(Connections().mutex);
    c->job = nullptr;
  }
}

// PAPPL's JPEG filter checks only the decoded pixels against its size
// limit and not the coefficients a progressive file needs besides; a
// 300-byte file declaring 16384x16384 pixels took 800 MB.
extern "C" bool _papplJobFilterJPEG(pappl_job_t *job, pappl_device_t *device, void *data) {
  using Fn = bool (*)(pappl_job_t *, pappl_device_t *, void *);
  static const Fn next = Next<Fn>("_papplJobFilterJPEG");
  unsigned width = 0, height = 0;
  const size_t bytes = quillet_app::JpegBytes(job, &width, &height);
  if (bytes > quillet_app::kMaxImageBytes) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The %ux%u JPEG image needs %zu MiB to decode, more than %zu MiB.",
                width, height, bytes >> 20, quillet_app::kMaxImageBytes >> 20);
    papplJobSetMessage(job, "The JPEG image is too large to print (%ux%u pixels).", width, height);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
    return false;
  }
  return next(job, device, data);
}
