// The service's parsing and conversion rules, case by case.
#include "service_test_support.h"

#include "plugin/help_text.h"
#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/apertium/apertium_mode.h"
#include "service/engine/apertium/mode_requirements.h"
#include "service/engine/apertium/stream_format.h"
#include "service/http/form_query.h"
#include "service/http/help_text_codes.h"
#include "service/http/listen_socket.h"
#include "service/http/pages.h"
#include "service/text/text_encoding.h"

#include <regex>
#include <stdexcept>

namespace service_test {
namespace {

TEST(StreamFormat, DeformatAgreesWithApertiumDestxt) {
  static const char* const kTexts[] = {
      "",
      "a",
      "a ",
      " a",
      "a  b",
      "a\nb",
      "a\n\nb",
      "a\n \nb",
      "a\r\n\r\nb",
      "a\n\r\nb",
      "a.\n",
      "a\n\n\n",
      "~",
      "a ~ b",
      "x~y",
      "a\t~\nb",
      "\n\na",
      "[a] ^b$ /c@ <d> {e} \\f",
      "!\"#%&()*+,-.:;=?_`|",
      "caf\xC3\xA9 \xC2\xA0x",
  };
  for (const char* text : kTexts) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    EXPECT_EQ(service::Deformat(text), RunFilter({"apertium-destxt"}, text));
  }
}

TEST(StreamFormat, ReformatAgreesWithApertiumRetxtAndUndoesDeformat) {
  static const char* const kTexts[] = {
      "Hello world",     "a..",  "a. b", "  a  b\t\n\nc \r\n", "[x] \\y\\ ~z~", "^$/@<>{}",
      "end with space ", "\n\n",
  };
  for (const char* text : kTexts) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    std::string stream = service::Deformat(text);
    EXPECT_EQ(service::Reformat(stream), text);
    EXPECT_EQ(service::Reformat(stream), RunFilter({"apertium-retxt"}, stream));
  }
  EXPECT_EQ(service::Deformat(std::string("a\0b", 3)), "ab.[]");
}

TEST(TextEncoding, RecognisesOnlyStrictUtf8) {
  struct Case {
    const char* name;
    std::string bytes;
    bool valid;
  };
  static const Case kCases[] = {
      {"ascii", "plain", true},
      {"two bytes", "caf\xC3\xA9", true},
      {"three bytes", "\xE2\x82\xAC", true},
      {"four bytes", "\xF0\x9F\x98\x80", true},
      {"Windows-1252 e acute", "caf\xE9", false},
      {"truncated", "\xE2\x82", false},
      {"overlong", "\xC0\xAF", false},
      {"overlong three", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false},
      {"stray continuation", "\x80", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(service::IsValidUtf8(c.bytes), c.valid);
  }
}

TEST(TextEncoding, Windows1252RoundTripsEveryByte) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  std::string utf8 = service::Windows1252ToUtf8(all);
  EXPECT_TRUE(service::IsValidUtf8(utf8));
  EXPECT_EQ(service::Utf8ToWindows1252(utf8), all);
  EXPECT_EQ(service::Windows1252ToUtf8("\x80\xE9"), "\xE2\x82\xAC\xC3\xA9");
  EXPECT_EQ(service::Utf8ToWindows1252("\xE2\x82\xAC \xC4\x9F \xF0\x9F\x98\x80"), "\x80 ? ?");
}

TEST(TextEncoding, Windows1252HoldsEachCharacterOrAQuestionMark) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string windows1252;
  };
  static const Case kCases[] = {
      {"undefined bytes as C1 controls", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D",
       "\x81\x8D\x8F\x90\x9D"},
      {"a C1 control the code page has no byte for", "\xC2\x80", "?"},
      {"zero width space, which is ignorable",
       "a\xE2\x80\x8B"
       "b",
       "a?b"},
      {"a heart and its variation selector", "\xE2\x9D\xA4\xEF\xB8\x8F", "??"},
      {"no best fit for a fullwidth letter", "\xEF\xBC\xA1", "?"},
      {"a NUL byte", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(service::Utf8ToWindows1252(c.utf8), c.windows1252);
  }
}

TEST(FormQuery, DecodesAndFindsFields) {
  struct Case {
    const char* query;
    const char* name;
    std::optional<std::string> value;
  };
  static const Case kCases[] = {
      {"trtext=a+b%20c&lp=fr_en", "trtext", "a b c"},
      {"trtext=a+b%20c&lp=fr_en", "lp", "fr_en"},
      {"trtext=100%+%zz%4%", "trtext", "100% %zz%4%"},
      {"trtext=%E9%c3%A9", "trtext", "\xE9\xC3\xA9"},
      {"lp=a&lp=b", "lp", "a"},
      {"trtext&lp=x", "trtext", ""},
      {"tr%74ext=x", "trtext", "x"},
      {"a=b=c", "a", "b=c"},
      {"trtext=x", "lp", std::nullopt},
      {"", "lp", std::nullopt},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.query) + " " + c.name);
    EXPECT_EQ(service::FormField(c.query, c.name), c.value);
  }
  EXPECT_EQ(service::TargetQuery("/tr?a=1?#b"), "a=1?#b");
  EXPECT_EQ(service::TargetQuery("/tr"), "");
  EXPECT_EQ(service::TargetPath("/tr?a=http://x/y"), "/tr");
  EXPECT_EQ(service::TargetPath("http://localhost:80/tr?a=b"), "/tr");
  EXPECT_EQ(service::TargetPath("http://localhost"), "/");
  EXPECT_EQ(service::TargetPath("/a://b"), "/a://b");
}

TEST(Pages, TranslationIsWrittenAsTypedUnlessABrowserWouldReadMarkup) {
  struct Case {
    const char* text;
    const char* written;
  };
  static const Case kCases[] = {
      {"I <3 you", "I <3 you"},
      {"a < b && c > d", "a < b && c > d"},
      {"a<", "a<"},
      {"<b>bold</b>", "&lt;b>bold&lt;/b>"},
      {"x</div></td>y", "x&lt;/div>&lt;/td>y"},
      {"<!-- <?php", "&lt;!-- &lt;?php"},
      {"&lt; &#60; &amp", "&amp;lt; &amp;#60; &amp;amp"},
      {"Tom & Jerry &1 a&", "Tom & Jerry &1 a&"},
      {"<Ã© <é", "<Ã© <é"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(service::EscapeTranslation(c.text), c.written) << c.text;
  }
  EXPECT_EQ(service::GuardEndMarker("<b>a&amp;b</div></td></div></td></div>"),
            "<b>a&amp;b&lt;/div></td>&lt;/div></td></div>");
}

TEST(HelpTextCodes, AreTheCodesThePluginsHelpLists) {
  std::vector<std::string> listed;
  std::string help = HelpText;
  std::regex code_line(R"((^|\n)([a-z]{2}_[a-z]{2}) ->)");
  for (std::sregex_iterator at(help.begin(), help.end(), code_line), end; at != end; ++at) {
    listed.push_back((*at)[2]);
  }
  std::vector<std::string> known;
  for (const auto& code : service::HelpTextCodes()) known.push_back(code.code);
  EXPECT_EQ(known, listed);
  EXPECT_EQ(known.size(), 36u);
}

TEST(ModeRequirements, NameWhatIsMissingAndTheDebianPackageThatBringsIt) {
  struct Case {
    const char* name;
    std::vector<service::Command> stages;
    std::optional<std::string> missing;
  };
  const Case kCases[] = {
      {"all there", {{"cat"}, {"sh", "-c", "/bin/true"}, {"cat", "/dev/null"}}, std::nullopt},
      {"an Apertium program",
       {{"cat"}, {"lt-proc-not-installed", "x"}},
       "program lt-proc-not-installed is not installed (Debian package lttoolbox)"},
      {"a pair's data file",
       {{"cat", "/nonexistent/apertium-xx-yy/xx-yy.automorf.bin"}},
       "file /nonexistent/apertium-xx-yy/xx-yy.automorf.bin is missing (Debian package "
       "apertium-xx-yy)"},
      {"an unknown program", {{"no-such-program"}}, "program no-such-program is not installed"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(service::MissingRequirement(c.stages), c.missing);
  }
  for (auto [program, package] : {std::pair{"cg-proc", "cg3"},
                                  {"lrx-proc", "apertium-lex-tools"},
                                  {"apertium-tagger", "apertium"},
                                  {"lt-proc", "lttoolbox"}}) {
    EXPECT_EQ(service::DebianPackageFor(program), package) << program;
  }
}

TEST(ApertiumMode, SplitsThePipelineAsTheShellWould) {
  auto stages = service::ParseModePipeline(
      "lt-proc -w '/a b/x.bin' | apertium-tagger -g $2 \"/c\\\"d\" |lt-proc $1 e\\ f\n");
  EXPECT_EQ(stages, (std::vector<service::Command>{{"lt-proc", "-w", "/a b/x.bin"},
                                                   {"apertium-tagger", "-g", "/c\"d"},
                                                   {"lt-proc", "-n", "e f"}}));
  for (const char* broken :
       {"a | | b", "a |", "a > b", "a; b", "a 'b", "a $3", "a $(b)", "a `b`"}) {
    SCOPED_TRACE(broken);
    EXPECT_THROW(service::ParseModePipeline(broken), std::invalid_argument);
  }
}

TEST(ApertiumMode, LooksWordsUpBeforeTheTransferAsApertiumRunsTheMode) {
  const std::pair<const char*, std::vector<service::Command>> kCases[] = {
      {"lt-proc 'a.bin' | apertium-pretransfer | apertium-transfer 't.t1x' 't.bin' 'b.bin' | "
       "lt-proc $1 'g.bin'",
       {{"lt-proc", "a.bin"},
        {"apertium-pretransfer"},
        {"lt-proc", "-b", "b.bin"},
        {"apertium-transfer", "-b", "t.t1x", "t.bin"},
        {"lt-proc", "-n", "g.bin"}}},
      {"/usr/bin/apertium-transfer t.t1x t.bin b.bin",
       {{"lt-proc", "-b", "b.bin"}, {"/usr/bin/apertium-transfer", "-b", "t.t1x", "t.bin"}}},
      {"lt-proc -b b.bin | apertium-transfer -b t.t1x t.bin",
       {{"lt-proc", "-b", "b.bin"}, {"apertium-transfer", "-b", "t.t1x", "t.bin"}}},
      {"apertium-transfer -c t.t1x t.bin b.bin",
       {{"apertium-transfer", "-c", "t.t1x", "t.bin", "b.bin"}}},
  };
  for (const auto& [line, stages] : kCases) {
    EXPECT_EQ(service::WithBilingualLookupApart(service::ParseModePipeline(line)), stages) << line;
  }
}

TEST(ApertiumMode, AddsNullFlushOnlyWhereTheUsageOffersIt) {
  EXPECT_TRUE(service::UsageOffersNullFlush("  -z, --null-flush:  flush output"));
  EXPECT_TRUE(service::UsageOffersNullFlush("USAGE: lrx-proc[ -z | -d | -t ] fst_file"));
  EXPECT_TRUE(service::UsageOffersNullFlush("  -z         null-flushing output on '"));
  EXPECT_FALSE(service::UsageOffersNullFlush("USAGE: apertium-destxt [ -h | -o | -i | -n ]"));
  EXPECT_FALSE(service::UsageOffersNullFlush("  --zero  -zeta"));

  int asked = 0;
  auto stages =
      service::WithNullFlush({{"a", "x"}, {"b"}, {"a", "y"}}, [&asked](const std::string& program) {
        ++asked;
        return program == "a";
      });
  EXPECT_EQ(stages, (std::vector<service::Command>{{"a", "-z", "x"}, {"b"}, {"a", "-z", "y"}}));
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(service::ProgramTakesNullFlush("lt-proc"));
  EXPECT_FALSE(service::ProgramTakesNullFlush("apertium-destxt"));
}

TEST(ApertiumMode, NamesLanguagesAsThePluginDoes) {
  using Languages = std::optional<std::pair<std::string, std::string>>;
  EXPECT_EQ(service::ModeLanguages("fr-es"), Languages({"fr", "es"}));
  EXPECT_EQ(service::ModeLanguages("spa-eng"), Languages({"es", "en"}));
  for (const char* skipped : {"spa-eng_US", "eco-es-fr", "fr", "xyz-es", "es-es"}) {
    EXPECT_EQ(service::ModeLanguages(skipped), std::nullopt) << skipped;
  }
}

TEST(PlanPairs, PivotsThroughSpanishOnlyWhereNoDirectModeExists) {
  auto mode = [](const char* name, const char* source, const char* target) {
    return service::Mode{name, source, target, {}};
  };
  auto pairs = service::PlanPairs({mode("eng-spa", "en", "es"), mode("spa-eng", "es", "en"),
                                   mode("fr-es", "fr", "es"), mode("es-fr", "es", "fr"),
                                   mode("en-fr", "en", "fr")});
  std::map<std::string, std::vector<std::string>> routes;
  for (const auto& pair : pairs) routes[pair.code] = pair.modes;
  EXPECT_EQ(routes,
            (std::map<std::string, std::vector<std::string>>{{"en_es", {"eng-spa"}},
                                                             {"en_fr", {"en-fr"}},
                                                             {"es_en", {"spa-eng"}},
                                                             {"es_fr", {"es-fr"}},
                                                             {"fr_en", {"fr-es", "spa-eng"}},
                                                             {"fr_es", {"fr-es"}}}));
}

TEST(ListenAddress, ParsesHostAndPort) {
  auto parsed = service::ParseListenAddress("localhost:80");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->host, "localhost");
  EXPECT_EQ(parsed->port, 80);
  parsed = service::ParseListenAddress("[::1]:8080");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->host, "::1");
  EXPECT_TRUE(parsed->ipv6);
  for (const char* bad :
       {"localhost", ":80", "host:", "host:65536", "host:8x", "::1:80", "[]:80"}) {
    EXPECT_FALSE(service::ParseListenAddress(bad)) << bad;
  }
}

}  // namespace
}  // namespace service_test
