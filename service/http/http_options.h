// What an operator turns on besides translating: remembered answers, the language detection,
// limits per client and the metrics. Each part is off when null or empty, and must outlive the
// HttpService that uses it.
#pragma once

#include "api_options.h"
#include "http_config.h"

#include <string>

namespace service {

namespace cache {
class TranslationCache;
}
namespace corrections {
class CorrectionBook;
class SuggestionBox;
}  // namespace corrections
namespace detect {
class LanguageDetector;
}
namespace limits {
class ApiKeyRing;
class ClientLimits;
}  // namespace limits
namespace metrics {
class ServiceMetrics;
}

struct HttpOptions {
  // Answers the texts it remembers without an engine, and remembers what the engines answer.
  cache::TranslationCache* cache = nullptr;
  // Takes the codes that name only the target, and answers /detect.
  const detect::LanguageDetector* detector = nullptr;
  limits::ClientLimits* limits = nullptr;
  // Counts every answered request; GET /metrics shows it, and is a 404 without it.
  metrics::ServiceMetrics* metrics = nullptr;
  // When not empty, GET /metrics answers only "Authorization: Bearer <this>".
  std::string metrics_token;
  // The translation APIs other clients speak: their keys (null: any key, or none, will do) and
  // the operator's settings for them.
  const limits::ApiKeyRing* keys = nullptr;
  ApiOptions api;
  // The workers that answer what may wait on an engine, and how many requests may wait for one.
  std::size_t workers = kTranslationWorkers;
  std::size_t waiting = kWaitingTranslations;
  // The operator's translations of chat lines, answered before the cache and the engines.
  corrections::CorrectionBook* corrections = nullptr;
  // Keeps what LibreTranslate's POST /suggest sends, pending the operator; null: suggestions off.
  corrections::SuggestionBox* suggestions = nullptr;
};

}  // namespace service
