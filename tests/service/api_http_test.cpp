// LibreTranslate's and Apertium-APy's APIs over real HTTP, in front of engines in memory that
// echo each text: each request as a client sends it, the whole answer as it reads it.
#include "api_fixture.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace service_test {
namespace {

const char kJson[] = "application/json";
const char kForm[] = "application/x-www-form-urlencoded";
const char kMultipart[] = "multipart/form-data; boundary=XyZ";

struct ApiCase {
  const char* name;
  const char* method;
  std::string target;
  const char* content_type;  // "" sends no body
  std::string body;
  int status;
  const char* json;  // the whole body
};

std::string Multipart(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    body +=
        "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
  }
  return body + "--XyZ--\r\n";
}

std::string Repeated(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

static const ApiCase kCases[] = {
    // LibreTranslate: the same request in each of the four ways clients send it.
    {"JsonBody", "POST", "/translate", kJson, R"js({"q":"Hello","source":"en","target":"es"})js",
     200, R"js({"translatedText":"Hello"})js"},
    {"FormBody", "POST", "/translate", kForm, "q=Hello+you&source=en&target=es", 200,
     R"js({"translatedText":"Hello you"})js"},
    {"MultipartBody", "POST", "/translate", kMultipart,
     Multipart({{"q", "Hello"}, {"source", "en"}, {"target", "es"}}), 200,
     R"js({"translatedText":"Hello"})js"},
    {"QueryOnly", "POST", "/translate?q=Hello&source=en&target=es", "", "", 200,
     R"js({"translatedText":"Hello"})js"},
    {"EachItemDetectedOnItsOwn", "POST", "/translate", kJson,
     R"js({"q":["Good morning to all of you","Je ne sais pas pourquoi","12345"],"source":"auto","target":"es"})js",
     200,
     R"js({"translatedText":["Good morning to all of you","Je ne sais pas pourquoi","12345"],"detectedLanguage":[{"confidence":100.0,"language":"en"},{"confidence":91.0,"language":"fr"},{"confidence":0.0,"language":"es"}]})js"},
    {"AlternativesAnswered", "POST", "/translate", kJson,
     R"js({"q":"Hello","source":"en","target":"es","alternatives":3})js", 200,
     R"js({"translatedText":"Hello","alternatives":[]})js"},
    {"ChineseAsLibreTranslateWritesIt", "POST", "/translate", kJson,
     R"js({"q":"Hello","source":"en","target":"zh-Hans"})js", 200,
     R"js({"translatedText":"Hello"})js"},
    {"CrLfAsLf", "POST", "/translate", kForm, "q=a%0D%0Ab&source=en&target=es", 200,
     R"js({"translatedText":"a\nb"})js"},
    {"MissingQ", "POST", "/translate", kJson, R"js({"source":"en","target":"es"})js", 400,
     R"js({"error":"Invalid request: missing q parameter"})js"},
    {"EmptyBatch", "POST", "/translate", kJson, R"js({"q":[],"source":"en","target":"es"})js", 400,
     R"js({"error":"Invalid request: missing q parameter"})js"},
    {"MissingSource", "POST", "/translate", kForm, "q=Hello&target=es", 400,
     R"js({"error":"Invalid request: missing source parameter"})js"},
    {"MissingTarget", "POST", "/translate", kForm, "q=Hello&source=en", 400,
     R"js({"error":"Invalid request: missing target parameter"})js"},
    {"UnsupportedSource", "POST", "/translate", kJson,
     R"js({"q":"Hi","source":"zz","target":"es"})js", 400,
     R"js({"error":"zz is not supported"})js"},
    {"UnsupportedTarget", "POST", "/translate", kJson,
     R"js({"q":"Hi","source":"en","target":"zz"})js", 400,
     R"js({"error":"zz is not supported"})js"},
    {"PairNotServed", "POST", "/translate", kJson,
     R"js({"q":"Ciao","source":"it","target":"en"})js", 400,
     R"js({"error":"English (en) is not available as a target language from Italian (it)"})js"},
    {"UnsupportedFormat", "POST", "/translate", kJson,
     R"js({"q":"Hi","source":"en","target":"es","format":"xml"})js", 400,
     R"js({"error":"xml format is not supported"})js"},
    {"OverTheCharacterLimit", "POST", "/translate", kJson,
     R"js({"q":["ok",")js" + Repeated("é", 201) + R"js("],"source":"en","target":"es"})js", 400,
     R"js({"error":"Invalid request: request (201) exceeds text limit (200)"})js"},
    {"OverTheBatchLimit", "POST", "/translate", kJson,
     R"js({"q":["a","b","c","d"],"source":"en","target":"es"})js", 400,
     R"js({"error":"Invalid request: request (4) exceeds text limit (3)"})js"},
    {"BadJson", "POST", "/translate", kJson, R"js({"q":"Hi",)js", 400,
     R"js({"error":"Invalid JSON format"})js"},
    {"JsonNotAnObject", "POST", "/translate", kJson, R"js(["Hi"])js", 400,
     R"js({"error":"Invalid JSON format"})js"},
    {"NotUtf8", "POST", "/translate", kForm, "q=caf%E9&source=en&target=es", 400,
     R"js({"error":"Invalid request: the text is not valid UTF-8"})js"},
    {"EngineDown", "POST", "/translate", kJson, R"js({"q":"Hallo","source":"de","target":"en"})js",
     503,
     R"js({"error":"The engine backup that serves \"de_en\" is down: stopped by the test. Please try again later."})js"},
    {"BodyTooLong", "POST", "/translate", kForm, "q=" + std::string(512 * 1024, 'a'), 413,
     R"js({"error":"Invalid request: the body is longer than 524288 bytes"})js"},
    {"WrongKey", "POST", "/translate", kJson,
     R"js({"q":"Hi","source":"en","target":"es","api_key":"guessed"})js", 403,
     R"js({"error":"Invalid API key"})js"},
    {"GoodKey", "POST", "/translate", kForm, "q=Hi&source=en&target=es&api_key=open-key", 200,
     R"js({"translatedText":"Hi"})js"},
    {"Detect", "POST", "/detect", kForm, "q=Je+ne+sais+pas+pourquoi", 200,
     R"js([{"confidence":87.0,"language":"fr"},{"confidence":9.0,"language":"it"},{"confidence":4.0,"language":"de"}])js"},
    {"DetectWithQueryOnly", "POST", "/detect?q=Good+morning+to+all+of+you", "", "", 200,
     R"js([{"confidence":97.0,"language":"en"},{"confidence":3.0,"language":"de"}])js"},
    {"DetectNothing", "POST", "/detect", kJson, R"js({"q":"12345"})js", 200, "[]"},
    {"DetectMissingQ", "POST", "/detect", kJson, "{}", 400,
     R"js({"error":"Invalid request: missing q parameter"})js"},
    {"Languages", "GET", "/languages", "", "", 200,
     R"js([{"code":"de","name":"German","targets":["en"]},{"code":"en","name":"English","targets":["es","zh-Hans"]},{"code":"es","name":"Spanish","targets":["en"]},{"code":"fr","name":"French","targets":["en","es"]},{"code":"it","name":"Italian","targets":["es"]},{"code":"zh-Hans","name":"Chinese (simplified)","targets":[]}])js"},
    {"FrontendSettings", "GET", "/frontend/settings", "", "", 200,
     R"js({"charLimit":200,"frontendTimeout":500,"apiKeys":true,"keyRequired":false,"suggestions":false,"filesTranslation":false,"supportedFilesFormat":[],"language":{"source":{"code":"auto","name":"Auto Detect"},"target":{"code":"en","name":"English"}}})js"},
    // Apertium-APy.
    {"ApyTwoLetterCodes", "GET", "/translate?langpair=en|es&q=Hello&markUnknown=no", "", "", 200,
     R"js({"responseData":{"translatedText":"Hello"},"responseDetails":null,"responseStatus":200})js"},
    {"ApyThreeLetterCodesPosted", "POST", "/translate", kForm, "langpair=eng%7Cspa&q=Hello", 200,
     R"js({"responseData":{"translatedText":"Hello"},"responseDetails":null,"responseStatus":200})js"},
    {"ApyUnderItsPrefix", "GET", "/apy/translate?langpair=fra|eng&q=Salut", "", "", 200,
     R"js({"responseData":{"translatedText":"Salut"},"responseDetails":null,"responseStatus":200})js"},
    {"ApyMissingQ", "GET", "/translate?langpair=en|es", "", "", 400,
     R"js({"status":"error","code":400,"message":"Bad Request","explanation":"Missing argument q"})js"},
    {"ApyPairNotInstalled", "GET", "/translate?langpair=eng|deu&q=Hi", "", "", 400,
     R"js({"status":"error","code":400,"message":"Bad Request","explanation":"That pair is not installed"})js"},
    {"ApyPairInvalid", "GET", "/translate?langpair=eng&q=Hi", "", "", 400,
     R"js({"status":"error","code":400,"message":"Bad Request","explanation":"That pair is invalid, use e.g. eng|spa"})js"},
    {"ApyWrongKey", "GET", "/translate?langpair=en|es&q=Hi&key=guessed", "", "", 403,
     R"js({"status":"error","code":403,"message":"Forbidden","explanation":"Invalid API key"})js"},
    {"ApyListPairs", "GET", "/listPairs", "", "", 200,
     R"js({"responseData":[{"sourceLanguage":"deu","targetLanguage":"eng"},{"sourceLanguage":"eng","targetLanguage":"spa"},{"sourceLanguage":"eng","targetLanguage":"zho"},{"sourceLanguage":"spa","targetLanguage":"eng"},{"sourceLanguage":"fra","targetLanguage":"eng"},{"sourceLanguage":"fra","targetLanguage":"spa"},{"sourceLanguage":"ita","targetLanguage":"spa"}],"responseDetails":null,"responseStatus":200})js"},
    {"ApyIdentifyLang", "GET", "/identifyLang?q=Je+ne+sais+pas+pourquoi", "", "", 200,
     R"js({"fra":0.71,"por":0.09,"nld":0.09,"ita":0.08,"deu":0.03})js"},
    {"ApyIdentifyLangMissingQ", "GET", "/identifyLang", "", "", 400,
     R"js({"status":"error","code":400,"message":"Bad Request","explanation":"Missing q argument"})js"},
};

class ApiHttpTest : public ::testing::TestWithParam<ApiCase>, protected ApiService {
 protected:
  void SetUp() override { Start(false); }
  void TearDown() override { Stop(); }
};

TEST_P(ApiHttpTest, AnswersInTheApisShape) {
  const ApiCase& c = GetParam();
  auto response = Send(c.method, c.target, c.content_type, c.body);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, c.status);
  // LibreTranslate's bodies end in a line feed, as Flask's jsonify writes them; APy's do not.
  std::string body = response->body;
  if (!body.empty() && body.back() == '\n') body.pop_back();
  EXPECT_EQ(body, c.json);
  EXPECT_EQ(response->Header("Content-Type"), "application/json; charset=UTF-8");
  EXPECT_EQ(response->Header("Access-Control-Allow-Origin"), "*");
  // translate-shell reads no chunked body.
  EXPECT_EQ(response->Header("Content-Length"), std::to_string(response->body.size()));
}

INSTANTIATE_TEST_SUITE_P(Requests, ApiHttpTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ApiHttpTest, AnswersThePreflightOfAPageOnAnotherOrigin) {
  for (const char* target : {"/translate", "/apy/listPairs", "/detect"}) {
    SCOPED_TRACE(target);
    auto response = Send("OPTIONS", target, "", "");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 204);
    EXPECT_EQ(response->Header("Access-Control-Allow-Origin"), "*");
    EXPECT_EQ(response->Header("Access-Control-Allow-Methods"), "GET, POST, OPTIONS");
    EXPECT_EQ(response->Header("Access-Control-Allow-Headers"), "Authorization, Content-Type");
  }
}

TEST_F(ApiHttpTest, AKeysOwnLimitReplacesTheClients) {
  const std::string tight = R"js({"q":"Hi","source":"en","target":"es","api_key":"tight-key"})js";
  auto first = Send("POST", "/translate", kJson, tight);
  auto second = Send("POST", "/translate", kJson, tight);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->status, 200);
  EXPECT_EQ(second->status, 429);
  EXPECT_EQ(second->body, "{\"error\":\"Slowdown: 1 per 1 minute\"}\n");
  EXPECT_FALSE(second->Header("Retry-After").empty());
  // Another key, and no key at all, are counted apart.
  auto open = Send("POST", "/translate", kForm, "q=Hi&source=en&target=es&api_key=open-key");
  auto none = Send("POST", "/translate", kForm, "q=Hi&source=en&target=es");
  ASSERT_TRUE(open && none);
  EXPECT_EQ(open->status, 200);
  EXPECT_EQ(none->status, 200);
}

TEST_F(ApiHttpTest, ARequiredKeyIsAskedForInEachApisShape) {
  Start(true);
  auto libre = Send("POST", "/translate", kJson, R"js({"q":"Hi","source":"en","target":"es"})js");
  auto apy = Send("GET", "/translate?langpair=en|es&q=Hi", "", "");
  auto keyed = Send("GET", "/translate?langpair=en|es&q=Hi&key=open-key", "", "");
  auto tr = Send("GET", "/tr?trtext=Hi&lp=en_es", "", "");
  ASSERT_TRUE(libre && apy && keyed && tr);
  EXPECT_EQ(libre->status, 400);
  EXPECT_EQ(libre->body, "{\"error\":\"Please contact the server operator to get an API key\"}\n");
  EXPECT_EQ(
      apy->body,
      R"js({"status":"error","code":400,"message":"Bad Request","explanation":"Please contact the server operator to get an API key"})js");
  EXPECT_EQ(keyed->status, 200);
  // The plug-in cannot send a key.
  EXPECT_EQ(tr->status, 200);
}

// What the engine is given: the words alone, whatever the text keeps as sent.
TEST_F(ApiHttpTest, KeepsChatSpansAndMarkupThroughTheJsonApi) {
  using Pieces = std::vector<std::pair<std::string, bool>>;
  struct Case {
    const char* name;
    std::string text;  // as JSON writes it
    const char* format;
    Pieces pieces;
  };
  static const Case kPieceCases[] = {
      {"chat spans",
       "I love you <3 @bob https://x.org",
       "text",
       {{"I love you ", false}, {"<3 @bob https://x.org", true}}},
      {"markup",
       R"js(<!DOCTYPE html><p>I love <b>my</b> &amp; <a href=\"https://x.org/@a\" class=\"u-url mention\">@<span>a</span></a></p><p translate=\"no\">Keep</p>)js",
       "html",
       {{"<!DOCTYPE html><p>", true},
        {"I love ", false},
        {"<b>", true},
        {"my", false},
        {R"js(</b> &amp; <a href="https://x.org/@a" class="u-url mention">@<span>a</span></a></p><p translate="no">Keep</p>)js",
         true}}},
  };
  for (const Case& c : kPieceCases) {
    SCOPED_TRACE(c.name);
    std::size_t asked = memory_->Calls().size();
    auto response = Send("POST", "/translate", kJson,
                         R"js({"q":")js" + c.text +
                             R"js(","source":"en","target":"es","format":")js" + c.format + "\"}");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, "{\"translatedText\":\"" + c.text + "\"}\n");
    auto calls = memory_->Calls();
    ASSERT_EQ(calls.size(), asked + 1);
    Pieces pieces;
    for (const auto& piece : calls.back().pieces) pieces.emplace_back(piece.text, piece.keep);
    EXPECT_EQ(pieces, c.pieces);
  }
}

TEST(ApiKeysTest, ReadsOneKeyALineWithItsOwnLimit) {
  struct Case {
    const char* name;
    const char* text;
    const char* key;
    long long per_minute;  // -1: not found
    const char* problem;   // when the file is refused
  };
  static const Case kKeyCases[] = {
      {"bare key", "abc\n", "abc", 0, ""},
      {"key with a limit", "abc 30\n", "abc", 30, ""},
      {"comment and blanks", "# keys\n\n  abc\t5  # five\r\n", "abc", 5, ""},
      {"unknown key", "abc\n", "abd", -1, ""},
      {"a comment is no key", "#abc\n", "#abc", -1, ""},
      {"limit not a number", "ok\nabc many\n", "", 0,
       "line 2: after the key, only its translations per minute (1 to 1000000000)"},
      {"limit zero", "abc 0\n", "", 0,
       "line 1: after the key, only its translations per minute (1 to 1000000000)"},
  };
  for (const Case& c : kKeyCases) {
    SCOPED_TRACE(c.name);
    std::string problem;
    auto keys = service::limits::ApiKeys::Parse(c.text, &problem);
    ASSERT_EQ(keys.has_value(), *c.problem == '\0');
    if (!keys) {
      EXPECT_EQ(problem, c.problem);
      EXPECT_EQ(problem.find("abc"), std::string::npos);
      continue;
    }
    const service::limits::ApiKey* key = keys->Find(c.key);
    EXPECT_EQ(key ? key->per_minute : -1, c.per_minute);
    if (key) {
      EXPECT_EQ(key->counter.find(c.key), std::string::npos);
    }
  }
}

TEST(ApiKeysTest, ReadingAgainKeepsTheKeysInForceWhenTheFileIsBroken) {
  char path[] = "/tmp/api-keys-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "first\n";
  service::limits::ApiKeyRing ring(path);
  std::ofstream(path) << "second\n";
  EXPECT_EQ(ring.Reload(), "");
  EXPECT_FALSE(ring.Current()->Find("first"));
  EXPECT_TRUE(ring.Current()->Find("second"));
  std::ofstream(path) << "third x\n";
  EXPECT_EQ(ring.Reload(), std::string("the API keys file ") + path +
                               ", line 1: after the key, only its translations per minute (1 to "
                               "1000000000)");
  EXPECT_TRUE(ring.Current()->Find("second"));
  std::remove(path);
  EXPECT_EQ(ring.Reload(), std::string("cannot read the API keys file ") + path);
}

}  // namespace
}  // namespace service_test
