// Requests per client per minute, counted in fixed windows of the wall clock so that several
// instances sharing their counts agree on where a minute begins.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace service::limits {

// Adds one to the count under `key` and returns the new count; the count is forgotten
// `window` after it began. Nothing when the store cannot answer now.
using SharedCounter =
    std::function<std::optional<long long>(const std::string& key, std::chrono::seconds window)>;

struct Admission {
  bool allowed = true;
  std::chrono::seconds retry_after{0};  // when refused: until the window ends, at least 1 s
  std::chrono::system_clock::time_point retry_at;  // when refused: when the next window begins
};

// Memory: the clients of the current minute only, and at most this many of them; beyond it,
// further clients share one count, so a flood of addresses cannot grow the table.
inline constexpr std::size_t kMaxClientsPerWindow = 100000;
inline constexpr std::chrono::seconds kRateWindow{60};
inline constexpr const char* kOverflowClient = "(many)";

class RateLimiter {
 public:
  // `per_window` requests per client; `shared`, when given, counts across instances, and the
  // own count answers whenever it does not.
  explicit RateLimiter(long long per_window, SharedCounter shared = {});

  // Counts one request of `client` at `now` and says whether it may be served.
  Admission Admit(const std::string& client, std::chrono::system_clock::time_point now);
  // The same with a limit of its own for this client: an API key's.
  Admission Admit(const std::string& client, std::chrono::system_clock::time_point now,
                  long long per_window);

 private:
  long long CountHere(const std::string& client, long long window);

  const long long per_window_;
  const SharedCounter shared_;
  std::mutex mutex_;
  long long window_ = -1;
  std::unordered_map<std::string, long long> counts_;  // of window_ only
};

}  // namespace service::limits
