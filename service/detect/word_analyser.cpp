#include "word_analyser.h"

#include <lttoolbox/fst_processor.h>

#include <cstdio>
#include <stdexcept>

namespace service::detect {

namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

bool IsApostrophe(UChar c) { return c == '\'' || c == 0x2019; }

// The first tag of each analysis says its class ("de<pr>+o<det>...", "dar<vblex><pri>...");
// adverbs stand with the function words, or Spanish's "no" would count for Portuguese's "no"
// ("em o") on every Spanish line.
bool SomeAnalysisIsAFunctionWord(const UString& analyses) {
  static const std::vector<UString> kTags = {
      to_ustring("<pr>"),     to_ustring("<det>"),    to_ustring("<prn>"), to_ustring("<cnjcoo>"),
      to_ustring("<cnjsub>"), to_ustring("<cnjadv>"), to_ustring("<rel>"), to_ustring("<adv>")};
  std::size_t start = 0;
  while (start < analyses.size()) {
    std::size_t end = analyses.find('/', start);
    if (end == UString::npos) end = analyses.size();
    std::size_t tag = analyses.find('<', start);
    if (tag < end) {
      std::size_t close = analyses.find('>', tag);
      if (close < end) {
        UString first = analyses.substr(tag, close + 1 - tag);
        for (const UString& function : kTags) {
          if (first == function) return true;
        }
      }
    }
    start = end + 1;
  }
  return false;
}

// Each analysis's first tag after its lemma: "ana<np><ant>/ana<n><f><sg>" has "<np>" and "<n>".
bool SomeAnalysisIsNotAProperNoun(const UString& analyses) {
  static const UString kProperNoun = to_ustring("<np>");
  std::size_t start = 0;
  while (start < analyses.size()) {
    std::size_t end = analyses.find('/', start);
    if (end == UString::npos) end = analyses.size();
    std::size_t tag = analyses.find('<', start);
    if (tag < end && analyses.compare(tag, kProperNoun.size(), kProperNoun) != 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

WordAnalyser::WordAnalyser(const std::string& automorf_path)
    : processor_(std::make_unique<FSTProcessor>()) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(automorf_path.c_str(), "rb"));
  if (!file) throw std::runtime_error("cannot read the analyser " + automorf_path);
  processor_->load(file.get());
  // The lookup of one form, whole, through the analyser's transducer: what the bilingual
  // lookup does with a lexical form, done here with a surface form. The stream analysis would
  // cut words for us but keeps what it has read ahead from one call to the next.
  processor_->initBiltrans();
  if (!processor_->valid()) throw std::runtime_error("not an analyser: " + automorf_path);
}

WordAnalyser::~WordAnalyser() = default;

// Found: some analysis of the whole form; not found: nothing, or the form back marked "@".
// (The plain lookup answers for the longest prefix it knows: "voce" as "v".)
UString WordAnalyser::Analyses(const UString& form) const {
  UString analyses = processor_->biltransWithQueue(form, false).first;
  if (!analyses.empty() && analyses[0] == '@') analyses.clear();
  return analyses;
}

bool WordAnalyser::Finds(const UString& form) const { return !Analyses(form).empty(); }

// "l'homme" is one word to us and two to the analyser, "l'" and "homme"; "don't" is one.
WordKind WordAnalyser::KindOf(const UString& word) const {
  UString analyses = Analyses(word);
  if (!analyses.empty()) {
    return SomeAnalysisIsAFunctionWord(analyses) ? WordKind::kFunctionWord : WordKind::kWord;
  }
  std::size_t start = 0;
  bool apostrophe = false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (!IsApostrophe(word[i])) continue;
    apostrophe = true;
    if (!Finds(word.substr(start, i + 1 - start))) return WordKind::kUnknown;
    start = i + 1;
  }
  bool known = apostrophe && start < word.size() && Finds(word.substr(start));
  return known ? WordKind::kWord : WordKind::kUnknown;
}

bool WordAnalyser::HasCommonWord(const std::string& word) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return SomeAnalysisIsNotAProperNoun(Analyses(to_ustring(word.c_str())));
}

std::vector<WordKind> WordAnalyser::Known(const std::vector<std::string>& words) const {
  std::vector<WordKind> known(words.size(), WordKind::kUnknown);
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < words.size(); ++i) known[i] = KindOf(to_ustring(words[i].c_str()));
  return known;
}

}  // namespace service::detect
