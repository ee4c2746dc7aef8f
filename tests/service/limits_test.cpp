// Who a request counts against and how many it may make: the decisions alone, on a clock the
// test sets.
#include "service/limits/client_address.h"
#include "service/limits/client_limits.h"
#include "service/limits/rate_limiter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace service::limits {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// 2026-12-09 12:00:00 UTC, the start of the 29946960th minute since the epoch.
const std::chrono::system_clock::time_point kNoon{seconds(1796817600)};

TEST(ClientAddress, TakesTheForwardedAddressOnlyFromTrustedProxies) {
  struct Case {
    const char* name;
    const char* trusted;
    const char* peer;
    const char* forwarded_for;
    const char* client;
  };
  static const Case kCases[] = {
      {"no proxies: a header is ignored", "", "127.0.0.1", "203.0.113.7", "127.0.0.1"},
      {"forged from an untrusted peer", "10.0.0.9", "127.0.0.1", "203.0.113.7", "127.0.0.1"},
      {"trusted peer forwards", "10.0.0.9", "10.0.0.9", "203.0.113.7", "203.0.113.7"},
      {"the client's own entries on the left are ignored", "10.0.0.9", "10.0.0.9",
       "1.1.1.1, 198.51.100.1 ,203.0.113.7", "203.0.113.7"},
      {"through two trusted proxies", "10.0.0.9,10.0.0.8", "10.0.0.9", "198.51.100.2, 10.0.0.8",
       "198.51.100.2"},
      {"an untrusted hop stops the walk", "10.0.0.9", "10.0.0.9", "198.51.100.2, 10.0.0.8",
       "10.0.0.8"},
      {"trusted peer without a header", "10.0.0.9", "10.0.0.9", "", "10.0.0.9"},
      {"an entry that is no address stops at the proxy", "10.0.0.9", "10.0.0.9",
       "203.0.113.7, unknown", "10.0.0.9"},
      {"an address with a port is no address", "10.0.0.9", "10.0.0.9", "203.0.113.7:4711",
       "10.0.0.9"},
      {"every hop trusted: the furthest", "10.0.0.9,10.0.0.8", "10.0.0.9", "10.0.0.8", "10.0.0.8"},
      {"IPv6 written another way", "0:0:0:0:0:0:0:1", "::1", "2001:DB8:0::5", "2001:db8::5"},
      {"IPv4-mapped entry", "::1", "::1", "::ffff:192.0.2.1", "192.0.2.1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string problem;
    auto proxies = TrustedProxies::Parse(c.trusted, &problem);
    ASSERT_TRUE(proxies) << problem;
    EXPECT_EQ(ClientAddress(c.peer, c.forwarded_for, *proxies), c.client);
  }
}

TEST(ClientAddress, RefusesAProxyThatIsNotANumericAddress) {
  struct Case {
    const char* list;
    const char* problem;
  };
  static const Case kCases[] = {
      {"10.0.0.1,proxy.local", "not a numeric IPv4 or IPv6 address: proxy.local"},
      {"10.0.0.256", "not a numeric IPv4 or IPv6 address: 10.0.0.256"},
      {"[::1]", "not a numeric IPv4 or IPv6 address: [::1]"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.list);
    std::string problem;
    EXPECT_FALSE(TrustedProxies::Parse(c.list, &problem));
    EXPECT_EQ(problem, c.problem);
  }
}

// One request of a scripted sequence: who, when after noon, what the shared store answers
// (nothing: it is down; -1: none is configured), and the decision.
struct Step {
  const char* name;
  const char* client;
  milliseconds at;
  long long shared;
  bool allowed;
  int retry_after;
};

void RunSteps(long long per_minute, const Step* steps, std::size_t count, bool with_store,
              std::vector<std::string>* keys) {
  const Step* current = nullptr;
  SharedCounter store = [&](const std::string& key, seconds window) -> std::optional<long long> {
    EXPECT_EQ(window, seconds(60));
    keys->push_back(key);
    if (current->shared < 0) return std::nullopt;
    return current->shared;
  };
  RateLimiter limiter(per_minute, with_store ? store : SharedCounter());
  for (std::size_t i = 0; i < count; ++i) {
    current = &steps[i];
    SCOPED_TRACE(current->name);
    Admission admission = limiter.Admit(current->client, kNoon + current->at);
    EXPECT_EQ(admission.allowed, current->allowed);
    EXPECT_EQ(admission.retry_after, seconds(current->retry_after));
  }
}

TEST(RateLimiter, CountsEachClientInItsMinute) {
  static const Step kSteps[] = {
      {"first", "203.0.113.7", milliseconds(0), 0, true, 0},
      {"second", "203.0.113.7", milliseconds(10000), 0, true, 0},
      {"third is refused until the minute ends", "203.0.113.7", milliseconds(45200), 0, false, 15},
      {"another client is served", "198.51.100.1", milliseconds(45500), 0, true, 0},
      {"at the end of the minute, still at least a second", "203.0.113.7", milliseconds(59900), 0,
       false, 1},
      {"a new minute, a new count", "203.0.113.7", milliseconds(60000), 0, true, 0},
  };
  std::vector<std::string> keys;
  RunSteps(2, kSteps, std::size(kSteps), false, &keys);
  EXPECT_TRUE(keys.empty());
}

TEST(RateLimiter, TakesTheSharedCountAndItsOwnWhenTheStoreIsDown) {
  static const Step kSteps[] = {
      {"store counts 1", "203.0.113.7", milliseconds(1000), 1, true, 0},
      {"store counts 3: another instance served two", "203.0.113.7", milliseconds(2000), 3, false,
       58},
      {"store down: own count 3", "203.0.113.7", milliseconds(3000), -1, false, 57},
      {"store down: another client's own count 1", "198.51.100.1", milliseconds(4000), -1, true, 0},
      {"store back, next minute", "198.51.100.1", milliseconds(61000), 2, true, 0},
  };
  std::vector<std::string> keys;
  RunSteps(2, kSteps, std::size(kSteps), true, &keys);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"rate:203.0.113.7:29946960", "rate:203.0.113.7:29946960",
                                      "rate:203.0.113.7:29946960", "rate:198.51.100.1:29946960",
                                      "rate:198.51.100.1:29946961"}));
}

TEST(RateLimiter, HoldsAtMostItsBoundOfClientsAndForgetsThemNextMinute) {
  RateLimiter limiter(1);
  for (std::size_t i = 0; i < kMaxClientsPerWindow; ++i) {
    ASSERT_TRUE(limiter.Admit("client " + std::to_string(i), kNoon).allowed) << i;
  }
  // Past the bound, newcomers share one count.
  EXPECT_TRUE(limiter.Admit("newcomer 1", kNoon).allowed);
  EXPECT_FALSE(limiter.Admit("newcomer 2", kNoon).allowed);
  EXPECT_FALSE(limiter.Admit("client 0", kNoon).allowed);
  EXPECT_TRUE(limiter.Admit("newcomer 3", kNoon + seconds(60)).allowed);
  EXPECT_TRUE(limiter.Admit("client 0", kNoon + seconds(60)).allowed);
}

TEST(ClientLimits, CountsCharactersNotBytes) {
  struct Case {
    const char* name;
    const char* utf8;
    std::size_t characters;
    bool allowed;  // with a limit of 4
  };
  static const Case kCases[] = {
      {"ASCII", "abcd", 4, true},
      {"two-byte letters", "\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1", 4, true},
      {"emoji of four bytes", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80 ok", 5, false},
      {"empty", "", 0, true},
  };
  LimitSettings settings;
  settings.max_characters = 4;
  ClientLimits limits(settings);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CountCharacters(c.utf8), c.characters);
    EXPECT_EQ(limits.TextAllowed(CountCharacters(c.utf8)), c.allowed);
  }
}

}  // namespace
}  // namespace service::limits
