// The command line's say about remembered answers: --cache-mib, --cache-days, --shared-state.
#pragma once

#include "redis_address.h"
#include "translation_cache.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace service::cache {

struct CacheOptions {
  std::size_t mib = kDefaultCacheMiB;           // 0: nothing kept in memory
  std::chrono::hours ttl = kDefaultSharedDays;  // in the shared state; 0: nothing kept there
  std::optional<RedisAddress> shared;
};

inline constexpr const char* kCacheUsage =
    "  --cache-mib N       remember up to N MiB of answers in memory (default 64; 0: none)\n"
    "  --shared-state redis://HOST:PORT\n"
    "                      share remembered answers and limit counters with the other\n"
    "                      instances of a group through Redis (its own memory still first)\n"
    "  --cache-days N      how long the shared state keeps an answer (default 7; 0: none)\n";

bool IsCacheOption(const std::string& name);

// Applies `name` (one IsCacheOption accepts) with `value`; what is wrong with the value, or ""
// when nothing is.
std::string ApplyCacheOption(const std::string& name, const std::string& value,
                             CacheOptions* options);

}  // namespace service::cache
