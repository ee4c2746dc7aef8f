// Pipelines that hang, die or answer twice, built from the scripted stand-in for an Apertium
// program.
#include "service_test_support.h"

#include <chrono>
#include <thread>
#include <vector>

namespace service_test {
namespace {

TEST_F(FakeModesTest, OffersTheInstalledPairsAndThePivotBetweenThem) {
  std::vector<std::string> codes;
  for (const auto& pair : apertium().Pairs()) codes.push_back(pair.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"en_es", "en_fr", "es_fr"}));
  const auto* pivot = apertium().Find("en_fr");
  ASSERT_NE(pivot, nullptr);
  EXPECT_EQ(pivot->modes, (std::vector<std::string>{"en-es", "es-fr"}));
}

TEST_F(FakeModesTest, TextSurvivesTheStreamFormatBothWays) {
  const std::string text = "Hello [x] ~ {y} ^$/@ \\ a.\n\n\tdone.  \r\n end ";
  for (const char* code : {"en_es", "en_fr"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(Translate(PercentEncode(text), code), text);
  }
}

TEST_F(FakeModesTest, AnswerThatArrivesLateNeverReachesTheNextRequest) {
  EXPECT_EQ(Translate("TWICE", "en_es"), "TWICE");
  EXPECT_EQ(Translate("next", "en_es"), "next");
  EXPECT_EQ(Translate("after", "en_es"), "after");
}

TEST_F(FakeModesTest, HungOrDyingPipelineIsRestartedAndItsRequestAnswered) {
  for (const char* breaking : {"HANG", "DIE"}) {
    SCOPED_TRACE(breaking);
    auto before = apertium().PipelinePids("en-es");
    auto result = Get(std::string("/tr?trtext=") + breaking + "&lp=en_es");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 503);
    EXPECT_FALSE(CutTranslation(result->body).has_value());
    EXPECT_NE(apertium().PipelinePids("en-es"), before);
    EXPECT_EQ(Translate("fine", "en_es"), "fine");
    EXPECT_EQ(Translate("fine", "en_fr"), "fine");
  }
}

TEST_F(FakeModesTest, EveryRequestAHungPipelineHeldIsAnsweredWithinTheBound) {
  // As many hang at once as the mode may run pipelines, so that all are stuck while six wait.
  const auto options = Options();
  const std::size_t hung = options.pipelines_per_mode;
  const auto bound = 2 * (options.startup_timeout + options.exchange_timeout);
  struct Outcome {
    std::optional<raw_http::Response> response;
    std::chrono::steady_clock::duration took{};
  };
  std::vector<std::string> texts;
  for (std::size_t n = 0; n < hung; ++n) texts.push_back("HANG " + std::to_string(n));
  for (int n = 0; n < 6; ++n) texts.push_back("waiting " + std::to_string(n));
  std::vector<Outcome> outcomes(texts.size());
  std::vector<std::thread> clients;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    clients.emplace_back([&, i] {
      // The hung ones go first; the others queue behind them.
      if (i >= hung) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      auto start = std::chrono::steady_clock::now();
      outcomes[i].response = Get("/tr?trtext=" + PercentEncode(texts[i]) + "&lp=en_es");
      outcomes[i].took = std::chrono::steady_clock::now() - start;
    });
  }
  for (auto& client : clients) client.join();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(texts[i]);
    ASSERT_TRUE(outcomes[i].response);
    EXPECT_LT(outcomes[i].took, bound);
    if (i < hung) {
      EXPECT_EQ(outcomes[i].response->status, 503);
      EXPECT_NE(outcomes[i].response->body.find("took too long"), std::string::npos);
    } else {
      EXPECT_EQ(CutTranslation(outcomes[i].response->body), texts[i]);
    }
  }
}

}  // namespace
}  // namespace service_test
