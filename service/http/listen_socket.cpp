#include "listen_socket.h"

#include "http_config.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace service {

namespace {

std::runtime_error ListenFailure(const ListenAddress& address, const std::string& reason,
                                 int error) {
  std::string remedy = "choose another address, for example --listen 127.0.0.1:8080";
  if (error == EACCES && address.port < 1024) {
    remedy = "ports below 1024 need root or CAP_NET_BIND_SERVICE; or " + remedy;
  } else if (error == EADDRINUSE) {
    remedy = "another program listens there; stop it or " + remedy;
  }
  return std::runtime_error("cannot listen on " + ShowAddress(address) + ": " + reason + " (" +
                            remedy + ")");
}

struct AddressList {
  addrinfo* first = nullptr;
  ~AddressList() {
    if (first) ::freeaddrinfo(first);
  }
};

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return {};
  std::string_view port_text = text.substr(colon + 1);
  if (port_text.size() > 5 || !std::all_of(port_text.begin(), port_text.end(),
                                           [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  ListenAddress address;
  address.port = std::stoi(std::string(port_text));
  if (address.port > 65535) return {};
  std::string_view host = text.substr(0, colon);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return {};
    address.host = std::string(host.substr(1, host.size() - 2));
    address.ipv6 = true;
  } else {
    if (host.find(':') != std::string_view::npos) return {};
    address.host = std::string(host);
  }
  return address;
}

std::string ShowAddress(const ListenAddress& address) {
  std::string host = address.ipv6 ? "[" + address.host + "]" : address.host;
  return host + ":" + std::to_string(address.port);
}

UniqueFd BindSocket(const ListenAddress& address) {
  addrinfo hints{};
  hints.ai_family = address.ipv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  AddressList found;
  int lookup = ::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints,
                             &found.first);
  if (lookup != 0) throw ListenFailure(address, ::gai_strerror(lookup), 0);

  UniqueFd socket(::socket(found.first->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket) throw ListenFailure(address, std::strerror(errno), errno);
  // A restarted service must not wait for the last run's connections to time out.
  int on = 1;
  ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (address.ipv6) ::setsockopt(socket.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (::bind(socket.get(), found.first->ai_addr, found.first->ai_addrlen) != 0) {
    throw ListenFailure(address, std::strerror(errno), errno);
  }
  return socket;
}

int BoundPort(int socket) {
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return -1;
  if (bound.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
}

void StartListening(int socket, const ListenAddress& address) {
  if (::listen(socket, kListenBacklog) != 0) {
    throw ListenFailure(address, std::strerror(errno), errno);
  }
}

}  // namespace service
