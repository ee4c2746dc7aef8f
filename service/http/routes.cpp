#include "routes.h"

#include "form_query.h"
#include "guards.h"
#include "health.h"
#include "http_config.h"
#include "pages.h"
#include "service/limits/client_limits.h"
#include "service/metrics/service_metrics.h"
#include "service/text/protected_spans.h"
#include "service/text/text_encoding.h"

#include <algorithm>

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

Answer Translate(const Router& router, const HttpOptions& options, std::string_view query,
                 bool for_browser) {
  auto text = FormField(query, WIRE_TEXT_FIELD);
  auto code = FormField(query, WIRE_PAIR_FIELD);
  if (!text || !code) {
    return Respond(400, MessagePage("Missing parameter",
                                    std::string("The request has no ") + (text ? "lp" : "trtext") +
                                        " parameter. Send /tr?trtext=TEXT&lp=CODE, for example "
                                        "/tr?trtext=Hello&lp=en_es.",
                                    router.Routes()));
  }
  // Non-ASCII text in valid UTF-8 comes from a browser; anything else is read as the host's
  // ANSI code page, which is also the safer answer for plain ASCII.
  bool utf8 = IsValidUtf8(*text) &&
              std::any_of(text->begin(), text->end(), [](char c) { return c & 0x80; });
  if (auto refused =
          RefuseLongText(options, utf8 ? limits::CountCharacters(*text) : text->size())) {
    return std::move(*refused);
  }
  Engine* engine = router.Find(*code);
  if (!engine) {
    return Respond(404,
                   MessagePage("Language pair not available",
                               "This service cannot translate the language pair \"" + *code + "\".",
                               router.Routes()));
  }
  // An engine that is down would only fail again: say so at once.
  EngineHealth health = engine->Health();
  if (!health.ready) {
    Answer down =
        Respond(503, MessagePage("Translation engine down",
                                 "The engine " + engine->Name() + " that serves \"" + *code +
                                     "\" is down: " + health.reason + ". Please try again later.",
                                 {}));
    down.engine = engine->Name();
    down.translation = metrics::kEngineDown;
    return down;
  }
  std::vector<Route> routes = router.Routes();
  FormState form{&routes, *text, *code};
  std::string result = *text;  // a blank text stays as it is
  if (!IsBlank(*text)) {
    Translation translation =
        engine->Translate(*code, ProtectSpans(utf8 ? *text : Windows1252ToUtf8(*text)));
    if (!translation.ok) {
      Answer failed =
          Respond(503, MessagePage("Translation failed",
                                   "The text could not be translated: " + translation.problem +
                                       ". Please try again.",
                                   {}));
      failed.engine = engine->Name();
      failed.translation = metrics::kFailed;
      return failed;
    }
    result = utf8 ? translation.text : Utf8ToWindows1252(translation.text);
  }
  Answer answer = Respond(
      200, ResultPage(for_browser ? EscapeTranslation(result) : GuardEndMarker(result), form));
  answer.charset = utf8 ? "UTF-8" : "windows-1252";
  if (!IsBlank(*text)) {
    answer.engine = engine->Name();
    answer.translation = metrics::kTranslated;
  }
  return answer;
}

Answer Health(const Router& router) {
  std::vector<EngineState> states = router.States();
  bool ready = std::all_of(states.begin(), states.end(),
                           [](const EngineState& state) { return state.health.ready; });
  Answer answer;
  answer.status = ready ? 200 : 503;
  answer.body = HealthJson(states);
  answer.type = "application/json";
  return answer;
}

}  // namespace

Answer AnswerRequest(const Router& router, const HttpOptions& options, std::string_view method,
                     std::string_view target, const RequestHeaders& headers) {
  if (method != "GET" && method != "HEAD") {
    Answer answer = Respond(
        405, MessagePage("Method not allowed", "This service answers GET requests only.", {}));
    answer.allow = "GET, HEAD";
    return answer;
  }
  if (target.size() > kMaxTargetLength) return TargetTooLong();
  std::string_view path = TargetPath(target);
  if (path == "/") return Respond(200, IndexPage(router.Routes()));
  bool for_browser = headers.accept.find("text/html") != std::string_view::npos;
  if (path == WIRE_TRANSLATION_PATH) {
    if (auto refused = RefuseOverRate(options, headers.client)) return std::move(*refused);
    return Translate(router, options, TargetQuery(target), for_browser);
  }
  if (path == "/health") return Health(router);
  if (path == "/metrics" && options.metrics) return MetricsAnswer(options, headers.authorization);
  return Respond(404, MessagePage("Not found", "The service cannot answer this request.", {}));
}

Answer AnswerRequest(const Router& router, std::string_view method, std::string_view target,
                     std::string_view accept) {
  RequestHeaders headers;
  headers.accept = accept;
  return AnswerRequest(router, HttpOptions{}, method, target, headers);
}

Answer TargetTooLong() {
  return Respond(
      414, MessagePage("Request too long",
                       "The request is longer than " + std::to_string(kMaxTargetLength / 1024) +
                           " KiB; send the text in smaller pieces.",
                       {}));
}

}  // namespace service
