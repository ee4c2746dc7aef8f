// What in an HTML text must come back exactly as sent: everything but the words. The answer to
// an HTML request is HTML, so its markup, its references and the parts its author marked as
// not to be translated pass every engine untouched.
#pragma once

#include "service/engine/engine.h"

#include <string_view>
#include <vector>

namespace service {

// Cuts an HTML document or fragment (UTF-8, checked before) into pieces to translate and pieces
// to keep. Kept: every tag with its attributes, comments, the doctype, character references
// ("&amp;" stays escaped), bytes the HTML parser ignores (a stray "</div>"), and whole elements
// that are code, data or marked so: translate="no" (down to a descendant that says "yes"),
// class "notranslate", <script>, <style>, <code>, <pre>, <textarea> and the raw-text elements,
// and Mastodon's mention and hashtag links. Within the text between tags, what ProtectSpans
// keeps is kept too. A sentence runs across inline tags ("I love <b>my</b> friend" is one);
// the kept pieces holding a block's tag or a <br> end the sentence before them
// (Piece::ends_sentence) and take the blanks next to them.
//
// Any bytes get pieces, broken markup too. Pieces alternate and are never empty; every text
// piece holds a letter, a digit or a character beyond ASCII; joined they are the input.
std::vector<Piece> ProtectMarkup(std::string_view html);

}  // namespace service
