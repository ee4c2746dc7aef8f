// The HTML the service answers with: for the plug-in, the translation between two markers; for a
// person in a browser, the form around it.
#pragma once

#include "service/engine/router.h"
#include "wire/wire_contract.h"

#include <string>
#include <string_view>
#include <vector>

namespace service {

// Where the plug-in cuts the translation out of the page, byte for byte.
inline constexpr std::string_view kTranslationStartMarker = WIRE_START_MARKER;
inline constexpr std::string_view kTranslationEndMarker = WIRE_END_MARKER;

// The plug-in shows the page's bytes as they stand, so text is written as typed except where a
// browser would read it as markup: '<' before a letter, '/', '!' or '?' (a tag, the end marker,
// a comment), and '&' before a letter or '#' (a character reference). "<3" and "a < b" stay.
std::string EscapeTranslation(std::string_view text);

// For the plug-in, which cuts at the first end marker: the text as it stands, but for the '<' of
// an end marker inside it.
std::string GuardEndMarker(std::string_view text);

// Escapes & < > " for text in ordinary markup.
std::string EscapeHtml(std::string_view text);

// What the form shows again: the text as sent and the pair chosen.
struct FormState {
  const std::vector<Route>* routes = nullptr;
  std::string_view text;
  std::string_view code;
  std::string_view detected;  // the language found for a code that names only the target
  // When not empty, the page offers to suggest a better translation than this one (UTF-8) of
  // the text, from and to these languages as LibreTranslate's POST /suggest names them.
  std::string_view translation;
  std::string_view source;
  std::string_view target;
};

// A page with the (escaped) translation between the markers, then the form again; a blank text
// gets a note. Its own markup is ASCII, so the text may be in any ASCII-compatible encoding.
std::string ResultPage(std::string_view escaped_translation, const FormState& form);

// A page that explains a problem, in UTF-8, without the start marker, with a way back to the
// form.
std::string MessagePage(std::string_view title, std::string_view message,
                        const std::vector<Route>& routes);

// The form that submits to /tr, and which engine serves each of the plug-in's language codes
// and each other code offered; `more` (HTML) goes after the pairs.
std::string IndexPage(const std::vector<Route>& routes, std::string_view more = {});

// Whether a text holds nothing to translate.
bool IsBlank(std::string_view text);

}  // namespace service
