#include "redis_connection.h"

#include <hiredis/hiredis.h>
#include <sys/time.h>

#include <stdexcept>

namespace service::cache {

namespace {

timeval ToTimeval(std::chrono::milliseconds bound) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(bound.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((bound.count() % 1000) * 1000);
  return tv;
}

}  // namespace

void ReplyDeleter::operator()(redisReply* reply) const { freeReplyObject(reply); }

RedisConnection::RedisConnection(const RedisAddress& address, std::chrono::milliseconds bound) {
  timeval tv = ToTimeval(bound);
  context_ = redisConnectWithTimeout(address.host.c_str(), address.port, tv);
  if (context_ == nullptr) throw std::runtime_error("no memory for a Redis connection");
  // The connect timeout covers only the connection: the commands need one of their own.
  if (context_->err == 0) redisSetTimeout(context_, tv);
  if (context_->err != 0) {
    std::string reason = context_->errstr;
    redisFree(context_);
    throw std::runtime_error(reason);
  }
}

RedisConnection::~RedisConnection() { redisFree(context_); }

RedisReply RedisConnection::Command(const std::vector<std::string>& arguments) {
  std::vector<const char*> pointers;
  std::vector<size_t> lengths;
  for (const std::string& argument : arguments) {
    pointers.push_back(argument.data());
    lengths.push_back(argument.size());
  }
  RedisReply reply(static_cast<redisReply*>(redisCommandArgv(
      context_, static_cast<int>(arguments.size()), pointers.data(), lengths.data())));
  if (!reply) {
    throw std::runtime_error(context_->err != 0 ? context_->errstr : "no answer from Redis");
  }
  return reply;
}

}  // namespace service::cache
