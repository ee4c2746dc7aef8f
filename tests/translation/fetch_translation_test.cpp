#include "translation/fetch_translation.h"

#include "support/stand_in_test.h"

#include <gmock/gmock.h>

#include <string>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string START = TRANSLATION_START_MARKER;
const std::string END = TRANSLATION_END_MARKER;

std::string Page(const std::string& translation) {
  return "<html><table><tr>" + START + translation + END + "</tr></table></html>";
}

class FetchTranslationTest : public StandInTest {
 protected:
  void TearDown() override { EXPECT_EQ(standin::OpenInternetHandles(), 0); }
};

TEST_F(FetchTranslationTest, OneTranslationMakesExactlyTheseCalls) {
  standin::QueueResponse(Page("A little translation test"));
  EXPECT_EQ(FetchTranslation("Un petit test de traduction", "fr_en"), "A little translation test");
  EXPECT_THAT(standin::CallNames(),
              ElementsAre("InternetOpenA", "InternetConnectA", "InternetAttemptConnect",
                          "HttpOpenRequestA", "HttpAddRequestHeadersA", "HttpSendRequestA",
                          "InternetReadFile", "InternetReadFile", "InternetCloseHandle",
                          "InternetCloseHandle", "InternetCloseHandle"));
  EXPECT_THAT(Args("InternetOpenA"),
              ElementsAre("Mozilla/4.0 (compatible; )", "0", "<null>", "<null>", "0"));
  EXPECT_THAT(Args("InternetConnectA"),
              ElementsAre("h1", "localhost", "80", "<null>", "<null>", "3", "0", "0"));
  EXPECT_THAT(
      Args("HttpOpenRequestA"),
      ElementsAre("h2", "GET", "/tr?trtext=Un petit test de traduction&lp=fr_en", "HTTP/1.0",
                  "<null>", "[*/*]", std::to_string(INTERNET_FLAG_NO_CACHE_WRITE), "0"));
  EXPECT_EQ(Args("InternetReadFile")[2], std::to_string(RESPONSE_READ_BLOCK));
  std::vector<std::string> closed;
  for (const auto& call : standin::CallsTo("InternetCloseHandle")) closed.push_back(call.args[0]);
  EXPECT_THAT(closed, ElementsAre("h3", "h2", "h1"));
}

struct PathCase {
  const char* name;
  std::string text;
  std::string pair;
  std::string path;
};

TEST(TranslationPath, EscapesOnlyWhatWouldChangeTheQueryOrBreakTheRequestLine) {
  const PathCase cases[] = {
      {"plain words keep their spaces", "Un test", "fr_en", "/tr?trtext=Un test&lp=fr_en"},
      {"empty text", "", "fr_en", "/tr?trtext=&lp=fr_en"},
      {"empty pair", "bonjour", "", "/tr?trtext=bonjour&lp="},
      {"trailing space kept", "chunk ", "fr_en", "/tr?trtext=chunk &lp=fr_en"},
      {"query characters", "a&b#c+d=e%f", "fr_en", "/tr?trtext=a%26b%23c%2Bd%3De%25f&lp=fr_en"},
      {"control bytes and DEL", "a\tb\r\nc\x7f", "x", "/tr?trtext=a%09b%0D%0Ac%7F&lp=x"},
      {"bytes above 0x7F", "caf\xe9 \xc3\xa9", "fr_en", "/tr?trtext=caf%E9 %C3%A9&lp=fr_en"},
      {"unreserved punctuation stays", "l'\"x\"?/;:", "fr_en", "/tr?trtext=l'\"x\"?/;:&lp=fr_en"},
      {"pair is escaped too", "a", "f&r", "/tr?trtext=a&lp=f%26r"},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildTranslationPath(c.text.c_str(), c.pair.c_str()), c.path);
  }
}

struct ExtractCase {
  const char* name;
  std::string page;
  bool found;
  std::string translation;
};

TEST(ExtractTranslation, CutsBetweenTheFirstStartMarkerAndTheEndMarkerAfterIt) {
  const ExtractCase cases[] = {
      {"plain", START + "Hello" + END, true, "Hello"},
      {"empty between markers", "x" + START + END + "y", true, ""},
      {"page ends with start marker", "x" + START, true, ""},
      {"no end marker", START + "rest of page", true, "rest of page"},
      {"two start markers", START + "one" + END + START + "two" + END, true, "one"},
      {"end marker before start passed over", END + "x" + START + "t" + END, true, "t"},
      {"kept unchanged", START + " &amp; <b>x</b>\n " + END, true, " &amp; <b>x</b>\n "},
      {"NUL before the marker", std::string("a\0b", 3) + START + "t" + END, true, "t"},
      {"other letter case", "<TD bgcolor=white class=s><div style=padding:10px;>t" + END, false,
       ""},
      {"quoted attributes", "<td bgcolor=\"white\" class=s><div style=padding:10px;>t" + END, false,
       ""},
      {"other spacing", "<td  bgcolor=white class=s><div style=padding:10px;>t" + END, false, ""},
      {"no marker", "<html>nothing</html>", false, ""},
  };
  for (const ExtractCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string translation;
    EXPECT_EQ(ExtractTranslation(c.page, translation), c.found);
    if (c.found) {
      EXPECT_EQ(translation, c.translation);
    }
  }
}

TEST_F(FetchTranslationTest, CollectsEveryReadBeforeSearching) {
  const std::string body = std::string(2048 + 2048 + 100 - START.size() - 3, 'p');
  standin::QueueResponse(body + START + "end");
  EXPECT_EQ(FetchTranslation("t", "fr_en"), "end");
  EXPECT_EQ(standin::CallsTo("InternetReadFile").size(), 4u);
}

TEST_F(FetchTranslationTest, FindsAMarkerSplitAcrossShortReads) {
  standin::SetReadPieceSize(7);
  standin::QueueResponse(Page("piecewise"));
  EXPECT_EQ(FetchTranslation("t", "fr_en"), "piecewise");
}

TEST_F(FetchTranslationTest, ReadFailingPartWaySearchesWhatArrived) {
  standin::SetReadPieceSize(64);
  standin::QueueResponse(START + std::string(60, 'a') + std::string(100, 'b') + END);
  standin::FailCall("InternetReadFile", 2);
  EXPECT_EQ(FetchTranslation("t", "fr_en"), std::string(13, 'a'));
}

struct FailureCase {
  const char* name;
  const char* function;
  std::string body;
  std::size_t closes;
  bool requested;
};

const FailureCase kFailureCases[] = {
    {"InternetHandleRefused", "InternetOpenA", Page("x"), 2, false},
    {"ConnectionRefused", "InternetConnectA", Page("x"), 2, false},
    {"NetworkUnreachable", "InternetAttemptConnect", Page("x"), 2, false},
    {"RequestNotOpened", "HttpOpenRequestA", Page("x"), 3, true},
    {"SendFailed", "HttpSendRequestA", Page("x"), 3, true},
    {"EmptyBody", "", "", 3, true},
    {"NoStartMarker", "", "<html>Server busy</html>", 3, true},
    {"FirstReadFails", "InternetReadFile", Page("x"), 3, true},
};

class FetchFailureTest : public FetchTranslationTest,
                         public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FetchFailureTest, YieldsTheFixedTextAndLeavesNothingOpen) {
  const FailureCase& c = GetParam();
  standin::QueueResponse(c.body);
  if (*c.function) standin::FailCall(c.function);
  EXPECT_EQ(FetchTranslation("t", "fr_en"), TRANSLATION_FAILED_TEXT);
  EXPECT_EQ(standin::CallsTo("InternetCloseHandle").size(), c.closes);
  EXPECT_EQ(standin::CallsTo("HttpOpenRequestA").size(), c.requested ? 1u : 0u);
  EXPECT_EQ(standin::OpenInternetHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Fetch, FetchFailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FetchTranslationTest, FailedSendReadsNothing) {
  standin::FailCall("HttpSendRequestA");
  EXPECT_EQ(FetchTranslation("t", "fr_en"), TRANSLATION_FAILED_TEXT);
  EXPECT_THAT(standin::CallsTo("InternetReadFile"), IsEmpty());
}

TEST_F(FetchTranslationTest, NullArgumentsFailWithoutConnecting) {
  EXPECT_EQ(FetchTranslation(nullptr, "fr_en"), TRANSLATION_FAILED_TEXT);
  EXPECT_EQ(FetchTranslation("t", nullptr), TRANSLATION_FAILED_TEXT);
  EXPECT_THAT(standin::CallNames(), IsEmpty());
}

}  // namespace
