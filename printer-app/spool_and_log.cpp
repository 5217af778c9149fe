// The server's log file and its spool messages, mended where PAPPL 1.3.1
// goes wrong:
// - PAPPL rotates its log (at 1 MiB) by renaming it and opening it again
//   while it holds its log lock, and logs that it did; when the rename
//   fails the reopened file is still too large, the new line rotates
//   again and the thread waits on the lock it holds: the whole server
//   hangs, at start already if the file was too large then. PAPPL's
//   rotation is switched off here and the program rotates instead, from a
//   thread of its own and outside any log lock.
// - A document that fills the spool's file system was refused with
//   "Unable to write print file: Success".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <thread>

#include <pappl/pappl.h>

#include "job_order.h"

namespace {

template <typename Fn>
Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

std::string &LogPath() {
  static std::string *path = new std::string;  // read by the rotation thread until exit
  return *path;
}

bool IsRegularFile(const std::string &path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

off_t FileSize(const std::string &path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

// Copies the log to FILE.O and empties it. The file stays the one PAPPL
// has open (with O_APPEND its next line goes to the start), so no
// handle changes under a thread that is writing; lines written
// between the copy and the truncation are lost. A log that cannot be
// copied is emptied all the same: it must not fill the disk.
void Rotate(const std::string &path) {
  const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  const std::string back = path + ".O";
  const std::string temp = back + ".new";
  const int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool copied = out >= 0;
  char buffer[65536];
  ssize_t got = 0;
  while (copied && (got = read(in, buffer, sizeof buffer)) > 0) {
    for (ssize_t done = 0; copied && done < got;) {
      const ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
      if (put <= 0) copied = false;
      done += put;
    }
  }
  if (got < 0) copied = false;
  if (out >= 0 && close(out) != 0) copied = false;
  if (copied) {
    copied = rename(temp.c_str(), back.c_str()) == 0;
  }
  if (!copied) unlink(temp.c_str());
  close(in);
  if (truncate(path.c_str(), 0) != 0) {
    // An append-only or vanished file: nothing more can be done here.
  }
}

void WatchLog(std::string path, off_t limit) {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (FileSize(path) >= limit) Rotate(path);
  }
}

}  // namespace

namespace quillet_app {

void SetLogFile(const char *path) {
  if (path && std::strcmp(path, "-") && std::strcmp(path, "syslog")) LogPath() = path;
}

}  // namespace quillet_app

extern "C" {

// PAPPL opens its log here, at start and when it reopens it (SIGHUP).
void _papplLogOpen(pappl_system_t *system) {
  using Fn = void (*)(pappl_system_t *);
  static const Fn next = Next<Fn>("_papplLogOpen");
  static std::once_flag once;
  std::call_once(once, [system] {
    const std::string &path = LogPath();
    const size_t limit = papplSystemGetMaxLogSize(system);
    if (limit == 0 || !IsRegularFile(path)) return;
    if (FileSize(path) >= static_cast<off_t>(limit)) Rotate(path);
    papplSystemSetMaxLogSize(system, 0);
    std::thread(WatchLog, path, static_cast<off_t>(limit)).detach();
  });
  next(system);
}

// A write to a regular file that stops short with no error is a full file
// system (errno is left as it was, usually 0: "Success").
ipp_t *papplClientRespondIPP(pappl_client_t *client, ipp_status_t status, const char *message, ...) {
  using Fn = ipp_t *(*)(pappl_client_t *, ipp_status_t, const char *, ...);
  static const Fn next = Next<Fn>("papplClientRespondIPP");
  if (!message) return next(client, status, nullptr);
  char text[2048];
  va_list ap;
  va_start(ap, message);
  std::vsnprintf(text, sizeof text, message, ap);
  va_end(ap);
  static const std::string shortWrite = std::string("Unable to write print file: ") + std::strerror(0);
  if (shortWrite == text)
    std::snprintf(text, sizeof text, "Unable to write print file: %s", std::strerror(ENOSPC));
  return next(client, status, "%s", text);
}

}  // extern "C"
