// What the detection asks of a language's dictionary, whichever library reads it: an Apertium
// analyser through lttoolbox, or a spelling dictionary through Hunspell.
#pragma once

#include <string>
#include <vector>

namespace service::detect {

// What a language makes of a word. A function word (an article, a preposition, a pronoun, a
// conjunction, or a contraction of them) is said far more often than any one form of a noun or
// a verb: where one language has "da" as "de a" and another only as a form of "dar", the line
// is most likely in the first. Only a list with word classes tells one from the other.
enum class WordKind { kUnknown, kWord, kFunctionWord };

class WordList {
 public:
  virtual ~WordList() = default;

  // For each word (letters and inner apostrophes, UTF-8), whether the language has it, as a
  // capitalised or upper-case word too, and as what. Safe to call from many threads at once.
  virtual std::vector<WordKind> Known(const std::vector<std::string>& words) const = 0;
};

}  // namespace service::detect
