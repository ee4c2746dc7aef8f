#include "cld2_scores.h"

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <climits>

namespace service::detect {

namespace {

// The code a CLD2 language counts for. A short line in Dutch often reads to CLD2 as Afrikaans
// or Frisian, one in German as Luxembourgish: languages the service does not translate, whose
// evidence is the evidence of their near relative.
std::string CountsFor(CLD2::Language language) {
  std::string code = CLD2::LanguageCode(language);
  if (code == "zh-Hant") return "zt";
  if (code == "af" || code == "fy" || code == "li") return "nl";
  if (code == "lb") return "de";
  return code;
}

}  // namespace

Cld2Scores ScoreWithCld2(std::string_view utf8_text, bool best_effort) {
  Cld2Scores scores;
  if (utf8_text.empty() || utf8_text.size() > INT_MAX) return scores;
  CLD2::Language languages[3];
  int percents[3] = {0, 0, 0};
  int text_bytes = 0;
  bool reliable = false;
  double normalized[3];
  int valid_bytes = 0;
  CLD2::CLDHints hints = {nullptr, nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
  CLD2::ExtDetectLanguageSummaryCheckUTF8(utf8_text.data(), static_cast<int>(utf8_text.size()),
                                          true, &hints, best_effort ? CLD2::kCLDFlagBestEffort : 0,
                                          languages, percents, normalized, nullptr, &text_bytes,
                                          &reliable, &valid_bytes);
  for (int i = 0; i < 3; ++i) {
    if (languages[i] == CLD2::UNKNOWN_LANGUAGE || percents[i] <= 0) continue;
    scores.share[CountsFor(languages[i])] += percents[i] / 100.0;
  }
  return scores;
}

std::string Cld2FirstLanguage(std::string_view utf8_text) {
  if (utf8_text.size() > INT_MAX) return {};
  CLD2::Language languages[3];
  int percents[3] = {0, 0, 0};
  int text_bytes = 0;
  bool reliable = false;
  // The first of the three: the summary's return value stands in for "unknown" with English.
  CLD2::DetectLanguageSummary(utf8_text.data(), static_cast<int>(utf8_text.size()), true, languages,
                              percents, &text_bytes, &reliable);
  if (languages[0] == CLD2::UNKNOWN_LANGUAGE) return {};
  std::string code = CLD2::LanguageCode(languages[0]);
  return code == "zh-Hant" ? "zt" : code;
}

}  // namespace service::detect
