#include "libretranslate_api.h"

#include "service/corrections/suggestions.h"
#include "service/detect/language_detector.h"
#include "service/detect/target_code.h"
#include "service/engine/language_names.h"
#include "service/http/api_access.h"
#include "service/http/api_codes.h"
#include "service/http/http_config.h"
#include "service/http/pages.h"
#include "service/http/text_translation.h"
#include "service/limits/client_limits.h"
#include "service/text/text_encoding.h"

#include <cmath>
#include <map>
#include <set>

namespace service::libretranslate {

namespace {

using Json = nlohmann::ordered_json;
using service::Answer;

// LibreTranslate answers at most three candidates to /detect.
constexpr std::size_t kMostDetections = 3;

Answer JsonAnswer(int status, const Json& body) {
  Answer answer;
  answer.status = status;
  answer.body = body.dump() + "\n";
  answer.type = "application/json";
  answer.cors = true;
  return answer;
}

Answer Error(int status, const std::string& message) {
  return JsonAnswer(status, {{"error", message}});
}

Answer Refuse(const ApiRefusal& refusal) {
  Answer answer = Error(refusal.status, refusal.message);
  answer.retry_after = refusal.retry_after;
  return answer;
}

std::string Missing(const char* name) {
  return std::string("Invalid request: missing ") + name + " parameter";
}

std::string NotSupported(std::string_view code) { return std::string(code) + " is not supported"; }

std::string Named(const std::string& language) {
  return LanguageName(language).value_or(language) + " (" + ToLibreCode(language) + ")";
}

// LibreTranslate's confidence is a percentage.
double Percent(double confidence) { return std::round(confidence * 1000) / 10; }

// The languages on either side of some route now, each with the targets it reaches.
std::map<std::string, std::set<std::string>> Reach(const Router& router) {
  std::map<std::string, std::set<std::string>> reach;
  for (const Route& route : router.Routes()) {
    if (auto pair = SplitRouteCode(route.code)) reach[pair->source].insert(pair->target);
  }
  return reach;
}

bool IsTarget(const std::map<std::string, std::set<std::string>>& reach,
              const std::string& language) {
  for (const auto& [source, targets] : reach) {
    if (targets.count(language)) return true;
  }
  return false;
}

// The texts of `q`: one string, or a JSON list of strings (a batch).
struct Texts {
  std::vector<std::string> items;
  bool batch = false;
};

std::optional<Texts> TextsOf(const ApiFields& fields) {
  auto q = fields.values.find("q");
  if (q == fields.values.end()) return std::nullopt;
  Texts texts;
  if (q->is_string()) {
    texts.items.push_back(q->get<std::string>());
    if (texts.items.front().empty()) return std::nullopt;
    return texts;
  }
  if (!q->is_array() || q->empty()) return std::nullopt;
  texts.batch = true;
  for (const auto& item : *q) {
    if (!item.is_string()) return std::nullopt;
    texts.items.push_back(item.get<std::string>());
  }
  return texts;
}

// The body of a form read as LibreTranslate reads it: line ends as "\n" alone, so that the
// limits count what JSON clients send alike.
std::string UnixLines(std::string text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  return lines;
}

struct Item {
  std::string source;  // ours; empty when nothing in the text tells
  double confidence = 0;
};

// Each text's own language, among those with a route to `target` and `target` itself: a batch
// of lines from several people is several languages.
Item DetectItem(const Router& router, const detect::LanguageDetector& detector,
                const std::string& text, const std::string& target) {
  auto resolution = detect::ResolveTargetOnly(router, detector, target, text);
  Item item;
  if (resolution && resolution->detection.language) {
    item.source = *resolution->detection.language;
    item.confidence = resolution->detection.candidates.front().confidence;
  }
  return item;
}

Json DetectedJson(const Item& item, const std::string& target) {
  // A text with no evidence of any language comes back as typed, as if in the target language.
  return {{"confidence", Percent(item.confidence)},
          {"language", ToLibreCode(item.source.empty() ? target : item.source)}};
}

// The code that translates `source` into `target`; empty when the text comes back as typed.
struct Plan {
  std::string code;
  std::optional<service::Answer> refusal;  // no route between the two
};

Plan PlanItem(const Router& router, const std::string& source, const std::string& target,
              const std::string& text) {
  Plan plan;
  if (source.empty() || source == target || IsBlank(text)) return plan;
  plan.code = source + "_" + target;
  if (!router.Find(plan.code)) {
    plan.refusal =
        Error(400, Named(target) + " is not available as a target language from " + Named(source));
  }
  return plan;
}

// Translates the texts that have a code, those of one code in one go; their translations
// replace them in `texts`. The refusal when an engine cannot answer.
std::optional<service::Answer> TranslateAll(const Router& router, const HttpOptions& options,
                                            const std::vector<std::string>& codes,
                                            TextFormat format, std::vector<std::string>& texts,
                                            service::Answer& counted) {
  std::map<std::string, std::vector<std::size_t>> by_code;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (!codes[i].empty()) by_code[codes[i]].push_back(i);
  }
  for (const auto& [code, items] : by_code) {
    std::vector<std::string> asked;
    for (std::size_t i : items) asked.push_back(texts[i]);
    std::vector<TextTranslation> done =
        TranslateTexts(router, options.cache, code, asked, format, options.corrections);
    for (std::size_t n = 0; n < items.size(); ++n) {
      if (!done[n].engine.empty()) {
        counted.engine = done[n].engine;
        counted.translation = done[n].result;
      }
      if (!done[n].ok) {
        service::Answer refusal = Error(done[n].status, done[n].problem);
        refusal.engine = done[n].engine;
        refusal.translation = done[n].result;
        return refusal;
      }
      texts[items[n]] = std::move(done[n].text);
    }
  }
  return std::nullopt;
}

std::optional<TextFormat> FormatOf(const std::optional<std::string>& format) {
  if (!format || format->empty() || *format == "text") return TextFormat::kChat;
  if (*format == "html") return TextFormat::kHtml;
  return std::nullopt;
}

// The refusal of a text over the limits, or nothing.
std::optional<service::Answer> OverLimits(const HttpOptions& options, const Texts& texts) {
  std::size_t batch_limit = options.api.batch_limit;
  if (texts.batch && batch_limit > 0 && texts.items.size() > batch_limit) {
    return Error(400, "Invalid request: request (" + std::to_string(texts.items.size()) +
                          ") exceeds text limit (" + std::to_string(batch_limit) + ")");
  }
  for (const std::string& text : texts.items) {
    if (!IsValidUtf8(text)) return Error(400, "Invalid request: the text is not valid UTF-8");
    std::size_t characters = limits::CountCharacters(text);
    if (options.limits && !options.limits->TextAllowed(characters)) {
      return Error(400, "Invalid request: request (" + std::to_string(characters) +
                            ") exceeds text limit (" +
                            std::to_string(options.limits->max_characters()) + ")");
    }
  }
  return std::nullopt;
}

service::Answer Translate(const Router& router, const HttpOptions& options,
                          const ApiFields& fields) {
  std::optional<Texts> texts = TextsOf(fields);
  if (!texts) return Error(400, Missing("q"));
  auto source_code = fields.Text("source");
  if (!source_code || source_code->empty()) return Error(400, Missing("source"));
  auto target_code = fields.Text("target");
  if (!target_code || target_code->empty()) return Error(400, Missing("target"));
  if (!fields.json) {
    for (std::string& text : texts->items) text = UnixLines(std::move(text));
  }
  if (auto refused = OverLimits(options, *texts)) return std::move(*refused);
  auto reach = Reach(router);
  bool automatic = *source_code == "auto";
  std::optional<std::string> source =
      automatic ? std::optional<std::string>("") : FromLibreCode(*source_code);
  if (!source || (!automatic && !reach.count(*source))) {
    return Error(400, NotSupported(*source_code));
  }
  std::optional<std::string> target = FromLibreCode(*target_code);
  if (!target || !IsTarget(reach, *target)) return Error(400, NotSupported(*target_code));
  std::optional<TextFormat> format = FormatOf(fields.Text("format"));
  if (!format) return Error(400, *fields.Text("format") + " format is not supported");
  if (automatic && !options.detector) return Error(400, NotSupported("auto"));

  Json detected = Json::array();
  std::vector<std::string> codes;
  for (const std::string& text : texts->items) {
    Item item{*source, 1};
    if (automatic) {
      item = DetectItem(router, *options.detector, text, *target);
      detected.push_back(DetectedJson(item, *target));
    }
    Plan plan = PlanItem(router, item.source, *target, text);
    if (plan.refusal) return std::move(*plan.refusal);
    codes.push_back(std::move(plan.code));
  }
  service::Answer counted;
  if (auto refused = TranslateAll(router, options, codes, *format, texts->items, counted)) {
    return std::move(*refused);
  }
  Json translated = Json::array();
  for (std::string& text : texts->items) translated.push_back(std::move(text));
  Json body;
  body["translatedText"] = texts->batch ? translated : translated.front();
  if (automatic) body["detectedLanguage"] = texts->batch ? detected : detected.front();
  // Apertium has no alternatives to offer; a client that asks for some is told so in its shape.
  auto alternatives = fields.values.find("alternatives");
  if (alternatives != fields.values.end() && !alternatives->is_null()) {
    Json none = Json::array();
    if (texts->batch) {
      for (std::size_t i = 0; i < texts->items.size(); ++i) none.push_back(Json::array());
    }
    body["alternatives"] = none;
  }
  service::Answer answer = JsonAnswer(200, body);
  answer.engine = std::move(counted.engine);
  answer.translation = counted.translation;
  return answer;
}

// The languages some route translates from or into.
std::vector<std::string> RoutedLanguages(const Router& router) {
  std::set<std::string> languages;
  for (const auto& [source, targets] : Reach(router)) {
    languages.insert(source);
    languages.insert(targets.begin(), targets.end());
  }
  return {languages.begin(), languages.end()};
}

service::Answer Detect(const Router& router, const HttpOptions& options, const ApiFields& fields) {
  std::optional<Texts> texts = TextsOf(fields);
  if (!texts) return Error(400, Missing("q"));
  const std::string& text = texts->items.front();
  if (!IsValidUtf8(text)) return Error(400, "Invalid request: the text is not valid UTF-8");
  if (text.size() > kMaxDetectText) {
    return Error(400, "Invalid request: the text is longer than " + std::to_string(kMaxDetectText) +
                          " bytes");
  }
  if (!options.detector) return Error(400, "Language detection is off on this server");
  detect::Detection detection = options.detector->Detect(text, RoutedLanguages(router));
  Json candidates = Json::array();
  for (const detect::Candidate& candidate : detection.candidates) {
    if (candidates.size() == kMostDetections) break;
    candidates.push_back({{"confidence", Percent(candidate.confidence)},
                          {"language", ToLibreCode(candidate.language)}});
  }
  return JsonAnswer(200, candidates);
}

service::Answer Languages(const Router& router) {
  Json languages = Json::array();
  auto reach = Reach(router);
  for (const std::string& language : RoutedLanguages(router)) {
    Json targets = Json::array();
    for (const std::string& target : reach[language]) targets.push_back(ToLibreCode(target));
    languages.push_back({{"code", ToLibreCode(language)},
                         {"name", LanguageName(language).value_or(language)},
                         {"targets", targets}});
  }
  return JsonAnswer(200, languages);
}

Json NamedCode(const std::string& code, const std::string& name) {
  return {{"code", code}, {"name", name}};
}

service::Answer FrontendSettings(const Router& router, const HttpOptions& options) {
  auto reach = Reach(router);
  std::string target = "en";
  if (!IsTarget(reach, target)) {
    std::vector<std::string> languages = RoutedLanguages(router);
    target = languages.empty() ? "en" : languages.front();
  }
  long long char_limit = options.limits && options.limits->max_characters() > 0
                             ? static_cast<long long>(options.limits->max_characters())
                             : -1;
  Json source =
      options.detector
          ? NamedCode("auto", "Auto Detect")
          : NamedCode(ToLibreCode(reach.empty() ? "en" : reach.begin()->first),
                      LanguageName(reach.empty() ? "en" : reach.begin()->first).value_or(""));
  Json body = {
      {"charLimit", char_limit},
      {"frontendTimeout", 500},
      {"apiKeys", options.keys != nullptr},
      {"keyRequired", options.api.require_key},
      {"suggestions", options.suggestions != nullptr},
      {"filesTranslation", false},
      {"supportedFilesFormat", Json::array()},
      {"language",
       {{"source", source},
        {"target", NamedCode(ToLibreCode(target), LanguageName(target).value_or(target))}}}};
  return JsonAnswer(200, body);
}

// A better translation of `q` than the service's, `s`, kept for the operator to accept.
service::Answer Suggest(const Router& router, const HttpOptions& options, const ApiFields& fields) {
  std::optional<std::string> fields_read[4];
  const char* const names[] = {"q", "s", "source", "target"};
  for (std::size_t i = 0; i < 4; ++i) {
    fields_read[i] = fields.Text(names[i]);
    if (!fields_read[i] || fields_read[i]->empty()) return Error(400, Missing(names[i]));
  }
  const std::string &line = *fields_read[0], &translation = *fields_read[1];
  for (const std::string* text : {&line, &translation}) {
    if (!IsValidUtf8(*text)) return Error(400, "Invalid request: the text is not valid UTF-8");
    std::size_t characters = limits::CountCharacters(*text);
    if (options.limits && !options.limits->TextAllowed(characters)) {
      return Error(400, "Invalid request: request (" + std::to_string(characters) +
                            ") exceeds text limit (" +
                            std::to_string(options.limits->max_characters()) + ")");
    }
  }
  std::optional<std::string> source = FromLibreCode(*fields_read[2]);
  std::optional<std::string> target = FromLibreCode(*fields_read[3]);
  if (!source || !target || !router.Find(*source + "_" + *target)) {
    return Error(400, Named(target.value_or(*fields_read[3])) +
                          " is not available as a target language from " +
                          Named(source.value_or(*fields_read[2])));
  }
  bool bad_input = false;
  std::string problem =
      options.suggestions->Add(*source + "_" + *target, line, translation, &bad_input);
  if (!problem.empty()) {
    return Error(bad_input ? 400 : 500, (bad_input ? "Invalid request: " : "") + problem);
  }
  return JsonAnswer(200, {{"success", true}});
}

}  // namespace

bool IsRoute(std::string_view method, std::string_view path) {
  if (path == "/translate" || path == "/languages" || path == "/frontend/settings") return true;
  if (path == "/suggest") return true;
  return path == "/detect" && method == "POST";
}

service::Answer Serve(const Router& router, const HttpOptions& options, std::string_view method,
                      std::string_view path, const ApiFields& fields, std::string_view client) {
  if (method == "OPTIONS") {
    service::Answer preflight = JsonAnswer(204, nullptr);
    preflight.body.clear();
    preflight.preflight = true;
    return preflight;
  }
  if (path == "/languages") return Languages(router);
  if (path == "/frontend/settings") return FrontendSettings(router, options);
  if (method != "POST" && method != "GET") {
    service::Answer refused = Error(405, "Method not allowed");
    refused.allow = "GET, POST, OPTIONS";
    return refused;
  }
  // LibreTranslate's own words, before anything of the request is read.
  if (path == "/suggest" && !options.suggestions) {
    return Error(403, "Suggestions are disabled on this server.");
  }
  if (path == "/suggest" && method != "POST") {
    service::Answer refused = Error(405, "Method not allowed");
    refused.allow = "POST, OPTIONS";
    return refused;
  }
  if (!fields.problem.empty()) return Error(400, fields.problem);
  if (auto refused = CheckApiAccess(options, client, fields.Text("api_key"))) {
    return Refuse(*refused);
  }
  if (path == "/detect") return Detect(router, options, fields);
  if (path == "/suggest") return Suggest(router, options, fields);
  return Translate(router, options, fields);
}

}  // namespace service::libretranslate
