// The service over real HTTP, with real Apertium pipelines behind it.
#include "service_test_support.h"

#include "service/http/pages.h"
#include "service/text/text_encoding.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace service_test {
namespace {

using HttpTest = ServiceTest;

std::size_t Count(const std::string& text, const std::string& word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(HttpTest, TranslatesDirectReverseAndPivotPairs) {
  struct Case {
    const char* code;
    const char* text;
    std::vector<const char*> words;
  };
  static const Case kCases[] = {
      {"en_es", "I have a black dog", {"perro", "negro"}},
      {"es_en", "La casa es roja", {"house", "red"}},
      {"fr_en", "Le chat noir dort dans la maison", {"cat", "sleeps", "house"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    auto translation = Translate(PercentEncode(c.text), c.code);
    ASSERT_TRUE(translation.has_value());
    for (const char* word : c.words)
      EXPECT_NE(translation->find(word), std::string::npos) << *translation;
  }
}

// "{ braces }" with its blanks is no placeholder: the braces still reach the stream format.
TEST_F(HttpTest, WarmPipelinesTranslateAsApertiumRunOnceDoes) {
  struct Case {
    const char* code;
    const char* mode;
    const char* text;
  };
  static const Case kCases[] = {
      {"en_es", "eng-spa",
       "Hello, world! The quick brown fox jumps over the lazy dog.\n\nWhere is Xyzzyplugh?  "
       "Tabs\tand [brackets] { braces } ~tilde~ ^caret$ back\\slash / @ at #hash "},
      {"es_en", "spa-eng",
       "\xC2\xBF"
       "D\xC3\xB3nde est\xC3\xA1 la biblioteca?\nMa\xC3\xB1"
       "ana llueve."},
      {"fr_es", "fr-es",
       "L'\xC3\xA9t\xC3\xA9 dernier, nous sommes all\xC3\xA9s \xC3\xA0 la plage."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    auto translation = Translate(PercentEncode(c.text), c.code);
    ASSERT_TRUE(translation.has_value());
    std::string input = c.text;
    bool ascii = std::all_of(input.begin(), input.end(), [](char b) { return (b & 0x80) == 0; });
    // Plain ASCII is answered in Windows-1252, apertium writes UTF-8.
    EXPECT_EQ(ascii ? service::Windows1252ToUtf8(*translation) : *translation,
              RunFilter({"apertium", "-u", c.mode}, input));
  }
}

TEST_F(HttpTest, PageCarriesTheMarkersOnceAndTextCannotAddMarkup) {
  const std::string target =
      "/tr?trtext=" + PercentEncode("The dog <b>sleeps</b> </div></td> & a&amp;b here") +
      "&lp=en_es";
  // The plug-in shows the text as typed but for the end marker, where it cuts; a browser gets
  // no markup.
  const struct {
    const char* reader;
    const char* headers;
    std::size_t escapes;
  } kReaders[] = {{"plug-in", "Accept: */*\r\n", 1},
                  {"browser", "Accept: text/html,application/xhtml+xml\r\n", 4}};
  for (const auto& reader : kReaders) {
    SCOPED_TRACE(reader.reader);
    auto result = raw_http::Get(service_->port(), target, reader.headers);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(Count(result->body, std::string(service::kTranslationStartMarker)), 1u);
    auto translation = CutTranslation(result->body);
    ASSERT_TRUE(translation.has_value());
    EXPECT_EQ(Count(*translation, "&lt;"), reader.escapes) << *translation;
    EXPECT_NE(translation->find("aqu"), std::string::npos) << "cut off early: " << *translation;
  }
}

TEST_F(HttpTest, KeepsLineBreaksAndSurroundingBlanks) {
  struct Case {
    const char* name;
    const char* text;
    const char* prefix;  // what must come before the first letter
    const char* suffix;  // and after the last one
    std::size_t newlines;
  };
  static const Case kCases[] = {
      {"paragraphs", "The house.\nThe dog.\n\nThe cat.", "", ".", 3},
      {"blanks", "  The house  ", "  ", "  ", 0},
      {"tab and trailing space", "The\thouse ", "", " ", 0},
      {"windows line ends", "The house.\r\n\r\nThe dog.\r\n", "", ".\r\n", 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto translation = Translate(PercentEncode(c.text), "en_es");
    ASSERT_TRUE(translation.has_value());
    EXPECT_EQ(Count(*translation, "\n"), c.newlines) << *translation;
    EXPECT_EQ(translation->rfind(c.prefix, 0), 0u) << *translation;
    ASSERT_GE(translation->size(), std::string(c.suffix).size());
    EXPECT_EQ(translation->substr(translation->size() - std::string(c.suffix).size()), c.suffix)
        << *translation;
    EXPECT_NE(translation->find("casa"), std::string::npos) << *translation;
  }
}

TEST_F(HttpTest, LongChunksComeBackWhole) {
  // A plug-in chunk is at most 4079 bytes; every numbered sentence must come back in order.
  std::string text;
  for (int n = 1; text.size() < 4000; ++n) {
    text += "The house " + std::to_string(n) + " is red.";
    text += n % 7 == 0 ? "\n" : " ";
  }
  auto translation = Translate(PercentEncode(text), "en_es");
  ASSERT_TRUE(translation.has_value());
  std::size_t at = 0;
  for (int n = 1; text.find(" " + std::to_string(n) + " ") != std::string::npos; ++n) {
    at = translation->find(" " + std::to_string(n) + " ", at);
    ASSERT_NE(at, std::string::npos) << "sentence " << n << " lost";
  }
  EXPECT_EQ(Count(*translation, "\n"), Count(text, "\n"));
}

TEST_F(HttpTest, AnswersInTheEncodingOfTheRequest) {
  struct Case {
    const char* name;
    std::string encoded;
    const char* code;
    const char* charset;
    std::string expected;  // bytes the translation must hold
  };
  static const Case kCases[] = {
      {"Windows-1252 in and out", "Le+caf%E9+est+tr%E8s+bon", "fr_es", "windows-1252", "caf\xE9"},
      {"plain ASCII answers in Windows-1252", "The+small+house", "en_es", "windows-1252",
       "peque\xF1"
       "a"},
      {"UTF-8 stays UTF-8", "Le+caf%C3%A9+est+tr%C3%A8s+bon", "fr_es", "UTF-8", "caf\xC3\xA9"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto result = Get("/tr?trtext=" + c.encoded + "&lp=" + c.code);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Header("Content-Type"), std::string("text/html; charset=") + c.charset);
    auto translation = CutTranslation(result->body);
    ASSERT_TRUE(translation.has_value());
    EXPECT_NE(translation->find(c.expected), std::string::npos) << *translation;
  }
}

TEST_F(HttpTest, DecodesTheQueryAsAFormDoes) {
  struct Case {
    const char* name;
    const char* target;
    const char* expected;
  };
  static const Case kCases[] = {
      {"plus and raw space", "/tr?trtext=The+black dog&lp=en_es", "perro negro"},
      {"broken escapes stay as typed", "/tr?trtext=100%+sure+%zz+%4&lp=en_es", "100% "},
      {"trailing percent", "/tr?trtext=dog%&lp=en_es", "%"},
      {"fields in any order", "/tr?lp=en_es&x=1&trtext=dog", "erro"},
      {"escaped ampersand", "/tr?trtext=cat%26dog&lp=en_es", "&"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto result = Get(c.target);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    auto translation = CutTranslation(result->body);
    ASSERT_TRUE(translation.has_value()) << result->body;
    EXPECT_NE(translation->find(c.expected), std::string::npos) << *translation;
  }
}

TEST_F(HttpTest, BadRequestsGetAPageWithoutTheMarker) {
  struct Case {
    const char* name;
    std::string target;
    int status;
    const char* says;
  };
  static const Case kCases[] = {
      {"no text", "/tr?lp=en_es", 400, "trtext"},
      {"no pair", "/tr?trtext=dog", 400, "lp"},
      {"no query", "/tr", 400, "trtext"},
      {"unknown pair", "/tr?trtext=dog&lp=xx_yy", 404, "xx_yy"},
      {"pair not started", "/tr?trtext=dog&lp=pt_it", 404, "pt_it"},
      {"empty pair", "/tr?trtext=dog&lp=", 404, "not available"},
      {"unknown path", "/translation?trtext=dog&lp=en_es", 404, "Not found"},
      {"target above 64 KiB", "/tr?trtext=" + std::string(64 * 1024, 'a') + "&lp=en_es", 414,
       "too long"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto result = Get(c.target);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, c.status);
    EXPECT_FALSE(CutTranslation(result->body).has_value());
    EXPECT_NE(result->body.find(c.says), std::string::npos) << result->body;
  }
  // The service is still there.
  EXPECT_TRUE(Translate("dog", "en_es").has_value());
}

TEST_F(HttpTest, AcceptsATargetOf16KiB) {
  std::string text;
  while (text.size() < 16 * 1024 - 100) text += "The%20dog%20is%20black.%20";
  auto translation = Translate(text, "en_es");
  ASSERT_TRUE(translation.has_value());
  EXPECT_EQ(Count(*translation, "perro"), Count(text, "dog"));
}

TEST_F(HttpTest, IndexOffersAFormForEveryPair) {
  auto result = Get("/");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_NE(result->body.find("action=\"/tr\""), std::string::npos);
  EXPECT_NE(result->body.find("name=\"trtext\""), std::string::npos);
  for (const auto& pair : apertium().Pairs()) {
    EXPECT_NE(result->body.find("<option value=\"" + pair.code + "\""), std::string::npos)
        << pair.code;
  }
}

TEST_F(HttpTest, ConcurrentClientsEachGetTheirOwnText) {
  static const char* const kCodes[] = {"en_es", "es_en", "fr_en"};
  static const char* const kTexts[] = {"The house %d is red", "La casa %d es roja",
                                       "La maison %d est rouge"};
  static const char* const kWords[] = {"casa", "house", "house"};
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  const int kClients = 12;
  const int kRounds = 4;
  std::vector<std::string> failures(kClients);
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      for (int round = 0; round < kRounds; ++round) {
        int number = client * 100 + round;
        char text[64];
        std::snprintf(text, sizeof text, kTexts[client % 3], number);
        auto translation = Translate(PercentEncode(text), kCodes[client % 3]);
        std::string mark = " " + std::to_string(number) + " ";
        if (translation && translation->find(mark) != std::string::npos &&
            translation->find(kWords[client % 3]) != std::string::npos &&
            Count(*translation, " ") == Count(text, " ")) {
          ++good;
        } else {
          failures[client] = translation ? *translation : "(no translation)";
        }
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(good.load(), kClients * kRounds);
  for (const auto& failure : failures) EXPECT_EQ(failure, "");
}

TEST_F(HttpTest, KilledPipelineIsRestartedAndTheNextRequestTranslates) {
  auto before = apertium().PipelinePids("spa-eng");
  ASSERT_GT(before.size(), 3u);
  ASSERT_EQ(::kill(before[2], SIGKILL), 0);
  auto translation = Translate(PercentEncode("Tengo un perro negro"), "es_en");
  ASSERT_TRUE(translation.has_value());
  EXPECT_NE(translation->find("dog"), std::string::npos) << *translation;
  auto after = apertium().PipelinePids("spa-eng");
  EXPECT_EQ(std::find(after.begin(), after.end(), before[2]), after.end());
  // The pivot pair shares that pipeline.
  translation = Translate(PercentEncode("Le chat noir"), "fr_en");
  ASSERT_TRUE(translation.has_value());
  EXPECT_NE(translation->find("cat"), std::string::npos) << *translation;
}

TEST_F(HttpTest, PipelinesKilledUnderLoadLoseNoRequestAndCrossNoAnswers) {
  // Eight clients keep both of the mode's pipelines busy; a program of each is killed in turn
  // with requests in flight. Each client's texts carry numbers no other client sends.
  const int kClients = 8;
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::atomic<int> failed{0};
  std::vector<std::string> failures(kClients);
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      for (int round = 0; !stop; ++round) {
        std::string number = std::to_string(client * 1000 + round);
        auto translation = Translate(PercentEncode("The house " + number + " is red"), "en_es");
        bool own = translation && translation->find(" " + number + " ") != std::string::npos &&
                   translation->find("casa") != std::string::npos;
        ++(own ? answered : failed);
        if (!own) failures[client] = translation ? *translation : "(no translation)";
      }
    });
  }
  // Bounded only so that a broken service fails the test instead of hanging it.
  auto wait_for_answers = [&](int count) {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (answered < count && failed == 0 && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  std::vector<std::vector<pid_t>> seen;
  wait_for_answers(20);
  for (int kill = 0; kill < 4; ++kill) {
    // A program in the middle of the first pipeline, then of the last one.
    auto pids = apertium().PipelinePids("eng-spa");
    if (pids.size() < 10) break;
    ::kill(pids[kill % 2 == 0 ? 5 : pids.size() - 5], SIGKILL);
    seen.push_back(pids);
    wait_for_answers(answered + 20);
  }
  stop = true;
  for (auto& client : clients) client.join();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(failed.load(), 0);
  for (const auto& failure : failures) EXPECT_EQ(failure, "");
  EXPECT_GE(answered.load(), 100);
  EXPECT_NE(apertium().PipelinePids("eng-spa"), seen.front());
}

}  // namespace
}  // namespace service_test
