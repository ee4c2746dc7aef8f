// Chat lines and HTML through the real Apertium pipelines: what must come back as typed does, in
// place.
#include "service_test_support.h"

#include "service/text/markup_pieces.h"
#include "service/text/protected_spans.h"

#include <string>

namespace service_test {
namespace {

using ProtectedSpansApertiumTest = ServiceTest;

TEST_F(ProtectedSpansApertiumTest, KeptSpansComeBackInPlace) {
  struct Case {
    const char* code;
    const char* text;
    const char* expected;
  };
  static const Case kCases[] = {
      {"en_es", "meet at the station at ten, ok? #party",
       "Cumple en la canal en diez, vale? #party"},
      {"en_es", "check this out http://example.com/a?b=c&d=e#top it is great",
       "Control esto fuera http://example.com/a?b=c&d=e#top  es sumo"},
      {"en_es", "the file is in C:\\Users\\bob\\notes.txt now",
       "La lima es en C:\\Users\\bob\\notes.txt ahora"},
      {"en_es", "open /home/bob/house/notes.txt and read the letter",
       "Abierto /home/bob/house/notes.txt y leer la letra"},
      {"en_es", "run `make test` before you leave the house",
       "Corrido `make test` antes de que  dejas la casa"},
      {"en_es", "I love you <3", "Te quieres <3"},
      {"en_es", "bob: write to anna@example.com and @carlos today",
       "bob: escribe a anna@example.com y @carlos hoy"},
      {"en_es",
       "my family \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 is "
       "at home \xF0\x9F\x87\xAA\xF0\x9F\x87\xB8 and I love it \xE2\x9D\xA4\xEF\xB8\x8F very much",
       "Mi familia \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 es en "
       "la casa "
       "\xF0\x9F\x87\xAA\xF0\x9F\x87\xB8 y yo lo quieren \xE2\x9D\xA4\xEF\xB8\x8F mucho"},
      {"en_es", "send %s to {name} in {{city}} at %(time)s",
       "Env\xC3\xAD"
       "a %s a {name} en {{city}} en %(time)s"},
      {"en_es", "the cat is sleeping \xF0\x9F\x98\xB4\xF0\x9F\x90\x88 on my bed :)",
       "El gato est\xC3\xA1 durmiendo \xF0\x9F\x98\xB4\xF0\x9F\x90\x88 en mi cama :)"},
      {"en_es", "  see www.example.org/news, the house is red!  ",
       "  Ve www.example.org/news, la casa es roja!  "},
      {"en_es", "copy \\\\server\\share\\house.doc to ~/docs/house.doc",
       "Copia \\\\server\\share\\house.doc a ~/docs/house.doc"},
      {"es_en", "ana: mira http://ejemplo.es/casa y dime qu\xC3\xA9 piensas :D #fiesta",
       "ana: it looks http://ejemplo.es/casa and say me what think :D #fiesta"},
      {"es_en", "el archivo est\xC3\xA1 en /home/ana/casa.txt \xF0\x9F\x98\x80",
       "The archive is in /home/ana/casa.txt \xF0\x9F\x98\x80"},
      {"fr_en", "regarde https://exemple.fr/maison?x=1, la maison est belle <3 @marie",
       "It looks https://exemple.fr/maison?x=1, the house is good-looking <3 @marie"},
      {"fr_en", "le chat dort sur `le lit` ;)", "The cat sleeps on `le lit` ;)"},
  };
  service::ApertiumEngine& engine = apertium();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    service::Translation translation = engine.Translate(c.code, service::ProtectSpans(c.text));
    ASSERT_TRUE(translation.ok) << translation.problem;
    EXPECT_EQ(translation.text, c.expected);
  }
}

// Lines of the message catalogs the service once translated worse than bare `apertium -u`.
class CatalogLinesTest : public ServiceTest {
 protected:
  service::ApertiumOptions Options() const override {
    service::ApertiumOptions options;
    options.codes = {"es_fr", "es_pt"};
    return options;
  }
};

TEST_F(CatalogLinesTest, TranslateAsBareApertiumDoes) {
  struct Case {
    const char* code;
    const char* text;
    const char* expected;
  };
  static const Case kCases[] = {
      // A word of two translations ("recopilar") comes back inflected, not as its lemma.
      {"es_pt",
       "La librer\xC3\xAD"
       "a PCRE est\xC3\xA1 recopilada sin apoyo UTF-8",
       "A livraria PCRE est\xC3\xA1 recopilada sem apoio UTF-8"},
      // A label is translated with its sentence; a name stays, and what follows it is no new
      // sentence.
      {"es_fr", "ERROR: tipo de paquete inesperado.", "Erreur: type de paquet inattendu."},
      {"es_fr", "bob: tipo de paquete inesperado.", "bob: type de paquet inattendu."},
      {"es_fr", "Ana: tipo de paquete inesperado.", "Ana: type de paquet inattendu."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    service::Translation translation = apertium().Translate(c.code, service::ProtectSpans(c.text));
    ASSERT_TRUE(translation.ok) << translation.problem;
    EXPECT_EQ(translation.text, c.expected);
  }
}

// A sentence runs across inline tags as one; paragraphs stay sentences apart ("El" begins the
// second, where one merged sentence would say "el").
TEST_F(ProtectedSpansApertiumTest, MarkupComesBackInPlace) {
  struct Case {
    const char* code;
    const char* html;
    const char* expected;
  };
  static const Case kCases[] = {
      {"en_es", "I love <b>my</b> friend", "Quiero <b>mi</b> amigo"},
      {"en_es", "<p>Hello my friend</p><p>the red car is here</p>",
       "<p>Hola Mi amigo</p><p>El coche rojo es aqu\xC3\xAD</p>"},
      {"en_es", "<ul>\n  <li>the <i>red</i> car</li>\n  <li>the house &amp; the dog</li>\n</ul>",
       "<ul>\n  <li>El <i>coche</i> rojo</li>\n  <li>La casa &amp; el perro</li>\n</ul>"},
      {"en_es",
       "<p><span class=\"h-card\" translate=\"no\"><a href=\"https://example.social/@alice\" "
       "class=\"u-url mention\">@<span>alice</span></a></span> I love my cat <a "
       "href=\"https://example.social/tags/cats\" class=\"mention hashtag\" "
       "rel=\"tag\">#<span>cats</span></a></p>",
       "<p><span class=\"h-card\" translate=\"no\"><a href=\"https://example.social/@alice\" "
       "class=\"u-url mention\">@<span>alice</span></a></span> Quiero mi gato <a "
       "href=\"https://example.social/tags/cats\" class=\"mention hashtag\" "
       "rel=\"tag\">#<span>cats</span></a></p>"},
      {"en_es", "the cat<br>the dog \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9 is here",
       "El gato<br>El perro \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9 es aqu\xC3\xAD"},
  };
  service::ApertiumEngine& engine = apertium();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.html);
    service::Translation translation = engine.Translate(c.code, service::ProtectMarkup(c.html));
    ASSERT_TRUE(translation.ok) << translation.problem;
    EXPECT_EQ(translation.text, c.expected);
  }
}

TEST_F(ProtectedSpansApertiumTest, ThePluginsWindows1252LinesAreProtectedToo) {
  auto translation =
      Translate(PercentEncode("bob: the caf\xE9 is at www.cafe.fr ;) #paris <3 "), "en_es");
  ASSERT_TRUE(translation.has_value());
  EXPECT_EQ(*translation,
            "bob: la cafeter\xED"
            "a es en www.cafe.fr ;) #paris <3 ");
}

}  // namespace
}  // namespace service_test
