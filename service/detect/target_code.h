// Codes that name only the target language ("en", or "auto_en" as other servers write it): the
// source is detected among the languages with a route to that target, then translated through
// the ordinary "src_tgt" code, so the router stays the one place that picks an engine.
#pragma once

#include "language_detector.h"
#include "service/engine/router.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service::detect {

// The target of "en" or "auto_en"; nothing for any other code.
std::optional<std::string> TargetOnly(std::string_view code);

// The sources with a route to `target` now, in the router's order of codes.
std::vector<std::string> SourcesFor(const Router& router, std::string_view target);

// The targets served now: each the target of some route, sorted.
std::vector<std::string> ServedTargets(const Router& router);

struct Resolution {
  Detection detection;
  // The code to translate with ("fr_en"); empty when the text comes back as typed: it is in
  // the target language already, or holds no evidence of any language.
  std::string code;
};

// For a target-only code whose target some route serves: which source `text` (valid UTF-8) is
// in, among SourcesFor(target) and the target itself, and the code that translates it. Nothing
// for any other code.
std::optional<Resolution> ResolveTargetOnly(const Router& router, const LanguageDetector& detector,
                                            std::string_view code, std::string_view text);

}  // namespace service::detect
