// Where the installed Apertium pairs keep each language's analyser: the `.automorf.bin` file of
// a pair whose source is that language.
#pragma once

#include <map>
#include <string>

namespace service::detect {

inline constexpr const char* kDefaultApertiumDir = "/usr/share/apertium";

// For each two-letter code, the largest analyser of that language found in the pair folders
// directly under `apertium_dir` (the largest knows the most words). A pair's analyser is named
// after its direction, "spa-eng.automorf.bin" or "fr-es.automorf.bin"; variants such as
// "eco-fr-es" are not a language's own. Nothing for a folder that cannot be read.
std::map<std::string, std::string> FindAnalysers(const std::string& apertium_dir);

}  // namespace service::detect
