// Who a request counts against: its peer, or, behind proxies the operator trusts, the address
// the nearest untrusted hop of X-Forwarded-For names. A header from anyone else is ignored, so
// a client cannot buy itself a fresh limit by writing one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr;

namespace service::limits {

// `text` as one numeric address written one way: IPv4 dotted, IPv6 compressed, an IPv4-mapped
// IPv6 address as the IPv4 one; nothing when it is not an address.
std::optional<std::string> NormalAddress(std::string_view text);

// The numeric address of a socket's peer, written as NormalAddress writes it; "" for a family
// other than IPv4 and IPv6.
std::string PeerAddress(const sockaddr* peer);

class TrustedProxies {
 public:
  TrustedProxies() = default;
  // "ADDR,ADDR,...": nothing, and why in `problem`, when one is not a numeric address.
  static std::optional<TrustedProxies> Parse(std::string_view list, std::string* problem);

  bool Contains(std::string_view normal_address) const;
  bool empty() const { return addresses_.empty(); }

 private:
  std::vector<std::string> addresses_;
};

// The client of a request from `peer` (as PeerAddress writes it) carrying `forwarded_for`
// (every X-Forwarded-For header's value, joined by commas, in order): walking from the peer
// leftwards through the header while the hop at hand is a trusted proxy, the first hop that is
// not. An entry that is not an address stops the walk at the proxy that passed it on.
std::string ClientAddress(std::string_view peer, std::string_view forwarded_for,
                          const TrustedProxies& proxies);

}  // namespace service::limits
