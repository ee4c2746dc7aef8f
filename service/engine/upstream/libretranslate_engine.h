// LibreTranslate as an upstream: GET /languages, POST /translate with a JSON body.
#pragma once

#include "service/engine/upstream/upstream_engine.h"

#include <string>

namespace service::upstream {

class LibreTranslateApi : public UpstreamApi {
 public:
  // key_file only names where the key came from, for the remedy of a 403.
  LibreTranslateApi(std::string api_key, std::string key_file);

  std::string Kind() const override { return "libretranslate"; }
  std::string DisplayName() const override { return "LibreTranslate"; }
  HttpRequest PairsRequest(const std::string& url) const override;
  // Chinese is listed as zh-Hans and zh-Hant since 1.7, as zh and zt before.
  std::vector<UpstreamPair> ReadPairs(const std::string& body) const override;
  // Sends the plug-in's zh and zt as they are: LibreTranslate takes both.
  HttpRequest TranslateRequest(const std::string& url, const UpstreamPair& pair,
                               std::string_view text, HttpClient& client) const override;
  std::string ReadTranslation(const std::string& body) const override;
  std::string ForbiddenRemedy() const override;

 private:
  const std::string api_key_;
  const std::string key_file_;
};

class LibreTranslateEngine final : public UpstreamEngine {
 public:
  // Without a key when api_key is empty.
  LibreTranslateEngine(std::string url, std::string api_key, std::string key_file,
                       UpstreamLimits limits = {});
};

}  // namespace service::upstream
