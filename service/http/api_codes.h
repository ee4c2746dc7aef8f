// Language codes as the other APIs write them, onto the two-letter codes our routes are made
// of ("en", "zh" Simplified, "zt" Traditional Chinese).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace service {

// LibreTranslate's: "en", "zh-Hans" and "zh-Hant" (and "zh", "zt", "zh-CN", "zh-TW", as its
// clients also send). Nothing for a code that names none of our languages.
std::optional<std::string> FromLibreCode(std::string_view code);
// How LibreTranslate writes our code: "zh-Hans" for "zh", "zh-Hant" for "zt".
std::string ToLibreCode(std::string_view language);

// Apertium's: three letters ("eng", "zho_Hant"), or the two-letter ones it also takes.
std::optional<std::string> FromApertiumCode(std::string_view code);
std::string ToApertiumCode(std::string_view language);

// A route's code "fr_en" as its two languages (not the Apertium engine's LanguagePair, which
// is a pair with its modes); nothing for a code of another shape.
struct CodeLanguages {
  std::string source, target;
};
std::optional<CodeLanguages> SplitRouteCode(std::string_view code);

}  // namespace service
