// The limits per client and /metrics over real HTTP, in front of engines in memory: clients
// told apart by their loopback source address (127.0.0.0/8 is all loopback on Linux).
#include "service_test_support.h"

#include "service/limits/client_limits.h"
#include "service/metrics/service_metrics.h"

#include <atomic>
#include <cstdlib>
#include <sstream>

namespace service_test {
namespace {

// 2026-12-09 12:00:45 UTC: 15 s before the minute ends.
const std::chrono::system_clock::time_point kQuarterToMinute{std::chrono::seconds(1796817645)};
const char kToken[] = "s3cret-token";
const char kBearer[] = "Authorization: Bearer s3cret-token\r\n";

// The service with --rate-limit 2 --char-limit 10 --trust-proxy 127.0.0.3 and a metrics token,
// its clock stopped at kQuarterToMinute; "memory" offers en_es, "backup" de_en and is down.
class GuardedServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto memory = std::make_unique<MemoryEngine>(
        "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"}});
    auto backup = std::make_unique<MemoryEngine>(
        "backup", std::vector<service::Offer>{{"de_en", "German to English"}});
    backup->SetHealth({false, {}, "stopped by the test"});
    std::vector<std::unique_ptr<service::Engine>> engines;
    engines.push_back(std::move(memory));
    engines.push_back(std::move(backup));

    service::limits::LimitSettings settings;
    settings.requests_per_minute = 2;
    settings.max_characters = 10;
    std::string problem;
    settings.proxies = *service::limits::TrustedProxies::Parse("127.0.0.3", &problem);
    limits_ = std::make_unique<service::limits::ClientLimits>(
        settings, service::limits::SharedCounter(), [] { return kQuarterToMinute; });

    service::metrics::ScrapeSources sources;
    sources.engines = [this] { return service_->router().States(); };
    sources.cache = [this] { return service::metrics::CacheStats{cache_hits_.load(), 7, 2048}; };
    sources.pipelines_running = [] { return std::size_t{3}; };
    metrics_ = std::make_unique<service::metrics::ServiceMetrics>(std::move(sources));

    service_ = std::make_unique<RunningService>(
        std::move(engines),
        service::HttpOptions{nullptr, nullptr, limits_.get(), metrics_.get(), kToken, nullptr, {}});
  }
  void TearDown() override { service_.reset(); }

  std::optional<raw_http::Response> Get(const std::string& target, const std::string& headers,
                                        const char* source) const {
    return raw_http::Get(service_->port(), target, headers, source);
  }

  std::string Scrape() const {
    auto scraped = Get("/metrics", kBearer, nullptr);
    EXPECT_TRUE(scraped && scraped->status == 200);
    return scraped ? scraped->body : "";
  }

  std::unique_ptr<service::limits::ClientLimits> limits_;
  std::unique_ptr<service::metrics::ServiceMetrics> metrics_;
  std::atomic<std::uint64_t> cache_hits_{40};
  std::unique_ptr<RunningService> service_;  // last: it serves with everything above
};

// The value of one sample line of the text format, `series` as written with its labels; 0 when
// the series is not there yet.
double Sample(const std::string& text, const std::string& series) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, series.size() + 1, series + " ") == 0) {
      return std::strtod(line.c_str() + series.size() + 1, nullptr);
    }
  }
  return 0;
}

TEST_F(GuardedServiceTest, LimitsEachClientByItsAddressOrItsTrustedProxysWord) {
  struct Case {
    const char* name;
    const char* source;
    const char* headers;
    const char* target;
    int status;
    const char* retry_after;
    const char* says;
  };
  static const Case kCases[] = {
      {"first", "127.0.0.1", "", "/tr?trtext=Hello&lp=en_es", 200, "", "Hello"},
      {"second", "127.0.0.1", "", "/tr?trtext=Hello&lp=en_es", 200, "", "Hello"},
      {"third: over the limit", "127.0.0.1", "", "/tr?trtext=Hello&lp=en_es", 429, "15",
       "Please try again in 15 seconds, after 12:01:00 UTC."},
      {"health is not limited", "127.0.0.1", "", "/health", 503, "", "memory"},
      {"the index is not limited", "127.0.0.1", "", "/", 200, "", "en_es"},
      {"a forged header from an untrusted peer changes nothing", "127.0.0.1",
       "X-Forwarded-For: 198.51.100.9\r\n", "/tr?trtext=Hello&lp=en_es", 429, "15",
       "Too many requests"},
      {"another client is served", "127.0.0.2", "", "/tr?trtext=Hello&lp=en_es", 200, "", "Hello"},
      {"through the proxy: its client's first", "127.0.0.3", "X-Forwarded-For: 198.51.100.7\r\n",
       "/tr?trtext=Hello&lp=en_es", 200, "", "Hello"},
      {"through the proxy: its client's second", "127.0.0.3", "X-Forwarded-For: 198.51.100.7\r\n",
       "/tr?trtext=Hello&lp=en_es", 200, "", "Hello"},
      {"through the proxy: its client's third", "127.0.0.3", "X-Forwarded-For: 198.51.100.7\r\n",
       "/tr?trtext=Hello&lp=en_es", 429, "15", "Too many requests"},
      {"the client's own entry before the proxy's is ignored", "127.0.0.3",
       "X-Forwarded-For: 198.51.100.8\r\nX-Forwarded-For: 198.51.100.7\r\n",
       "/tr?trtext=Hello&lp=en_es", 429, "15", "Too many requests"},
      {"the proxy's other client is served", "127.0.0.3", "X-Forwarded-For: 198.51.100.8\r\n",
       "/tr?trtext=Hello&lp=en_es", 200, "", "Hello"},
      {"eleven characters", "127.0.0.4", "", "/tr?trtext=Hello+world&lp=en_es", 400, "",
       "The text has 11 characters; this service translates at most 10 at a time."},
      {"ten characters of two bytes each", "127.0.0.4", "",
       "/tr?trtext=%C3%B1%C3%B1%C3%B1%C3%B1%C3%B1%C3%B1%C3%B1%C3%B1%C3%B1%C3%B1&lp=en_es", 200, "",
       "\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1\xC3\xB1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto response = Get(c.target, c.headers, c.source);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, c.status);
    EXPECT_EQ(response->Header("Retry-After"), c.retry_after);
    EXPECT_NE(response->body.find(c.says), std::string::npos) << response->body;
    // The plug-in finds no translation in a refusal and shows its "translation problem".
    if (c.status != 200) {
      EXPECT_FALSE(CutTranslation(response->body)) << response->body;
    }
  }
}

TEST_F(GuardedServiceTest, MetricsCountTheRequestsMadeBetweenTwoScrapes) {
  std::string before = Scrape();
  static const struct {
    const char* source;
    const char* target;
    int status;
  } kRequests[] = {
      {"127.0.0.5", "/tr?trtext=Hello&lp=en_es", 200},
      {"127.0.0.5", "/tr?trtext=Hello&lp=en_es", 200},
      {"127.0.0.5", "/tr?trtext=Hello&lp=en_es", 429},
      {"127.0.0.6", "/tr?trtext=Hallo&lp=de_en", 503},
      {"127.0.0.6", "/tr?trtext=%20&lp=en_es", 200},  // blank: no engine asked
      {"127.0.0.6", "/no/such/page?x=1", 404},
      {"127.0.0.6", "/health", 503},
      {"127.0.0.6", "/languages", 200},
  };
  for (const auto& request : kRequests) {
    SCOPED_TRACE(request.target);
    auto response = Get(request.target, "", request.source);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, request.status);
  }
  cache_hits_ += 5;
  std::string after = Scrape();
  struct Delta {
    const char* series;
    double delta;
  };
  static const Delta kDeltas[] = {
      {R"(mirelskan_http_requests_total{route="/tr",status="200"})", 3},
      {R"(mirelskan_http_requests_total{route="/tr",status="429"})", 1},
      {R"(mirelskan_http_requests_total{route="/tr",status="503"})", 1},
      {R"(mirelskan_http_requests_total{route="other",status="404"})", 1},
      {R"(mirelskan_http_requests_total{route="/health",status="503"})", 1},
      {R"(mirelskan_http_requests_total{route="/languages",status="200"})", 1},
      {R"(mirelskan_http_requests_total{route="/metrics",status="200"})", 1},
      {R"(mirelskan_http_request_duration_seconds_count{route="/tr"})", 5},
      {R"(mirelskan_http_request_duration_seconds_bucket{route="/tr",le="+Inf"})", 5},
      {R"(mirelskan_translations_total{engine="memory",result="ok"})", 2},
      {R"(mirelskan_translations_total{engine="backup",result="engine_down"})", 1},
      {"mirelskan_cache_hits_total", 5},
      {"mirelskan_cache_misses_total", 0},
  };
  for (const Delta& d : kDeltas) {
    SCOPED_TRACE(d.series);
    EXPECT_EQ(Sample(after, d.series) - Sample(before, d.series), d.delta) << after;
  }
  static const Delta kLevels[] = {
      {R"(mirelskan_engine_up{engine="memory"})", 1},
      {R"(mirelskan_engine_up{engine="backup"})", 0},
      {"mirelskan_cache_misses_total", 7},
      {"mirelskan_cache_bytes", 2048},
      {"mirelskan_pipelines_running", 3},
  };
  for (const Delta& level : kLevels) {
    SCOPED_TRACE(level.series);
    EXPECT_NE(after.find(std::string(level.series) + " "), std::string::npos) << after;
    EXPECT_EQ(Sample(after, level.series), level.delta);
  }
  // No series names a client or a text.
  for (const char* never : {"127.0.0.5", "Hello", "no/such"}) {
    EXPECT_EQ(after.find(never), std::string::npos) << never;
  }
}

TEST_F(GuardedServiceTest, MetricsPassPromtoolsCheck) {
  for (const char* target : {"/tr?trtext=Hello&lp=en_es", "/tr?trtext=Hallo&lp=de_en", "/"}) {
    ASSERT_TRUE(Get(target, "", "127.0.0.7"));
  }
  ASSERT_EQ(std::system("command -v promtool >/dev/null"), 0)
      << "promtool is missing: install Debian's prometheus package";
  std::string verdict =
      RunFilter({"/bin/sh", "-c", "promtool check metrics 2>&1; echo \"exit $?\""}, Scrape());
  EXPECT_EQ(verdict, "exit 0\n");
}

TEST_F(GuardedServiceTest, MetricsAnswerOnlyTheBearerOfTheToken) {
  struct Case {
    const char* name;
    const char* headers;
    int status;
  };
  static const Case kCases[] = {
      {"no Authorization", "", 401},
      {"wrong token", "Authorization: Bearer s3cret-tokem\r\n", 401},
      {"the token's beginning", "Authorization: Bearer s3cret\r\n", 401},
      {"the token and more", "Authorization: Bearer s3cret-token2\r\n", 401},
      {"another scheme", "Authorization: Basic s3cret-token\r\n", 401},
      {"the token", "Authorization: Bearer s3cret-token\r\n", 200},
      {"the scheme in any case", "Authorization: bearer s3cret-token\r\n", 200},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto response = Get("/metrics", c.headers, nullptr);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, c.status);
    bool counted =
        response->body.find("# TYPE mirelskan_http_requests_total counter") != std::string::npos;
    EXPECT_EQ(counted, c.status == 200);
    EXPECT_EQ(response->Header("WWW-Authenticate"),
              c.status == 401 ? "Bearer realm=\"metrics\"" : "");
  }
}

}  // namespace
}  // namespace service_test
