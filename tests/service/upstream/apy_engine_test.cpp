// Against the real thing: Debian's apertium-apy on a free port, with Debian's Apertium modes.
#include "service/engine/upstream/apy_engine.h"
#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/router.h"
#include "service/http/routes.h"
#include "support/raw_http.h"
#include "wire/wire_contract.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using service::Piece;
using service::upstream::ApyEngine;
using Clock = std::chrono::steady_clock;

constexpr char kApy[] = "/usr/bin/apertium-apy";
constexpr char kModes[] = "/usr/share/apertium/modes";

int FreePort() {
  int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(probe);
  return port;
}

class ApyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kApy, X_OK) != 0) GTEST_SKIP() << kApy << " is not installed (apertium-apy)";
    if (::access((std::string(kModes) + "/eng-spa.mode").c_str(), R_OK) != 0) {
      GTEST_SKIP() << kModes << " has no eng-spa.mode (apertium-en-es)";
    }
    port_ = FreePort();
    ASSERT_NE(port_, 0);
    std::string port = std::to_string(port_);
    apy_ = ::fork();
    ASSERT_GE(apy_, 0);
    if (apy_ == 0) {
      // A group of its own, so that TearDown stops its pipelines with it.
      ::setpgid(0, 0);
      int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDOUT_FILENO);
      ::dup2(quiet, STDERR_FILENO);
      ::execl(kApy, kApy, "-p", port.c_str(), kModes, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::setpgid(apy_, apy_);
    auto give_up = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < give_up) {
      std::optional<raw_http::Response> pairs = raw_http::Get(port_, "/listPairs");
      if (pairs && pairs->status == 200) return;
      ASSERT_EQ(::waitpid(apy_, nullptr, WNOHANG), 0) << "apertium-apy stopped";
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    FAIL() << "apertium-apy did not answer /listPairs within 60 s";
  }

  void TearDown() override {
    if (apy_ <= 0) return;
    ::kill(-apy_, SIGTERM);
    auto give_up = Clock::now() + std::chrono::seconds(5);
    while (::waitpid(apy_, nullptr, WNOHANG) == 0) {
      if (Clock::now() > give_up) {
        ::kill(-apy_, SIGKILL);
        ::waitpid(apy_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-apy_, SIGKILL);  // pipelines APy left behind
  }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  int port_ = 0;
  pid_t apy_ = 0;
};

TEST_F(ApyTest, OffersThePairsOfTheModesInPluginCodes) {
  ApyEngine engine(Url());
  std::vector<std::string> codes;
  for (const service::Offer& offer : engine.Offers()) codes.push_back(offer.code);
  // spa-por_BR and spa-eng_US name variants outside the plug-in's codes.
  EXPECT_EQ(codes, (std::vector<std::string>{"en_es", "es_en", "es_fr", "es_it", "es_pt", "fr_es",
                                             "it_es", "pt_es"}));
  ASSERT_FALSE(engine.Offers().empty());
  EXPECT_EQ(engine.Offers().front().description, "English to Spanish (Apertium-APy)");
  EXPECT_TRUE(engine.Health().ready);
}

TEST_F(ApyTest, TranslatesAsApyItselfAnswers) {
  struct Case {
    const char* code;
    const char* text;
    const char* target;  // APy's own request for the text
  };
  static const Case kCases[] = {
      {"en_es", "Hello world\nhow are you",
       "/translate?langpair=eng%7Cspa&q=Hello%20world%0Ahow%20are%20you"},
      {"es_en", "\xc2\xbfQu\xc3\xa9 tal? Tom & Jerry | 100% + m\xc3\xa1s",
       "/translate?langpair=spa%7Ceng"
       "&q=%C2%BFQu%C3%A9%20tal%3F%20Tom%20%26%20Jerry%20%7C%20100%25%20%2B%20m%C3%A1s"},
      {"fr_es", "Un petit test de traduction",
       "/translate?langpair=fra%7Cspa&q=Un%20petit%20test%20de%20traduction"},
  };
  ApyEngine engine(Url());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    std::optional<raw_http::Response> direct =
        raw_http::Get(port_, std::string(c.target) + "&markUnknown=no&format=txt");
    ASSERT_TRUE(direct);
    ASSERT_EQ(direct->status, 200) << direct->body;
    std::string expected =
        nlohmann::json::parse(direct->body).at("responseData").at("translatedText");
    EXPECT_NE(expected, c.text);

    service::Translation translation = engine.Translate(c.code, {Piece{c.text, false}});
    EXPECT_TRUE(translation.ok) << translation.problem;
    EXPECT_EQ(translation.text, expected);
  }
}

// The service in front of APy, its modes folder empty: /tr answers what APy itself answers.
TEST_F(ApyTest, TheServiceForwardsWhatItsModesLack) {
  char folder[] = "/tmp/no-modes-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  service::ApertiumOptions options;
  options.modes_dir = folder;
  std::vector<std::unique_ptr<service::Engine>> engines;
  engines.push_back(std::make_unique<service::ApertiumEngine>(options));
  engines.push_back(std::make_unique<ApyEngine>(Url()));
  ::rmdir(folder);
  service::Router router(std::move(engines));
  service::Answer answer =
      service::AnswerRequest(router, "GET", "/tr?trtext=The%20house%20is%20red&lp=en_es", "*/*");
  std::optional<raw_http::Response> direct = raw_http::Get(
      port_, "/translate?langpair=eng%7Cspa&q=The%20house%20is%20red&markUnknown=no&format=txt");
  ASSERT_TRUE(direct);
  std::string expected =
      nlohmann::json::parse(direct->body).at("responseData").at("translatedText");
  EXPECT_EQ(answer.status, 200);
  EXPECT_NE(answer.body.find(std::string(WIRE_START_MARKER) + expected + WIRE_END_MARKER),
            std::string::npos)
      << expected << "\n"
      << answer.body;
}

}  // namespace
