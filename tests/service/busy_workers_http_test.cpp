// What needs no engine is answered while every worker waits on one: the engine in memory holds
// each translation until the test releases it, so no timing decides anything.
#include "service_test_support.h"

#include "service/cache/translation_cache.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace service_test {
namespace {

using std::chrono::milliseconds;

std::string Http11(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

TEST(BusyWorkers, RememberedAnswersAndHealthComeBackWhileEveryWorkerWaits) {
  auto owned = std::make_unique<MemoryEngine>(
      "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"}});
  MemoryEngine& engine = *owned;
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::move(owned));
  service::cache::TranslationCache cache(1 << 20, nullptr, std::chrono::seconds(0));
  service::HttpOptions options;
  options.cache = &cache;
  options.workers = 2;
  options.waiting = 0;
  RunningService service(std::move(engines), options);
  auto remembered = raw_http::Get(service.port(), "/tr?trtext=remembered&lp=en_es");
  ASSERT_TRUE(remembered);
  ASSERT_EQ(remembered->status, 200);

  engine.Hold();
  // A failed check must not leave the workers held: the service's end would wait on them.
  struct ReleaseAtEnd {
    MemoryEngine& engine;
    ~ReleaseAtEnd() { engine.Release(); }
  } release_at_end{engine};
  std::vector<raw_http::Connection> slow;
  for (const char* text : {"first", "second"}) {
    slow.emplace_back(service.port());
    ASSERT_TRUE(slow.back().Send(Http11(std::string("/tr?lp=en_es&trtext=") + text)));
  }
  ASSERT_TRUE(engine.WaitForHeld(2, milliseconds(30000)));
  struct Case {
    const char* target;
    int status;
    const char* retry_after;
    const char* in_body;
  };
  static const Case kCases[] = {
      {"/tr?trtext=remembered&lp=en_es", 200, "", "remembered"},
      {"/health", 200, "", "\"ready\":true"},
      {"/tr?trtext=new&lp=en_es", 503, "1", "Service busy"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.target);
    auto response = raw_http::Get(service.port(), c.target);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, c.status);
    EXPECT_EQ(response->Header("Retry-After"), c.retry_after);
    EXPECT_NE(response->body.find(c.in_body), std::string::npos) << response->body;
  }
  slow.pop_back();  // a client gone while a worker holds its request
  engine.Release();
  const std::pair<std::optional<raw_http::Response>, const char*> answers[] = {
      {slow[0].Read(), "first"},
      {raw_http::Get(service.port(), "/tr?trtext=after&lp=en_es"), "after"}};
  for (const auto& [response, text] : answers) {
    ASSERT_TRUE(response) << text;
    EXPECT_EQ(response->status, 200);
    EXPECT_NE(response->body.find(text), std::string::npos) << response->body;
  }
}

}  // namespace
}  // namespace service_test
