// One connection to Redis through hiredis, every call bounded in time. Not for two threads at
// once: SharedState serialises its use.
#pragma once

#include "redis_address.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct redisContext;
struct redisReply;

namespace service::cache {

struct ReplyDeleter {
  void operator()(redisReply* reply) const;
};
using RedisReply = std::unique_ptr<redisReply, ReplyDeleter>;

class RedisConnection {
 public:
  // Connects within `bound`, which then bounds every command too. Throws std::runtime_error
  // with the reason.
  RedisConnection(const RedisAddress& address, std::chrono::milliseconds bound);
  ~RedisConnection();
  RedisConnection(const RedisConnection&) = delete;
  RedisConnection& operator=(const RedisConnection&) = delete;

  // Sends one command, its arguments binary-safe, and returns Redis's answer, which may be an
  // error reply. Throws std::runtime_error when no answer came within the bound; the
  // connection is of no further use then.
  RedisReply Command(const std::vector<std::string>& arguments);

 private:
  redisContext* context_ = nullptr;
};

}  // namespace service::cache
