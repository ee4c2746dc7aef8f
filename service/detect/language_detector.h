// Which language a chat line is in, among the languages the service translates from: loaded once
// at start, then asked from every request's thread.
#pragma once

#include "analyser_files.h"
#include "word_list.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service::detect {

struct Candidate {
  std::string language;   // as the plug-in writes it: "fr", "zt"
  double confidence = 0;  // in (0, 1], to two decimals
};

struct Detection {
  // The most likely language; nothing when no candidate has any evidence (digits, an emoticon
  // alone, a script none of them writes). Never a guess for want of evidence.
  std::optional<std::string> language;
  std::vector<Candidate> candidates;  // those with evidence, most likely first; they sum to ~1
};

class LanguageDetector {
 public:
  // The languages it tells apart, as the plug-in writes them.
  static const std::vector<std::string>& Languages();

  // Loads the analyser of each language the pairs under `apertium_dir` have one for, and for a
  // Latin-script language they have none for, its spelling dictionary under `hunspell_dir`.
  // Throws std::runtime_error when a file found cannot be read.
  explicit LanguageDetector(const std::string& apertium_dir = kDefaultApertiumDir,
                            const std::string& hunspell_dir = kDefaultHunspellDir);

  // Weighs the evidence in valid UTF-8 `text` for each of `candidates` (every language of
  // Languages() when empty; codes it does not know are ignored). The spans a chat line keeps
  // (links, @names, emoticons ...) are no evidence. Safe to call from many threads at once.
  Detection Detect(std::string_view text, const std::vector<std::string>& candidates = {}) const;

  // The languages whose words an analyser or a dictionary checks, sorted.
  std::vector<std::string> AnalysedLanguages() const;

 private:
  std::map<std::string, double> WordEvidence(const std::vector<std::string>& words,
                                             const std::vector<std::string>& languages) const;

  std::map<std::string, std::vector<std::unique_ptr<WordList>>> word_lists_;
};

// The English name of a code the detector answers ("French"), for pages.
std::string LanguageTitle(std::string_view code);

}  // namespace service::detect
