#include "language_detector.h"

#include "cld2_scores.h"
#include "line_words.h"
#include "service/engine/language_names.h"
#include "spelling_dictionary.h"
#include "word_analyser.h"
#include "writing_system.h"

#include <algorithm>
#include <cmath>

namespace service::detect {

namespace {

// Languages written in Latin letters, told apart by their words.
const std::vector<std::string> kLatinLanguages = {"en", "es", "fr", "it", "pt", "de", "nl"};

// How much CLD2's shares weigh against the words' evidence: little more than a tie breaker,
// since on a short line its statistics have too little to go on (and Debian's build reads some
// plain Spanish sentences as English, sure of it). Set on the tuning half of
// bench/detect-corpus.tsv (the discount below on the whole of it, before the dictionaries).
constexpr double kCld2Weight = 0.1;
// CLD2's share of a language it was told to expect: a tie breaker between the languages without
// an analyser.
constexpr double kHintWeight = 0.02;
// How much a language without an analyser stands beside the languages that know a word, or
// alone for a word none knows: names and codes are unknown to every language as well.
constexpr double kUnanalysedDiscount = 0.35;
// The words an analyser looks up, from the start of the text: more only cost time (past a dozen
// words CLD2 has text enough; no line of bench/detect-corpus.tsv is answered otherwise).
constexpr std::size_t kMaxAnalysedWords = 12;
// What a language that has a word only as a noun, verb or adjective form weighs beside one that
// has it as a function word ("da": a form of "dar" to Spanish, "de a" to Portuguese).
constexpr double kFormBesideFunctionWord = 0.25;

double Share(int part, int whole) { return whole == 0 ? 0 : static_cast<double>(part) / whole; }

bool Wanted(const std::vector<std::string>& languages, const std::string& language) {
  return std::find(languages.begin(), languages.end(), language) != languages.end();
}

// Letters weighed by what one says: a Han character or a Hangul syllable is about a word, a
// Latin letter a fraction of one; and the Latin words in a Russian or Japanese line are most
// often names, which no writing system translates.
constexpr int kLatinWeight = 1;
constexpr int kAlphabetWeight = 3;  // Greek, Cyrillic
constexpr int kSyllableWeight = 6;  // Hangul, kana, Han

int Weighed(const ScriptTally& tally) {
  return kLatinWeight * (tally.latin + tally.other) +
         kAlphabetWeight * (tally.greek + tally.cyrillic) +
         kSyllableWeight * (tally.hangul + tally.kana + tally.han);
}

// How a line's Chinese evidence divides between Simplified (zh) and Traditional (zt), as weights
// of its Han characters.
struct ChineseForms {
  double simplified = 0;
  double traditional = 0;
};

// Simplified's part of the Chinese evidence where no character tells the two apart (你好, 中文):
// most people who write Chinese write it Simplified, so that is the answer, and by a margin
// that says it was not told apart: 0.55 against 0.45 on a line of Han alone, where a single
// character written apart already gives 0.67 against 0.33 (我们, 我們). Even a margin this small
// makes the answer the same on every such line; an even split would leave it to CLD2's
// statistics or to the order of the codes.
constexpr double kUntoldSimplified = 0.55;

// The characters settle which form a line is written in: each written only one way counts
// against the other form. An untold line keeps the two parts of Han it had when each form took
// all of it, so it weighs as much as before beside the Latin words of a mixed line.
ChineseForms FormsOf(const ScriptTally& tally) {
  if (tally.simplified == 0 && tally.traditional == 0) {
    return {2 * kUntoldSimplified, 2 * (1 - kUntoldSimplified)};
  }
  int most = std::max(tally.simplified, tally.traditional);
  return {(1.0 + tally.simplified) / (1 + most), (1.0 + tally.traditional) / (1 + most)};
}

// CLD2 has a model for each form, and on characters both write its choice between them follows
// how often each model saw them (你好 reads to it as Traditional, 大家好 as Japanese): no
// evidence of the form. Its two shares count as one for Chinese, divided as the characters say.
void PoolChinese(const ChineseForms& forms, Cld2Scores* cld2) {
  double chinese = cld2->share["zh"] + cld2->share["zt"];
  double whole = forms.simplified + forms.traditional;
  cld2->share["zh"] = chinese * forms.simplified / whole;
  cld2->share["zt"] = chinese * forms.traditional / whole;
}

// The evidence each non-Latin writing system gives its language.
void AddScriptEvidence(const ScriptTally& tally, std::map<std::string, double>* evidence) {
  int letters = Weighed(tally);
  (*evidence)["el"] += Share(kAlphabetWeight * tally.greek, letters);
  (*evidence)["ru"] += Share(kAlphabetWeight * tally.cyrillic, letters);
  (*evidence)["ko"] += Share(kSyllableWeight * tally.hangul, letters);
  if (tally.kana > 0) {
    // Japanese writes Han beside its kana; Chinese writes no kana.
    (*evidence)["ja"] += Share(kSyllableWeight * (tally.kana + tally.han), letters);
    return;
  }
  double han = Share(kSyllableWeight * tally.han, letters);
  ChineseForms forms = FormsOf(tally);
  (*evidence)["zh"] += han * forms.simplified;
  (*evidence)["zt"] += han * forms.traditional;
}

std::vector<std::string> LatinWords(const std::vector<std::string>& words) {
  std::vector<std::string> latin;
  for (const std::string& word : words) {
    ScriptTally tally = TallyScripts(word);
    if (tally.latin * 2 > tally.Letters()) latin.push_back(word);
  }
  return latin;
}

std::vector<Candidate> Rank(const std::map<std::string, double>& scores) {
  double total = 0;
  for (const auto& entry : scores) total += entry.second;
  std::vector<Candidate> ranked;
  if (total <= 0) return ranked;
  for (const auto& [language, score] : scores) {
    double confidence = std::round(score / total * 100) / 100;
    if (confidence >= 0.01) ranked.push_back({language, std::min(confidence, 1.0)});
  }
  // Most likely first; among equals in the order of Languages().
  const std::vector<std::string>& order = LanguageDetector::Languages();
  auto position = [&](const std::string& code) {
    return std::find(order.begin(), order.end(), code) - order.begin();
  };
  std::sort(ranked.begin(), ranked.end(), [&](const Candidate& a, const Candidate& b) {
    if (a.confidence != b.confidence) return a.confidence > b.confidence;
    return position(a.language) < position(b.language);
  });
  return ranked;
}

// What the first list that has each word makes of it: the first is asked for all, each next one
// only for the words those before it lack.
std::vector<WordKind> KnownToAny(const std::vector<std::unique_ptr<WordList>>& lists,
                                 const std::vector<std::string>& words) {
  std::vector<WordKind> known(words.size(), WordKind::kUnknown);
  std::vector<std::size_t> unknown(words.size());
  for (std::size_t i = 0; i < words.size(); ++i) unknown[i] = i;
  for (const auto& list : lists) {
    if (unknown.empty()) break;
    std::vector<std::string> asked;
    for (std::size_t i : unknown) asked.push_back(words[i]);
    std::vector<WordKind> listed = list->Known(asked);
    std::vector<std::size_t> still;
    for (std::size_t j = 0; j < unknown.size(); ++j) {
      if (listed[j] != WordKind::kUnknown) {
        known[unknown[j]] = listed[j];
      } else {
        still.push_back(unknown[j]);
      }
    }
    unknown = std::move(still);
  }
  return known;
}

}  // namespace

const std::vector<std::string>& LanguageDetector::Languages() {
  static const std::vector<std::string> kLanguages = {"en", "es", "fr", "it", "pt", "de", "nl",
                                                      "el", "ja", "ko", "ru", "zh", "zt"};
  return kLanguages;
}

LanguageDetector::LanguageDetector(const std::string& apertium_dir,
                                   const std::string& hunspell_dir) {
  LoadHanForms();
  for (const auto& [language, path] : FindAnalysers(apertium_dir)) {
    if (!Wanted(Languages(), language)) continue;
    word_lists_[language].push_back(std::make_unique<WordAnalyser>(path));
  }
  // A spelling dictionary knows the words of a language no pair analyses, and fills in those a
  // small pair's analyser lacks: a word is the language's when either knows it.
  for (const auto& [language, stem] : FindDictionaries(hunspell_dir)) {
    word_lists_[language].push_back(std::make_unique<SpellingDictionary>(stem));
  }
}

std::vector<std::string> LanguageDetector::AnalysedLanguages() const {
  std::vector<std::string> languages;
  for (const auto& entry : word_lists_) languages.push_back(entry.first);
  return languages;
}

// What the words say of each Latin-script language: each word a language knows counts for it,
// shared with the other candidates that know it too, so "taxa", which only Portuguese knows,
// weighs more than "de", which three languages know.
std::map<std::string, double> LanguageDetector::WordEvidence(
    const std::vector<std::string>& words, const std::vector<std::string>& languages) const {
  std::map<std::string, double> evidence;
  if (words.empty()) return evidence;
  std::map<std::string, std::vector<WordKind>> known;
  std::vector<bool> function_word(words.size(), false);
  for (const auto& [language, lists] : word_lists_) {
    // Only the candidates share a word: that German has it too says nothing where German is
    // not one of them (and saves asking its dictionary).
    if (!Wanted(languages, language)) continue;
    std::vector<WordKind>& kinds = known[language];
    kinds = KnownToAny(lists, words);
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (kinds[i] == WordKind::kFunctionWord) function_word[i] = true;
    }
  }
  auto weight = [&](WordKind kind, std::size_t i) {
    if (kind == WordKind::kUnknown) return 0.0;
    return kind == WordKind::kWord && function_word[i] ? kFormBesideFunctionWord : 1.0;
  };
  std::vector<double> knowers(words.size(), 0);
  for (const auto& [language, kinds] : known) {
    for (std::size_t i = 0; i < words.size(); ++i) knowers[i] += weight(kinds[i], i);
  }
  for (const auto& [language, kinds] : known) {
    double sum = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (kinds[i] != WordKind::kUnknown) sum += weight(kinds[i], i) / knowers[i];
    }
    evidence[language] = sum / words.size();
  }
  // A language without an analyser might have any word: it stands beside those that know
  // one as a knower at a discount, alone and at that discount for a word none knows.
  double unanalysed = 0;
  for (double count : knowers) unanalysed += kUnanalysedDiscount / (count + 1);
  for (const std::string& language : kLatinLanguages) {
    if (Wanted(languages, language) && word_lists_.count(language) == 0) {
      evidence[language] = unanalysed / words.size();
    }
  }
  return evidence;
}

Detection LanguageDetector::Detect(std::string_view text,
                                   const std::vector<std::string>& candidates) const {
  std::vector<std::string> languages;
  for (const std::string& language : Languages()) {
    if (candidates.empty() || Wanted(candidates, language)) languages.push_back(language);
  }
  std::vector<std::string> words = LineWords(text);
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  ScriptTally tally = TallyScripts(joined);
  if (tally.Letters() == 0 || languages.empty()) return {};

  std::map<std::string, double> evidence;
  AddScriptEvidence(tally, &evidence);
  Cld2Scores cld2 = ScoreWithCld2(joined, true);
  PoolChinese(FormsOf(tally), &cld2);
  auto cld2_share = [&](const std::string& language) {
    auto said = cld2.share.find(language);
    return said == cld2.share.end() ? 0.0 : said->second;
  };
  double latin = Share(kLatinWeight * tally.latin, Weighed(tally));
  if (latin > 0) {
    std::vector<std::string> latin_words = LatinWords(words);
    if (latin_words.size() > kMaxAnalysedWords) latin_words.resize(kMaxAnalysedWords);
    for (const auto& [language, share] : WordEvidence(latin_words, languages)) {
      evidence[language] += latin * share;
    }
  }
  std::map<std::string, double> scores;
  for (const std::string& language : languages) {
    double score = (1 - kCld2Weight) * evidence[language] + kCld2Weight * cld2_share(language);
    if (score > 0) scores[language] = score;
  }
  // The languages no analyser checks (German and Dutch) are always level on the words: CLD2
  // told to expect each says which the letters fit better.
  for (const std::string& language : kLatinLanguages) {
    auto scored = scores.find(language);
    if (scored != scores.end() && word_lists_.count(language) == 0) {
      scored->second += kHintWeight * HintedShare(joined, language);
    }
  }
  Detection detection;
  detection.candidates = Rank(scores);
  if (!detection.candidates.empty()) detection.language = detection.candidates.front().language;
  return detection;
}

std::string LanguageTitle(std::string_view code) {
  return LanguageName(code).value_or(std::string(code));
}

}  // namespace service::detect
