// What the service answers, apart from how HTTP carries it: GET /tr translates, GET / shows the
// form, everything else is explained on a page of its own.
#pragma once

#include "translator.h"

#include <string>
#include <string_view>

namespace service {

struct Answer {
  int status = 200;
  std::string body;  // an HTML page
  const char* charset = "UTF-8";
  bool close = false;           // the connection ends after this answer
  const char* allow = nullptr;  // the methods a 405 offers instead
};

// `target` as it stood in the request line: escapes, '+' and raw bytes as sent.
Answer AnswerRequest(Translator& translator, std::string_view method, std::string_view target);

// The 414 for a target above kMaxTargetLength.
Answer TargetTooLong();

}  // namespace service
