// Language detection on any bytes, read as the service reads a request's text: the candidates'
// confidences lie in (0, 1], most likely first; the language is the first candidate's, or none
// when no candidate has evidence; and only the languages asked for come back.
//
// Input: text \0 candidate codes, two bytes each (none: every language)
#include "fuzz/fuzz_support.h"
#include "service/detect/language_detector.h"
#include "service/text/text_encoding.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const service::detect::LanguageDetector detector;
  FuzzParts parts(data, size);
  std::string text = parts.Part(0);
  if (!service::IsValidUtf8(text)) text = service::Windows1252ToUtf8(text);
  std::vector<std::string> candidates;
  const std::string& codes = parts.Part(1);
  for (std::size_t i = 0; i + 1 < codes.size(); i += 2) candidates.push_back(codes.substr(i, 2));

  service::detect::Detection detection = detector.Detect(text, candidates);
  Require(detection.language.has_value() == !detection.candidates.empty(),
          "a language exactly when a candidate has evidence");
  if (detection.language) {
    Require(*detection.language == detection.candidates[0].language,
            "the language is the first candidate's");
  }
  for (std::size_t i = 0; i < detection.candidates.size(); ++i) {
    const auto& candidate = detection.candidates[i];
    Require(candidate.confidence > 0 && candidate.confidence <= 1, "a confidence in (0, 1]");
    if (i > 0) {
      Require(candidate.confidence <= detection.candidates[i - 1].confidence,
              "the most likely first");
    }
    const auto& asked =
        candidates.empty() ? service::detect::LanguageDetector::Languages() : candidates;
    Require(std::find(asked.begin(), asked.end(), candidate.language) != asked.end(),
            "only the languages asked for");
  }
  return 0;
}
