#include "apy_api.h"

#include "service/detect/language_detector.h"
#include "service/engine/language_names.h"
#include "service/http/api_access.h"
#include "service/http/api_codes.h"
#include "service/http/pages.h"
#include "service/http/text_translation.h"
#include "service/limits/client_limits.h"
#include "service/text/text_encoding.h"

#include <algorithm>
#include <set>

namespace service::apy {

namespace {

using Json = nlohmann::ordered_json;

// The reason phrases APy's errors carry as their "message".
const char* Reason(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 405: return "Method Not Allowed";
    case 429: return "Too Many Requests";
    default: return "Service Unavailable";
  }
}

Answer JsonAnswer(int status, const Json& body) {
  Answer answer;
  answer.status = status;
  answer.body = body.dump();
  answer.type = "application/json";
  answer.cors = true;
  return answer;
}

Answer Error(int status, const std::string& explanation) {
  return JsonAnswer(status, {{"status", "error"},
                             {"code", status},
                             {"message", Reason(status)},
                             {"explanation", explanation}});
}

Json Success(Json data) {
  return {{"responseData", std::move(data)}, {"responseDetails", nullptr}, {"responseStatus", 200}};
}

std::optional<CodeLanguages> PairOf(const std::string& langpair) {
  std::size_t bar = langpair.find('|');
  if (bar == std::string::npos) return std::nullopt;
  auto source = FromApertiumCode(langpair.substr(0, bar));
  auto target = FromApertiumCode(langpair.substr(bar + 1));
  if (!source || !target) return std::nullopt;
  return CodeLanguages{*source, *target};
}

// APy reads its text as HTML unless told "txt".
TextFormat FormatOf(const ApiFields& fields) {
  auto format = fields.Text("format");
  return format && (*format == "txt" || *format == "text") ? TextFormat::kChat : TextFormat::kHtml;
}

Answer Translate(const Router& router, const HttpOptions& options, const ApiFields& fields) {
  auto langpair = fields.Text("langpair");
  if (!langpair) return Error(400, "Missing argument langpair");
  auto text = fields.Text("q");
  if (!text) return Error(400, "Missing argument q");
  std::optional<CodeLanguages> pair = PairOf(*langpair);
  if (!pair) {
    if (langpair->find('|') == std::string::npos) {
      return Error(400, "That pair is invalid, use e.g. eng|spa");
    }
    return Error(400, "That pair is not installed");
  }
  std::string code = pair->source + "_" + pair->target;
  if (!router.Find(code)) return Error(400, "That pair is not installed");
  if (!IsValidUtf8(*text)) return Error(400, "The text is not valid UTF-8");
  if (options.limits && !options.limits->TextAllowed(limits::CountCharacters(*text))) {
    return Error(400, "The text is longer than " +
                          std::to_string(options.limits->max_characters()) + " characters");
  }
  std::string translated = *text;
  Answer counted;
  if (!IsBlank(*text)) {
    TextTranslation translation =
        TranslateText(router, options.cache, code, *text, FormatOf(fields), options.corrections);
    counted.engine = translation.engine;
    counted.translation = translation.result;
    if (!translation.ok) {
      Answer refused = Error(503, translation.problem);
      refused.engine = std::move(counted.engine);
      refused.translation = counted.translation;
      return refused;
    }
    translated = std::move(translation.text);
  }
  Answer answer = JsonAnswer(200, Success({{"translatedText", translated}}));
  answer.engine = std::move(counted.engine);
  answer.translation = counted.translation;
  return answer;
}

Answer ListPairs(const Router& router, const ApiFields& fields) {
  Json pairs = Json::array();
  bool two_letter_too = fields.values.contains("include_deprecated_codes");
  for (const Route& route : router.Routes()) {
    auto pair = SplitRouteCode(route.code);
    if (!pair) continue;
    pairs.push_back({{"sourceLanguage", ToApertiumCode(pair->source)},
                     {"targetLanguage", ToApertiumCode(pair->target)}});
    if (two_letter_too) {
      pairs.push_back({{"sourceLanguage", pair->source}, {"targetLanguage", pair->target}});
    }
  }
  return JsonAnswer(200, Success(pairs));
}

// APy's /list: the pairs by default; of its other modes (analysers, generators, spellers, ...)
// Apertium's engines here offer none.
Answer List(const Router& router, const ApiFields& fields) {
  std::string query = fields.Text("q").value_or("pairs");
  if (query == "pairs") return ListPairs(router, fields);
  static const std::set<std::string> kNamedModes = {
      "analyzers", "analysers", "generators", "taggers", "disambiguators", "spellers", "guessers"};
  if (kNamedModes.count(query)) return JsonAnswer(200, Json::object());
  if (query == "bilsearch" || query == "billookup") return JsonAnswer(200, Success(Json::array()));
  return Error(400,
               "Expecting q argument to be one of analysers, generators, guessers, spellers, "
               "disambiguators, or pairs");
}

// Only English names are known here: a page in another locale gets none and shows the codes,
// as APy does for a locale its names database lacks.
Answer LanguageNames(const Router& router, const ApiFields& fields) {
  auto locale = fields.Text("locale");
  if (!locale) return Error(400, "Missing argument locale");
  Json names = Json::object();
  auto english = FromApertiumCode(*locale);
  if (!english || *english != "en") return JsonAnswer(200, names);
  std::set<std::string> routed;
  for (const Route& route : router.Routes()) {
    if (auto pair = SplitRouteCode(route.code)) routed.insert({pair->source, pair->target});
  }
  auto asked = fields.Text("languages");
  if (!asked) {
    for (const std::string& language : routed) {
      if (auto name = LanguageName(language)) names[ToApertiumCode(language)] = *name;
    }
    return JsonAnswer(200, names);
  }
  // Each code as the client wrote it, two letters or three ("eng+spa" arrives as "eng spa").
  std::string_view rest = *asked;
  while (!rest.empty()) {
    std::string code(rest.substr(0, rest.find(' ')));
    rest.remove_prefix(std::min(rest.size(), code.size() + 1));
    auto language = FromApertiumCode(code);
    auto name = language ? LanguageName(*language) : std::nullopt;
    if (name) names[code] = *name;
  }
  return JsonAnswer(200, names);
}

Answer IdentifyLanguage(const HttpOptions& options, const ApiFields& fields) {
  auto text = fields.Text("q");
  if (!text || text->empty()) return Error(400, "Missing q argument");
  if (!IsValidUtf8(*text)) return Error(400, "The text is not valid UTF-8");
  Json scores = Json::object();
  if (options.detector) {
    for (const detect::Candidate& candidate : options.detector->Detect(*text).candidates) {
      scores[ToApertiumCode(candidate.language)] = candidate.confidence;
    }
  }
  return JsonAnswer(200, scores);
}

}  // namespace

bool IsRoute(std::string_view method, std::string_view path, const ApiFields& fields) {
  if (path == "/listPairs" || path == "/list" || path == "/listLanguageNames" ||
      path == "/identifyLang") {
    return true;
  }
  if (path != "/translate") return false;
  if (fields.values.contains("langpair")) return true;
  // LibreTranslate's /translate is a POST naming a source or a target; a GET naming neither
  // is an APy client's that left the pair out.
  return method == "GET" && !fields.values.contains("source") && !fields.values.contains("target");
}

Answer Serve(const Router& router, const HttpOptions& options, std::string_view method,
             std::string_view path, const ApiFields& fields, std::string_view client) {
  if (method == "OPTIONS") {
    Answer preflight = JsonAnswer(204, nullptr);
    preflight.body.clear();
    preflight.preflight = true;
    return preflight;
  }
  if (method != "GET" && method != "POST" && method != "HEAD") {
    Answer refused = Error(405, "Method not allowed");
    refused.allow = "GET, POST, OPTIONS";
    return refused;
  }
  if (!fields.problem.empty()) return Error(400, fields.problem);
  if (path == "/listPairs") return ListPairs(router, fields);
  if (path == "/list") return List(router, fields);
  if (path == "/listLanguageNames") return LanguageNames(router, fields);
  if (auto refused = CheckApiAccess(options, client, fields.Text("key"))) {
    Answer answer = Error(refused->status, refused->message);
    answer.retry_after = refused->retry_after;
    return answer;
  }
  if (path == "/identifyLang") return IdentifyLanguage(options, fields);
  return Translate(router, options, fields);
}

}  // namespace service::apy
