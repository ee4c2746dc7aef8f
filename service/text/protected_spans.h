// What in a chat line must come back exactly as typed: links, addresses, names, tags,
// emoticons, code and paths pass every engine untouched, and so does the white space around
// the line.
#pragma once

#include "service/engine/engine.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace service {

// Cuts UTF-8 text (the plug-in's Windows-1252 is converted before) into pieces to translate
// and pieces to keep. Kept: URLs with a scheme or starting "www." (less the punctuation that
// ends the sentence), e-mail addresses, @mentions, #tags with a letter in them (so "#1" is
// text), whole-token ASCII emoticons, emoji with their modifiers and joiners, `code`, Windows
// and POSIX paths, templates' placeholders ("{{name}}", "{0}", "%s", "%(count)d"), a leading
// "name: ", the white space at both ends, and whatever between those holds no letter or digit.
// Pieces alternate and are never empty; joined they are the text, whatever its bytes.
// The addressee marked keep_if_unknown, too (see Piece).
std::vector<Piece> ProtectSpans(std::string_view utf8_text);

// The pieces with a leading addressee whose every word `is_word` knows joined to the text
// after it, to be translated with it: "Nota: " is a label, "bob: " a name.
std::vector<Piece> TranslateKnownAddressees(std::vector<Piece> pieces,
                                            const std::function<bool(const std::string&)>& is_word);

// A translation of `pieces` with the first letter after a kept addressee in lower case where
// the line had it so: an engine that capitalises the first word it is given takes it for a
// sentence's start, which the name is ("bob: tipo" to "bob: type", not "bob: Type").
std::string LowerCaseAfterAddressee(const std::vector<Piece>& pieces, std::string translation);

}  // namespace service
