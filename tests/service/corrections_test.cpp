// The operator's corrections: which lines they answer, on the one path every text takes, and
// how a file is read, read again and shared with a group.
#include "service/cache/translation_cache.h"
#include "service/corrections/correction_book.h"
#include "service/http/text_translation.h"
#include "support/memory_engine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace service_test {
namespace {

using service::TextFormat;
using service::corrections::CorrectionBook;
using service::corrections::Corrections;

constexpr char kFile[] =
    "# chat lines the engine gets wrong\n"
    "\n"
    "en_es\tHow are you?\t\xc2\xbf"
    "C\xc3\xb3mo est\xc3\xa1s?\n"
    "en_es\t\xc3\x89t\xc3\xa9 sans fin\tverano sin fin\n";

class CorrectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[] = "/tmp/mirelskan-corrections-XXXXXX";
    std::FILE* file = ::fdopen(::mkstemp(path), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(kFile, file);
    std::fclose(file);
    path_ = path;
    std::vector<std::unique_ptr<service::Engine>> engines;
    auto echo = std::make_unique<MemoryEngine>(
        "memory", std::vector<service::Offer>{{"en_es", "English to Spanish"}});
    memory_ = echo.get();
    engines.push_back(std::move(echo));
    router_ = std::make_unique<service::Router>(std::move(engines));
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_;
  MemoryEngine* memory_ = nullptr;
  std::unique_ptr<service::Router> router_;
  service::cache::TranslationCache cache_{1 << 20, nullptr, std::chrono::seconds(0)};
};

TEST_F(CorrectionsTest, AnswersALineAsTypedOrWithOnlyItsEdgesDifferingAndKeepsItsSpans) {
  struct Case {
    const char* text;
    const char* answer;
    bool asked;  // the engine (which echoes) was asked
  };
  static const Case kCases[] = {
      {"How are you?",
       "\xc2\xbf"
       "C\xc3\xb3mo est\xc3\xa1s?",
       false},
      {"how are you?",
       "\xc2\xbf"
       "C\xc3\xb3mo est\xc3\xa1s?",
       false},
      {"How are you",
       "\xc2\xbf"
       "C\xc3\xb3mo est\xc3\xa1s?",
       false},
      {"  How are you ?!  ",
       "  \xc2\xbf"
       "C\xc3\xb3mo est\xc3\xa1s?  ",
       false},
      {"@bob how are you?",
       "@bob \xc2\xbf"
       "C\xc3\xb3mo est\xc3\xa1s?",
       false},
      {"How are you? :)",
       "\xc2\xbf"
       "C\xc3\xb3mo est\xc3\xa1s? :)",
       false},
      // The correction ends without punctuation: the line's own stays, first letter of ICU's.
      {"\xc3\xa9t\xc3\xa9 sans fin...", "verano sin fin...", false},
      {"Bob, how are you?", "Bob, how are you?", true},
      {"How are YOU?", "How are YOU?", true},
      {"How are you? Fine.", "How are you? Fine.", true},
  };
  CorrectionBook corrections(path_);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    std::size_t calls = memory_->Calls().size();
    service::TextTranslation done =
        service::TranslateText(*router_, &cache_, "en_es", c.text, TextFormat::kChat, &corrections);
    ASSERT_TRUE(done.ok) << done.problem;
    EXPECT_EQ(done.text, c.answer);
    EXPECT_EQ(memory_->Calls().size() > calls, c.asked);
  }
  auto batch = service::TranslateTexts(*router_, &cache_, "en_es", {"dog", "how are you"},
                                       TextFormat::kChat, &corrections);
  EXPECT_EQ(batch[1].text,
            "\xc2\xbf"
            "C\xc3\xb3mo est\xc3\xa1s?");
  // An HTML text is markup, not a chat line.
  auto html = service::TranslateText(*router_, &cache_, "en_es", "How are you?", TextFormat::kHtml,
                                     &corrections);
  EXPECT_EQ(html.text, "How are you?");
}

TEST_F(CorrectionsTest, AMalformedLineIsRefusedByItsNumber) {
  struct Case {
    const char* text;
    const char* problem;
  };
  static const Case kCases[] = {
      {"en_es\tHow are you?\n", "line 1: needs CODE, LINE and TRANSLATION, tab-separated"},
      {"# fine\n\nen_es\t?!\thola\n", "line 3: the line has no words"},
      {"en es\thello\thola\n", "line 1: the code is empty or holds white space"},
      {"en_es\thello\t \r\n", "line 1: the translation is empty"},
      {"en_es\thello\thola\tbuenas\n", "line 1: needs CODE, LINE and TRANSLATION, tab-separated"},
      {"en_es\thello\t\xff\n", "line 1: not UTF-8"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string problem;
    EXPECT_FALSE(Corrections::Parse(c.text, &problem));
    EXPECT_EQ(problem, c.problem);
  }
  std::ofstream(path_) << "en_es\thello\n";
  EXPECT_THROW(
      {
        try {
          CorrectionBook book(path_);
        } catch (const std::runtime_error& error) {
          EXPECT_EQ(error.what(), "the corrections file " + path_ +
                                      ", line 1: needs CODE, LINE and TRANSLATION, tab-separated");
          throw;
        }
      },
      std::runtime_error);
}

// Two instances of a group: the one that reads its file publishes it, the other answers alike.
TEST_F(CorrectionsTest, EveryInstanceOfAGroupAnswersTheFileReadLast) {
  std::string store;
  service::corrections::SharedCopy shared{[&store]() -> std::optional<std::string> {
                                            if (store.empty()) return std::nullopt;
                                            return store;
                                          },
                                          [&store](const std::string& text) {
                                            store = text;
                                            return true;
                                          }};
  // Each look at the store is the test's own: the books' threads wait an hour between theirs.
  std::mutex store_mutex;
  auto locked = [&store_mutex](auto call) {
    return [&store_mutex, call](auto... arguments) {
      std::lock_guard<std::mutex> lock(store_mutex);
      return call(arguments...);
    };
  };
  shared = {locked(shared.read), locked(shared.publish)};
  CorrectionBook reader(path_, shared, std::chrono::hours(1));
  CorrectionBook follower("", shared, std::chrono::hours(1));
  follower.FollowGroup();
  EXPECT_EQ(follower.Answer("en_es", "How are you?"),
            "\xc2\xbf"
            "C\xc3\xb3mo est\xc3\xa1s?");
  std::ofstream(path_) << "en_es\tHow are you?\tQu\xc3\xa9 tal?\n";
  EXPECT_EQ(reader.Reload(), "");
  follower.FollowGroup();
  EXPECT_EQ(follower.Answer("en_es", "How are you?"), "Qu\xc3\xa9 tal?");
  // A bad file read again is not published: the group keeps what it answers.
  std::ofstream(path_) << "broken\n";
  EXPECT_NE(reader.Reload(), "");
  follower.FollowGroup();
  EXPECT_EQ(follower.Answer("en_es", "how are you"), "Qu\xc3\xa9 tal?");
}

}  // namespace
}  // namespace service_test
