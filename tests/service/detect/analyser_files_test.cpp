// Which file is each language's analyser, in a tree of pair folders laid out as Debian's.
#include "service/detect/analyser_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

struct AnalyserFile {
  const char* path;  // under the tree
  std::size_t bytes;
};

static const AnalyserFile kTree[] = {
    {"apertium-eng-spa/eng-spa.automorf.bin", 10},
    {"apertium-eng-spa/spa-eng.automorf.bin", 30},
    {"apertium-es-pt/es-pt.automorf.bin", 20},  // smaller than spa-eng: not Spanish's
    {"apertium-es-pt/pt-es.automorf.bin", 20},
    {"apertium-fr-es/eco-fr-es.automorf.bin", 99},  // a variant, no language's own
    {"apertium-fr-es/fr-es.automorf.bin", 5},
    {"apertium-afr-nld/nld-afr.automorf.bin", 7},  // three letters, as the plug-in writes nl
    {"apertium-xyz/xyz-spa.automorf.bin", 50},     // a language of no code
    {"apertium-eng-spa/eng-spa.autogen.bin", 60},  // a generator
    {"apertium-eng-spa/eng-spa.automorf.bin.old", 70},
    {"spa-eng.automorf.bin", 80},  // outside any pair folder
};

TEST(AnalyserFiles, TheLargestAnalyserOfEachLanguage) {
  char folder[] = "/tmp/analyser-files-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  for (const AnalyserFile& file : kTree) {
    fs::path path = fs::path(folder) / file.path;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << std::string(file.bytes, 'x');
  }
  std::map<std::string, std::string> expected = {
      {"en", std::string(folder) + "/apertium-eng-spa/eng-spa.automorf.bin"},
      {"es", std::string(folder) + "/apertium-eng-spa/spa-eng.automorf.bin"},
      {"fr", std::string(folder) + "/apertium-fr-es/fr-es.automorf.bin"},
      {"nl", std::string(folder) + "/apertium-afr-nld/nld-afr.automorf.bin"},
      {"pt", std::string(folder) + "/apertium-es-pt/pt-es.automorf.bin"},
  };
  EXPECT_EQ(service::detect::FindAnalysers(folder), expected);
  fs::remove_all(folder);
}

TEST(AnalyserFiles, TheSpellingDictionariesOfTheLanguagesThatTakeOne) {
  char folder[] = "/tmp/dictionary-files-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  static const char* const kFiles[] = {
      "de_DE.aff", "de_DE.dic", "nl.aff", "nl.dic",
      "pt_PT.aff",              // no .dic beside it
      "es_ES.aff", "es_ES.dic"  // Spanish's analyser is large enough
  };
  for (const char* file : kFiles) std::ofstream(fs::path(folder) / file) << "x";
  std::map<std::string, std::string> expected = {{"de", std::string(folder) + "/de_DE"},
                                                 {"nl", std::string(folder) + "/nl"}};
  EXPECT_EQ(service::detect::FindDictionaries(folder), expected);
  fs::remove_all(folder);
}

TEST(AnalyserFiles, NothingFromAFolderThatCannotBeRead) {
  EXPECT_TRUE(service::detect::FindAnalysers("/nonexistent/apertium").empty());
  EXPECT_TRUE(service::detect::FindDictionaries("/nonexistent/hunspell").empty());
}

}  // namespace
