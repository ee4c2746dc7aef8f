// LibreTranslate's POST /suggest: refused while off; on, a suggestion waits for the operator and
// is answered only once accepted into the corrections.
#include "service_test_support.h"

#include "service/corrections/correction_book.h"
#include "service/corrections/suggestions.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace service_test {
namespace {

class SuggestionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[] = "/tmp/mirelskan-corrections-XXXXXX";
    ::close(::mkstemp(path));
    path_ = path;
    book_ = std::make_unique<service::corrections::CorrectionBook>(path_);
    box_ = std::make_unique<service::corrections::SuggestionBox>(path_);
  }
  void TearDown() override {
    service_.reset();
    std::remove(path_.c_str());
    std::remove(service::corrections::PendingPath(path_).c_str());
  }
  void Start(bool suggestions) {
    std::vector<std::unique_ptr<service::Engine>> engines;
    engines.push_back(std::make_unique<MemoryEngine>(
        "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"}}));
    service::HttpOptions options;
    options.corrections = book_.get();
    options.suggestions = suggestions ? box_.get() : nullptr;
    service_ = std::make_unique<RunningService>(std::move(engines), options);
  }
  std::optional<raw_http::Response> Post(const std::string& target, const std::string& json) {
    raw_http::Connection connection(service_->port());
    if (!connection.Send("POST " + target +
                         " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                         "Content-Length: " +
                         std::to_string(json.size()) + "\r\nConnection: close\r\n\r\n" + json)) {
      return std::nullopt;
    }
    return connection.Read();
  }
  std::string Translated(const std::string& text) {
    auto answer = Post("/translate", R"({"q":")" + text + R"(","source":"en","target":"es"})");
    return answer ? answer->body : "";
  }

  std::string path_;
  std::unique_ptr<service::corrections::CorrectionBook> book_;
  std::unique_ptr<service::corrections::SuggestionBox> box_;
  std::unique_ptr<RunningService> service_;
};

TEST_F(SuggestionsTest, OffTheyAreRefusedInLibreTranslatesWords) {
  Start(false);
  auto refused = Post("/suggest", R"({"q":"Hi","s":"Hola","source":"en","target":"es"})");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 403);
  EXPECT_EQ(refused->body, "{\"error\":\"Suggestions are disabled on this server.\"}\n");
  auto settings = raw_http::Get(service_->port(), "/frontend/settings");
  ASSERT_TRUE(settings);
  EXPECT_NE(settings->body.find(R"("suggestions":false)"), std::string::npos) << settings->body;
}

TEST_F(SuggestionsTest, OnOneWaitsForTheOperatorAndIsAnsweredOnceAccepted) {
  Start(true);
  struct Case {
    const char* body;
    int status;
    const char* answer;
  };
  static const Case kCases[] = {
      {R"({"s":"Hola","source":"en","target":"es"})", 400,
       R"({"error":"Invalid request: missing q parameter"})"},
      {R"({"q":"Hi","source":"en","target":"es"})", 400,
       R"({"error":"Invalid request: missing s parameter"})"},
      {R"({"q":"Hi","s":"Hola","source":"en","target":"de"})", 400,
       R"x({"error":"German (de) is not available as a target language from English (en)"})x"},
      {R"({"q":"Hi","s":"Ho\tla","source":"en","target":"es"})", 400,
       R"({"error":"Invalid request: a field holds a tab or a line break"})"},
      {R"({"q":"?!","s":"Hola","source":"en","target":"es"})", 400,
       R"({"error":"Invalid request: the line has no words"})"},
      {R"({"q":"How are you?","s":"¿Cómo estás?","source":"en","target":"es"})", 200,
       R"({"success":true})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.body);
    auto answer = Post("/suggest", c.body);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    EXPECT_EQ(answer->body, std::string(c.answer) + "\n");
  }
  auto pending = service::corrections::ReadPending(path_);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].translation, "¿Cómo estás?");
  EXPECT_EQ(Translated("How are you?"), R"({"translatedText":"How are you?"})"
                                        "\n");
  EXPECT_EQ(book_->Reload(), "");
  EXPECT_EQ(Translated("How are you?"), R"({"translatedText":"How are you?"})"
                                        "\n");

  service::corrections::AcceptSuggestion(path_, 1);
  EXPECT_TRUE(service::corrections::ReadPending(path_).empty());
  EXPECT_EQ(book_->Reload(), "");
  EXPECT_EQ(Translated("how are you"), R"({"translatedText":"¿Cómo estás?"})"
                                       "\n");
  EXPECT_THROW(service::corrections::AcceptSuggestion(path_, 1), std::runtime_error);

  auto settings = raw_http::Get(service_->port(), "/frontend/settings");
  ASSERT_TRUE(settings);
  EXPECT_NE(settings->body.find(R"("suggestions":true)"), std::string::npos) << settings->body;
  auto page = raw_http::Get(service_->port(), "/tr?trtext=Hi&lp=en_es", "Accept: text/html\r\n");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<input type=\"hidden\" name=\"source\" value=\"en\">"),
            std::string::npos)
      << page->body;
  EXPECT_NE(page->body.find("<button type=\"submit\">Suggest a better translation</button>"),
            std::string::npos);
}

}  // namespace
}  // namespace service_test
