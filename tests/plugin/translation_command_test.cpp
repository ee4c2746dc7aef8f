#include "plugin/exports.h"
#include "plugin/help_text.h"
#include "plugin/result_buffer.h"
#include "plugin/toast.h"
#include "translation/fetch_translation.h"

#include "support/stand_in_test.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A service that answers every chunk with the trtext it received, so each result line shows
// exactly which chunk was sent.
std::string EchoText(const std::string& path) {
  const std::size_t start = path.find("trtext=") + 7;
  const std::size_t end = path.rfind("&lp=");
  return std::string(TRANSLATION_START_MARKER) + path.substr(start, end - start) +
         TRANSLATION_END_MARKER;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  EXPECT_EQ(start, text.size()) << "the result ends with a line feed";
  return lines;
}

// Words of four letters and a space: a space at every index i with i % 5 == 4.
std::string Words(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i)
    text += (i % 5 == 4) ? ' ' : static_cast<char>('a' + i % 5);
  return text;
}

class ParseCommandTest : public StandInTest {
 protected:
  void SetUp() override {
    StandInTest::SetUp();
    standin::SetResponder(EchoText);
    result.assign(RESULT_BUFFER_CAPACITY + GUARD, SENTINEL);
  }
  void TearDown() override {
    EXPECT_EQ(standin::OpenInternetHandles(), 0);
    for (std::size_t i = RESULT_BUFFER_CAPACITY; i < result.size(); ++i)
      ASSERT_EQ(result[i], SENTINEL) << "written past the result buffer at " << i;
  }

  int Run(const char* command, const std::string& parameters) {
    return ParseCommand(command, parameters.c_str(), 0, result.data());
  }
  std::string Result() const { return std::string(result.data()); }
  bool Untouched() const {
    return result == std::vector<char>(RESULT_BUFFER_CAPACITY + GUARD, SENTINEL);
  }
  std::vector<std::string> SentTexts() const {
    std::vector<std::string> texts;
    for (const auto& call : standin::CallsTo("HttpOpenRequestA")) {
      const std::string path = call.args[2];
      const std::size_t end = path.rfind(LANGUAGE_PAIR_KEY);
      texts.push_back(path.substr(11, end - 11));
    }
    return texts;
  }

  static constexpr std::size_t GUARD = 64;
  static constexpr char SENTINEL = '\x5A';
  std::vector<char> result;
};

TEST_F(ParseCommandTest, CommandWordMatchesWithoutRegardToAsciiCase) {
  for (const char* word : {"/xtrn", "/XTRN", "/Xtrn", "/xTrN"}) {
    SCOPED_TRACE(word);
    EXPECT_EQ(Run(word, "fr_en bonjour"), 1);
    EXPECT_EQ(Result(), "bonjour\n");
  }
}

TEST_F(ParseCommandTest, OtherCommandWordsAreNotHandledAndTouchNothing) {
  for (const char* word : {"xtrn", "/xtr", "/xtrnx", "", "/xtrn ", "/\xd8trn"}) {
    SCOPED_TRACE(word);
    EXPECT_EQ(Run(word, "fr_en bonjour"), 0);
  }
  EXPECT_EQ(ParseCommand(nullptr, "fr_en bonjour", 0, result.data()), 0);
  EXPECT_TRUE(Untouched());
  EXPECT_THAT(standin::Calls(), IsEmpty());
}

TEST_F(ParseCommandTest, ParametersWithoutACodeAndTextShowTheToastThenTheHelpBox) {
  const std::string tooLongCode = "fr_enx bonjour";
  for (const char* parameters : {"fr_en", "", "fr_en\tbonjour", tooLongCode.c_str()}) {
    SCOPED_TRACE(parameters);
    standin::Reset();
    std::string title;
    std::string message;
    standin::SetSendMessageHandler([&](HWND, UINT, WPARAM wParam, LPARAM) -> LRESULT {
      const auto* record = reinterpret_cast<const ToastRecord*>(wParam);
      title = static_cast<const char*>(record->title);
      message = static_cast<const char*>(record->message);
      EXPECT_EQ(record->param, 0u);
      EXPECT_EQ(record->flag, 0u);
      return 0;
    });
    EXPECT_EQ(Run("/xtrn", parameters), 1);
    EXPECT_THAT(standin::CallNames(), ElementsAre("RegisterWindowMessageA", "SendMessageA",
                                                  "GetActiveWindow", "MessageBoxA"));
    EXPECT_EQ(title, "Mirelskan Command error");
    EXPECT_EQ(message, "See the help");
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].caption, "About Mirelskan Plugin");
    EXPECT_EQ(standin::MessageBoxes()[0].text, HelpText);
    EXPECT_EQ(standin::MessageBoxes()[0].type, MB_OK);
    EXPECT_NE(standin::MessageBoxes()[0].owner, "<null>");
    EXPECT_TRUE(Untouched());
  }
  standin::Reset();
  EXPECT_EQ(ParseCommand("/xtrn", nullptr, 0, result.data()), 1);
  EXPECT_EQ(standin::MessageBoxes().size(), 1u);
}

TEST_F(ParseCommandTest, CodeAndTextAreSplitAtTheFirstSpace) {
  struct Case {
    std::string parameters;
    std::string path;
  };
  const Case cases[] = {
      {"fr_en    Un test", "/tr?trtext=Un test&lp=fr_en"},
      {"fr_en \t\r\n\v\fUn test", "/tr?trtext=Un test&lp=fr_en"},
      {" bonjour", "/tr?trtext=bonjour&lp="},
      {"en_es hola  ", "/tr?trtext=hola  &lp=en_es"},
      {"de_en \xa0x&y", "/tr?trtext=%A0x%26y&lp=de_en"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parameters);
    standin::Reset();
    standin::SetResponder(EchoText);
    EXPECT_EQ(Run("/xtrn", c.parameters), 1);
    ASSERT_EQ(standin::CallsTo("HttpOpenRequestA").size(), 1u);
    EXPECT_EQ(standin::CallsTo("HttpOpenRequestA")[0].args[2], c.path);
  }
}

TEST_F(ParseCommandTest, WhiteSpaceOnlyTextEmptiesTheBufferWithoutARequest) {
  for (const char* parameters : {"fr_en ", "fr_en  \t \t"}) {
    result.assign(result.size(), SENTINEL);
    EXPECT_EQ(Run("/xtrn", parameters), 1);
    EXPECT_EQ(result[0], '\0');
  }
  EXPECT_THAT(standin::Calls(), IsEmpty());
}

TEST_F(ParseCommandTest, NullResultBufferMakesNoRequest) {
  EXPECT_EQ(ParseCommand("/xtrn", "fr_en bonjour", 0, nullptr), 1);
  EXPECT_THAT(standin::Calls(), IsEmpty());
}

struct ChunkCase {
  const char* name;
  std::string text;
  std::vector<std::size_t> chunkLengths;
};

TEST_F(ParseCommandTest, LongTextsAreCutAfterTheFirstSpaceFromIndex135) {
  std::string spaceAt140(150, 'x');
  spaceAt140[140] = ' ';
  std::string spaceAt135(300, 'y');
  spaceAt135[135] = ' ';
  spaceAt135[280] = ' ';
  std::string noSpaceLate = std::string(100, 'z') + " " + std::string(99, 'z');
  std::string trailingBlanks = Words(149) + "   \t";
  const ChunkCase cases[] = {
      {"149 characters are one chunk", Words(149), {149}},
      {"150 with the first late space at 140", spaceAt140, {141, 9}},
      {"space at 135 gives 136", spaceAt135, {136, 145, 19}},
      {"no space from 135 on is sent whole", noSpaceLate, {200}},
      {"trailing white space goes with the last chunk", trailingBlanks, {140, 13}},
      {"a long text in several chunks", Words(1000), {140, 140, 140, 140, 140, 140, 140, 20}},
  };
  for (const ChunkCase& c : cases) {
    SCOPED_TRACE(c.name);
    standin::Reset();
    standin::SetResponder(EchoText);
    ASSERT_EQ(Run("/xtrn", "fr_en " + c.text), 1);
    std::vector<std::string> expected;
    std::size_t at = 0;
    for (std::size_t length : c.chunkLengths) {
      expected.push_back(c.text.substr(at, length));
      at += length;
    }
    ASSERT_EQ(at, c.text.size());
    for (std::string& chunk : expected)
      for (std::size_t i = chunk.find('\t'); i != std::string::npos; i = chunk.find('\t'))
        chunk.replace(i, 1, "%09");
    EXPECT_EQ(SentTexts(), expected);
    EXPECT_EQ(Lines(Result()), expected);
  }
}

TEST_F(ParseCommandTest, AFailedMiddleChunkBecomesTheFixedTextAndTheRestGoesOn) {
  standin::FailCall("HttpSendRequestA", 2);
  ASSERT_EQ(Run("/xtrn", "fr_en " + Words(300)), 1);
  const auto lines = Lines(Result());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Words(140));
  EXPECT_EQ(lines[1], TRANSLATION_FAILED_TEXT);
  EXPECT_EQ(lines[2], Words(300).substr(280));
}

TEST_F(ParseCommandTest, TextBeyondTheTextAreaIsCutTo4079Characters) {
  const std::string text = Words(5000);
  ASSERT_EQ(Run("/xtrn", "fr_en" + std::string(" ") + text), 1);
  std::string sent;
  for (const std::string& chunk : SentTexts()) sent += chunk;
  EXPECT_EQ(sent, text.substr(0, 4078));
}

TEST_F(ParseCommandTest, ResultNeverRunsPastTheBufferAndStopsRequestingWhenFull) {
  const std::string bigTranslation(1500, 't');
  standin::SetResponder([&](const std::string&) {
    return std::string(TRANSLATION_START_MARKER) + bigTranslation + TRANSLATION_END_MARKER;
  });
  ASSERT_EQ(Run("/xtrn", "fr_en " + Words(1000)), 1);
  const std::string out = Result();
  EXPECT_EQ(out.size(), RESULT_BUFFER_CAPACITY - 1);
  EXPECT_EQ(out.substr(0, 1501), bigTranslation + "\n");
  EXPECT_EQ(out.substr(1501, 1501), bigTranslation + "\n");
  EXPECT_EQ(out.substr(3002), std::string(1093, 't'));
  EXPECT_EQ(standin::CallsTo("HttpOpenRequestA").size(), 3u);
}

TEST(ResultBuffer, ALineThatFillsTheBufferExactlyStopsFurtherLines) {
  char buffer[8];
  ResultBuffer out(buffer, sizeof buffer);
  out.AppendLine("abcdef");
  EXPECT_TRUE(out.Full());
  out.AppendLine("more");
  EXPECT_STREQ(buffer, "abcdef\n");
}

}  // namespace

namespace {

TEST_F(ParseCommandTest, NoExceptionCrossesTheExport) {
  standin::SetSendMessageHandler(
      [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { throw std::bad_alloc(); });
  EXPECT_EQ(Run("/xtrn", "fr_en"), 1);
  EXPECT_EQ(DisplayToastExport("m", "t", 0, FALSE), 0);
  EXPECT_EQ(DisplayToastWExport(u"m", u"t", 0, FALSE), 0);
  EXPECT_TRUE(Untouched());
}

TEST_F(ParseCommandTest, AChunkWhoseRequestThrowsIsReportedAsFailed) {
  int requests = 0;
  standin::SetResponder([&](const std::string& path) -> std::string {
    if (++requests == 1) throw std::bad_alloc();
    return EchoText(path);
  });
  ASSERT_EQ(Run("/xtrn", "fr_en " + Words(200)), 1);
  EXPECT_EQ(Lines(Result()),
            (std::vector<std::string>{TRANSLATION_FAILED_TEXT, Words(200).substr(140)}));
}

}  // namespace
