// What the remembered answers have done so far, for the metrics.
#pragma once

#include <cstdint>

namespace service::cache {

struct CacheStats {
  std::uint64_t hits = 0;         // answers from memory or the shared state, since the start
  std::uint64_t misses = 0;       // texts that had to go to an engine, since the start
  std::uint64_t bytes = 0;        // held in this process now
  std::uint64_t shared_hits = 0;  // of the hits, those the shared state answered
};

}  // namespace service::cache
