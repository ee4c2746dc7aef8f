// The one path every text takes: a batch of one code asks its engine once, each text a sentence
// apart, and what is remembered is not asked again.
#include "service/http/text_translation.h"
#include "service/cache/translation_cache.h"
#include "service/metrics/service_metrics.h"
#include "support/memory_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace service_test {
namespace {

using service::Piece;
using service::TextFormat;

// An engine that brings back only the words: every kept piece, the cuts between texts too, is
// lost, as a careless upstream might.
class WordsOnlyEngine : public MemoryEngine {
 public:
  using MemoryEngine::MemoryEngine;
  service::Translation Translate(std::string_view code, const std::vector<Piece>& pieces) override {
    service::Translation translation = MemoryEngine::Translate(code, pieces);
    translation.text.clear();
    for (const Piece& piece : pieces) {
      if (!piece.keep) translation.text += piece.text;
    }
    return translation;
  }
};

struct Fixture {
  explicit Fixture(std::unique_ptr<MemoryEngine> engine) : memory(engine.get()) {
    std::vector<std::unique_ptr<service::Engine>> engines;
    engines.push_back(std::move(engine));
    router = std::make_unique<service::Router>(std::move(engines));
  }
  std::vector<std::string> Texts(const std::vector<service::TextTranslation>& results) const {
    std::vector<std::string> texts;
    for (const auto& result : results)
      texts.push_back(result.ok ? result.text : "!" + result.problem);
    return texts;
  }
  MemoryEngine* memory;
  std::unique_ptr<service::Router> router;
  service::cache::TranslationCache cache{1 << 20, nullptr, std::chrono::seconds(0)};
};

std::unique_ptr<MemoryEngine> Echo() {
  return std::make_unique<MemoryEngine>(
      "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"}});
}

TEST(TextTranslation, ABatchAsksTheEngineOnceEachTextASentenceApart) {
  Fixture f(Echo());
  auto results = service::TranslateTexts(*f.router, &f.cache, "en_es",
                                         {"Hello you", "I love you <3", " ok "}, TextFormat::kChat);
  EXPECT_EQ(f.Texts(results), (std::vector<std::string>{"Hello you", "I love you <3", " ok "}));
  auto calls = f.memory->Calls();
  ASSERT_EQ(calls.size(), 1u);
  std::vector<std::tuple<std::string, bool, bool>> pieces;
  for (const Piece& piece : calls[0].pieces) {
    pieces.emplace_back(piece.text, piece.keep, piece.ends_sentence);
  }
  EXPECT_EQ(pieces, (std::vector<std::tuple<std::string, bool, bool>>{{"Hello you", false, false},
                                                                      {"\n\x1e\n", true, true},
                                                                      {"I love you", false, false},
                                                                      {" <3\n\x1e\n ", true, true},
                                                                      {"ok", false, false},
                                                                      {" ", true, false}}));
  EXPECT_STREQ(results[0].result, service::metrics::kTranslated);
  // Each text is remembered on its own.
  auto again =
      service::TranslateText(*f.router, &f.cache, "en_es", "I love you <3", TextFormat::kChat);
  EXPECT_EQ(again.text, "I love you <3");
  EXPECT_EQ(f.memory->Calls().size(), 1u);
}

TEST(TextTranslation, WhatIsRememberedIsNotAskedAndOneMissGoesAlone) {
  Fixture f(Echo());
  service::TranslateText(*f.router, &f.cache, "en_es", "thanks", TextFormat::kChat);
  auto results = service::TranslateTexts(*f.router, &f.cache, "en_es", {"thanks", "see you"},
                                         TextFormat::kChat);
  EXPECT_EQ(f.Texts(results), (std::vector<std::string>{"thanks", "see you"}));
  auto calls = f.memory->Calls();
  ASSERT_EQ(calls.size(), 2u);
  ASSERT_EQ(calls[1].pieces.size(), 1u);
  EXPECT_EQ(calls[1].pieces[0].text, "see you");
  EXPECT_TRUE(results[0].engine.empty());  // remembered: no engine counted
}

TEST(TextTranslation, AnEngineThatLosesTheCutsIsAskedForEachTextAlone) {
  Fixture f(std::make_unique<WordsOnlyEngine>(
      "words", std::vector<service::Offer>{{"en_es", "English to Spanish"}}));
  auto results = service::TranslateTexts(*f.router, &f.cache, "en_es", {"one", "two", "three"},
                                         TextFormat::kChat);
  EXPECT_EQ(f.Texts(results), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(f.memory->Calls().size(), 4u);
}

TEST(TextTranslation, AFailureFailsEveryTextItCarriedAndIsNotRemembered) {
  Fixture f(Echo());
  f.memory->SetProblem("the pipeline stopped");
  auto results =
      service::TranslateTexts(*f.router, &f.cache, "en_es", {"one", "two"}, TextFormat::kChat);
  const std::string failed =
      "!The text could not be translated: the pipeline stopped. Please try again.";
  EXPECT_EQ(f.Texts(results), (std::vector<std::string>{failed, failed}));
  EXPECT_EQ(results[1].status, 503);
  f.memory->SetProblem("");
  results =
      service::TranslateTexts(*f.router, &f.cache, "en_es", {"one", "two"}, TextFormat::kChat);
  EXPECT_EQ(f.Texts(results), (std::vector<std::string>{"one", "two"}));
}

TEST(TextTranslation, ATextHoldingTheCutGoesAlone) {
  Fixture f(Echo());
  auto results =
      service::TranslateTexts(*f.router, &f.cache, "en_es", {"a\n\x1e\nb", "c"}, TextFormat::kChat);
  EXPECT_EQ(f.Texts(results), (std::vector<std::string>{"a\n\x1e\nb", "c"}));
  EXPECT_EQ(f.memory->Calls().size(), 2u);
}

}  // namespace
}  // namespace service_test
