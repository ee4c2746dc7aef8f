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
bool WordAnalyser::Finds(const UString& form) const {
  UString analyses = processor_->biltransWithQueue(form, false).first;
  return !analyses.empty() && analyses[0] != '@';
}

// "l'homme" is one word to us and two to the analyser, "l'" and "homme"; "don't" is one.
bool WordAnalyser::KnowsWord(const UString& word) const {
  if (Finds(word)) return true;
  std::size_t start = 0;
  bool apostrophe = false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (!IsApostrophe(word[i])) continue;
    apostrophe = true;
    if (!Finds(word.substr(start, i + 1 - start))) return false;
    start = i + 1;
  }
  return apostrophe && start < word.size() && Finds(word.substr(start));
}

std::vector<bool> WordAnalyser::Known(const std::vector<std::string>& words) const {
  std::vector<bool> known(words.size(), false);
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < words.size(); ++i) known[i] = KnowsWord(to_ustring(words[i].c_str()));
  return known;
}

}  // namespace service::detect
