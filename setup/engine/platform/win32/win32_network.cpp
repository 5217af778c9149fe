#include <winsock2.h>
#include <windows.h>

#include "win32_platform.h"

namespace platform::win32 {

// Non-blocking connect and a bounded wait.  The except set is watched too,
// so a refusal ends the wait at once, and a writable socket counts only when
// SO_ERROR is clear (Wine reports a failed connect as writable).
ProbeResult Win32Network::ProbeTcp(const std::string& address, uint16_t port, uint32_t timeoutMs) {
  WSADATA data;
  const int started = WSAStartup(MAKEWORD(2, 2), &data);
  if (started != 0) return {false, static_cast<ErrorCode>(started)};
  ProbeResult result;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    result.error = WSAGetLastError();
    WSACleanup();
    return result;
  }
  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = inet_addr(address.c_str());
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    result.error = WSAGetLastError();
  } else if (connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    result.connected = true;
  } else if ((result.error = WSAGetLastError()) == WSAEWOULDBLOCK) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
    const int ready = select(0, nullptr, &writable, &failed, &wait);
    if (ready == 0) {
      result.error = WSAETIMEDOUT;
    } else if (ready == SOCKET_ERROR) {
      result.error = WSAGetLastError();
    } else {
      int socketError = 0;
      int size = sizeof socketError;
      getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &size);
      result.connected = FD_ISSET(s, &writable) && socketError == 0;
      result.error = result.connected ? 0 : (socketError ? socketError : WSAECONNREFUSED);
    }
  }
  closesocket(s);
  WSACleanup();
  return result;
}

}  // namespace platform::win32
