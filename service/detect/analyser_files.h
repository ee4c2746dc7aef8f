// Where the installed Apertium pairs keep each language's analyser: the `.automorf.bin` file of
// a pair whose source is that language.
#pragma once

#include <map>
#include <string>

namespace service::detect {

inline constexpr const char* kDefaultApertiumDir = "/usr/share/apertium";
inline constexpr const char* kDefaultHunspellDir = "/usr/share/hunspell";

// For each two-letter code, the largest analyser of that language found in the pair folders
// directly under `apertium_dir` (the largest knows the most words). A pair's analyser is named
// after its direction, "spa-eng.automorf.bin" or "fr-es.automorf.bin"; variants such as
// "eco-fr-es" are not a language's own. Nothing for a folder that cannot be read.
std::map<std::string, std::string> FindAnalysers(const std::string& apertium_dir);

// For the Latin-script languages whose words the pairs' analysers know least (de, nl: none; it,
// pt: a small analyser), the stem ("/usr/share/hunspell/de_DE") of the spelling dictionary under
// `hunspell_dir` whose .aff and .dic are both there. Nothing for a folder that cannot be read.
std::map<std::string, std::string> FindDictionaries(const std::string& hunspell_dir);

}  // namespace service::detect
