#include "net/internet_client.h"

#include "support/stand_in_test.h"

#include <gmock/gmock.h>

#include <string>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char* const AGENT = "Mozilla/4.0 (compatible; )";

std::string Num(std::uint64_t value) { return std::to_string(value); }

class InternetClientTest : public StandInTest {
 protected:
  bool ConnectHttp(const char* url = "http://localhost") {
    return client.Connect(url, nullptr, nullptr, AGENT);
  }

  InternetClient client;
};

// ---------------------------------------------------------------- connecting

TEST_F(InternetClientTest, ConnectOpensConnectsAndChecksInOrder) {
  ASSERT_TRUE(ConnectHttp("http://localhost/base"));
  EXPECT_THAT(standin::CallNames(),
              ElementsAre("InternetOpenA", "InternetConnectA", "InternetAttemptConnect"));
  EXPECT_THAT(Args("InternetOpenA"), ElementsAre(AGENT, "0", "<null>", "<null>", "0"));
  EXPECT_THAT(Args("InternetConnectA"),
              ElementsAre("h1", "localhost", "80", "<null>", "<null>", "3", "0", "0"));
  EXPECT_THAT(Args("InternetAttemptConnect"), ElementsAre("0"));
  EXPECT_EQ(client.ServerName(), "localhost");
  EXPECT_EQ(client.Port(), 80);
  EXPECT_EQ(client.Protocol(), PROTOCOL_HTTP);
  EXPECT_EQ(client.Path(), "/base");
  EXPECT_EQ(standin::OpenInternetHandles(), 2);
  client.Close();
}

struct ProtocolCase {
  const char* url;
  ProtocolKind protocol;
  const char* port;
  const char* service;
};

TEST_F(InternetClientTest, ConnectChoosesServiceAndFlagsByScheme) {
  const ProtocolCase cases[] = {
      {"http://h", PROTOCOL_HTTP, "80", "3"},     {"https://h", PROTOCOL_HTTPS, "443", "3"},
      {"ftp://h", PROTOCOL_FTP, "21", "1"},       {"ftps://h", PROTOCOL_FTP, "80", "1"},
      {"httpx://h:81", PROTOCOL_HTTP, "81", "3"},
  };
  for (const ProtocolCase& c : cases) {
    SCOPED_TRACE(c.url);
    standin::Reset();
    InternetClient fresh;
    ASSERT_TRUE(fresh.Connect(c.url, nullptr, nullptr, AGENT));
    EXPECT_EQ(fresh.Protocol(), c.protocol);
    const auto args = Args("InternetConnectA");
    EXPECT_EQ(args[2], c.port);
    EXPECT_EQ(args[5], c.service);
    EXPECT_EQ(args[6], Num(c.protocol == PROTOCOL_FTP ? INTERNET_FLAG_PASSIVE : 0));
    fresh.Close();
  }
}

TEST_F(InternetClientTest, ConnectRefusesUnknownSchemeAndOverlongUrlWithoutOpening) {
  const std::string longest = "http://h/" + std::string(MAX_URL_LENGTH - 9, 'p');
  const std::string tooLong = longest + "p";
  ASSERT_EQ(longest.size(), MAX_URL_LENGTH);
  const char* refused[] = {"gopher://h", "HTTP://h", "mailto:/x", tooLong.c_str(), nullptr};
  for (const char* url : refused) {
    SCOPED_TRACE(url ? std::string(url).substr(0, 20) : "null");
    standin::Reset();
    InternetClient fresh;
    EXPECT_FALSE(fresh.Connect(url, nullptr, nullptr, AGENT));
    EXPECT_THAT(standin::CallNames(), IsEmpty());
  }
  standin::Reset();
  InternetClient fresh;
  EXPECT_TRUE(fresh.Connect(longest.c_str(), nullptr, nullptr, AGENT));
  fresh.Close();
}

TEST_F(InternetClientTest, CallerCredentialsTakePrecedenceOverTheUrls) {
  struct Case {
    const char* user;
    const char* password;
    const char* sentUser;
    const char* sentPassword;
  };
  const Case cases[] = {
      {nullptr, nullptr, "u", "p"},
      {"me", nullptr, "me", "p"},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    standin::Reset();
    InternetClient fresh;
    ASSERT_TRUE(fresh.Connect("ftp://u:p@host/", c.user, c.password, AGENT));
    const auto args = Args("InternetConnectA");
    EXPECT_EQ(args[3], c.sentUser);
    EXPECT_EQ(args[4], c.sentPassword);
    EXPECT_EQ(fresh.UserName(), c.sentUser);
    EXPECT_EQ(fresh.Password(), c.sentPassword);
    fresh.Close();
  }
  standin::Reset();
  InternetClient fresh;
  ASSERT_TRUE(fresh.Connect("http://host/", nullptr, nullptr, AGENT));
  EXPECT_EQ(Args("InternetConnectA")[3], "<null>");
  fresh.Close();
}

struct ConnectFailure {
  const char* name;
  const char* function;
  bool invalidHandle;
  std::vector<std::string> closed;
};

const ConnectFailure kConnectFailures[] = {
    {"OpenGivesNull", "InternetOpenA", false, {"<null>", "<null>"}},
    {"OpenGivesInvalid", "InternetOpenA", true, {"<invalid>", "<null>"}},
    {"ConnectGivesNull", "InternetConnectA", false, {"h1", "<null>"}},
    {"ConnectGivesInvalid", "InternetConnectA", true, {"h1", "<invalid>"}},
    {"NetworkUnreachable", "InternetAttemptConnect", false, {"h1", "h2"}},
};

class FailedConnectTest : public InternetClientTest,
                          public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(FailedConnectTest, ClosesWhatItOpenedAndClearsTheFields) {
  const ConnectFailure& c = GetParam();
  if (c.invalidHandle)
    standin::FailCallWithInvalidHandle(c.function);
  else
    standin::FailCall(c.function);
  EXPECT_FALSE(ConnectHttp());
  std::vector<std::string> closed;
  for (const auto& call : standin::CallsTo("InternetCloseHandle")) closed.push_back(call.args[0]);
  EXPECT_EQ(closed, c.closed);
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
  EXPECT_EQ(client.InternetHandle(), nullptr);
  EXPECT_EQ(client.ConnectionHandle(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Connect, FailedConnectTest, ::testing::ValuesIn(kConnectFailures),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedServer {
  const char* name;
  std::int32_t port;
  ProtocolKind protocol;
};

const RefusedServer kRefusedServers[] = {
    {"NegativePort", -1, PROTOCOL_HTTP},
    {"PortAbove16Bits", 65536, PROTOCOL_HTTP},
    {"UnknownProtocol", 80, static_cast<ProtocolKind>(3)},
};

class RefusedServerTest : public InternetClientTest,
                          public ::testing::WithParamInterface<RefusedServer> {};

TEST_P(RefusedServerTest, ConnectServerOpensNothing) {
  EXPECT_FALSE(
      client.ConnectServer("h", GetParam().port, nullptr, nullptr, GetParam().protocol, AGENT));
  EXPECT_THAT(standin::CallsTo("InternetConnectA"), IsEmpty());
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(ConnectServer, RefusedServerTest, ::testing::ValuesIn(kRefusedServers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InternetClientTest, PortZeroConnectsToAndStoresTheDefault) {
  ASSERT_TRUE(client.ConnectServer("h", 0, nullptr, nullptr, PROTOCOL_HTTPS, AGENT));
  EXPECT_EQ(Args("InternetConnectA")[2], "443");
  EXPECT_EQ(client.Port(), 443);
  client.Close();
}

TEST_F(InternetClientTest, OnlyASuccessfulConnectEmptiesTheLists) {
  ASSERT_TRUE(ConnectHttp());
  client.AddCookie("a", "1");
  client.Close();

  standin::FailCall("InternetConnectA");
  EXPECT_FALSE(client.ConnectServer("other", 81, nullptr, nullptr, PROTOCOL_HTTP, AGENT));
  EXPECT_EQ(client.ServerName(), "localhost");
  EXPECT_EQ(client.Port(), 80);

  standin::Reset();
  ASSERT_TRUE(ConnectHttp());
  ASSERT_TRUE(client.Request("/x", REQUEST_GET, nullptr));
  EXPECT_THAT(standin::CallsTo("InternetSetCookieA"), IsEmpty());
  client.Close();
}

// ---------------------------------------------------------------- requests

TEST_F(InternetClientTest, GetOpensTheRequestSetsAcceptAndSends) {
  ASSERT_TRUE(ConnectHttp());
  ASSERT_TRUE(client.Request("/tr?trtext=a b&lp=fr_en", REQUEST_GET, "http://ref/"));
  EXPECT_THAT(standin::CallNames(),
              ElementsAre("InternetOpenA", "InternetConnectA", "InternetAttemptConnect",
                          "HttpOpenRequestA", "HttpAddRequestHeadersA", "HttpSendRequestA"));
  EXPECT_THAT(Args("HttpOpenRequestA"),
              ElementsAre("h2", "GET", "/tr?trtext=a b&lp=fr_en", "HTTP/1.0", "http://ref/",
                          "[*/*]", Num(INTERNET_FLAG_NO_CACHE_WRITE), "0"));
  EXPECT_THAT(Args("HttpAddRequestHeadersA"),
              ElementsAre("h3", "Accept: */*\r\n", "13", Num(HTTP_ADDREQ_FLAG_REPLACE)));
  EXPECT_THAT(Args("HttpSendRequestA"), ElementsAre("h3", "<null>", "0", "<null>", "0"));
  EXPECT_EQ(client.Path(), "/tr?trtext=a b&lp=fr_en");
  EXPECT_EQ(standin::HandleName(client.RequestHandle()), "h3");
  client.Close();
}

TEST_F(InternetClientTest, GetOverHttpsAddsTheSecureFlag) {
  ASSERT_TRUE(ConnectHttp("https://h"));
  ASSERT_TRUE(client.Request("/", REQUEST_GET, nullptr));
  EXPECT_EQ(Args("HttpOpenRequestA")[6], Num(INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE));
  EXPECT_EQ(Args("HttpOpenRequestA")[4], "<null>");
  client.Close();
}

struct RequestFailure {
  const char* name;
  const char* function;
  bool invalidHandle;
  const char* closedRequest;
};

const RequestFailure kRequestFailures[] = {
    {"OpenGivesNull", "HttpOpenRequestA", false, "<null>"},
    {"OpenGivesInvalid", "HttpOpenRequestA", true, "<invalid>"},
    {"AcceptHeaderRefused", "HttpAddRequestHeadersA", false, "h3"},
    {"SendRefused", "HttpSendRequestA", false, "h3"},
};

class FailedRequestTest : public InternetClientTest,
                          public ::testing::WithParamInterface<RequestFailure> {};

TEST_P(FailedRequestTest, ClosesAndClearsTheRequestHandleOnly) {
  const RequestFailure& c = GetParam();
  ASSERT_TRUE(ConnectHttp("http://localhost/start"));
  if (c.invalidHandle)
    standin::FailCallWithInvalidHandle(c.function);
  else
    standin::FailCall(c.function);
  EXPECT_FALSE(client.Request("/p", REQUEST_GET, nullptr));
  const auto closes = standin::CallsTo("InternetCloseHandle");
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0].args[0], c.closedRequest);
  EXPECT_EQ(client.RequestHandle(), nullptr);
  EXPECT_EQ(client.Path(), "/start");
  EXPECT_EQ(standin::OpenInternetHandles(), 2);
  client.Close();
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Request, FailedRequestTest, ::testing::ValuesIn(kRequestFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InternetClientTest, RequestWithoutConnectionOpensNothing) {
  EXPECT_FALSE(client.Request("/p", REQUEST_GET, nullptr));
  EXPECT_THAT(standin::CallNames(), ElementsAre("InternetCloseHandle"));
  EXPECT_EQ(client.RequestHandle(), nullptr);
}

TEST_F(InternetClientTest, RequestOfUnknownKindFailsAndLeavesNoRequestHandle) {
  ASSERT_TRUE(ConnectHttp());
  EXPECT_FALSE(client.Request("/p", static_cast<RequestKind>(3), nullptr));
  EXPECT_THAT(standin::CallsTo("HttpOpenRequestA"), IsEmpty());
  EXPECT_EQ(client.RequestHandle(), nullptr);
  client.Close();
}

// ---------------------------------------------------------------- cookies

struct CookieUrlCase {
  ProtocolKind protocol;
  std::int32_t port;
  const char* url;
};

TEST_F(InternetClientTest, CookieUrlLeavesOutOnlyTheDefaultWebPorts) {
  const CookieUrlCase cases[] = {
      {PROTOCOL_HTTP, 80, "http://srv/c?x=1"},    {PROTOCOL_HTTP, 443, "http://srv:443/c?x=1"},
      {PROTOCOL_HTTPS, 443, "https://srv/c?x=1"}, {PROTOCOL_HTTPS, 8443, "https://srv:8443/c?x=1"},
      {PROTOCOL_FTP, 21, "srv:21/c?x=1"},
  };
  for (const CookieUrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    standin::Reset();
    InternetClient fresh;
    ASSERT_TRUE(fresh.ConnectServer("srv", c.port, nullptr, nullptr, c.protocol, AGENT));
    fresh.AddCookie("session", "abc");
    fresh.AddCookie("lang", "fr");
    ASSERT_TRUE(fresh.Request("/c?x=1", REQUEST_GET, nullptr));
    const auto cookies = standin::CallsTo("InternetSetCookieA");
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_THAT(cookies[0].args, ElementsAre(c.url, "session", "abc"));
    EXPECT_THAT(cookies[1].args, ElementsAre(c.url, "lang", "fr"));
    fresh.Close();
  }
}

TEST_F(InternetClientTest, RefusedCookieStopsTheRequestBeforeSending) {
  ASSERT_TRUE(ConnectHttp());
  client.AddCookie("a", "1");
  client.AddCookie("b", "2");
  client.AddCookie("c", "3");
  standin::FailCall("InternetSetCookieA", 2);
  EXPECT_FALSE(client.Request("/p", REQUEST_GET, nullptr));
  EXPECT_EQ(standin::CallsTo("InternetSetCookieA").size(), 2u);
  EXPECT_THAT(standin::CallsTo("HttpSendRequestA"), IsEmpty());
  EXPECT_EQ(client.RequestHandle(), nullptr);
  client.Close();
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
}

// ---------------------------------------------------------------- reading and closing

TEST_F(InternetClientTest, ResponseDeliversTheBodyThenZero) {
  standin::QueueResponse(std::string(3000, 'x') + "end");
  ASSERT_TRUE(ConnectHttp());
  ASSERT_TRUE(client.Request("/p", REQUEST_GET, nullptr));
  char buffer[2048];
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 2048u);
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 955u);
  EXPECT_EQ(std::string(buffer + 952, 3), "end");
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 0u);
  EXPECT_NE(client.RequestHandle(), nullptr);
  client.Close();
}

TEST_F(InternetClientTest, ResponseWithoutRequestReturnsZeroWithoutReading) {
  ASSERT_TRUE(ConnectHttp());
  char buffer[16];
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 0u);
  EXPECT_THAT(standin::CallsTo("InternetReadFile"), IsEmpty());
  EXPECT_EQ(client.RequestHandle(), nullptr);
  client.Close();
}

TEST_F(InternetClientTest, FailedReadClosesTheRequestAndLaterReadsReturnZero) {
  standin::QueueResponse(std::string(5000, 'x'));
  ASSERT_TRUE(ConnectHttp());
  ASSERT_TRUE(client.Request("/p", REQUEST_GET, nullptr));
  standin::FailCall("InternetReadFile", 2);
  char buffer[2048];
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 2048u);
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 0u);
  EXPECT_EQ(client.RequestHandle(), nullptr);
  EXPECT_EQ(client.Response(buffer, sizeof buffer), 0u);
  EXPECT_EQ(standin::CallsTo("InternetReadFile").size(), 2u);
  EXPECT_EQ(standin::OpenInternetHandles(), 2);
  client.Close();
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
}

TEST_F(InternetClientTest, CloseClosesRequestConnectionInternetOnce) {
  ASSERT_TRUE(ConnectHttp());
  ASSERT_TRUE(client.Request("/p", REQUEST_GET, nullptr));
  client.Close();
  client.Close();
  std::vector<std::string> closed;
  for (const auto& call : standin::CallsTo("InternetCloseHandle")) closed.push_back(call.args[0]);
  EXPECT_THAT(closed, ElementsAre("h3", "h2", "h1"));
  EXPECT_EQ(client.InternetHandle(), nullptr);
  EXPECT_EQ(client.ConnectionHandle(), nullptr);
  EXPECT_EQ(client.RequestHandle(), nullptr);
}

TEST_F(InternetClientTest, DestructionClosesNoHandle) {
  {
    InternetClient forgotten;
    ASSERT_TRUE(forgotten.Connect("http://h", nullptr, nullptr, AGENT));
  }
  EXPECT_THAT(standin::CallsTo("InternetCloseHandle"), IsEmpty());
  EXPECT_EQ(standin::OpenInternetHandles(), 2);
}

// ---------------------------------------------------------------- dispatch

class RecordingClient : public InternetClient {
 public:
  bool ConnectServer(const char* server, std::int32_t port, const char*, const char*,
                     ProtocolKind protocol, const char*) override {
    seen = std::string(server) + ":" + std::to_string(port) + ":" + std::to_string(protocol);
    return true;
  }
  bool RequestGet(const char* path, const char*) override {
    seen = std::string("get ") + path;
    return false;
  }
  std::string seen;
};

TEST_F(InternetClientTest, ConnectAndRequestReachReplacedOperations) {
  RecordingClient derived;
  EXPECT_TRUE(derived.Connect("https://example:8443/x", nullptr, nullptr, AGENT));
  EXPECT_EQ(derived.seen, "example:8443:2");
  EXPECT_FALSE(derived.Request("/q", REQUEST_GET, nullptr));
  EXPECT_EQ(derived.seen, "get /q");
  EXPECT_EQ(derived.Path(), "/x");
}

}  // namespace
