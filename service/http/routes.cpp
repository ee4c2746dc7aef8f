#include "routes.h"

#include "detect_route.h"
#include "form_query.h"
#include "health.h"
#include "http_config.h"
#include "pages.h"
#include "service/detect/target_code.h"
#include "service/text/protected_spans.h"
#include "service/text/text_encoding.h"
#include "target_code_list.h"

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

Answer AsTyped(std::string_view text, const FormState& form, bool for_browser, bool utf8) {
  Answer answer =
      Respond(200, ResultPage(for_browser ? EscapeTranslation(text) : GuardEndMarker(text), form));
  answer.charset = utf8 ? "UTF-8" : "windows-1252";
  return answer;
}

Answer Translate(const Router& router, const detect::LanguageDetector* detector,
                 std::string_view query, bool for_browser) {
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
  std::string utf8_text = utf8 ? *text : Windows1252ToUtf8(*text);
  // A code that names only the target goes through the pair of the language detected.
  std::string pair = *code, detected;
  if (detector && !router.Find(pair)) {
    if (auto resolution = detect::ResolveTargetOnly(router, *detector, pair, utf8_text)) {
      if (resolution->detection.language && for_browser) {
        detected = detect::LanguageTitle(*resolution->detection.language);
      }
      pair = resolution->code;
      if (pair.empty()) {  // already in the target language, or no language at all
        std::vector<Route> routes = router.Routes();
        return AsTyped(*text, FormState{&routes, *text, *code, detected}, for_browser, utf8);
      }
    }
  }
  Engine* engine = router.Find(pair);
  if (!engine) {
    return Respond(404,
                   MessagePage("Language pair not available",
                               "This service cannot translate the language pair \"" + *code + "\".",
                               router.Routes()));
  }
  // An engine that is down would only fail again: say so at once.
  EngineHealth health = engine->Health();
  if (!health.ready) {
    return Respond(503,
                   MessagePage("Translation engine down",
                               "The engine " + engine->Name() + " that serves \"" + pair +
                                   "\" is down: " + health.reason + ". Please try again later.",
                               {}));
  }
  std::vector<Route> routes = router.Routes();
  FormState form{&routes, *text, *code, detected};
  std::string result = *text;  // a blank text stays as it is
  if (!IsBlank(*text)) {
    Translation translation = engine->Translate(pair, ProtectSpans(utf8_text));
    if (!translation.ok) {
      return Respond(503, MessagePage("Translation failed",
                                      "The text could not be translated: " + translation.problem +
                                          ". Please try again.",
                                      {}));
    }
    result = utf8 ? translation.text : Utf8ToWindows1252(translation.text);
  }
  return AsTyped(result, form, for_browser, utf8);
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

Answer AnswerRequest(const Router& router, std::string_view method, std::string_view target,
                     std::string_view accept, const detect::LanguageDetector* detector,
                     std::string_view body) {
  if (target.size() > kMaxTargetLength) return TargetTooLong();
  std::string_view path = TargetPath(target);
  if (detector && path == "/detect" && method == "POST") {
    return DetectLanguage(router, *detector, body);
  }
  if (method != "GET" && method != "HEAD") {
    Answer answer = Respond(
        405, MessagePage("Method not allowed", "This service answers GET requests only.", {}));
    answer.allow = "GET, HEAD";
    return answer;
  }
  if (path == "/") {
    std::vector<Route> routes = router.Routes();
    return Respond(200, IndexPage(routes, detector ? TargetCodeList(routes) : ""));
  }
  bool for_browser = accept.find("text/html") != std::string_view::npos;
  if (path == WIRE_TRANSLATION_PATH) {
    return Translate(router, detector, TargetQuery(target), for_browser);
  }
  if (detector && path == "/detect") return DetectLanguage(router, *detector, TargetQuery(target));
  if (path == "/health") return Health(router);
  return Respond(404, MessagePage("Not found", "The service cannot answer this request.", {}));
}

Answer TargetTooLong() {
  return Respond(
      414, MessagePage("Request too long",
                       "The request is longer than " + std::to_string(kMaxTargetLength / 1024) +
                           " KiB; send the text in smaller pieces.",
                       {}));
}

}  // namespace service
