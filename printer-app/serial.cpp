// The serial device scheme: Bluetooth SPP (rfcomm) and serial cables,
// `serial:///dev/rfcomm0?baud=115200`.  The port is set raw, 8 data bits,
// no parity, the given speed (115200 when none is given).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "strings_data.h"

namespace quillet_app {
namespace {

struct Port {
  int fd = -1;
};

speed_t Speed(long baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    case 115200: return B115200;
    default: return B0;
  }
}

bool OpenPort(pappl_device_t *device, const char *uri, const char * /*name*/) {
  // serial://<path>[?baud=N]; the path may come with or without a host part.
  const char *path = std::strncmp(uri, "serial://", 9) == 0 ? uri + 9 : uri;
  std::string file(path);
  long baud = 115200;
  const size_t query = file.find('?');
  if (query != std::string::npos) {
    const std::string options = file.substr(query + 1);
    file.resize(query);
    const size_t at = options.find("baud=");
    if (at != std::string::npos) baud = std::strtol(options.c_str() + at + 5, nullptr, 10);
  }
  const speed_t speed = Speed(baud);
  if (file.empty() || file[0] != '/' || speed == B0) {
    papplDeviceError(device, "Bad serial device URI \"%s\".", uri);
    return false;
  }
  const int fd = open(file.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    papplDeviceError(device, "Unable to open \"%s\": %s", file.c_str(), std::strerror(errno));
    return false;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CSIZE);
    tio.c_cflag |= CS8;
    tcsetattr(fd, TCSANOW, &tio);
  }
  auto *port = new Port;
  port->fd = fd;
  papplDeviceSetData(device, port);
  return true;
}

void ClosePort(pappl_device_t *device) {
  auto *port = static_cast<Port *>(papplDeviceGetData(device));
  if (!port) return;
  tcdrain(port->fd);
  close(port->fd);
  delete port;
  papplDeviceSetData(device, nullptr);
}

ssize_t WritePort(pappl_device_t *device, const void *buffer, size_t bytes) {
  auto *port = static_cast<Port *>(papplDeviceGetData(device));
  const auto *at = static_cast<const unsigned char *>(buffer);
  size_t left = bytes;
  while (left > 0) {
    const ssize_t n = write(port->fd, at, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd ready{port->fd, POLLOUT, 0};
        poll(&ready, 1, 1000);
        continue;
      }
      papplDeviceError(device, "Unable to write to the serial port: %s", std::strerror(errno));
      return -1;
    }
    at += n;
    left -= static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(bytes);
}

ssize_t ReadPort(pappl_device_t *device, void *buffer, size_t bytes) {
  auto *port = static_cast<Port *>(papplDeviceGetData(device));
  pollfd ready{port->fd, POLLIN, 0};
  if (poll(&ready, 1, 1000) <= 0) return 0;
  return read(port->fd, buffer, bytes);
}

pappl_preason_t PortStatus(pappl_device_t * /*device*/) { return PAPPL_PREASON_NONE; }

char *PortId(pappl_device_t * /*device*/, char *buffer, size_t bufsize) {
  if (bufsize > 0) buffer[0] = '\0';
  return nullptr;
}

// Lists the Bluetooth serial links and USB serial adapters that exist.
bool ListPorts(pappl_device_cb_t cb, void *data, pappl_deverror_cb_t /*err_cb*/,
               void * /*err_data*/) {
  DIR *dev = opendir("/dev");
  if (!dev) return false;
  bool stop = false;
  while (dirent *entry = readdir(dev)) {
    const char *name = entry->d_name;
    if (std::strncmp(name, "rfcomm", 6) && std::strncmp(name, "ttyUSB", 6) &&
        std::strncmp(name, "ttyACM", 6))
      continue;
    char info[300], uri[300];
    std::snprintf(info, sizeof info, "Serial port /dev/%s", name);
    std::snprintf(uri, sizeof uri, "serial:///dev/%s?baud=115200", name);
    if ((stop = cb(info, uri, "", data))) break;
  }
  closedir(dev);
  return stop;
}

}  // namespace

void AddSerialScheme() {
  // PAPPL 1.3 creates its own schemes only when it finds none: have it
  // create them before adding this one.
  papplDeviceIsSupported("socket://localhost");
  papplDeviceAddScheme("serial", PAPPL_DEVTYPE_CUSTOM_LOCAL, ListPorts, OpenPort, ClosePort,
                       ReadPort, WritePort, PortStatus, PortId);
}

}  // namespace quillet_app
