// Each request the translation APIs' known clients send, written out as they send it, and the
// fields of the answer each of them reads.
#include "api_fixture.h"

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

namespace service_test {
namespace {

struct ClientCase {
  const char* name;
  const char* method;
  std::string target;
  std::string headers;  // each line ending in CRLF
  std::string body;     // after the head; a POST's Content-Length is written for it
  int status;
  // What the client reads: a JSON pointer ("" the whole body) and its value as JSON writes it.
  std::vector<std::pair<const char*, const char*>> reads;
};

const char kCurlBoundary[] = "------------------------4ef0198fe888373a";

// PHP's curl with an array of fields, as Nextcloud's LibreTranslate library posts them.
std::string CurlMultipart(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    body += std::string("--") + kCurlBoundary + "\r\nContent-Disposition: form-data; name=\"" +
            name + "\"\r\n\r\n" + value + "\r\n";
  }
  return body + "--" + kCurlBoundary + "--\r\n";
}

const char kMastodon[] =
    "Host: lt.example.org\r\nUser-Agent: Mastodon/4.3.0 (http.rb/5.2.0; "
    "+https://social.example.org/)\r\nDate: Wed, 09 Dec 2026 23:30:00 GMT\r\nAccept-Encoding: "
    "gzip\r\nContent-Type: application/json\r\nConnection: close\r\n";
const char kDiscourse[] = "User-Agent: excon/0.110.0\r\nHost: lt.example.org\r\n";
const char kNextcloudCurl[] =
    "Host: localhost:5000\r\nAccept: */*\r\nContent-Length: 0\r\nContent-Type: "
    "application/x-www-form-urlencoded\r\n";
const char kAiohttp[] =
    "Host: lt.example.org\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: "
    "Python/3.11 aiohttp/3.9.1\r\n";
const char kAxiosNode[] =
    "Accept: application/json, text/plain, */*\r\nUser-Agent: axios/0.27.2\r\nHost: "
    "apy.example.org\r\nConnection: close\r\n";
const char kBrowserForm[] =
    "Host: apy.example.org\r\nAccept: application/json, text/plain, */*\r\nContent-Type: "
    "application/x-www-form-urlencoded\r\nOrigin: https://www.example.org\r\nReferer: "
    "https://www.example.org/\r\n";
const char kWeblate[] =
    "Host: mt.example.org\r\nUser-Agent: Weblate/5.8\r\nAccept-Encoding: gzip, deflate\r\nAccept: "
    "*/*\r\nConnection: keep-alive\r\n";

static const ClientCase kClientCases[] = {
    // Mastodon: every text of a post in one batch, as HTML; the source mostly left to detection.
    {"MastodonTranslate",
     "POST",
     "/translate",
     kMastodon,
     R"js({"q":["<p>Good morning to all of you</p>","Je ne sais pas pourquoi"],"source":"auto","target":"es","format":"html","api_key":null})js",
     200,
     {{"/translatedText/0", R"js("<p>Good morning to all of you</p>")js"},
      {"/translatedText/1", R"js("Je ne sais pas pourquoi")js"},
      {"/detectedLanguage/0/language", R"js("en")js"},
      {"/detectedLanguage/1/language", R"js("fr")js"}}},
    // A GET that says its (absent) body is JSON.
    {"MastodonLanguages",
     "GET",
     "/languages",
     kMastodon,
     "",
     200,
     {{"/1/code", R"js("en")js"}, {"/1/targets", R"js(["es","zh-Hans"])js"}}},
    // Discourse: forms, and an empty api_key when none is set.
    {"DiscourseDetect",
     "POST",
     "/detect",
     std::string(kDiscourse) + "Content-Type: application/x-www-form-urlencoded\r\n",
     "q=Good+morning+to+all+of+you&api_key=",
     200,
     {{"/0/language", R"js("en")js"}}},
    {"DiscourseLanguages",
     "GET",
     "/languages",
     kDiscourse,
     "",
     200,
     {{"/0/code", R"js("de")js"}, {"/5/code", R"js("zh-Hans")js"}}},
    {"DiscourseTranslate",
     "POST",
     "/translate",
     std::string(kDiscourse) + "Content-Type: application/x-www-form-urlencoded\r\n",
     "q=%3Cp%3EGood+morning%3C%2Fp%3E&source=en&target=es&format=html&api_key=",
     200,
     {{"/translatedText", R"js("<p>Good morning</p>")js"}}},
    // Nextcloud: curl with an empty field array even on a GET, the detection in the query.
    {"NextcloudSettings", "GET", "/frontend/settings", kNextcloudCurl, "", 200, {}},
    {"NextcloudLanguages",
     "GET",
     "/languages",
     kNextcloudCurl,
     "",
     200,
     {{"/2/code", R"js("es")js"}, {"/2/name", R"js("Spanish")js"}}},
    {"NextcloudDetect",
     "POST",
     "/detect?q=Je+ne+sais+pas+pourquoi&api_key=",
     kNextcloudCurl,
     "",
     200,
     {{"/0/language", R"js("fr")js"}}},
    {"NextcloudTranslate",
     "POST",
     "/translate",
     std::string("Host: localhost:5000\r\nAccept: */*\r\nContent-Type: multipart/form-data; "
                 "boundary=") +
         kCurlBoundary + "\r\n",
     CurlMultipart({{"q", "<p>Hello</p>"},
                    {"format", "html"},
                    {"source", "en"},
                    {"target", "es"},
                    {"api_key", ""}}),
     200,
     {{"/translatedText", R"js("<p>Hello</p>")js"}}},
    // maubot.
    {"MaubotLanguages",
     "GET",
     "/languages",
     kAiohttp,
     "",
     200,
     {{"/3/code", R"js("fr")js"}, {"/3/name", R"js("French")js"}}},
    {"MaubotTranslate",
     "POST",
     "/translate",
     std::string(kAiohttp) + "Content-Type: application/json\r\n",
     R"js({"q": "Je ne sais pas pourquoi", "source": "auto", "target": "en", "format": "text", "api_key": null})js",
     200,
     {{"/translatedText", R"js("Je ne sais pas pourquoi")js"},
      {"/detectedLanguage/language", R"js("fr")js"}}},
    // translate-shell talks to a proxy: the absolute target, its "|" raw, and a line feed after
    // the head (awk's print). It reads to the end of the connection.
    {"TranslateShellThroughTheProxy",
     "GET",
     "http://www.apertium.org/apy/translate?langpair=en|es&q=Hello%20world",
     "Host: www.apertium.org\r\nConnection: close\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; "
     "Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/104.0.0.0 Safari/537.36 "
     "Edge/104.0.1293.54\r\n",
     "\n",
     200,
     {{"/responseData/translatedText", R"js("Hello world")js"}}},
    // apertium-html-tools: its build asks for the pairs, modes and names, its page posts forms.
    {"HtmlToolsBuildPairs",
     "GET",
     "/list",
     kAxiosNode,
     "",
     200,
     {{"/responseData/1", R"js({"sourceLanguage":"eng","targetLanguage":"spa"})js"}}},
    {"HtmlToolsBuildAnalyzers", "GET", "/list?q=analyzers", kAxiosNode, "", 200, {{"", "{}"}}},
    {"HtmlToolsBuildGenerators", "GET", "/list?q=generators", kAxiosNode, "", 200, {{"", "{}"}}},
    {"HtmlToolsBuildNames",
     "GET",
     "/listLanguageNames?locale=eng",
     kAxiosNode,
     "",
     200,
     {{"",
       R"js({"deu":"German","eng":"English","spa":"Spanish","fra":"French","ita":"Italian","zho":"Chinese (simplified)"})js"}}},
    {"HtmlToolsBuildNamesInGerman",
     "GET",
     "/listLanguageNames?locale=deu",
     kAxiosNode,
     "",
     200,
     {{"", "{}"}}},
    {"HtmlToolsTranslate",
     "POST",
     "/translate",
     kBrowserForm,
     "langpair=eng%7Cspa&markUnknown=no&prefs=&q=Hello%20world",
     200,
     {{"/responseData/translatedText", R"js("Hello world")js"}}},
    {"HtmlToolsIdentifyLang",
     "POST",
     "/identifyLang",
     kBrowserForm,
     "q=Je%20ne%20sais%20pas%20pourquoi",
     200,
     {{"", R"js({"fra":0.71,"por":0.09,"nld":0.09,"ita":0.08,"deu":0.03})js"}}},
    // Weblate, through requests: both APIs.
    {"WeblateApertiumPairs",
     "GET",
     "/listPairs",
     kWeblate,
     "",
     200,
     {{"/responseData/3", R"js({"sourceLanguage":"spa","targetLanguage":"eng"})js"}}},
    {"WeblateApertiumTranslate",
     "GET",
     "/translate?langpair=eng%7Cspa&q=Hello+world&markUnknown=no",
     kWeblate,
     "",
     200,
     {{"/responseData/translatedText", R"js("Hello world")js"}}},
    {"WeblateLibreLanguages", "GET", "/languages", kWeblate, "", 200, {{"/4/code", R"js("it")js"}}},
    {"WeblateLibreTranslate",
     "POST",
     "/translate",
     std::string(kWeblate) + "Content-Type: application/json\r\n",
     R"js({"api_key": "", "q": ["Hello world", "Good morning"], "source": "en", "target": "es"})js",
     200,
     {{"/translatedText/0", R"js("Hello world")js"},
      {"/translatedText/1", R"js("Good morning")js"}}},
};

class ClientRequestsTest : public ::testing::TestWithParam<ClientCase>, protected ApiService {
 protected:
  void SetUp() override { Start(false); }
  void TearDown() override { Stop(); }
};

TEST_P(ClientRequestsTest, AnswersWhatTheClientReads) {
  const ClientCase& c = GetParam();
  std::string request = std::string(c.method) + " " + c.target + " HTTP/1.1\r\n" + c.headers;
  if (std::string(c.method) == "POST" && !c.body.empty()) {
    request += "Content-Length: " + std::to_string(c.body.size()) + "\r\n";
  }
  raw_http::Connection connection(service_->port());
  ASSERT_TRUE(connection.Send(request + "\r\n" + c.body));
  auto response = connection.Read();
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, c.status);
  EXPECT_EQ(response->Header("Content-Type"), "application/json; charset=UTF-8");
  EXPECT_EQ(response->Header("Content-Length"), std::to_string(response->body.size()));
  EXPECT_EQ(response->Header("Access-Control-Allow-Origin"), "*");
  nlohmann::ordered_json body = nlohmann::ordered_json::parse(response->body, nullptr, false);
  ASSERT_FALSE(body.is_discarded()) << response->body;
  for (const auto& [pointer, value] : c.reads) {
    SCOPED_TRACE(pointer);
    nlohmann::ordered_json::json_pointer at(pointer);
    ASSERT_TRUE(body.contains(at)) << response->body;
    EXPECT_EQ(body.at(at).dump(), value);
  }
  if (c.headers.find("Connection: close\r\n") != std::string::npos) {
    EXPECT_TRUE(connection.ClosedByServer(std::chrono::seconds(10)));
  }
}

INSTANTIATE_TEST_SUITE_P(Clients, ClientRequestsTest, ::testing::ValuesIn(kClientCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace service_test
