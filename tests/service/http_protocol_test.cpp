// The service's HTTP as clients really speak it, over plain sockets: WinINet's raw '?', raw
// spaces, pipelining, bodies on GET, idle connections. The engine in memory echoes each text,
// so every translation must equal the text sent.
#include "service_test_support.h"

#include "service/http/listen_socket.h"

#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

namespace service_test {
namespace {

using HttpProtocolTest = MemoryEngineTest;
using std::chrono::milliseconds;

std::string Http11(const std::string& target, const std::string& headers = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n";
}

// A /tr target whose text is already in the form the client sends it.
std::string TrTarget(const std::string& text) { return "/tr?trtext=" + text + "&lp=en_es"; }

TEST_F(HttpProtocolTest, TranslatesEveryTargetAClientMaySend) {
  struct Case {
    const char* name;
    std::string request;
    std::string translation;
  };
  std::string long_text(64 * 1024 - TrTarget("").size(), 'a');
  const Case kCases[] = {
      {"WinINet's bytes for a question",
       "GET /tr?trtext=How%20are%20you?&lp=en_es HTTP/1.0\r\nAccept: */*\r\nHost: localhost\r\n"
       "User-Agent: Mozilla/4.0 (compatible; )\r\n\r\n",
       "How are you?"},
      {"two questions", Http11(TrTarget("Is%20it%20true?%20Yes!")), "Is it true? Yes!"},
      {"every raw sub-delimiter", Http11(TrTarget("a?b/c:d@e!f$g'h(i)j*k,l;m")),
       "a?b/c:d@e!f$g'h(i)j*k,l;m"},
      {"raw spaces", Http11(TrTarget("How are you?")), "How are you?"},
      {"absolute form", Http11("http://localhost" + TrTarget("x%3F")), "x?"},
      {"a 64 KiB target", Http11(TrTarget(long_text)), long_text},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    raw_http::Connection connection(service_->port());
    ASSERT_TRUE(connection.Send(c.request));
    auto response = connection.Read();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(CutTranslation(response->body), c.translation);
  }
}

TEST_F(HttpProtocolTest, RefusalsCloseTheConnection) {
  struct Case {
    const char* name;
    std::string request;
    int status;
    const char* allow;
  };
  const Case kCases[] = {
      {"target one byte above 64 KiB",
       Http11(TrTarget(std::string(64 * 1024 + 1 - TrTarget("").size(), 'a'))), 414, ""},
      {"target far above the connection's memory", Http11("/" + std::string(300 * 1024, 'a')), 414,
       ""},
      {"no version", "GET /tr?trtext=x&lp=en_es\r\n\r\n", 400, ""},
      {"a word after the version", "GET / HTTP/1.1 extra\r\nHost: localhost\r\n\r\n", 400, ""},
      {"POST", "POST /tr HTTP/1.1\r\nHost: localhost\r\nContent-Length: 3\r\n\r\nabc", 405,
       "GET, HEAD"},
      {"PUT", "PUT / HTTP/1.1\r\nHost: localhost\r\nContent-Length: 0\r\n\r\n", 405, "GET, HEAD"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    raw_http::Connection connection(service_->port());
    ASSERT_TRUE(connection.Send(c.request));
    auto response = connection.Read();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, c.status);
    EXPECT_EQ(response->Header("Allow"), c.allow);
    EXPECT_FALSE(CutTranslation(response->body).has_value());
    EXPECT_TRUE(connection.ClosedByServer(milliseconds(5000)));
  }
  EXPECT_EQ(Translate("still%20here", "en_es"), "still here");
}

TEST_F(HttpProtocolTest, Http10IsAnsweredWithCloseAndNoKeepAliveOffer) {
  for (const char* asked : {"", "Connection: keep-alive\r\n"}) {
    SCOPED_TRACE(asked);
    raw_http::Connection connection(service_->port());
    ASSERT_TRUE(
        connection.Send(std::string("GET ") + TrTarget("x") + " HTTP/1.0\r\n" + asked + "\r\n"));
    auto response = connection.Read();
    ASSERT_TRUE(response);
    EXPECT_EQ(CutTranslation(response->body), "x");
    EXPECT_EQ(response->Header("Connection"), "close");
    EXPECT_EQ(response->Header("Keep-Alive"), "");
    EXPECT_TRUE(connection.ClosedByServer(milliseconds(5000)));
  }
}

TEST_F(HttpProtocolTest, PipelinedRequestsAreAnsweredInOrder) {
  raw_http::Connection connection(service_->port());
  std::string requests;
  for (int n = 0; n < 20; ++n) requests += Http11(TrTarget("text%20" + std::to_string(n)));
  ASSERT_TRUE(connection.Send(requests));
  for (int n = 0; n < 20; ++n) {
    auto response = connection.Read();
    ASSERT_TRUE(response) << "answer " << n;
    EXPECT_EQ(CutTranslation(response->body), "text " + std::to_string(n));
  }
  // Still open for more.
  ASSERT_TRUE(connection.Send(Http11(TrTarget("more"))));
  auto response = connection.Read();
  ASSERT_TRUE(response);
  EXPECT_EQ(CutTranslation(response->body), "more");
}

TEST_F(HttpProtocolTest, BodyOfAGetIsReadAndIgnored) {
  std::string body = Http11(TrTarget("smuggled"));
  raw_http::Connection connection(service_->port());
  ASSERT_TRUE(connection.Send(
      Http11(TrTarget("first"), "Content-Length: " + std::to_string(body.size()) + "\r\n") + body +
      Http11(TrTarget("second"), "Connection: close\r\n")));
  for (const char* expected : {"first", "second"}) {
    auto response = connection.Read();
    ASSERT_TRUE(response);
    EXPECT_EQ(CutTranslation(response->body), expected);
  }
  EXPECT_TRUE(connection.ClosedByServer(milliseconds(5000)));
}

TEST_F(HttpProtocolTest, HeadIsAnsweredWithoutABody) {
  raw_http::Connection connection(service_->port());
  ASSERT_TRUE(connection.Send("HEAD / HTTP/1.0\r\n\r\n"));
  auto response = connection.Read(milliseconds(60000), true);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(response->Header("Content-Type"), "text/html; charset=UTF-8");
  EXPECT_TRUE(connection.ClosedByServer(milliseconds(5000)));
}

TEST_F(HttpProtocolTest, HalfSentRequestsDoNotHoldUpOthers) {
  std::vector<raw_http::Connection> stalled;
  for (int n = 0; n < 200; ++n) {
    stalled.emplace_back(service_->port());
    ASSERT_TRUE(stalled.back().Connected());
    ASSERT_TRUE(stalled.back().Send("GET /tr?trtext=stalled"));
  }
  EXPECT_EQ(Translate("served", "en_es"), "served");
  // Served while every stalled client still held its connection, not after they timed out.
  int still_open = 0;
  for (auto& connection : stalled) still_open += !connection.ClosedByServer(milliseconds(0));
  EXPECT_EQ(still_open, 200);
}

TEST_F(HttpProtocolTest, SixtyFourClientsAtOnceAreAllAnswered) {
  std::vector<raw_http::Connection> clients;
  for (int n = 0; n < 64; ++n) clients.emplace_back(service_->port());
  for (int n = 0; n < 64; ++n) {
    ASSERT_TRUE(clients[n].Send(Http11(TrTarget("client%20" + std::to_string(n)))));
  }
  for (int n = 0; n < 64; ++n) {
    auto response = clients[n].Read();
    ASSERT_TRUE(response) << "client " << n;
    EXPECT_EQ(CutTranslation(response->body), "client " + std::to_string(n));
  }
}

TEST(ListenSocket, ATakenPortNamesTheAddressTheReasonAndTheRemedy) {
  service::ListenAddress any{"127.0.0.1", 0, false};
  service::UniqueFd taken = service::BindSocket(any);
  service::StartListening(taken.get(), any);
  service::ListenAddress same{"127.0.0.1", service::BoundPort(taken.get()), false};
  try {
    service::BindSocket(same);
    FAIL() << "bound a taken port";
  } catch (const std::runtime_error& failure) {
    std::string message = failure.what();
    EXPECT_NE(message.find("cannot listen on 127.0.0.1:" + std::to_string(same.port) +
                           ": Address already in use"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("--listen 127.0.0.1:8080"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace service_test
