#include "service_metrics.h"

#include "route_label.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/histogram.h>
#include <prometheus/metric_family.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <string>
#include <vector>

namespace service::metrics {

namespace {

// Seconds: a cache hit takes well under a millisecond, a local translation a few, an upstream
// one tens to hundreds, and a request ends at the engines' bounds of a few seconds.
const prometheus::Histogram::BucketBoundaries kDurationBuckets = {
    0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

prometheus::MetricFamily Family(std::string name, std::string help, prometheus::MetricType type) {
  prometheus::MetricFamily family;
  family.name = std::move(name);
  family.help = std::move(help);
  family.type = type;
  return family;
}

prometheus::ClientMetric CounterSample(double value) {
  prometheus::ClientMetric sample;
  sample.counter.value = value;
  return sample;
}

prometheus::ClientMetric GaugeSample(double value,
                                     std::vector<prometheus::ClientMetric::Label> labels = {}) {
  prometheus::ClientMetric sample;
  sample.gauge.value = value;
  sample.label = std::move(labels);
  return sample;
}

}  // namespace

// What is counted as it happens, in prometheus-cpp's registry; the library keeps each family's
// series under its own lock.
struct ServiceMetrics::Families {
  prometheus::Registry registry;
  prometheus::Family<prometheus::Counter>& requests =
      prometheus::BuildCounter()
          .Name("mirelskan_http_requests_total")
          .Help("HTTP requests answered, by route and status")
          .Register(registry);
  prometheus::Family<prometheus::Histogram>& durations =
      prometheus::BuildHistogram()
          .Name("mirelskan_http_request_duration_seconds")
          .Help("Time from a request's first byte to its answer, by route")
          .Register(registry);
  prometheus::Family<prometheus::Counter>& translations =
      prometheus::BuildCounter()
          .Name("mirelskan_translations_total")
          .Help("Translations asked of each engine, by result (ok, failed, engine_down)")
          .Register(registry);
};

ServiceMetrics::ServiceMetrics(ScrapeSources sources)
    : sources_(std::move(sources)), families_(std::make_unique<Families>()) {}

ServiceMetrics::~ServiceMetrics() = default;

void ServiceMetrics::CountRequest(std::string_view path, int status, double seconds) {
  std::string route(RouteLabel(path));
  families_->requests.Add({{"route", route}, {"status", std::to_string(status)}}).Increment();
  families_->durations.Add({{"route", route}}, kDurationBuckets).Observe(seconds);
}

void ServiceMetrics::CountTranslation(const std::string& engine, const char* result) {
  families_->translations.Add({{"engine", engine}, {"result", result}}).Increment();
}

std::string ServiceMetrics::Scrape() const {
  std::vector<prometheus::MetricFamily> families = families_->registry.Collect();

  if (sources_.engines) {
    auto up = Family("mirelskan_engine_up", "Whether each engine is ready (1) or down (0)",
                     prometheus::MetricType::Gauge);
    for (const EngineState& state : sources_.engines()) {
      up.metric.push_back(GaugeSample(state.health.ready ? 1 : 0, {{"engine", state.name}}));
    }
    families.push_back(std::move(up));
  }

  if (sources_.cache) {
    CacheStats cache = sources_.cache();
    auto hits = Family("mirelskan_cache_hits_total", "Translations answered from the cache",
                       prometheus::MetricType::Counter);
    hits.metric.push_back(CounterSample(static_cast<double>(cache.hits)));
    auto misses = Family("mirelskan_cache_misses_total", "Translations the cache did not hold",
                         prometheus::MetricType::Counter);
    misses.metric.push_back(CounterSample(static_cast<double>(cache.misses)));
    auto bytes =
        Family("mirelskan_cache_bytes", "Bytes the cache holds now", prometheus::MetricType::Gauge);
    bytes.metric.push_back(GaugeSample(static_cast<double>(cache.bytes)));
    families.push_back(std::move(hits));
    families.push_back(std::move(misses));
    families.push_back(std::move(bytes));
  }

  if (sources_.pipelines_running) {
    auto pipelines =
        Family("mirelskan_pipelines_running", "Apertium pipelines running now, busy or free",
               prometheus::MetricType::Gauge);
    pipelines.metric.push_back(GaugeSample(static_cast<double>(sources_.pipelines_running())));
    families.push_back(std::move(pipelines));
  }
  return prometheus::TextSerializer().Serialize(families);
}

}  // namespace service::metrics
