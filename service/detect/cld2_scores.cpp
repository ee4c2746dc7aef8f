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

// CLD2's best effort at up to three languages, with an expected one.
Cld2Scores Score(std::string_view utf8_text, int flags, CLD2::Language expected) {
  Cld2Scores scores;
  if (utf8_text.empty() || utf8_text.size() > INT_MAX) return scores;
  CLD2::Language languages[3];
  int percents[3] = {0, 0, 0};
  int text_bytes = 0;
  bool reliable = false;
  double normalized[3];
  int valid_bytes = 0;
  CLD2::CLDHints hints = {nullptr, nullptr, CLD2::UNKNOWN_ENCODING, expected};
  CLD2::ExtDetectLanguageSummaryCheckUTF8(utf8_text.data(), static_cast<int>(utf8_text.size()),
                                          true, &hints, flags, languages, percents, normalized,
                                          nullptr, &text_bytes, &reliable, &valid_bytes);
  for (int i = 0; i < 3; ++i) {
    if (languages[i] == CLD2::UNKNOWN_LANGUAGE || percents[i] <= 0) continue;
    scores.share[CountsFor(languages[i])] += percents[i] / 100.0;
  }
  return scores;
}

}  // namespace

Cld2Scores ScoreWithCld2(std::string_view utf8_text, bool best_effort) {
  return Score(utf8_text, best_effort ? CLD2::kCLDFlagBestEffort : 0, CLD2::UNKNOWN_LANGUAGE);
}

double HintedShare(std::string_view utf8_text, const std::string& code) {
  static const std::pair<const char*, CLD2::Language> kLanguages[] = {
      {"en", CLD2::ENGLISH},    {"es", CLD2::SPANISH}, {"fr", CLD2::FRENCH}, {"it", CLD2::ITALIAN},
      {"pt", CLD2::PORTUGUESE}, {"de", CLD2::GERMAN},  {"nl", CLD2::DUTCH}};
  for (const auto& [name, language] : kLanguages) {
    if (code != name) continue;
    Cld2Scores scores = Score(utf8_text, CLD2::kCLDFlagBestEffort, language);
    auto found = scores.share.find(code);
    return found == scores.share.end() ? 0 : found->second;
  }
  return 0;
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
