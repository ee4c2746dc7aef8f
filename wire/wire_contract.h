// What the plug-in and the translation service agree on, in one place: the request the plug-in
// sends, the markers it cuts the page's translation out by, and the language codes its help box
// offers. Both sides include this header; the Python suites read it (tools/wire_contract.py).
// plugin-host keeps its own copies on purpose: it stands for a host program we do not write.
#pragma once

// GET TRANSLATION_PATH_PREFIX + text + LANGUAGE_PAIR_KEY + code
#define WIRE_TRANSLATION_PATH "/tr"
#define WIRE_TEXT_FIELD "trtext"
#define WIRE_PAIR_FIELD "lp"

inline constexpr const char* TRANSLATION_PATH_PREFIX =
    WIRE_TRANSLATION_PATH "?" WIRE_TEXT_FIELD "=";
inline constexpr const char* LANGUAGE_PAIR_KEY = "&" WIRE_PAIR_FIELD "=";

// The translation stands between these two, byte for byte.
#define WIRE_START_MARKER "<td bgcolor=white class=s><div style=padding:10px;>"
#define WIRE_END_MARKER "</div></td>"
inline constexpr const char* TRANSLATION_START_MARKER = WIRE_START_MARKER;
inline constexpr const char* TRANSLATION_END_MARKER = WIRE_END_MARKER;

// The 36 codes of the help box, in its order: X(code, as the help box words it, as the service
// words it). The help box's wording, slips included, is the plug-in's own text.
#define WIRE_HELP_CODES(X)                                                       \
  X("zh_en", "Simple chinese to english", "Simplified Chinese to English")       \
  X("zt_en", "Traditional chinese to english", "Traditional Chinese to English") \
  X("en_zh", "English to simple chinese", "English to Simplified Chinese")       \
  X("en_zt", "English to traditional chinese", "English to Traditional Chinese") \
  X("en_nl", "English to dutch", "English to Dutch")                             \
  X("en_fr", "English to french", "English to French")                           \
  X("en_de", "English to german", "English to German")                           \
  X("en_el", "English to greek", "English to Greek")                             \
  X("en_it", "English to italian", "English to Italian")                         \
  X("en_ja", "English to japanese", "English to Japanese")                       \
  X("en_ko", "English to corean", "English to Korean")                           \
  X("en_pt", "English to portuguese", "English to Portuguese")                   \
  X("en_ru", "English to russian", "English to Russian")                         \
  X("en_es", "English to spanish", "English to Spanish")                         \
  X("nl_en", "Dutch to english", "Dutch to English")                             \
  X("nl_fr", "Dutch to french", "Dutch to French")                               \
  X("fr_nl", "French to dutch", "French to Dutch")                               \
  X("fr_en", "French to english", "French to English")                           \
  X("fr_de", "French to german", "French to German")                             \
  X("fr_el", "French to greek", "French to Greek")                               \
  X("fr_it", "French to italian", "French to Italian")                           \
  X("fr_pt", "French to portuguese", "French to Portuguese")                     \
  X("fr_es", "French to spanish", "French to Spanish")                           \
  X("de_en", "German to english", "German to English")                           \
  X("de_fr", "German to french", "German to French")                             \
  X("el_en", "Greek to english", "Greek to English")                             \
  X("el_fr", "Greek to french", "Greek to French")                               \
  X("it_en", "Italian to english", "Italian to English")                         \
  X("it_fr", "Italian to french", "Italian to French")                           \
  X("ja_en", "Japanese to english", "Japanese to English")                       \
  X("ko_en", "Correan to english", "Korean to English")                          \
  X("pt_en", "Portuguese to english", "Portuguese to English")                   \
  X("pt_fr", "Portuguese to french", "Portuguese to French")                     \
  X("ru_en", "Russian to english", "Russian to English")                         \
  X("es_en", "Spanish to english", "Spanish to English")                         \
  X("es_fr", "Spanish to french", "Spanish to French")
