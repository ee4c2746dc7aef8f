// The service's listening socket: bound before the pipelines start, so that a taken or
// forbidden address fails at once, and listening only once the service can answer.
#pragma once

#include "service/posix/unique_fd.h"

#include <optional>
#include <string>
#include <string_view>

namespace service {

struct ListenAddress {
  std::string host;
  int port = 0;
  bool ipv6 = false;
};

// "HOST:PORT", or "[V6-ADDRESS]:PORT"; a port of 0 asks for any free port.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

// "HOST:PORT" as ParseListenAddress reads it.
std::string ShowAddress(const ListenAddress& address);

// A bound TCP socket that does not accept yet. A host name is looked up as IPv4 only:
// "localhost" then means 127.0.0.1, which every client tries. Throws std::runtime_error naming
// the address, the system's reason and what to do about it.
UniqueFd BindSocket(const ListenAddress& address);

// The port a bound socket has: the one asked for, or the one the system chose for port 0.
int BoundPort(int socket);

// Starts accepting connections into a backlog of kListenBacklog. Throws std::runtime_error.
void StartListening(int socket, const ListenAddress& address);

}  // namespace service
