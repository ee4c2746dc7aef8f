// What a chat line keeps as typed, how markers carry it through a plain-text engine, and how
// the stream format carries it through Apertium.
#include "service/text/protected_spans.h"
#include "pieces_support.h"
#include "service/engine/apertium/stream_format.h"
#include "service/text/span_markers.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace service {
namespace {

using pieces::A;
using pieces::K;
using pieces::T;

TEST(ProtectSpans, CutsChatLinesIntoTextAndKeptPieces) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Piece> expected;
  };
  static const Case kCases[] = {
      {"tag", "meet at ten, ok? #party", {T("meet at ten, ok? "), K("#party")}},
      {"link with query and fragment",
       "check http://example.com/a?b=c&d=e#top it is great",
       {T("check "), K("http://example.com/a?b=c&d=e#top"), T(" it is great")}},
      {"sentence punctuation after links",
       "see (http://x.com/a_(b)) or http://y.org/x. Ok? www.z.org, ftp://f.org/x; go",
       {T("see ("), K("http://x.com/a_(b)"), T(") or "), K("http://y.org/x"), T(". Ok? "),
        K("www.z.org, ftp://f.org/x"), T("; go")}},
      {"windows paths",
       "put C:\\Users\\bob\\a.txt in \\\\server\\share\\b.doc now",
       {T("put "), K("C:\\Users\\bob\\a.txt"), T(" in "), K("\\\\server\\share\\b.doc"),
        T(" now")}},
      {"posix paths, with what lies between two of them",
       "open /home/bob/notes.txt, ~/x/y or ./a/b",
       {T("open "), K("/home/bob/notes.txt, ~/x/y"), T(" or "), K("./a/b")}},
      {"code", "run `make test` before", {T("run "), K("`make test`"), T(" before")}},
      {"GNU quotes are text, code beside them is not",
       "`socket' para un mensaje `broadcast', `it's` y `a'b`",
       {T("`socket' para un mensaje `broadcast', "), K("`it's`"), T(" y "), K("`a'b`")}},
      {"addressee, address, mention",
       "bob: mail anna.b@example.co.uk or @carlos_2!",
       {A("bob: "), T("mail "), K("anna.b@example.co.uk"), T(" or "), K("@carlos_2!")}},
      {"addressee run together with blanks or a kept span: kept for sure",
       " bob: hi, ann: @carl :)",
       {K(" bob: "), T("hi, ann: "), K("@carl :)")}},
      {"addressee then a kept span", "ann: @carl hi", {K("ann: @carl"), T(" hi")}},
      {"latin names",
       "#a\xC3\xB1oNuevo con @Jos\xC3\xA9",
       {K("#a\xC3\xB1oNuevo"), T(" con "), K("@Jos\xC3\xA9")}},
      {"emoticons",
       "I love you <3 ok :) so :-( xD ^_^ -_- o_O </3 :'( :P bye",
       {T("I love you "), K("<3"), T(" ok "), K(":)"), T(" so "),
        K(":-( xD ^_^ -_- o_O </3 :'( :P"), T(" bye")}},
      {"emoji with skin tone, joiners, flags, keycap, U+FE0F",
       "hi \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD and "
       "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"
       "\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8 1\xEF\xB8\x8F\xE2\x83\xA3 x\xC2\xA9\xEF\xB8\x8F",
       {T("hi "), K("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"), T(" and "),
        K("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"
          "\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8 1\xEF\xB8\x8F\xE2\x83\xA3"),
        T(" x"), K("\xC2\xA9\xEF\xB8\x8F")}},
      {"near misses",
       "and/or a:b at 3:30 C: http:/ no:) x #1 # C# foo@bar /xtrn hi bob: `x",
       {T("and/or a:b at 3:30 C: http:/ no:) x #1 # C# foo@bar /xtrn hi bob: `x")}},
      {"placeholders, and what lies between two of them",
       "Hi {{user.name}}, {0} sent {name} %s and %1$s, %(count)d of %(name)s at %-5.2f%%",
       {T("Hi "), K("{{user.name}}, {0}"), T(" sent "), K("{name} %s"), T(" and "),
        K("%1$s, %(count)d"), T(" of "), K("%(name)s"), T(" at "), K("%-5.2f%%")}},
      {"percent and braces that are text",
       "100% sure, 50%, 10%off, 5%s, a { and } b, {} x, { y }, {{ }}, {a b}",
       {T("100% sure, 50%, 10%off, 5%s, a { and } b, {} x, { y }, {{ }}, {a b}")}},
      {"the text after an emoji, glued or spaced, is still text",
       "ok\xF0\x9F\x91\x8Dthen a \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD b "
       "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 c "
       "\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8 d \xE2\x9D\xA4\xEF\xB8\x8F e",
       {T("ok"), K("\xF0\x9F\x91\x8D"), T("then a "), K("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"),
        T(" b "), K("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"),
        T(" c "), K("\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8"), T(" d "), K("\xE2\x9D\xA4\xEF\xB8\x8F"),
        T(" e")}},
      {"white space at both ends", "  hello world \n", {K("  "), T("hello world"), K(" \n")}},
      {"one kept piece", " :) #a ", {K(" :) #a ")}},
      {"no text", "", {}},
      {"invalid UTF-8", "a\xFF\xC3 :)\xF0\x9F", {T("a\xFF\xC3 :)\xF0\x9F")}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ProtectSpans(c.text), c.expected);
  }
}

TEST(TranslateKnownAddressees, TranslatesLabelsWithTheirSentenceAndKeepsNames) {
  auto is_word = [](const std::string& word) {
    return word == "Nota" || word == "ERROR" || word == "anne" ||
           word ==
               "se\xC3\xB1"
               "al";
  };
  const std::pair<const char*, std::vector<Piece>> kCases[] = {
      {"Nota: ma\xC3\xB1"
       "ana no hay clase",
       {T("Nota: ma\xC3\xB1"
          "ana no hay clase")}},
      {"ERROR: tipo de paquete", {T("ERROR: tipo de paquete")}},
      {"se\xC3\xB1"
       "al: x",
       {T("se\xC3\xB1"
          "al: x")}},
      {"bob: are you there?", {A("bob: "), T("are you there?")}},
      {"anne-marie: hi", {A("anne-marie: "), T("hi")}},
      {"ERROR2: hi", {A("ERROR2: "), T("hi")}},
      {"Nota: @ann", {K("Nota: @ann")}},
      {" Nota: hi", {K(" Nota: "), T("hi")}},
  };
  for (const auto& [line, expected] : kCases) {
    EXPECT_EQ(TranslateKnownAddressees(ProtectSpans(line), is_word), expected) << line;
  }
}

TEST(LowerCaseAfterAddressee, UndoesTheCapitalOnlyWhereTheLineHadNone) {
  const char* const kCases[][3] = {
      {"bob: tipo", "bob: Type", "bob: type"},
      {"bob: \xC3\xA9tat", "bob: \xC3\x89tat", "bob: \xC3\xA9tat"},
      {"bob: Tipo", "bob: Type", "bob: Type"},
      {"hi bob: tipo", "Hola bob: Type", "Hola bob: Type"},
  };
  for (const auto& [line, translation, expected] : kCases) {
    EXPECT_EQ(LowerCaseAfterAddressee(ProtectSpans(line), translation), expected) << line;
  }
}

// An engine that knows a few answers and records what it was asked.
struct Engine {
  std::map<std::string, std::string> answers;
  std::vector<std::string> asked;
  std::optional<std::string> operator()(std::string_view text) {
    asked.emplace_back(text);
    auto found = answers.find(asked.back());
    if (found == answers.end()) return std::nullopt;
    return found->second;
  }
};

TEST(TranslateAroundSpans, SendsOneRequestOrPieceByPieceWhereMarkersGetLost) {
  struct Case {
    const char* name;
    const char* marked;  // the engine's answer to "{1}see {2} and {3} now"
    std::vector<std::string> asked;
  };
  static const Case kCases[] = {
      {"kept", "{1}mira {2} y {3} ahora", {"{1}see {2} and {3} now"}},
      {"dropped", "{1}mira y {3} ahora", {"{1}see {2} and {3} now", "see", "and", "now"}},
      {"doubled", "{1}mira {2} {2} y {3}", {"{1}see {2} and {3} now", "see", "and", "now"}},
      {"reordered", "{1}mira {3} y {2}", {"{1}see {2} and {3} now", "see", "and", "now"}},
      {"spaced", "{1}mira { 2 } y {3}", {"{1}see {2} and {3} now", "see", "and", "now"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Engine engine{
        {{"{1}see {2} and {3} now", c.marked}, {"see", "mira "}, {"and", " y"}, {"now", "ahora"}},
        {}};
    auto text = TranslateAroundSpans(ProtectSpans(" bob: see http://x.org and @ann now\n"),
                                     std::ref(engine));
    EXPECT_EQ(text, " bob: mira http://x.org y @ann ahora\n");
    EXPECT_EQ(engine.asked, c.asked);
  }
}

TEST(TranslateAroundSpans, FailsWithTheEngineAndAsksNothingWithoutWords) {
  Engine engine;
  EXPECT_EQ(TranslateAroundSpans(ProtectSpans("see http://x.org"), std::ref(engine)), std::nullopt);
  EXPECT_EQ(TranslateAroundSpans(ProtectSpans(" :) #a "), std::ref(engine)), " :) #a ");
  // A marker in a text piece would pass for one of ours: straight to one piece at a time.
  // ProtectSpans keeps "{2}" as a placeholder, so only pieces cut elsewhere can hold one.
  EXPECT_EQ(TranslateAroundSpans(ProtectSpans("{2} @a"), std::ref(engine)), "{2} @a");
  EXPECT_EQ(TranslateAroundSpans({T("x{2}"), K(" @a")}, std::ref(engine)), std::nullopt);
  EXPECT_EQ(engine.asked, (std::vector<std::string>{"see {1}", "x{2}"}));
}

TEST(StreamFormat, KeptPiecesTravelAsSuperblanksAndComeBackWithTheTypedEnds) {
  struct Case {
    const char* name;
    std::string text;
    std::string stream;      // Deformat(ProtectSpans(text))
    std::string translated;  // what Apertium might answer
    std::optional<std::string> expected;
  };
  static const Case kCases[] = {
      {"space added in front", " I love you <3\n", "I love you [\\<3].[]", " Te quieres [\\<3].[]",
       " Te quieres <3\n"},
      {"specials escaped in the block, blanks in text as before", "go  to `a[1] ^b$` now",
       "go[  ]to [`a\\[1\\] \\^b\\$`] now.[]", "Ve[  ]a [`a\\[1\\] \\^b\\$`]  ahora.[]",
       "Ve  a `a[1] ^b$`  ahora"},
      {"words dropped after a kept piece that ends in a blank", "bob: hi", "[bob: ]hi.[]",
       "[bob: ].[]", "bob: "},
      {"block lost", "I love you <3", "I love you [\\<3].[]", "Te quieres.[]", std::nullopt},
      {"block changed", "see /a/b", "see [\\/a\\/b].[]", "ve [\\/a\\/c].[]", std::nullopt},
      {"blocks swapped", "@a and @b", "[\\@a] and [\\@b].[]", "[\\@b] y [\\@a].[]", std::nullopt},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<Piece> pieces = ProtectSpans(c.text);
    EXPECT_EQ(Deformat(pieces), c.stream);
    EXPECT_EQ(Reformat(c.translated, pieces), c.expected);
  }
}

}  // namespace
}  // namespace service
