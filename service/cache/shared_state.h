// What the instances of a group share through Redis: remembered answers and counters. Redis is
// never a reason to fail: when it does not answer within the bound, every call answers
// "nothing" at once, the service goes on with its own memory, and Redis is tried again after a
// back-off. Each change is logged once. Safe to use from many threads at once.
#pragma once

#include "redis_address.h"
#include "redis_connection.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace service::cache {

struct SharedStateLimits {
  // Connecting and each command.
  std::chrono::milliseconds call{100};
  // After a failure Redis is left alone this long, twice as long after each further failure.
  std::chrono::milliseconds first_retry{500};
  std::chrono::milliseconds longest_retry{15000};
};

class SharedState {
 public:
  // Connects on first use, not here: Redis may come up after the service.
  explicit SharedState(RedisAddress address, SharedStateLimits limits = {});
  SharedState(const SharedState&) = delete;
  SharedState& operator=(const SharedState&) = delete;

  // The value kept under `key`; nothing when there is none or Redis cannot answer now.
  std::optional<std::string> Get(const std::string& key);

  // Keeps `value` under `key` for `ttl`; false when Redis cannot answer now.
  bool Set(const std::string& key, const std::string& value, std::chrono::seconds ttl);

  // Adds one to the counter `key` (kept as "mirelskan:count:" + key), which starts at 1 and
  // lives `window` from its first count, in one round trip; the new count, or nothing when
  // Redis cannot answer now.
  std::optional<long long> CountInWindow(const std::string& key, std::chrono::seconds window);

 private:
  using Clock = std::chrono::steady_clock;

  // Redis's reply to `arguments`, connecting first when the back-off allows; nothing when it
  // cannot answer now.
  RedisReply Run(const std::vector<std::string>& arguments);
  void Failed(const std::string& reason);

  const RedisAddress address_;
  const SharedStateLimits limits_;
  std::mutex mutex_;
  std::unique_ptr<RedisConnection> connection_;
  Clock::time_point retry_at_{};
  std::chrono::milliseconds retry_delay_;
  bool down_ = false;  // since the last failure, until Redis answers again
};

}  // namespace service::cache
