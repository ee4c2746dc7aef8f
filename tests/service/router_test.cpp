// Which engine serves each code, and what the service says when one is down.
#include "service_test_support.h"

#include <string>
#include <vector>

namespace service_test {
namespace {

std::vector<std::unique_ptr<service::Engine>> TwoEngines() {
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::make_unique<MemoryEngine>(
      "first",
      std::vector<service::Offer>{{"en_es", "first's en_es"}, {"fr_en", "first's fr_en"}}));
  engines.push_back(std::make_unique<MemoryEngine>(
      "second", std::vector<service::Offer>{{"de_en", "second's de_en"}, {"en_es", "second's"}}));
  return engines;
}

TEST(Router, TheFirstEngineThatOffersACodeServesIt) {
  struct Case {
    const char* code;
    std::vector<std::string> only;
    const char* engine;  // nullptr: none
  };
  static const Case kCases[] = {
      {"en_es", {}, "first"}, {"fr_en", {}, "first"},         {"de_en", {}, "second"},
      {"xx_yy", {}, nullptr}, {"de_en", {"de_en"}, "second"}, {"en_es", {"de_en"}, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    service::Router router(TwoEngines(), c.only);
    service::Engine* engine = router.Find(c.code);
    if (c.engine == nullptr) {
      EXPECT_EQ(engine, nullptr);
    } else {
      ASSERT_NE(engine, nullptr);
      EXPECT_EQ(engine->Name(), c.engine);
    }
  }
}

// "first" and "second" both offer en_es; what serves it as each is up, down or failing.
TEST(Router, ACodeServedTwiceGoesToTheNextWhileTheFirstIsDown) {
  struct Case {
    const char* name;
    bool first_ready;
    bool first_fails;
    bool second_ready;
    const char* found;        // Find("en_es"), the home page's engine and /health's
    const char* translated;   // who answered: "first", "second" or "" for nobody
    const char* first_codes;  // /health's codes of "first"
    const char* order;  // the engines asked for en_es, in order: /health's and the home page's
  };
  static const Case kCases[] = {
      {"BothUp", true, false, true, "first", "first", "en_es fr_en", "first second"},
      {"FirstDown", false, false, true, "second", "second", "fr_en", "second first"},
      {"FirstFailsWhileReady", true, true, true, "first", "second", "en_es fr_en", "first second"},
      {"BothDown", false, false, false, "first", "", "en_es fr_en", "first second"},
      {"SecondDown", true, false, false, "first", "first", "en_es fr_en", "first second"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto engines = TwoEngines();
    auto* first = static_cast<MemoryEngine*>(engines[0].get());
    auto* second = static_cast<MemoryEngine*>(engines[1].get());
    first->SetHealth({c.first_ready, {}, c.first_ready ? "" : "refused"});
    first->SetProblem(c.first_fails ? "timed out" : "");
    second->SetHealth({c.second_ready, {}, c.second_ready ? "" : "refused"});
    service::Router router(std::move(engines));

    EXPECT_EQ(router.Find("en_es")->Name(), c.found);
    service::Translation translation = router.Translate("en_es", {{"hola", false}});
    EXPECT_EQ(translation.ok, *c.translated != '\0');
    std::string translated = second->Calls().empty() ? (translation.ok ? "first" : "") : "second";
    EXPECT_EQ(translated, c.translated);
    for (const service::Route& route : router.Routes()) {
      if (route.code == "en_es") {
        EXPECT_EQ(route.engine, c.found);
        std::string order;
        for (const std::string& name : route.order) order += (order.empty() ? "" : " ") + name;
        EXPECT_EQ(order, c.order);
      }
    }
    std::vector<service::EngineState> states = router.States();
    std::string codes;
    for (const std::string& code : states[0].codes) codes += (codes.empty() ? "" : " ") + code;
    EXPECT_EQ(codes, c.first_codes);
  }
}

using EngineRoutesTest = MemoryEngineTest;

TEST_F(EngineRoutesTest, TheTextReachesTheEngineAsOnePieceToTranslate) {
  EXPECT_EQ(Translate("a%20b", "en_fr"), "a b");
  auto calls = memory_->Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, "en_fr");
  ASSERT_EQ(calls[0].pieces.size(), 1u);
  EXPECT_EQ(calls[0].pieces[0].text, "a b");
  EXPECT_FALSE(calls[0].pieces[0].keep);
  EXPECT_TRUE(backup_->Calls().empty());
}

TEST_F(EngineRoutesTest, HealthTellsEachEngineAndADownEngineIsNotAsked) {
  auto healthy = Get("/health");
  ASSERT_TRUE(healthy);
  EXPECT_EQ(healthy->status, 200);
  EXPECT_EQ(healthy->Header("Content-Type"), "application/json; charset=UTF-8");

  backup_->SetHealth(
      {false, std::chrono::system_clock::from_time_t(1700000000), "connection refused"});
  auto health = Get("/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 503);
  EXPECT_EQ(health->body,
            R"({"engines":[{"codes":["en_es","en_fr","es_fr"],"down_since":null,"name":"memory",)"
            R"("ready":true,"reason":null},{"codes":["de_en","eo_en"],)"
            R"("down_since":"2023-11-14T22:13:20Z","name":"backup","ready":false,)"
            R"("reason":"connection refused"}],"order":{"de_en":["backup"],"en_es":["memory"],)"
            R"("en_fr":["memory","backup"],"eo_en":["backup"],"es_fr":["memory"]},"ready":false})"
            "\n");

  auto down = Get("/tr?trtext=Hallo&lp=de_en");
  ASSERT_TRUE(down);
  EXPECT_EQ(down->status, 503);
  EXPECT_FALSE(CutTranslation(down->body).has_value());
  EXPECT_NE(down->body.find("The engine backup that serves &quot;de_en&quot; is down: "
                            "connection refused."),
            std::string::npos)
      << down->body;
  EXPECT_TRUE(backup_->Calls().empty());
  // Its code that the first engine serves is not affected.
  EXPECT_EQ(Translate("up", "en_fr"), "up");
}

}  // namespace
}  // namespace service_test
