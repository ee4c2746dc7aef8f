// Remembered answers: under the code and the exact pieces, only when an engine succeeded, and
// never asking an engine for what is remembered.
#include "service/cache/translation_cache.h"
#include "service/http/routes.h"
#include "support/memory_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace service_test {
namespace {

using service::Piece;
using service::cache::TranslationCache;

TEST(TranslationCache, AnswersOnlyTheSameCodeAndPieces) {
  struct Case {
    const char* name;
    const char* code;
    std::vector<Piece> pieces;
    bool hit;
  };
  static const Case kCases[] = {
      {"Same", "en_es", {{"see ", false}, {"http://a.b", true}}, true},
      {"OtherCode", "en_fr", {{"see ", false}, {"http://a.b", true}}, false},
      {"OtherSplit", "en_es", {{"see http://a.b", false}}, false},
      {"OtherKeptFlag", "en_es", {{"see ", true}, {"http://a.b", true}}, false},
      {"OtherText", "en_es", {{"See ", false}, {"http://a.b", true}}, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    TranslationCache cache(1 << 20, nullptr, std::chrono::seconds(0));
    cache.Remember("en_es", {{"see ", false}, {"http://a.b", true}}, "ver http://a.b");
    auto found = cache.Recall(c.code, c.pieces);
    EXPECT_EQ(found.has_value(), c.hit);
    EXPECT_EQ(found.value_or("-"), c.hit ? "ver http://a.b" : "-");
    EXPECT_EQ(cache.Stats().hits, c.hit ? 1u : 0u);
    EXPECT_EQ(cache.Stats().misses, c.hit ? 0u : 1u);
    // "mirelskan:tr:en_es|t4:see |k10:http://a.b", the answer and an entry's 128.
    EXPECT_EQ(cache.Stats().bytes, 41u + 14u + 128u);
  }
}

TEST(TranslationCache, ZeroBytesAndNoSharedStateKeepNothing) {
  TranslationCache cache(0, nullptr, std::chrono::seconds(60));
  cache.Remember("en_es", {{"hello", false}}, "hola");
  EXPECT_FALSE(cache.Recall("en_es", {{"hello", false}}).has_value());
  EXPECT_EQ(cache.Stats().hits + cache.Stats().misses + cache.Stats().bytes, 0u);
}

// One request after another through the routes, the engine scripted before each.
TEST(TranslationCache, KeepsOnlySuccessesAndAHitNeverReachesTheEngine) {
  struct Step {
    const char* name;
    const char* problem;  // the engine's, "" for none
    bool ready;
    int status;
    std::size_t calls;  // the engine's calls so far
  };
  static const Step kSteps[] = {
      {"FailureAnswered503", "it broke", true, 503, 1},
      {"FailureNotKept", "", true, 200, 2},
      {"SuccessKept", "it broke", true, 200, 2},
      {"RememberedWhileDown", "", false, 200, 2},
  };
  std::vector<std::unique_ptr<service::Engine>> engines;
  auto* engine = new MemoryEngine("memory", {{"en_es", "English to Spanish"}});
  engines.emplace_back(engine);
  service::Router router(std::move(engines));
  TranslationCache cache(1 << 20, nullptr, std::chrono::seconds(0));
  for (const Step& step : kSteps) {
    SCOPED_TRACE(step.name);
    engine->SetProblem(step.problem);
    engine->SetHealth({step.ready, {}, step.ready ? "" : "stopped"});
    service::HttpOptions options;
    options.cache = &cache;
    auto answer = service::AnswerRequest(router, options, "GET", "/tr?trtext=Hello&lp=en_es", {});
    EXPECT_EQ(answer.status, step.status);
    EXPECT_EQ(engine->Calls().size(), step.calls);
  }
  EXPECT_EQ(cache.Stats().hits, 2u);
  EXPECT_EQ(cache.Stats().misses, 2u);
}

}  // namespace
}  // namespace service_test
