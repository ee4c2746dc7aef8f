#include "service/engine/upstream/libretranslate_engine.h"

#include "service/engine/language_names.h"

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <stdexcept>
#include <utility>

namespace service::upstream {
namespace {

using nlohmann::json;

std::optional<std::string> PluginLanguage(const std::string& code) {
  if (code == "zh-Hans") return "zh";
  if (code == "zh-Hant") return "zt";
  if (IsPluginLanguage(code)) return code;
  return std::nullopt;
}

}  // namespace

LibreTranslateApi::LibreTranslateApi(std::string api_key, std::string key_file)
    : api_key_(std::move(api_key)), key_file_(std::move(key_file)) {}

HttpRequest LibreTranslateApi::PairsRequest(const std::string& url) const {
  HttpRequest request;
  request.url = url + "/languages";
  return request;
}

std::vector<UpstreamPair> LibreTranslateApi::ReadPairs(const std::string& body) const {
  json languages = json::parse(body);
  if (!languages.is_array()) throw std::runtime_error("/languages is not a list");
  std::map<std::string, UpstreamPair> pairs;
  for (const json& language : languages) {
    std::optional<std::string> source = PluginLanguage(language.at("code").get<std::string>());
    const json& targets = language.at("targets");
    if (!targets.is_array()) throw std::runtime_error("targets is not a list");
    for (const json& listed : targets) {
      std::optional<std::string> target = PluginLanguage(listed.get<std::string>());
      if (!source || !target || *source == *target) continue;
      std::string code = *source + "_" + *target;
      pairs.emplace(code, UpstreamPair{code, *source, *target});
    }
  }
  std::vector<UpstreamPair> sorted;
  for (auto& [code, pair] : pairs) sorted.push_back(std::move(pair));
  return sorted;
}

HttpRequest LibreTranslateApi::TranslateRequest(const std::string& url, const UpstreamPair& pair,
                                                std::string_view text, HttpClient&) const {
  json body = {{"q", text}, {"source", pair.source}, {"target", pair.target}, {"format", "text"}};
  if (!api_key_.empty()) body["api_key"] = api_key_;
  HttpRequest request;
  request.url = url + "/translate";
  request.json_body = body.dump(-1, ' ', false, json::error_handler_t::replace);
  return request;
}

std::string LibreTranslateApi::ReadTranslation(const std::string& body) const {
  return json::parse(body).at("translatedText").get<std::string>();
}

std::string LibreTranslateApi::ForbiddenRemedy() const {
  if (key_file_.empty()) return "it wants an API key: add key-file=PATH to --upstream";
  return "check the API key in key-file=" + key_file_;
}

LibreTranslateEngine::LibreTranslateEngine(std::string url, std::string api_key,
                                           std::string key_file, UpstreamLimits limits)
    : UpstreamEngine(std::move(url),
                     std::make_unique<LibreTranslateApi>(std::move(api_key), std::move(key_file)),
                     limits) {}

}  // namespace service::upstream
