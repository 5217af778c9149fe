// Which server a command talks to: each state folder has one server and
// one command socket (instance.cpp).
#pragma once

#include <string>

#include <sys/types.h>

namespace quillet_app {

extern const char *const kProgramName;

// Root and the service user run the system's server (state in /var/lib,
// command socket in /run); SNAP_COMMON (a snap, the tests) keeps PAPPL's
// own places.
bool SystemInstance(uid_t uid);
const std::string &RuntimeDirectory();
std::string DefaultStateDirectory();

// Reads the -o state-directory and server-port options of any sub-command,
// which tell it the server to talk to. Called before PAPPL's main loop.
void NoteCommandLine(int argc, char *argv[]);

// For the server with the state folder `dir`: false, with a message, when
// another live server has that folder or this server's command socket.
// The folder stays locked for the life of the process.
bool ClaimStateDirectory(const std::string &dir);

}  // namespace quillet_app
