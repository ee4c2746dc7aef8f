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

TEST(TextTranslation, GoesAloneWhatCannotBeJoined) {
  struct Case {
    const char* name;
    bool words_only;         // the engine loses every kept piece, the cuts too
    const char* remembered;  // translated before, or null
    std::vector<std::string> texts;
    std::size_t engine_calls;  // in all, the one before included
  };
  static const Case kCases[] = {
      {"one miss beside a remembered text", false, "thanks", {"thanks", "see you"}, 2},
      {"an engine that loses the cuts", true, nullptr, {"one", "two", "three"}, 4},
      {"a text that holds the cut", false, nullptr, {"a\n\x1e\nb", "c"}, 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<service::Offer> offers{{"en_es", "English to Spanish"}};
    Fixture f(c.words_only ? std::make_unique<WordsOnlyEngine>("words", offers)
                           : std::make_unique<MemoryEngine>("memory", offers));
    if (c.remembered) {
      service::TranslateText(*f.router, &f.cache, "en_es", c.remembered, TextFormat::kChat);
    }
    auto results =
        service::TranslateTexts(*f.router, &f.cache, "en_es", c.texts, TextFormat::kChat);
    EXPECT_EQ(f.Texts(results), c.texts);
    EXPECT_EQ(f.memory->Calls().size(), c.engine_calls);
  }
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

}  // namespace
}  // namespace service_test
