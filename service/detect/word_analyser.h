// One language's dictionary as its Apertium pair's analyser knows it, read once through
// lttoolbox and asked from any thread.
#pragma once

#include "word_list.h"

#include <lttoolbox/ustring.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class FSTProcessor;

namespace service::detect {

class WordAnalyser : public WordList {
 public:
  // Loads an `.automorf.bin` file. Throws std::runtime_error when it cannot be read.
  explicit WordAnalyser(const std::string& automorf_path);
  WordAnalyser(const WordAnalyser&) = delete;
  WordAnalyser& operator=(const WordAnalyser&) = delete;
  ~WordAnalyser() override;

  // A word is known when the analyser finds every part of it ("l'homme" is "l'" and "homme").
  // One at a time inside, as the library promises nothing more.
  std::vector<WordKind> Known(const std::vector<std::string>& words) const override;

  // Whether the analyser has the whole word (UTF-8) as other than a proper noun: "Nota" and
  // "ERROR" are words, "Ana<np>" is a name.
  bool HasCommonWord(const std::string& word) const;

 private:
  UString Analyses(const UString& form) const;
  bool Finds(const UString& form) const;
  WordKind KindOf(const UString& word) const;

  mutable std::mutex mutex_;
  std::unique_ptr<FSTProcessor> processor_;
};

}  // namespace service::detect
