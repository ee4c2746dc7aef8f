#include "rate_limiter.h"

#include <algorithm>

namespace service::limits {

RateLimiter::RateLimiter(long long per_window, SharedCounter shared)
    : per_window_(per_window), shared_(std::move(shared)) {}

Admission RateLimiter::Admit(const std::string& client, std::chrono::system_clock::time_point now) {
  return Admit(client, now, per_window_);
}

Admission RateLimiter::Admit(const std::string& client, std::chrono::system_clock::time_point now,
                             long long per_window) {
  auto since_epoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  long long window = since_epoch / kRateWindow;
  long long count = CountHere(client, window);
  if (shared_) {
    // The window's number in the key: a store that only expires keys cannot carry a count over.
    auto shared =
        shared_("rate:" + client + ":" + std::to_string(window), std::chrono::seconds(kRateWindow));
    if (shared) count = *shared;
  }
  Admission admission;
  if (count <= per_window) return admission;
  admission.allowed = false;
  auto left = kRateWindow - (since_epoch - window * std::chrono::milliseconds(kRateWindow));
  admission.retry_at = now + left;
  admission.retry_after =
      std::max(std::chrono::ceil<std::chrono::seconds>(left), std::chrono::seconds(1));
  return admission;
}

long long RateLimiter::CountHere(const std::string& client, long long window) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (window != window_) {
    counts_.clear();
    window_ = window;
  }
  auto found = counts_.find(client);
  if (found == counts_.end()) {
    if (counts_.size() >= kMaxClientsPerWindow) return ++counts_[kOverflowClient];
    found = counts_.emplace(client, 0).first;
  }
  return ++found->second;
}

}  // namespace service::limits
