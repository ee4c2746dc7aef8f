// What the service answers, apart from how HTTP carries it: GET /tr translates, GET / shows the
// form, GET /health tells each engine's state, GET /metrics counts, GET or POST /detect tells a
// text's language, everything else is explained on a page of its own.
#pragma once

#include "http_options.h"
#include "request_body.h"
#include "service/engine/router.h"

#include <string>
#include <string_view>

namespace service {

struct Answer {
  int status = 200;
  std::string body;
  const char* type = "text/html";
  const char* charset = "UTF-8";
  bool close = false;                  // the connection ends after this answer
  const char* allow = nullptr;         // the methods a 405 offers instead
  std::string retry_after;             // a 429's Retry-After, in seconds
  const char* authenticate = nullptr;  // a 401's WWW-Authenticate
  // The translation APIs answer pages on other origins (Access-Control-Allow-Origin: *), and
  // their OPTIONS preflight says which methods and headers those pages may use.
  bool cors = false;
  bool preflight = false;
  // For the metrics: the engine a translation was asked of, and its result (service_metrics.h),
  // or null when no engine was.
  std::string engine;
  const char* translation = nullptr;
};

// What the routes read of a request besides its method and target.
struct RequestHeaders {
  // The Accept header: a browser names text/html and gets the translation escaped for it; the
  // plug-in (Accept: */*) shows the page's bytes as they stand, so it gets the text as the
  // engine gave it, links and code included.
  std::string_view accept;
  std::string_view authorization;
  std::string_view client;  // who the limits count the request against
  std::string_view content_type;
};

// `target` as it stood in the request line: escapes, '+' and raw bytes as sent, an absolute
// form and the "/apy" prefix APy's clients put in front taken off. Translations and detections
// (and only they) count against the client's limits. With a detector in `options`, /tr also
// takes the codes that name only the target ("en", "auto_en") and /detect answers. The
// translation APIs other clients speak (LibreTranslate's, Apertium-APy's) read their fields
// from the query and the `body`.
Answer AnswerRequest(const Router& router, const HttpOptions& options, std::string_view method,
                     std::string_view target, const RequestHeaders& headers,
                     const RequestBody& body = {});

// Whether AnswerRequest may ask an engine for this request, or take about as long: a /tr whose
// translation is not remembered in this process's memory, a detection, any request of the
// translation APIs. Asks nothing of an engine or the shared state and counts nothing.
bool MayAskAnEngine(const Router& router, const HttpOptions& options, std::string_view method,
                    std::string_view target);

// The same with every option off.
Answer AnswerRequest(const Router& router, std::string_view method, std::string_view target,
                     std::string_view accept = {});

// The 400 for a form body the HTTP layer could not read.
Answer FormNotRead();

// The 503 for a request that would wait on an engine while as many wait as may (Retry-After).
Answer WorkersBusy();

// The 414 for a target above kMaxTargetLength.
Answer TargetTooLong();

}  // namespace service
