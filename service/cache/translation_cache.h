// Remembered answers: a translation is kept under its code and the exact pieces the engine was
// given, in this process's memory and, for a group of instances, in the shared state behind
// it. Only successful answers are kept. Safe to use from many threads at once.
#pragma once

#include "cache_stats.h"
#include "lru_cache.h"
#include "service/engine/engine.h"
#include "shared_state.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service::cache {

inline constexpr std::size_t kDefaultCacheMiB = 64;
inline constexpr std::chrono::hours kDefaultSharedDays{7 * 24};

class TranslationCache {
 public:
  // Holds up to `capacity` bytes in memory (0: none). `shared`, when given and outliving this,
  // keeps every answer for `shared_ttl` (0: none) and is asked on a miss in memory.
  TranslationCache(std::size_t capacity, SharedState* shared, std::chrono::seconds shared_ttl);
  TranslationCache(const TranslationCache&) = delete;
  TranslationCache& operator=(const TranslationCache&) = delete;

  // The translation remembered for these pieces of a text in `code`; nothing on a miss.
  std::optional<std::string> Recall(std::string_view code, const std::vector<Piece>& pieces);

  // Whether Recall would answer these pieces from this process's memory, without counting a
  // hit or a miss or asking the shared state: a look that never waits on the network.
  bool HoldsInMemory(std::string_view code, const std::vector<Piece>& pieces) const;

  // Remembers what an engine answered for these pieces.
  void Remember(std::string_view code, const std::vector<Piece>& pieces,
                const std::string& translation);

  CacheStats Stats() const;

 private:
  bool Keeps() const;

  LruCache memory_;
  const bool in_memory_;
  SharedState* const shared_;
  const std::chrono::seconds shared_ttl_;
  std::atomic<std::uint64_t> hits_{0};
  std::atomic<std::uint64_t> misses_{0};
  std::atomic<std::uint64_t> shared_hits_{0};
};

}  // namespace service::cache
