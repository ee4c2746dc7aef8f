// The pages as a person in a browser meets them, around the markers the plug-in reads.
#include "service_test_support.h"

#include "service/http/pages.h"

#include <string>

namespace service_test {
namespace {

using PagesTest = MemoryEngineTest;

bool Holds(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}

TEST_F(PagesTest, ResultShowsTheFormAgainWithTheTextAndThePair) {
  auto result = Get("/tr?trtext=I%20%3C3%20%22cats%22&lp=en_fr");
  ASSERT_TRUE(result);
  EXPECT_EQ(CutTranslation(result->body), "I <3 \"cats\"");
  EXPECT_TRUE(Holds(result->body, ">I &lt;3 &quot;cats&quot;</textarea>")) << result->body;
  EXPECT_TRUE(Holds(result->body, "<option value=\"en_fr\" selected>")) << result->body;
  EXPECT_FALSE(Holds(result->body, "<option value=\"en_es\" selected>")) << result->body;
  EXPECT_FALSE(Holds(result->body, "nothing to translate"));
}

TEST_F(PagesTest, BlankTextGetsANoteAndAnEmptyTranslation) {
  for (const char* blank : {"", "%20%20", "%0A"}) {
    SCOPED_TRACE(blank);
    auto result = Get(std::string("/tr?trtext=") + blank + "&lp=en_es");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    auto translation = CutTranslation(result->body);
    ASSERT_TRUE(translation);
    EXPECT_TRUE(service::IsBlank(*translation)) << *translation;
    EXPECT_TRUE(Holds(result->body, "nothing to translate")) << result->body;
  }
}

TEST_F(PagesTest, ErrorPagesLeadBackToTheForm) {
  for (const char* target : {"/tr?trtext=x&lp=xx_yy", "/tr?lp=en_es", "/elsewhere"}) {
    SCOPED_TRACE(target);
    auto result = Get(target);
    ASSERT_TRUE(result);
    EXPECT_GE(result->status, 400);
    EXPECT_TRUE(Holds(result->body, "<a href=\"/\">")) << result->body;
  }
}

TEST_F(PagesTest, HomeSaysWhichEngineServesEachCode) {
  auto result = Get("/");
  ASSERT_TRUE(result);
  // en_es, en_fr and es_fr from the first engine, de_en from the second; eo_en is not listed.
  EXPECT_TRUE(Holds(result->body, "serves 4 of the 36 codes")) << result->body;
  static const char* const kRows[] = {
      "<code>en_fr</code></td><td>English to French</td><td>served by memory, backup</td>",
      "<code>de_en</code></td><td>German to English</td><td>served by backup</td>",
      "<tr class=no><td><code>ja_en</code></td><td>Japanese to English</td><td>not served here",
      "not in the help:</p>\n<table class=codes>\n<tr><td><code>eo_en</code></td>"
      "<td>Esperanto to English</td><td>served by backup</td></tr>\n</table>",
  };
  for (const char* row : kRows) EXPECT_TRUE(Holds(result->body, row)) << row;
  EXPECT_FALSE(Holds(result->body, "again")) << "en_fr described by the engine that lost it";
  EXPECT_FALSE(Holds(result->body, "http")) << "the page fetches nothing from elsewhere";
}

}  // namespace
}  // namespace service_test
