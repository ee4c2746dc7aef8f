// What the service answers, apart from how HTTP carries it: GET /tr translates, GET / shows the
// form, GET /health tells each engine's state, GET or POST /detect tells a text's language,
// everything else is explained on a page of its own.
#pragma once

#include "service/detect/language_detector.h"
#include "service/engine/router.h"

#include <string>
#include <string_view>

namespace service {

struct Answer {
  int status = 200;
  std::string body;
  const char* type = "text/html";
  const char* charset = "UTF-8";
  bool close = false;           // the connection ends after this answer
  const char* allow = nullptr;  // the methods a 405 offers instead
};

// `target` as it stood in the request line: escapes, '+' and raw bytes as sent. `accept` is the
// request's Accept header: a browser names text/html and gets the translation escaped for it;
// the plug-in (Accept: */*) shows the page's bytes as they stand, so it gets the text as the
// engine gave it, links and code included. With a `detector`, /tr also takes the codes that
// name only the target ("en", "auto_en") and /detect answers, its POST with the form `body`.
Answer AnswerRequest(const Router& router, std::string_view method, std::string_view target,
                     std::string_view accept = {},
                     const detect::LanguageDetector* detector = nullptr,
                     std::string_view body = {});

// The 414 for a target above kMaxTargetLength.
Answer TargetTooLong();

}  // namespace service
