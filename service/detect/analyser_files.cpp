#include "analyser_files.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace service::detect {

namespace {

constexpr std::string_view kSuffix = ".automorf.bin";

// The codes pairs are named with, two letters or three, as the plug-in writes the language.
std::string PluginCode(std::string_view pair_code) {
  static const std::array<std::pair<std::string_view, std::string_view>, 7> kThreeLetter = {{
      {"eng", "en"},
      {"spa", "es"},
      {"fra", "fr"},
      {"ita", "it"},
      {"por", "pt"},
      {"deu", "de"},
      {"nld", "nl"},
  }};
  if (pair_code.size() == 2) return std::string(pair_code);
  for (const auto& [three, two] : kThreeLetter) {
    if (three == pair_code) return std::string(two);
  }
  return {};
}

// "spa-eng.automorf.bin" is Spanish's analyser; "eco-fr-es.automorf.bin" is no language's.
std::string SourceLanguage(std::string_view name) {
  if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return {};
  }
  std::string_view direction = name.substr(0, name.size() - kSuffix.size());
  std::size_t dash = direction.find('-');
  if (dash == std::string_view::npos || direction.find('-', dash + 1) != std::string_view::npos) {
    return {};
  }
  return PluginCode(direction.substr(0, dash));
}

}  // namespace

std::map<std::string, std::string> FindAnalysers(const std::string& apertium_dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::pair<std::uintmax_t, std::string>> largest;
  std::error_code error;
  for (const fs::directory_entry& pair : fs::directory_iterator(apertium_dir, error)) {
    if (!pair.is_directory(error)) continue;
    for (const fs::directory_entry& file : fs::directory_iterator(pair.path(), error)) {
      std::string language = SourceLanguage(file.path().filename().string());
      if (language.empty() || !file.is_regular_file(error)) continue;
      std::uintmax_t size = file.file_size(error);
      if (error) continue;
      auto& best = largest[language];
      std::string path = file.path().string();
      // Of two alike in size the first by name, so every start picks the same.
      if (size > best.first || (size == best.first && path < best.second)) best = {size, path};
    }
  }
  std::map<std::string, std::string> paths;
  for (auto& [language, best] : largest) paths.emplace(language, std::move(best.second));
  return paths;
}

std::map<std::string, std::string> FindDictionaries(const std::string& hunspell_dir) {
  // The languages no installed pair analyses (German, Dutch), and those whose pair's analyser
  // is small (spa-ita's and es-pt's hold about 200 KB of forms, eng-spa's and fr-es's 400 to
  // 750 KB), by the name Debian's hunspell package installs. Spanish's spelling beside its
  // analyser only makes Spanish and Portuguese agree on more words.
  static const std::array<std::pair<std::string_view, std::string_view>, 4> kStems = {{
      {"it", "it_IT"},
      {"pt", "pt_PT"},
      {"de", "de_DE"},
      {"nl", "nl"},
  }};
  namespace fs = std::filesystem;
  std::map<std::string, std::string> stems;
  std::error_code error;
  for (const auto& [code, name] : kStems) {
    fs::path stem = fs::path(hunspell_dir) / name;
    fs::path affixes = stem, words = stem;
    affixes += ".aff";
    words += ".dic";
    if (fs::is_regular_file(affixes, error) && fs::is_regular_file(words, error)) {
      stems.emplace(code, stem.string());
    }
  }
  return stems;
}

}  // namespace service::detect
