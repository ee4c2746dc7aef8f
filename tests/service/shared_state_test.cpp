// The state a group shares, against a real redis-server on a free port of 127.0.0.1: what one
// instance keeps the other finds, counters count within their window, and a Redis that is
// gone, or that takes the connection and never answers, costs nothing but a bounded wait.
#include "service/cache/shared_state.h"
#include "service/cache/translation_cache.h"
#include "service/posix/child_process.h"
#include "service_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace service_test {
namespace {

using namespace std::chrono_literals;
using service::cache::SharedState;

constexpr char kRedisServer[] = "/usr/bin/redis-server";

// Quick retries, so that a test sees Redis used again soon after it is back.
const service::cache::SharedStateLimits kQuickRetry{100ms, 50ms, 200ms};

class SharedStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(access(kRedisServer, X_OK), 0) << "redis-server is missing: scripts/install-deps.sh";
    char folder[] = "/tmp/shared-state-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    port_ = FreePort();
    StartRedis();
  }
  void TearDown() override {
    redis_.Stop();
    std::system(("rm -rf " + folder_).c_str());
  }

  void StartRedis() {
    service::UniqueFd null(open("/dev/null", O_RDWR | O_CLOEXEC));
    redis_ = service::ChildProcess::Spawn(
        {kRedisServer, "--port", std::to_string(port_), "--bind", "127.0.0.1", "--save", "",
         "--appendonly", "no", "--dir", folder_},
        null.get(), null.get(), null.get());
    SharedState probe({"127.0.0.1", port_}, kQuickRetry);
    for (int attempt = 0; attempt < 200 && !probe.CountInWindow("probe", 1s); ++attempt) {
      std::this_thread::sleep_for(50ms);
    }
  }

  // Calls `count` until it answers, for at most 10 s.
  static std::optional<long long> Eventually(SharedState& state, const std::string& key) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (auto count = state.CountInWindow(key, 60s)) return count;
      std::this_thread::sleep_for(100ms);
    }
    return std::nullopt;
  }

  std::string folder_;
  int port_ = 0;
  service::ChildProcess redis_;
};

TEST_F(SharedStateTest, WhatOneInstanceRemembersTheOtherFinds) {
  SharedState shared({"127.0.0.1", port_});
  service::cache::TranslationCache first(1 << 20, &shared, 60s);
  service::cache::TranslationCache second(1 << 20, &shared, 60s);
  service::cache::TranslationCache no_ttl(1 << 20, &shared, 0s);
  first.Remember("en_es", {{"hello", false}}, "hola");
  no_ttl.Remember("en_es", {{"bye", false}}, "adiós");
  EXPECT_EQ(second.Recall("en_es", {{"hello", false}}), "hola");
  EXPECT_EQ(second.Recall("en_es", {{"bye", false}}), std::nullopt);
  EXPECT_EQ(second.Recall("en_es", {{"hello", false}}), "hola");  // now from its own memory
  EXPECT_EQ(second.Stats().hits, 2u);
  EXPECT_EQ(second.Stats().shared_hits, 1u);
  EXPECT_EQ(second.Stats().misses, 1u);
}

TEST_F(SharedStateTest, CountsWithinTheWindowAndAfreshAfterIt) {
  SharedState shared({"127.0.0.1", port_});
  static const struct {
    const char* key;
    long long count;
  } kCounts[] = {{"10.0.0.1", 1}, {"10.0.0.1", 2}, {"10.0.0.2", 1}, {"10.0.0.1", 3}};
  for (const auto& c : kCounts) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(shared.CountInWindow(c.key, 1s), c.count);
  }
  // The counter lives its window from its first count, so it starts again at 1.
  std::optional<long long> count;
  for (int attempt = 0; attempt < 50 && count != 1; ++attempt) {
    std::this_thread::sleep_for(100ms);
    count = shared.CountInWindow("10.0.0.1", 1s);
  }
  EXPECT_EQ(count, 1);
}

TEST_F(SharedStateTest, RedisGoneAnswersNothingAndIsUsedAgainOnceBack) {
  SharedState shared({"127.0.0.1", port_}, kQuickRetry);
  ASSERT_TRUE(shared.Set("kept", "before", 60s));
  redis_.Stop();
  EXPECT_EQ(shared.Get("kept"), std::nullopt);
  EXPECT_FALSE(shared.Set("kept", "during", 60s));
  EXPECT_EQ(shared.CountInWindow("10.0.0.1", 60s), std::nullopt);
  StartRedis();  // empty: it keeps nothing on disk
  EXPECT_EQ(Eventually(shared, "10.0.0.1"), 1);
  EXPECT_EQ(shared.Get("kept"), std::nullopt);
}

TEST_F(SharedStateTest, ARedisThatNeverAnswersIsGivenUp) {
  // A listening socket that nobody accepts from: the connection is made, no answer comes.
  service::ListenAddress address{"127.0.0.1", 0, false};
  service::UniqueFd silent = service::BindSocket(address);
  SharedState shared({"127.0.0.1", service::BoundPort(silent.get())}, kQuickRetry);
  EXPECT_EQ(shared.CountInWindow("10.0.0.1", 60s), std::nullopt);
  EXPECT_EQ(shared.Get("kept"), std::nullopt);
}

}  // namespace
}  // namespace service_test
