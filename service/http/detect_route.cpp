#include "detect_route.h"

#include "form_query.h"
#include "http_config.h"
#include "service/detect/target_code.h"
#include "service/text/text_encoding.h"

#include <nlohmann/json.hpp>

namespace service {

namespace {

Answer Json(int status, const nlohmann::ordered_json& body) {
  Answer answer;
  answer.status = status;
  answer.body = body.dump() + "\n";
  answer.type = "application/json";
  answer.close = status == 400;
  return answer;
}

Answer Refuse(const std::string& problem) { return Json(400, {{"error", problem}}); }

nlohmann::ordered_json DetectionJson(const detect::Detection& detection) {
  nlohmann::ordered_json candidates = nlohmann::ordered_json::array();
  for (const detect::Candidate& candidate : detection.candidates) {
    candidates.push_back({{"language", candidate.language}, {"confidence", candidate.confidence}});
  }
  nlohmann::ordered_json body = {{"language", nullptr}, {"confidence", nullptr}};
  if (detection.language) {
    body["language"] = *detection.language;
    body["confidence"] = detection.candidates.front().confidence;
  }
  body["candidates"] = std::move(candidates);
  return body;
}

}  // namespace

Answer DetectLanguage(const Router& router, const detect::LanguageDetector& detector,
                      std::string_view form) {
  std::optional<std::string> text = FormField(form, "q");
  if (!text || text->empty()) {
    return Refuse("The request has no text: send /detect?q=TEXT.");
  }
  if (!IsValidUtf8(*text)) return Refuse("The text is not valid UTF-8.");
  if (text->size() > kMaxDetectText) {
    return Refuse("The text is longer than " + std::to_string(kMaxDetectText) + " bytes.");
  }
  std::vector<std::string> candidates;
  if (std::optional<std::string> target = FormField(form, "target")) {
    std::optional<std::string> language = detect::TargetOnly(*target);
    if (language) candidates = detect::SourcesFor(router, *language);
    if (candidates.empty()) return Refuse("No language pair translates into \"" + *target + "\".");
    candidates.push_back(*language);
  }
  return Json(200, DetectionJson(detector.Detect(*text, candidates)));
}

}  // namespace service
