// GET /detect?q=TEXT[&target=XX] and the same fields in a form POST: which language a text is
// in, as JSON.
#pragma once

#include "routes.h"
#include "service/detect/language_detector.h"
#include "service/engine/router.h"

#include <string_view>

namespace service {

// `form` is the query or the form body, still encoded. 200 with
// {"language": "fr", "confidence": 0.93, "candidates": [{"language": "fr", "confidence": 0.93}]}
// ("language" and "confidence" null when no candidate has evidence); 400 with {"error": ...}
// for a missing or empty q, text that is not UTF-8, text above kMaxDetectText, or a target no
// route reaches.
Answer DetectLanguage(const Router& router, const detect::LanguageDetector& detector,
                      std::string_view form);

}  // namespace service
