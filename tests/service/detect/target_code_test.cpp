// Codes that name only the target: which pair the detected source goes through, among the
// routes the router has, and when the text comes back as typed.
#include "service/detect/target_code.h"

#include "support/memory_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using service::detect::LanguageDetector;
using service::detect::ResolveTargetOnly;

struct TargetCase {
  const char* name;
  const char* code;
  const char* text;
  bool resolves;         // whether the code names a served target
  const char* detected;  // "" for none
  const char* pair;      // "" when the text comes back as typed
};

static const TargetCase kCases[] = {
    {"FrenchIntoEnglish", "en", "Je ne sais pas", true, "fr", "fr_en"},
    {"AutoPrefix", "auto_en", "Je ne sais pas", true, "fr", "fr_en"},
    {"GermanThroughTheSecondEngine", "en", "Wie geht es dir heute?", true, "de", "de_en"},
    {"AlreadyEnglish", "en", "How are you today?", true, "en", ""},
    {"NoLanguage", "en", "12345 :)", true, "", ""},
    {"EnglishIntoSpanish", "es", "I do not know", true, "en", "en_es"},
    // Only English has a route to Spanish: French is no candidate, Spanish is the target.
    {"GreekHasNoRouteToSpanish", "es", "Καλημέρα σε όλους", true, "", ""},
    {"TargetNotServed", "zh", "Je ne sais pas", false, "", ""},
    {"PairCode", "fr_en", "Je ne sais pas", false, "", ""},
    {"AutoAlone", "auto_", "Je ne sais pas", false, "", ""},
    {"UpperCase", "EN", "Je ne sais pas", false, "", ""},
    {"ThreeLetters", "eng", "Je ne sais pas", false, "", ""},
};

class TargetCodeTest : public ::testing::TestWithParam<TargetCase> {
 protected:
  static void SetUpTestSuite() {
    detector_ = new LanguageDetector();
    std::vector<std::unique_ptr<service::Engine>> engines;
    engines.push_back(std::make_unique<service_test::MemoryEngine>(
        "local", std::vector<service::Offer>{{"en_es", "English to Spanish"},
                                             {"es_en", "Spanish to English"},
                                             {"fr_en", "French to English"}}));
    engines.push_back(std::make_unique<service_test::MemoryEngine>(
        "upstream", std::vector<service::Offer>{{"de_en", "German to English"}}));
    router_ = new service::Router(std::move(engines));
  }
  static void TearDownTestSuite() {
    delete router_;
    delete detector_;
  }
  static LanguageDetector* detector_;
  static service::Router* router_;
};

LanguageDetector* TargetCodeTest::detector_ = nullptr;
service::Router* TargetCodeTest::router_ = nullptr;

TEST_P(TargetCodeTest, GoesThroughThePairOfTheDetectedSource) {
  const TargetCase& c = GetParam();
  auto resolution = ResolveTargetOnly(*router_, *detector_, c.code, c.text);
  ASSERT_EQ(resolution.has_value(), c.resolves);
  if (!resolution) return;
  EXPECT_EQ(resolution->detection.language.value_or(""), c.detected);
  EXPECT_EQ(resolution->code, c.pair);
}

INSTANTIATE_TEST_SUITE_P(Codes, TargetCodeTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TargetCode, SourcesAndTargetsOfTheRoutes) {
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::make_unique<service_test::MemoryEngine>(
      "local", std::vector<service::Offer>{{"en_es", ""}, {"fr_en", ""}, {"es_en", ""}}));
  engines.push_back(std::make_unique<service_test::MemoryEngine>(
      "upstream", std::vector<service::Offer>{{"zt_en", ""}, {"en_zh", ""}, {"xx", ""}}));
  service::Router router(std::move(engines), {"en_es", "fr_en", "zt_en", "en_zh", "xx"});
  EXPECT_EQ(service::detect::SourcesFor(router, "en"), (std::vector<std::string>{"fr", "zt"}));
  EXPECT_EQ(service::detect::ServedTargets(router), (std::vector<std::string>{"en", "es", "zh"}));
}

}  // namespace
