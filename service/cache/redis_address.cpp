#include "redis_address.h"

#include <cctype>

namespace service::cache {

namespace {

constexpr char kScheme[] = "redis://";

std::optional<int> ParsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  int port = std::stoi(digits);
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

}  // namespace

std::optional<RedisAddress> ParseRedisUrl(const std::string& url, std::string* problem) {
  if (url.rfind(kScheme, 0) != 0) {
    *problem = "not a redis:// URL: " + url;
    return std::nullopt;
  }
  std::string rest = url.substr(sizeof kScheme - 1);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  RedisAddress address;
  std::string port;
  if (!rest.empty() && rest.front() == '[') {
    std::size_t close = rest.find(']');
    if (close == std::string::npos) {
      *problem = "no ] after the IPv6 address: " + url;
      return std::nullopt;
    }
    address.host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') {
        *problem = "not HOST:PORT: " + url;
        return std::nullopt;
      }
      port = rest.substr(close + 2);
      if (port.empty()) port = "?";
    }
  } else {
    std::size_t colon = rest.find(':');
    address.host = rest.substr(0, colon);
    if (colon != std::string::npos) port = colon + 1 < rest.size() ? rest.substr(colon + 1) : "?";
  }
  if (address.host.empty() || address.host.find_first_of("/@") != std::string::npos) {
    *problem = "no host, or more than a host and a port, in " + url;
    return std::nullopt;
  }
  if (!port.empty()) {
    auto number = ParsePort(port);
    if (!number) {
      *problem = "not a port: " + port;
      return std::nullopt;
    }
    address.port = *number;
  }
  return address;
}

std::string RedisUrl(const RedisAddress& address) {
  bool ipv6 = address.host.find(':') != std::string::npos;
  return std::string(kScheme) + (ipv6 ? "[" + address.host + "]" : address.host) + ":" +
         std::to_string(address.port);
}

}  // namespace service::cache
