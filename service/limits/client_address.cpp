#include "client_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace service::limits {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string WriteIpv4(const in_addr& address) {
  char text[INET_ADDRSTRLEN];
  return inet_ntop(AF_INET, &address, text, sizeof text) ? text : "";
}

std::string WriteIpv6(const in6_addr& address) {
  if (IN6_IS_ADDR_V4MAPPED(&address)) {
    in_addr ipv4;
    std::memcpy(&ipv4, address.s6_addr + 12, sizeof ipv4);
    return WriteIpv4(ipv4);
  }
  char text[INET6_ADDRSTRLEN];
  return inet_ntop(AF_INET6, &address, text, sizeof text) ? text : "";
}

}  // namespace

std::optional<std::string> NormalAddress(std::string_view text) {
  std::string copy(Trim(text));
  in_addr ipv4;
  if (inet_pton(AF_INET, copy.c_str(), &ipv4) == 1) return WriteIpv4(ipv4);
  in6_addr ipv6;
  if (inet_pton(AF_INET6, copy.c_str(), &ipv6) == 1) return WriteIpv6(ipv6);
  return std::nullopt;
}

std::string PeerAddress(const sockaddr* peer) {
  if (!peer) return "";
  if (peer->sa_family == AF_INET) {
    sockaddr_in ipv4;
    std::memcpy(&ipv4, peer, sizeof ipv4);
    return WriteIpv4(ipv4.sin_addr);
  }
  if (peer->sa_family == AF_INET6) {
    sockaddr_in6 ipv6;
    std::memcpy(&ipv6, peer, sizeof ipv6);
    return WriteIpv6(ipv6.sin6_addr);
  }
  return "";
}

std::optional<TrustedProxies> TrustedProxies::Parse(std::string_view list, std::string* problem) {
  TrustedProxies proxies;
  while (!list.empty()) {
    std::size_t comma = std::min(list.find(','), list.size());
    std::string_view entry = Trim(list.substr(0, comma));
    list.remove_prefix(std::min(comma + 1, list.size()));
    if (entry.empty()) continue;
    auto address = NormalAddress(entry);
    if (!address) {
      *problem = "not a numeric IPv4 or IPv6 address: " + std::string(entry);
      return std::nullopt;
    }
    proxies.addresses_.push_back(std::move(*address));
  }
  return proxies;
}

bool TrustedProxies::Contains(std::string_view normal_address) const {
  return std::find(addresses_.begin(), addresses_.end(), normal_address) != addresses_.end();
}

std::string ClientAddress(std::string_view peer, std::string_view forwarded_for,
                          const TrustedProxies& proxies) {
  std::string hop(peer);
  while (proxies.Contains(hop)) {
    forwarded_for = Trim(forwarded_for);
    if (forwarded_for.empty()) break;
    std::size_t comma = forwarded_for.rfind(',');
    std::string_view entry =
        comma == std::string_view::npos ? forwarded_for : forwarded_for.substr(comma + 1);
    forwarded_for.remove_suffix(forwarded_for.size() -
                                (comma == std::string_view::npos ? 0 : comma));
    auto address = NormalAddress(entry);
    if (!address) break;
    hop = std::move(*address);
  }
  return hop;
}

}  // namespace service::limits
