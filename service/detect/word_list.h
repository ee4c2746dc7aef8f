// What the detection asks of a language's dictionary, whichever library reads it: an Apertium
// analyser through lttoolbox, or a spelling dictionary through Hunspell.
#pragma once

#include <string>
#include <vector>

namespace service::detect {

class WordList {
 public:
  virtual ~WordList() = default;

  // For each word (letters and inner apostrophes, UTF-8), whether the language has it, as a
  // capitalised or upper-case word too. Safe to call from many threads at once.
  virtual std::vector<bool> Known(const std::vector<std::string>& words) const = 0;
};

}  // namespace service::detect
