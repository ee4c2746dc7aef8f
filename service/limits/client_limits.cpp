#include "client_limits.h"

#include <algorithm>

namespace service::limits {

ClientLimits::ClientLimits(LimitSettings settings, SharedCounter shared, WallClock clock)
    : settings_(std::move(settings)),
      clock_(clock ? std::move(clock) : WallClock([] { return std::chrono::system_clock::now(); })),
      key_rate_(0, shared) {
  if (settings_.requests_per_minute > 0) {
    rate_ = std::make_unique<RateLimiter>(settings_.requests_per_minute, std::move(shared));
  }
}

std::string ClientLimits::Client(std::string_view peer, std::string_view forwarded_for) const {
  return ClientAddress(peer, forwarded_for, settings_.proxies);
}

Admission ClientLimits::Admit(const std::string& client) {
  if (!rate_) return {};
  return rate_->Admit(client, clock_());
}

Admission ClientLimits::AdmitKey(const std::string& counter, long long per_minute) {
  return key_rate_.Admit(counter, clock_(), per_minute);
}

bool ClientLimits::TextAllowed(std::size_t characters) const {
  return settings_.max_characters == 0 || characters <= settings_.max_characters;
}

std::size_t CountCharacters(std::string_view utf8) {
  // Every byte but the continuation bytes (10xxxxxx) begins a character.
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  }));
}

}  // namespace service::limits
