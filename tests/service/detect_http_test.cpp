// GET and POST /detect over HTTP, and the codes that name only the target through /tr, in
// front of engines in memory that echo each text and keep what they were asked.
#include "service_test_support.h"

#include "service/detect/language_detector.h"

#include <algorithm>
#include <string>
#include <vector>

namespace service_test {
namespace {

// "Καλημέρα", "12345", 16385 bytes of text, a form of 524289 bytes.
const std::string kGreek = "%CE%9A%CE%B1%CE%BB%CE%B7%CE%BC%CE%AD%CF%81%CE%B1";
const std::string kLongText = "q=" + std::string(16 * 1024 + 1, 'a');
const std::string kLongForm = "q=a&x=" + std::string(512 * 1024 - 5, 'b');

struct DetectCase {
  const char* name;
  const char* method;
  std::string target;
  std::string body;  // sent as a form, with a POST
  int status;
  const char* json;  // the whole body; "" where only the status matters
};

static const DetectCase kCases[] = {
    {"GetGreek", "GET", "/detect?q=" + kGreek, "", 200,
     R"({"language":"el","confidence":1.0,"candidates":[{"language":"el","confidence":1.0}]})"},
    // A POST is LibreTranslate's: its list, among the languages some route translates.
    {"PostFrench", "POST", "/detect", "q=Je+ne+sais+pas+pourquoi", 200,
     R"([{"confidence":96.0,"language":"fr"},{"confidence":4.0,"language":"de"}])"},
    {"DigitsAreNoLanguage", "GET", "/detect?q=12345", "", 200,
     R"({"language":null,"confidence":null,"candidates":[]})"},
    {"TargetRestrictsTheCandidates", "GET", "/detect?q=" + kGreek + "&target=en", "", 200,
     R"({"language":null,"confidence":null,"candidates":[]})"},
    {"AutoTarget", "GET", "/detect?target=auto_en&q=" + kGreek, "", 200,
     R"({"language":null,"confidence":null,"candidates":[]})"},
    {"NoText", "GET", "/detect?target=en", "", 400,
     R"({"error":"The request has no text: send /detect?q=TEXT."})"},
    {"EmptyText", "POST", "/detect", "q=", 400,
     R"({"error":"Invalid request: missing q parameter"})"},
    {"NotUtf8", "GET", "/detect?q=caf%E9", "", 400, R"({"error":"The text is not valid UTF-8."})"},
    {"TextTooLong", "POST", "/detect", kLongText, 400,
     R"({"error":"Invalid request: the text is longer than 16384 bytes"})"},
    {"FormTooLong", "POST", "/detect", kLongForm, 413,
     R"({"error":"Invalid request: the body is longer than 524288 bytes"})"},
    {"TargetNotServed", "GET", "/detect?q=hola&target=zh", "", 400,
     R"({"error":"No language pair translates into \"zh\"."})"},
    {"PostElsewhereRefused", "POST", "/tr", "trtext=hola&lp=en", 405, ""},
};

class DetectHttpTest : public ::testing::TestWithParam<DetectCase> {
 protected:
  static void SetUpTestSuite() { detector_ = new service::detect::LanguageDetector(); }
  static void TearDownTestSuite() {
    delete detector_;
    detector_ = nullptr;
  }

  void SetUp() override {
    std::vector<std::unique_ptr<service::Engine>> engines;
    auto local = std::make_unique<MemoryEngine>(
        "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"},
                                              {"es_en", "Spanish to English"},
                                              {"fr_en", "French to English"}});
    memory_ = local.get();
    engines.push_back(std::move(local));
    auto backup = std::make_unique<MemoryEngine>(
        "backup", std::vector<service::Offer>{{"de_en", "German to English"}});
    backup_ = backup.get();
    engines.push_back(std::move(backup));
    service::HttpOptions options;
    options.detector = detector_;
    service_ = std::make_unique<RunningService>(std::move(engines), options);
  }

  std::optional<raw_http::Response> Send(const std::string& method, const std::string& target,
                                         const std::string& body,
                                         const std::string& accept = "*/*") {
    raw_http::Connection connection(service_->port());
    std::string request =
        method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: " + accept + "\r\n";
    if (method == "POST") {
      request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\n";
    }
    if (!connection.Send(request + "\r\n" + body)) return std::nullopt;
    return connection.Read();
  }

  static service::detect::LanguageDetector* detector_;
  std::unique_ptr<RunningService> service_;
  // The codes both engines were asked to translate, in order.
  std::vector<std::string> CodesAsked() const {
    std::vector<std::string> codes;
    for (const MemoryEngine* engine : {memory_, backup_}) {
      for (const auto& call : engine->Calls()) codes.push_back(call.code);
    }
    return codes;
  }

  MemoryEngine* memory_ = nullptr;
  MemoryEngine* backup_ = nullptr;
};

service::detect::LanguageDetector* DetectHttpTest::detector_ = nullptr;

TEST_P(DetectHttpTest, AnswersJson) {
  const DetectCase& c = GetParam();
  auto response = Send(c.method, c.target, c.body);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, c.status) << response->body;
  if (*c.json) {
    EXPECT_EQ(response->body, std::string(c.json) + "\n");
    EXPECT_EQ(response->Header("Content-Type"), "application/json; charset=UTF-8");
  }
}

INSTANTIATE_TEST_SUITE_P(Requests, DetectHttpTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The plug-in's /xtrn en: the French line goes through fr_en, the page holds the translation
// alone; the English one comes back as typed without an engine call.
TEST_F(DetectHttpTest, TargetOnlyCodeGoesThroughThePairDetected) {
  static const struct {
    const char* name;
    const char* query;
    const char* translation;
    const char* engine_code;  // "" for no engine call
  } kRows[] = {
      {"French", "trtext=Je%20ne%20sais%20pas&lp=en", "Je ne sais pas", "fr_en"},
      {"AutoFrench", "trtext=Je%20ne%20sais%20pas&lp=auto_en", "Je ne sais pas", "fr_en"},
      {"German", "trtext=Wie%20geht%20es%20dir%20heute%3F&lp=en", "Wie geht es dir heute?",
       "de_en"},
      {"AlreadyEnglish", "trtext=How%20are%20you%20today%3F&lp=en", "How are you today?", ""},
      {"Emoticon", "trtext=%3A%29&lp=en", ":)", ""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> before = CodesAsked();
    auto response = Send("GET", std::string("/tr?") + row.query, "");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(CutTranslation(response->body).value_or("(none)"), row.translation);
    EXPECT_EQ(response->body.find("Detected"), std::string::npos);
    std::vector<std::string> codes = CodesAsked();
    std::vector<std::string> expected = before;
    if (*row.engine_code) expected.push_back(row.engine_code);
    std::sort(codes.begin(), codes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(codes, expected);
  }
}

TEST_F(DetectHttpTest, BrowserSeesTheLanguageFoundAndTheCodesOnTheHomePage) {
  auto result = Send("GET", "/tr?trtext=Je%20ne%20sais%20pas&lp=en", "", "text/html");
  ASSERT_TRUE(result);
  EXPECT_NE(result->body.find("<p class=detected>Detected: French</p>"), std::string::npos)
      << result->body;
  auto home = Send("GET", "/", "", "text/html");
  ASSERT_TRUE(home);
  EXPECT_NE(home->body.find("<li><code>en</code> or <code>auto_en</code>: into English from "
                            "German (<code>de_en</code>, backup), Spanish (<code>es_en</code>, "
                            "memory), French (<code>fr_en</code>, memory)</li>"),
            std::string::npos)
      << home->body;
}

TEST_F(DetectHttpTest, UnservedTargetIsNotFound) {
  auto response = Send("GET", "/tr?trtext=hola&lp=zh", "");
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 404);
}

}  // namespace
}  // namespace service_test
