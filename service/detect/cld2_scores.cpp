#include "cld2_scores.h"

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <climits>

namespace service::detect {

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
  CLD2::ExtDetectLanguageSummaryCheckUTF8(
      utf8_text.data(), static_cast<int>(utf8_text.size()), true, &hints,
      best_effort ? CLD2::kCLDFlagBestEffort : 0, languages, percents, normalized, nullptr,
      &text_bytes, &reliable, &valid_bytes);
  for (int i = 0; i < 3; ++i) {
    if (languages[i] == CLD2::UNKNOWN_LANGUAGE || percents[i] <= 0) continue;
    std::string code = CLD2::LanguageCode(languages[i]);
    if (code == "zh-Hant") code = "zt";
    scores.share[code] += percents[i] / 100.0;
  }
  scores.reliable = reliable && !scores.share.empty();
  return scores;
}

}  // namespace service::detect
