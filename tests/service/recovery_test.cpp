// Pipelines that hang, die or answer twice, built from the scripted stand-in for an Apertium
// program.
#include "service_test_support.h"

namespace service_test {
namespace {

TEST_F(FakeModesTest, OffersTheInstalledPairsAndThePivotBetweenThem) {
  std::vector<std::string> codes;
  for (const auto& pair : service_->translator().Pairs()) codes.push_back(pair.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"en_es", "en_fr", "es_fr"}));
  const auto* pivot = service_->translator().Find("en_fr");
  ASSERT_NE(pivot, nullptr);
  EXPECT_EQ(pivot->modes, (std::vector<std::string>{"en-es", "es-fr"}));
}

TEST_F(FakeModesTest, TextSurvivesTheStreamFormatBothWays) {
  const std::string text = "Hello [x] ~ {y} ^$/@ \\ a.\n\n\tdone.  \r\n end ";
  for (const char* code : {"en_es", "en_fr"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(Translate(Encode(text), code), text);
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
    auto before = service_->translator().PipelinePids("en-es");
    auto result = Get(std::string("/tr?trtext=") + breaking + "&lp=en_es");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 503);
    EXPECT_FALSE(CutTranslation(result->body).has_value());
    EXPECT_NE(service_->translator().PipelinePids("en-es"), before);
    EXPECT_EQ(Translate("fine", "en_es"), "fine");
    EXPECT_EQ(Translate("fine", "en_fr"), "fine");
  }
}

}  // namespace
}  // namespace service_test
