// Pipelines that hang, die or answer twice, built from a scripted stand-in for an Apertium
// program: it copies each NUL-terminated request through unchanged.
#include "service_test_support.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace service_test {
namespace {

const char kStage[] = R"(#!/usr/bin/perl
if (grep { $_ eq '--help' || $_ eq '-h' } @ARGV) {
  print "USAGE: stage [-z]\n  -z  flush output on the null character\n";
  exit 0;
}
exit 3 unless grep { $_ eq '-z' } @ARGV;
$/ = "\0";
$| = 1;
while (my $request = <STDIN>) {
  sleep 3600 if $request =~ /HANG/;
  exit 1 if $request =~ /DIE/;
  print $request;
  print $request if $request =~ /TWICE/;
}
)";

class FakeModesTest : public ServiceTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mirelskan-modes-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory_ = pattern;
    std::string stage = directory_ + "/stage";
    std::ofstream(stage) << kStage;
    ASSERT_EQ(::chmod(stage.c_str(), 0755), 0);
    // cat takes no -z: the service must find that out rather than add it.
    std::ofstream(directory_ + "/en-es.mode") << "'" << stage << "' | cat\n";
    std::ofstream(directory_ + "/es-fr.mode") << stage << " -n $2\n";
    std::ofstream(directory_ + "/es-fr_variant.mode") << "false\n";
    ServiceTest::SetUp();
  }
  void TearDown() override {
    ServiceTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  service::TranslatorOptions Options() const override {
    service::TranslatorOptions options;
    options.modes_dir = directory_;
    options.exchange_timeout = std::chrono::milliseconds(500);
    return options;
  }

  std::string directory_;
};

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
