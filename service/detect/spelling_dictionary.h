// A language's spelling dictionary (a Hunspell .aff and .dic pair, as Debian's hunspell-*
// packages install them), read once through libhunspell: the words of a language no installed
// Apertium pair analyses.
#pragma once

#include "word_list.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Hunspell;

namespace service::detect {

class SpellingDictionary : public WordList {
 public:
  // Loads `<stem>.aff` and `<stem>.dic`. Throws std::runtime_error when they cannot be read or
  // are not in UTF-8.
  explicit SpellingDictionary(const std::string& stem);
  SpellingDictionary(const SpellingDictionary&) = delete;
  SpellingDictionary& operator=(const SpellingDictionary&) = delete;
  ~SpellingDictionary() override;

  // One word at a time inside: the library does not say its checker may be shared.
  std::vector<WordKind> Known(const std::vector<std::string>& words) const override;

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<Hunspell> checker_;
};

}  // namespace service::detect
