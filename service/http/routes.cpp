#include "routes.h"

#include "api_codes.h"
#include "api_fields.h"
#include "apy/apy_api.h"
#include "detect_route.h"
#include "form_query.h"
#include "guards.h"
#include "health.h"
#include "http_config.h"
#include "libretranslate/libretranslate_api.h"
#include "pages.h"
#include "service/cache/translation_cache.h"
#include "service/detect/target_code.h"
#include "service/limits/client_limits.h"
#include "service/metrics/service_metrics.h"
#include "service/text/protected_spans.h"
#include "service/text/text_encoding.h"
#include "target_code_list.h"
#include "text_translation.h"

#include <algorithm>
#include <optional>

namespace service {

namespace {

Answer Respond(int status, std::string body) {
  Answer answer;
  answer.status = status;
  answer.body = std::move(body);
  // A request the service could not read leaves nothing worth keeping the connection for.
  answer.close = status == 400 || status == 405 || status == 414;
  return answer;
}

Answer AsTyped(std::string_view text, const FormState& form, bool for_browser, bool utf8) {
  Answer answer =
      Respond(200, ResultPage(for_browser ? EscapeTranslation(text) : GuardEndMarker(text), form));
  answer.charset = utf8 ? "UTF-8" : "windows-1252";
  return answer;
}

// What /tr reads before it would ask an engine: its answer already (a refusal, or the text as
// typed), or else the pair to translate with and the text in UTF-8.
struct TrRequest {
  std::optional<Answer> answer;
  std::string text;  // as sent
  std::string code;  // as sent
  std::string pair;
  std::string utf8_text;
  std::string detected;  // for a browser: the language detected for a code naming the target
  bool utf8 = false;
};

TrRequest ReadTr(const Router& router, const HttpOptions& options, std::string_view query,
                 bool for_browser) {
  TrRequest request;
  auto text = FormField(query, WIRE_TEXT_FIELD);
  auto code = FormField(query, WIRE_PAIR_FIELD);
  if (!text || !code) {
    request.answer =
        Respond(400, MessagePage("Missing parameter",
                                 std::string("The request has no ") + (text ? "lp" : "trtext") +
                                     " parameter. Send /tr?trtext=TEXT&lp=CODE, for example "
                                     "/tr?trtext=Hello&lp=en_es.",
                                 router.Routes()));
    return request;
  }
  request.text = std::move(*text);
  request.code = std::move(*code);
  // Non-ASCII text in valid UTF-8 comes from a browser; anything else is read as the host's
  // ANSI code page, which is also the safer answer for plain ASCII.
  const std::string& typed = request.text;
  request.utf8 = IsValidUtf8(typed) &&
                 std::any_of(typed.begin(), typed.end(), [](char c) { return c & 0x80; });
  if (auto refused =
          RefuseLongText(options, request.utf8 ? limits::CountCharacters(typed) : typed.size())) {
    request.answer = std::move(*refused);
    return request;
  }
  request.utf8_text = request.utf8 ? typed : Windows1252ToUtf8(typed);
  // A code that names only the target goes through the pair of the language detected.
  request.pair = request.code;
  if (options.detector && !router.Find(request.pair)) {
    if (auto resolution =
            detect::ResolveTargetOnly(router, *options.detector, request.pair, request.utf8_text)) {
      if (resolution->detection.language && for_browser) {
        request.detected = detect::LanguageTitle(*resolution->detection.language);
      }
      request.pair = resolution->code;
      if (request.pair.empty()) {  // already in the target language, or no language at all
        std::vector<Route> routes = router.Routes();
        FormState form{&routes, typed, request.code, request.detected, {}, {}, {}};
        request.answer = AsTyped(typed, form, for_browser, request.utf8);
        return request;
      }
    }
  }
  if (!router.Find(request.pair)) {
    request.answer = Respond(404, MessagePage("Language pair not available",
                                              "This service cannot translate the language pair \"" +
                                                  request.code + "\".",
                                              router.Routes()));
  }
  return request;
}

Answer Translate(const Router& router, const HttpOptions& options, std::string_view query,
                 bool for_browser) {
  TrRequest request = ReadTr(router, options, query, for_browser);
  if (request.answer) return std::move(*request.answer);
  std::vector<Route> routes = router.Routes();
  FormState form{&routes, request.text, request.code, request.detected, {}, {}, {}};
  std::string result = request.text;  // a blank text stays as it is
  Answer answered;
  // What the form offers to improve: the translation, and its languages as /suggest names them.
  std::string suggested_translation, suggested_source, suggested_target;
  if (!IsBlank(request.text)) {
    TextTranslation translation =
        TranslateText(router, options.cache, request.pair, request.utf8_text, TextFormat::kChat,
                      options.corrections);
    if (!translation.ok) {
      Answer refusal =
          Respond(translation.status,
                  MessagePage(translation.result == metrics::kEngineDown ? "Translation engine down"
                                                                         : "Translation failed",
                              translation.problem, {}));
      refusal.engine = std::move(translation.engine);
      refusal.translation = translation.result;
      return refusal;
    }
    answered.engine = std::move(translation.engine);
    answered.translation = translation.result;
    result = request.utf8 ? translation.text : Utf8ToWindows1252(translation.text);
    if (options.suggestions && for_browser) {
      if (auto languages = SplitRouteCode(request.pair)) {
        suggested_translation = std::move(translation.text);
        suggested_source = ToLibreCode(languages->source);
        suggested_target = ToLibreCode(languages->target);
        form.translation = suggested_translation;
        form.source = suggested_source;
        form.target = suggested_target;
      }
    }
  }
  Answer answer = AsTyped(result, form, for_browser, request.utf8);
  answer.engine = std::move(answered.engine);
  answer.translation = answered.translation;
  return answer;
}

Answer Health(const Router& router) {
  std::vector<EngineState> states = router.States();
  bool ready = std::all_of(states.begin(), states.end(),
                           [](const EngineState& state) { return state.health.ready; });
  Answer answer;
  answer.status = ready ? 200 : 503;
  answer.body = HealthJson(states, router.Routes());
  answer.type = "application/json";
  return answer;
}

// APy's clients reach it under "/apy" (translate-shell asks for .../apy/translate).
std::string_view WithoutApyPrefix(std::string_view path) {
  constexpr std::string_view kPrefix = "/apy/";
  if (path.substr(0, kPrefix.size()) == kPrefix) path.remove_prefix(kPrefix.size() - 1);
  return path;
}

bool IsApiPath(std::string_view method, std::string_view path) {
  return libretranslate::IsRoute(method, path) || path == "/listPairs" || path == "/list" ||
         path == "/listLanguageNames" || path == "/identifyLang";
}

Answer AnswerApi(const Router& router, const HttpOptions& options, std::string_view method,
                 std::string_view path, std::string_view query, const RequestHeaders& headers,
                 const RequestBody& body) {
  ApiFields fields = ReadApiFields(query, body);
  if (body.too_long) {
    fields.problem =
        "Invalid request: the body is longer than " + std::to_string(kMaxBody) + " bytes";
  }
  if (apy::IsRoute(method, path, fields)) {
    return apy::Serve(router, options, method, path, fields, headers.client);
  }
  return libretranslate::Serve(router, options, method, path, fields, headers.client);
}

}  // namespace

Answer AnswerRequest(const Router& router, const HttpOptions& options, std::string_view method,
                     std::string_view target, const RequestHeaders& headers,
                     const RequestBody& body) {
  if (target.size() > kMaxTargetLength) return TargetTooLong();
  std::string_view path = TargetPath(target);
  std::string_view api_path = WithoutApyPrefix(path);
  // GET /detect keeps its own answer; a POST to it is LibreTranslate's.
  if (options.detector && path == "/detect" && (method == "GET" || method == "HEAD")) {
    if (auto refused = RefuseOverRate(options, headers.client)) return std::move(*refused);
    return DetectLanguage(router, *options.detector, TargetQuery(target));
  }
  if (IsApiPath(method == "OPTIONS" ? "POST" : method, api_path)) {
    Answer answer =
        AnswerApi(router, options, method, api_path, TargetQuery(target), headers, body);
    if (body.too_long && answer.status == 400) answer.status = 413;
    return answer;
  }
  if (method != "GET" && method != "HEAD") {
    Answer answer = Respond(
        405, MessagePage("Method not allowed", "This service answers GET requests only.", {}));
    answer.allow = "GET, HEAD";
    return answer;
  }
  if (path == "/") {
    std::vector<Route> routes = router.Routes();
    return Respond(200, IndexPage(routes, options.detector ? TargetCodeList(routes) : ""));
  }
  bool for_browser = headers.accept.find("text/html") != std::string_view::npos;
  if (path == WIRE_TRANSLATION_PATH) {
    if (auto refused = RefuseOverRate(options, headers.client)) return std::move(*refused);
    return Translate(router, options, TargetQuery(target), for_browser);
  }
  if (path == "/health") return Health(router);
  if (path == "/metrics" && options.metrics) return MetricsAnswer(options, headers.authorization);
  return Respond(404, MessagePage("Not found", "The service cannot answer this request.", {}));
}

bool MayAskAnEngine(const Router& router, const HttpOptions& options, std::string_view method,
                    std::string_view target) {
  if (target.size() > kMaxTargetLength) return false;
  std::string_view path = TargetPath(target);
  if (options.detector && path == "/detect" && (method == "GET" || method == "HEAD")) return true;
  if (IsApiPath(method == "OPTIONS" ? "POST" : method, WithoutApyPrefix(path))) return true;
  if (path != WIRE_TRANSLATION_PATH || (method != "GET" && method != "HEAD")) return false;
  TrRequest request = ReadTr(router, options, TargetQuery(target), false);
  return !request.answer && !IsBlank(request.text) &&
         !RemembersInMemory(options.cache, request.pair, request.utf8_text, TextFormat::kChat);
}

Answer AnswerRequest(const Router& router, std::string_view method, std::string_view target,
                     std::string_view accept) {
  RequestHeaders headers;
  headers.accept = accept;
  return AnswerRequest(router, HttpOptions{}, method, target, headers);
}

Answer FormNotRead() {
  Answer answer;
  answer.status = 400;
  answer.body = R"({"error":"Invalid request: the form could not be read"})"
                "\n";
  answer.type = "application/json";
  answer.cors = true;
  answer.close = true;
  return answer;
}

Answer WorkersBusy() {
  Answer answer = Respond(503, MessagePage("Service busy",
                                           "The service has more translations waiting than it "
                                           "takes at once. Please try again in a moment.",
                                           {}));
  answer.retry_after = "1";
  return answer;
}

Answer TargetTooLong() {
  return Respond(
      414, MessagePage("Request too long",
                       "The request is longer than " + std::to_string(kMaxTargetLength / 1024) +
                           " KiB; send the text in smaller pieces.",
                       {}));
}

}  // namespace service
