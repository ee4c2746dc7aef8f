// Apertium-APy as an upstream: GET /listPairs, GET /translate, three-letter language codes.
#pragma once

#include "service/engine/upstream/upstream_engine.h"

#include <string>

namespace service::upstream {

class ApyApi : public UpstreamApi {
 public:
  std::string Kind() const override { return "apy"; }
  std::string DisplayName() const override { return "Apertium-APy"; }
  HttpRequest PairsRequest(const std::string& url) const override;
  // Keeps the upstream's own spelling (fra or fre) for the requests.
  std::vector<UpstreamPair> ReadPairs(const std::string& body) const override;
  // Plain text without marks on unknown words: APy's defaults are HTML and marks.
  HttpRequest TranslateRequest(const std::string& url, const UpstreamPair& pair,
                               std::string_view text, HttpClient& client) const override;
  // Whole only with responseStatus 200 and the text as a string.
  std::string ReadTranslation(const std::string& body) const override;
  std::string ForbiddenRemedy() const override;
};

class ApyEngine final : public UpstreamEngine {
 public:
  explicit ApyEngine(std::string url, UpstreamLimits limits = {});
};

}  // namespace service::upstream
