#include "shared_state.h"

#include "service/posix/log.h"

#include <hiredis/hiredis.h>

#include <algorithm>
#include <stdexcept>

namespace service::cache {

namespace {

// INCR and EXPIRE together, so a counter never outlives its window even when the service stops
// between the two.
constexpr char kCountScript[] =
    "local n = redis.call('INCR', KEYS[1]) "
    "if n == 1 then redis.call('EXPIRE', KEYS[1], ARGV[1]) end "
    "return n";

constexpr char kCounterPrefix[] = "mirelskan:count:";

}  // namespace

SharedState::SharedState(RedisAddress address, SharedStateLimits limits)
    : address_(std::move(address)), limits_(limits), retry_delay_(limits.first_retry) {}

void SharedState::Failed(const std::string& reason) {
  connection_.reset();
  retry_at_ = Clock::now() + retry_delay_;
  retry_delay_ = std::min(retry_delay_ * 2, limits_.longest_retry);
  if (!down_) {
    LogLine("shared state " + RedisUrl(address_) + " does not answer (" + reason +
            "): going on with this instance's memory");
  }
  down_ = true;
}

RedisReply SharedState::Run(const std::vector<std::string>& arguments) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connection_) {
    if (down_ && Clock::now() < retry_at_) return nullptr;
    try {
      connection_ = std::make_unique<RedisConnection>(address_, limits_.call);
    } catch (const std::exception& failure) {
      Failed(failure.what());
      return nullptr;
    }
  }
  try {
    RedisReply reply = connection_->Command(arguments);
    if (down_) LogLine("shared state " + RedisUrl(address_) + " answers again");
    down_ = false;
    retry_delay_ = limits_.first_retry;
    return reply;
  } catch (const std::exception& failure) {
    Failed(failure.what());
    return nullptr;
  }
}

std::optional<std::string> SharedState::Get(const std::string& key) {
  RedisReply reply = Run({"GET", key});
  if (!reply || reply->type != REDIS_REPLY_STRING) return std::nullopt;
  return std::string(reply->str, reply->len);
}

bool SharedState::Set(const std::string& key, const std::string& value, std::chrono::seconds ttl) {
  RedisReply reply = Run({"SET", key, value, "EX", std::to_string(ttl.count())});
  return reply && reply->type == REDIS_REPLY_STATUS;
}

std::optional<long long> SharedState::CountInWindow(const std::string& key,
                                                    std::chrono::seconds window) {
  RedisReply reply =
      Run({"EVAL", kCountScript, "1", kCounterPrefix + key, std::to_string(window.count())});
  if (!reply || reply->type != REDIS_REPLY_INTEGER) return std::nullopt;
  return reply->integer;
}

}  // namespace service::cache
