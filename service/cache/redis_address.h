// Where the shared state lives, as --shared-state names it: redis://HOST[:PORT].
#pragma once

#include <optional>
#include <string>

namespace service::cache {

inline constexpr int kRedisDefaultPort = 6379;

struct RedisAddress {
  std::string host;  // a name or an address; an IPv6 address without its brackets
  int port = kRedisDefaultPort;
};

// Nothing, with the reason in *problem, when `url` is not redis://HOST[:PORT] ([::1] for IPv6).
std::optional<RedisAddress> ParseRedisUrl(const std::string& url, std::string* problem);

// "redis://HOST:PORT" again, as the logs name it.
std::string RedisUrl(const RedisAddress& address);

}  // namespace service::cache
