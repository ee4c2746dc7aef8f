#include "service/engine/upstream/libretranslate_engine.h"
#include "service/engine/router.h"
#include "service/engine/upstream/upstream_option.h"
#include "service/http/health.h"
#include "service/http/pages.h"
#include "service/upstream/libretranslate_stand_in.h"
#include "service/upstream/stderr_capture.h"
#include "support/memory_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

namespace {

using service::Piece;
using service::Translation;
using service::upstream::LibreTranslateEngine;
using service::upstream::UpstreamLimits;
using upstream_test::Behaviour;
using upstream_test::LibreTranslateStandIn;
using upstream_test::StderrCapture;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr char kKey[] = "s3cret-key-4711";

UpstreamLimits QuickLimits(std::chrono::seconds down) {
  UpstreamLimits limits;
  limits.request = std::chrono::milliseconds(1000);
  limits.down = down;
  return limits;
}

std::string Seconds(Clock::duration duration) {
  return std::to_string(std::chrono::duration<double>(duration).count()) + " s";
}

class LibreTranslateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/libretranslate-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    key_file_ = folder_ + "/key";
    std::ofstream(key_file_) << kKey;
    stand_in_ = std::make_unique<LibreTranslateStandIn>();
  }
  void TearDown() override {
    engine_.reset();
    stand_in_.reset();
    std::remove(key_file_.c_str());
    std::remove(folder_.c_str());
  }
  void Start(std::chrono::seconds down = std::chrono::seconds(30)) {
    engine_ = std::make_unique<LibreTranslateEngine>(stand_in_->url(), kKey, key_file_,
                                                     QuickLimits(down));
  }
  Translation Translate(const std::string& code, const std::string& text) {
    return engine_->Translate(code, {Piece{text, false}});
  }

  std::string folder_;
  std::string key_file_;
  std::unique_ptr<LibreTranslateStandIn> stand_in_;
  std::unique_ptr<LibreTranslateEngine> engine_;
};

TEST_F(LibreTranslateTest, OffersEveryPairOfThe13Languages) {
  Start();
  std::vector<service::Offer> offers = engine_->Offers();
  ASSERT_EQ(offers.size(), 156u);
  EXPECT_EQ(offers.front().code, "de_el");
  EXPECT_EQ(offers.front().description, "German to Greek (LibreTranslate)");
  EXPECT_EQ(offers.back().code, "zt_zh");
  EXPECT_EQ(offers.back().description,
            "Chinese (traditional) to Chinese (simplified) (LibreTranslate)");
  EXPECT_TRUE(engine_->Health().ready);
}

TEST_F(LibreTranslateTest, ServesEveryCodeOfThePluginsHelp) {
  Start();
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::move(engine_));
  service::Router router(std::move(engines));
  std::string page = service::IndexPage(router.Routes());
  EXPECT_NE(page.find("This service serves 36 of the 36 codes the plug-in's help lists."),
            std::string::npos);
  EXPECT_NE(page.find("<tr><td><code>zt_en</code></td><td>Traditional Chinese to English</td>"
                      "<td>served by libretranslate " +
                      stand_in_->url() + "</td></tr>"),
            std::string::npos)
      << page;
}

// Apertium (here an engine in memory that echoes) and the upstream both serve en_es.
TEST_F(LibreTranslateTest, AnUpstreamMarkedFirstServesBeforeApertiumWhichTakesOverWhenItFails) {
  struct Case {
    const char* name;
    const char* settings;  // after the URL
    Behaviour behaviour;
    const char* translated;
    const char* order;  // /health's for en_es afterwards, LT standing for the upstream's URL
  };
  static const Case kCases[] = {
      {"after Apertium", "", Behaviour::kAnswer, "Hello", R"(["apertium","libretranslate LT"])"},
      {"first", ",first", Behaviour::kAnswer, "HELLO [es]", R"(["libretranslate LT","apertium"])"},
      {"first but failing", ",first", Behaviour::kServerError, "Hello",
       R"(["apertium","libretranslate LT"])"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    stand_in_->Script(c.behaviour);
    std::string problem;
    auto option = service::upstream::ParseUpstreamOption(
        "libretranslate=" + stand_in_->url() + c.settings, &problem);
    ASSERT_TRUE(option) << problem;
    auto apertium = std::make_unique<service_test::MemoryEngine>(
        "apertium", std::vector<service::Offer>{{"en_es", "English to Spanish"}});
    service::Router router(service::upstream::EnginesInOrder(
        std::move(apertium), {*option}, QuickLimits(std::chrono::seconds(30))));
    Translation translation = router.Translate("en_es", {Piece{"Hello", false}});
    ASSERT_TRUE(translation.ok) << translation.problem;
    EXPECT_EQ(translation.text, c.translated);
    json health = json::parse(service::HealthJson(router.States(), router.Routes()));
    std::string expected = c.order;
    expected.replace(expected.find("LT"), 2, stand_in_->url());
    EXPECT_EQ(health["order"]["en_es"].dump(), expected);
  }
}

TEST_F(LibreTranslateTest, KeptPiecesTravelAsMarkersInOneRequest) {
  Start();
  Translation translation = engine_->Translate(
      "en_de", {{"see ", false}, {"http://a.example/x", true}, {" now ", false}, {":)", true}});
  ASSERT_TRUE(translation.ok) << translation.problem;
  EXPECT_EQ(translation.text, "SEE http://a.example/x NOW :) [de]");
  ASSERT_EQ(stand_in_->Received().size(), 1u);
  EXPECT_EQ(stand_in_->Received()[0]["q"], "see {1} now {2}");
}

TEST_F(LibreTranslateTest, SendsZhAndZtWithTheKeyAndPlainText) {
  Start();
  struct Case {
    const char* code;
    const char* text;
    const char* translated;
    const char* sent;
  };
  static const Case kCases[] = {
      {"en_zh", "Hello", "HELLO [zh]",
       R"({"api_key":"s3cret-key-4711","format":"text","q":"Hello","source":"en","target":"zh"})"},
      {"zt_en", "\xe4\xbd\xa0\xe5\xa5\xbd \"ok\"", "\xe4\xbd\xa0\xe5\xa5\xbd \"OK\" [en]",
       R"({"api_key":"s3cret-key-4711","format":"text","q":"你好 \"ok\"","source":"zt",)"
       R"("target":"en"})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    Translation translation = Translate(c.code, c.text);
    EXPECT_TRUE(translation.ok) << translation.problem;
    EXPECT_EQ(translation.text, c.translated);
    ASSERT_FALSE(stand_in_->Received().empty());
    EXPECT_EQ(stand_in_->Received().back(), json::parse(c.sent));
  }
}

TEST_F(LibreTranslateTest, ReusesOneConnection) {
  Start();
  for (const char* text : {"one", "two", "three"}) EXPECT_TRUE(Translate("en_de", text).ok);
  // The language list and three translations.
  EXPECT_EQ(stand_in_->Connections(), 1);
}

TEST_F(LibreTranslateTest, TranslatesForManyThreadsAtOnce) {
  Start();
  static const char* const kTexts[] = {"a0", "b1", "c2", "d3", "e4", "f5"};
  std::vector<Translation> results(std::size(kTexts) * 4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&, i] { results[i] = Translate("en_de", kTexts[i % 6]); });
  }
  for (std::thread& thread : threads) thread.join();
  static const char* const kExpected[] = {"A0 [de]", "B1 [de]", "C2 [de]",
                                          "D3 [de]", "E4 [de]", "F5 [de]"};
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_TRUE(results[i].ok) << results[i].problem;
    EXPECT_EQ(results[i].text, kExpected[i % 6]);
  }
}

TEST_F(LibreTranslateTest, TriedAgainAfterTheDownPeriod) {
  Start(std::chrono::seconds(1));
  stand_in_->Script(Behaviour::kServerError);
  EXPECT_FALSE(Translate("en_es", "hello").ok);
  stand_in_->Script(Behaviour::kAnswer);
  Translation while_down = Translate("en_es", "hello");
  EXPECT_FALSE(while_down.ok);
  EXPECT_EQ(stand_in_->Received().size(), 1u);
  auto give_up = Clock::now() + std::chrono::seconds(10);
  while (!engine_->Health().ready && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Translation after = Translate("en_es", "hello");
  EXPECT_TRUE(after.ok) << after.problem;
  EXPECT_EQ(after.text, "HELLO [es]");
}

TEST_F(LibreTranslateTest, LearnsTheLanguagesAgain) {
  UpstreamLimits limits = QuickLimits(std::chrono::seconds(30));
  limits.relearn = std::chrono::seconds(1);
  engine_ = std::make_unique<LibreTranslateEngine>(stand_in_->url(), kKey, key_file_, limits);
  ASSERT_EQ(engine_->Offers().size(), 156u);
  stand_in_->ListOnly({"de", "zh"});
  auto give_up = Clock::now() + std::chrono::seconds(10);
  while (engine_->Offers().size() == 156 && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(engine_->Offers().size(), 2u);
  EXPECT_EQ(engine_->Offers()[0].code, "de_zh");
  EXPECT_EQ(engine_->Offers()[1].description, "Chinese (simplified) to German (LibreTranslate)");
}

TEST_F(LibreTranslateTest, DownAtStartOffersNothingUntilItAnswers) {
  int port = stand_in_->port();
  std::string url = stand_in_->url();
  stand_in_.reset();
  auto started = Clock::now();
  engine_ = std::make_unique<LibreTranslateEngine>(url, kKey, key_file_,
                                                   QuickLimits(std::chrono::seconds(1)));
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5)) << Seconds(Clock::now() - started);
  EXPECT_TRUE(engine_->Offers().empty());
  EXPECT_FALSE(engine_->Health().ready);
  EXPECT_EQ(engine_->Health().reason, url + " refused the connection");

  stand_in_ = std::make_unique<LibreTranslateStandIn>(port);
  auto give_up = Clock::now() + std::chrono::seconds(10);
  while (engine_->Offers().empty() && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(engine_->Offers().size(), 156u);
  EXPECT_TRUE(engine_->Health().ready);

  auto stopping = Clock::now();
  engine_.reset();
  EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(2)) << Seconds(Clock::now() - stopping);
}

struct FailureCase {
  const char* name;
  Behaviour behaviour;
  bool refused;      // the stand-in stops instead
  bool down;         // the engine is left alone afterwards
  const char* what;  // how the log line and the problem put it
  const char* then;  // the log line's end
};

const FailureCase kFailures[] = {
    {"BadRequest", Behaviour::kBadRequest, false, false, "answered 400 (bad request)",
     "; this request fails"},
    {"Forbidden", Behaviour::kForbidden, false, false, "answered 403 (forbidden)",
     ": check the API key in key-file="},
    {"RateLimited", Behaviour::kRateLimited, false, true, "answered 429 (too many requests)",
     "; left alone for 30 s"},
    {"RetryAfter", Behaviour::kRetryAfter7, false, true, "answered 429 (too many requests)",
     "; left alone for 7 s"},
    {"ServerError", Behaviour::kServerError, false, true, "answered 500 (server error)",
     "; left alone for 30 s"},
    {"Stall", Behaviour::kStall, false, true, "did not answer in time", "; left alone for 30 s"},
    {"TruncatedJson", Behaviour::kTruncated, false, true, "sent an answer that is not whole",
     "; left alone for 30 s"},
    {"Refused", Behaviour::kAnswer, true, true, "refused the connection", "; left alone for 30 s"},
};

// Names the row in ctest's list instead of its bytes.
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class UpstreamFailureTest : public LibreTranslateTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpstreamFailureTest, FailsBoundedLogsAndStandsBack) {
  const FailureCase& c = GetParam();
  Start();
  const std::string name = "libretranslate " + stand_in_->url();
  const std::string url = stand_in_->url();
  stand_in_->Script(c.behaviour);
  if (c.refused) stand_in_.reset();

  StderrCapture log;
  auto started = Clock::now();
  Translation failed = Translate("de_en", "Guten Tag");
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5)) << Seconds(Clock::now() - started);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.problem, name + " " + c.what);
  EXPECT_NE(log.Text().find(name + " " + c.what + c.then), std::string::npos) << log.Text();
  EXPECT_EQ(engine_->Health().ready, !c.down);
  if (c.down) {
    EXPECT_EQ(engine_->Health().reason, url + " " + c.what);
  }

  size_t asked = c.refused ? 0 : stand_in_->Received().size();
  started = Clock::now();
  Translation again = Translate("de_en", "Guten Tag");
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(1)) << Seconds(Clock::now() - started);
  EXPECT_FALSE(again.ok);
  if (c.down) {
    EXPECT_EQ(again.problem.rfind(name + " is down (" + c.what + "), tried again in ", 0), 0u)
        << again.problem;
    if (!c.refused) {
      EXPECT_EQ(stand_in_->Received().size(), asked);
    }
  }
  EXPECT_EQ(log.Text().find(kKey), std::string::npos);
  EXPECT_EQ(log.Text().find("Guten"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(LibreTranslate, UpstreamFailureTest, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
