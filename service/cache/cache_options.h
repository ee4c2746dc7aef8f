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

// Applies `name` (--cache-mib, --cache-days or --shared-state) with `value`; what is wrong with
// the value, or "" when nothing is.
std::string ApplyCacheOption(const std::string& name, const std::string& value,
                             CacheOptions* options);

}  // namespace service::cache
