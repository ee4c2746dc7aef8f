// What an HTML text keeps as sent, and how its sentence ends reach the engines.
#include "service/text/markup_pieces.h"
#include "pieces_support.h"
#include "service/engine/apertium/stream_format.h"
#include "service/text/span_markers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace service {
namespace {

using pieces::E;
using pieces::K;
using pieces::T;

TEST(ProtectMarkup, KeepsMarkupAndTranslatesOnlyText) {
  struct Case {
    const char* name;
    std::string html;
    std::vector<Piece> expected;
  };
  static const Case kCases[] = {
      {"inline tags inside one sentence",
       "I love <b>my</b> friend",
       {T("I love "), K("<b>"), T("my"), K("</b>"), T(" friend")}},
      {"doctype and comment",
       "<!DOCTYPE html><!-- top --><p>Hello world</p>",
       {E("<!DOCTYPE html><!-- top --><p>"), T("Hello world"), E("</p>")}},
      {"href and other attributes",
       "<a href=\"http://example.com/house\" title=\"The house\">the house</a> is red",
       {K("<a href=\"http://example.com/house\" title=\"The house\">"), T("the house"), K("</a>"),
        T(" is red")}},
      {"references, and an & that is none",
       "<p>Tom &amp; Jerry&#39;s &#x263A; caf&eacute; AT&T</p>",
       {E("<p>"), T("Tom "), K("&amp;"), T(" Jerry"), K("&#39;"), T("s "), K("&#x263A;"), T(" caf"),
        K("&eacute;"), T(" AT&T"), E("</p>")}},
      {"translate=\"no\", its descendant, and one that says yes",
       "<p translate=\"no\">Keep <b>this</b> <span translate=\"yes\">but this</span></p>",
       {E("<p translate=\"no\">Keep <b>this</b> <span translate=\"yes\">"), T("but this"),
        E("</span></p>")}},
      {"class notranslate",
       "<span class=\"brand notranslate\">Acme Cloud</span> is great",
       {K("<span class=\"brand notranslate\">Acme Cloud</span>"), T(" is great")}},
      {"style, code, pre, script",
       "<style>p { color: red }</style><p>Run <code>make all</code> now</p><pre>keep  this</pre>"
       "<script>alert(\"hi\")</script>",
       {E("<style>p { color: red }</style><p>"), T("Run "), K("<code>make all</code>"), T(" now"),
        E("</p><pre>keep  this</pre><script>alert(\"hi\")</script>")}},
      {"Mastodon's mention and hashtag",
       "<p><span class=\"h-card\" translate=\"no\"><a href=\"https://example.social/@alice\" "
       "class=\"u-url mention\">@<span>alice</span></a></span> Hello <a "
       "href=\"https://example.social/tags/cats\" class=\"mention hashtag\" "
       "rel=\"tag\">#<span>cats</span></a></p>",
       {E("<p><span class=\"h-card\" translate=\"no\"><a href=\"https://example.social/@alice\" "
          "class=\"u-url mention\">@<span>alice</span></a></span> "),
        T("Hello"),
        E(" <a href=\"https://example.social/tags/cats\" class=\"mention hashtag\" "
          "rel=\"tag\">#<span>cats</span></a></p>")}},
      {"paragraphs end sentences",
       "<p>Hello friend</p>\n<p>the car</p>",
       {E("<p>"), T("Hello friend"), E("</p>\n<p>"), T("the car"), E("</p>")}},
      {"a line break ends one", "one<br>two", {T("one"), E("<br>"), T("two")}},
      {"blanks next to a block's tags are the tags'",
       "<ul><li> One </li><li>Two</li></ul>",
       {E("<ul><li> "), T("One"), E(" </li><li>"), T("Two"), E("</li></ul>")}},
      {"chat spans and placeholders in the text",
       "<p>see http://x.org/?a=1&amp;b=2 and @bob :)</p><p>{{name}} has %d cats</p>",
       {E("<p>"), T("see "), K("http://x.org/?a=1&amp;b=2"), T(" and"),
        E(" @bob :)</p><p>{{name}} "), T("has "), K("%d"), T(" cats"), E("</p>")}},
      {"the title", "<title>The house</title>", {E("<title>"), T("The house"), E("</title>")}},
      {"upper-case tags, implied ends",
       "<TABLE><TR><TD>cell one<TD>cell two</TABLE>",
       {E("<TABLE><TR><TD>"), T("cell one"), E("<TD>"), T("cell two"), E("</TABLE>")}},
      {"unclosed tags",
       "unclosed <b>bold and <i>more",
       {T("unclosed "), K("<b>"), T("bold and "), K("<i>"), T("more")}},
      {"a < alone is text", "a < b and <3", {T("a < b and "), K("<3")}},
      {"unquoted attributes",
       "<p class=big title=x>unquoted</p>",
       {E("<p class=big title=x>"), T("unquoted"), E("</p>")}},
      {"stray end tags inside the text",
       "a</div>b and c</html> after",
       {T("a"), K("</div>"), T("b and c"), E("</html> "), T("after")}},
      {"a second body",
       "<body class=x>a<body>b</body>c",
       {E("<body class=x>"), T("a"), K("<body>"), T("b"), E("</body>"), T("c")}},
      {"a doctype in the text", "x <!DOCTYPE html> y", {T("x "), K("<!DOCTYPE html> "), T("y")}},
      {"a tag cut off", "<a href=\"x>broken", {K("<a href=\"x>broken")}},
      {"a comment cut off", "text <!-- unterminated", {T("text "), K("<!-- unterminated")}},
      {"a lone <", "<", {K("<")}},
      {"nothing", "", {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<Piece> pieces = ProtectMarkup(c.html);
    EXPECT_EQ(pieces, c.expected);
    EXPECT_EQ(JoinPieces(pieces), c.html);
  }
}

TEST(ProtectMarkup, ParagraphsReachBothEnginesAsSentencesApart) {
  const std::vector<Piece> pieces = ProtectMarkup("<p>Hello friend</p><p>the red car</p>");
  // Apertium's blanks next to a paragraph's tags go: the typed ones are in the kept piece.
  EXPECT_EQ(Deformat(pieces),
            "[\\<p\\>]Hello friend.[][\\<\\/p\\>\\<p\\>]the red car.[][\\<\\/p\\>]");
  EXPECT_EQ(
      Reformat("[\\<p\\>]Hola amigo.[][\\<\\/p\\>\\<p\\>] El coche rojo .[][\\<\\/p\\>]", pieces),
      "<p>Hola amigo</p><p>El coche rojo</p>");

  struct Case {
    const char* name;
    const char* answer;  // to "{1}Hello friend\n\n{2}the red car\n\n{3}"
    const char* expected;
  };
  static const Case kCases[] = {
      {"as asked", "{1}Hola amigo\n\n{2}el coche rojo\n\n{3}",
       "<p>Hola amigo</p><p>el coche rojo</p>"},
      {"blanks moved about", " {1} Hola amigo \n{2}  el coche rojo{3} ",
       "<p>Hola amigo</p><p>el coche rojo</p>"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> asked;
    auto engine = [&](std::string_view text) -> std::optional<std::string> {
      asked.emplace_back(text);
      return std::string(c.answer);
    };
    EXPECT_EQ(TranslateAroundSpans(pieces, engine), c.expected);
    EXPECT_EQ(asked, (std::vector<std::string>{"{1}Hello friend\n\n{2}the red car\n\n{3}"}));
  }
}

}  // namespace
}  // namespace service
