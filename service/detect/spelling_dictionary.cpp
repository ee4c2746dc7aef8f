#include "spelling_dictionary.h"

#include <hunspell/hunspell.hxx>

#include <filesystem>
#include <stdexcept>

namespace service::detect {

SpellingDictionary::SpellingDictionary(const std::string& stem) {
  std::string affixes = stem + ".aff";
  std::string words = stem + ".dic";
  // The library reads what it can and says nothing of a file it could not open.
  std::error_code error;
  if (!std::filesystem::is_regular_file(affixes, error) ||
      !std::filesystem::is_regular_file(words, error)) {
    throw std::runtime_error("cannot read the dictionary " + stem);
  }
  checker_ = std::make_unique<Hunspell>(affixes.c_str(), words.c_str());
  // Lines come in UTF-8; a dictionary in a legacy charset would need them converted.
  if (checker_->get_dict_encoding() != "UTF-8") {
    throw std::runtime_error("not a UTF-8 dictionary: " + stem);
  }
}

SpellingDictionary::~SpellingDictionary() = default;

// A spelling dictionary has no word classes: every word it has is just a word.
std::vector<WordKind> SpellingDictionary::Known(const std::vector<std::string>& words) const {
  std::vector<WordKind> known(words.size(), WordKind::kUnknown);
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (checker_->spell(words[i])) known[i] = WordKind::kWord;
  }
  return known;
}

}  // namespace service::detect
