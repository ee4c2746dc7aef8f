#include "service/engine/upstream/apy_engine.h"

#include <nlohmann/json.hpp>

#include <array>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>

namespace service::upstream {
namespace {

using nlohmann::json;

std::optional<std::string> PluginLanguage(std::string_view code) {
  // ISO 639-2 has bibliographic (fre) and terminology (fra) forms; APy data uses both.
  static const std::array<std::pair<std::string_view, std::string_view>, 18> kCodes = {
      {{"eng", "en"},
       {"spa", "es"},
       {"fra", "fr"},
       {"fre", "fr"},
       {"ita", "it"},
       {"por", "pt"},
       {"deu", "de"},
       {"ger", "de"},
       {"nld", "nl"},
       {"dut", "nl"},
       {"ell", "el"},
       {"gre", "el"},
       {"jpn", "ja"},
       {"kor", "ko"},
       {"rus", "ru"},
       {"zho", "zh"},
       {"chi", "zh"},
       {"cmn", "zh"}}};
  for (const auto& [three_letter, two_letter] : kCodes) {
    if (three_letter == code) return std::string(two_letter);
  }
  return std::nullopt;
}

void RequireStatus200(const json& answer) {
  if (answer.at("responseStatus").get<int>() != 200) {
    throw std::runtime_error("responseStatus is not 200");
  }
}

}  // namespace

HttpRequest ApyApi::PairsRequest(const std::string& url) const {
  HttpRequest request;
  request.url = url + "/listPairs";
  return request;
}

std::vector<UpstreamPair> ApyApi::ReadPairs(const std::string& body) const {
  json answer = json::parse(body);
  RequireStatus200(answer);
  const json& listed = answer.at("responseData");
  if (!listed.is_array()) throw std::runtime_error("responseData is not a list");
  std::map<std::string, UpstreamPair> pairs;
  for (const json& pair : listed) {
    std::string source = pair.at("sourceLanguage").get<std::string>();
    std::string target = pair.at("targetLanguage").get<std::string>();
    std::optional<std::string> from = PluginLanguage(source);
    std::optional<std::string> to = PluginLanguage(target);
    if (!from || !to || *from == *to) continue;
    std::string code = *from + "_" + *to;
    pairs.emplace(code, UpstreamPair{code, source, target});
  }
  std::vector<UpstreamPair> sorted;
  for (auto& [code, pair] : pairs) sorted.push_back(std::move(pair));
  return sorted;
}

HttpRequest ApyApi::TranslateRequest(const std::string& url, const UpstreamPair& pair,
                                     std::string_view text, HttpClient& client) const {
  HttpRequest request;
  request.url = url + "/translate?langpair=" + client.Escape(pair.source + "|" + pair.target) +
                "&q=" + client.Escape(std::string(text)) + "&markUnknown=no&format=txt";
  return request;
}

std::string ApyApi::ReadTranslation(const std::string& body) const {
  json answer = json::parse(body);
  RequireStatus200(answer);
  return answer.at("responseData").at("translatedText").get<std::string>();
}

std::string ApyApi::ForbiddenRemedy() const { return "check that the server lets this machine in"; }

ApyEngine::ApyEngine(std::string url, UpstreamLimits limits)
    : UpstreamEngine(std::move(url), std::make_unique<ApyApi>(), limits) {}

}  // namespace service::upstream
