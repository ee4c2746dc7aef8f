// The service's metrics: what the HTTP layer counts as requests are answered, and what is read
// from the engines and the cache only when a scrape asks. Every label comes from a fixed or
// configured set: routes, status codes, engine names, results; never a client or a text.
#pragma once

#include "service/engine/router.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace service::metrics {

struct CacheStats {
  std::uint64_t hits = 0;
  std::uint64_t misses = 0;
  std::uint64_t bytes = 0;  // held now
};

// Where a scrape reads what others keep; an empty function leaves its metrics out.
struct ScrapeSources {
  std::function<std::vector<EngineState>()> engines;  // Router::States
  std::function<CacheStats()> cache;
  std::function<std::size_t()> pipelines_running;
};

// A translation's outcome as counted: translated, failed in the engine, or not tried since the
// engine was down.
inline constexpr const char* kTranslated = "ok";
inline constexpr const char* kFailed = "failed";
inline constexpr const char* kEngineDown = "engine_down";

class ServiceMetrics {
 public:
  explicit ServiceMetrics(ScrapeSources sources);
  ServiceMetrics(const ServiceMetrics&) = delete;
  ServiceMetrics& operator=(const ServiceMetrics&) = delete;
  ~ServiceMetrics();

  // One answered request: `path` without its query (see RouteLabel), its status and how long
  // it took from its first byte to its answer being queued.
  void CountRequest(std::string_view path, int status, double seconds);
  // One translation `engine` was asked for (or not, being down), with one of the results above.
  void CountTranslation(const std::string& engine, const char* result);

  // Everything in the Prometheus text format (version 0.0.4).
  std::string Scrape() const;

 private:
  struct Families;
  const ScrapeSources sources_;
  std::unique_ptr<Families> families_;
};

// The content type of what Scrape returns, without its charset.
inline constexpr const char* kScrapeContentType = "text/plain; version=0.0.4";

}  // namespace service::metrics
