// What the routes ask of the limits: who the client is, whether it may have another
// translation now, and how long a text may be. Each limit is off at 0.
#pragma once

#include "client_address.h"
#include "rate_limiter.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace service::limits {

struct LimitSettings {
  long long requests_per_minute = 0;
  std::size_t max_characters = 0;
  TrustedProxies proxies;
};

using WallClock = std::function<std::chrono::system_clock::time_point()>;

class ClientLimits {
 public:
  // `shared` as RateLimiter takes it; `clock`, for tests, in place of the system's.
  explicit ClientLimits(LimitSettings settings, SharedCounter shared = {}, WallClock clock = {});

  // See ClientAddress.
  std::string Client(std::string_view peer, std::string_view forwarded_for) const;
  // Counts one request of `client` now.
  Admission Admit(const std::string& client);
  // Counts one request under an API key's own limit, whatever the per-client one is.
  Admission AdmitKey(const std::string& counter, long long per_minute);
  // Whether a text of this many characters (see CountCharacters) is within the limit.
  bool TextAllowed(std::size_t characters) const;
  std::size_t max_characters() const { return settings_.max_characters; }
  long long requests_per_minute() const { return settings_.requests_per_minute; }

 private:
  const LimitSettings settings_;
  const WallClock clock_;
  std::unique_ptr<RateLimiter> rate_;  // null when off
  RateLimiter key_rate_;               // the keys that have limits of their own
};

// Characters, not bytes: what a person typed is what the limit is about.
std::size_t CountCharacters(std::string_view utf8);

}  // namespace service::limits
