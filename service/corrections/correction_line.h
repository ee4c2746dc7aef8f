// How a chat line meets a correction: the same line typed with another first letter's case, other
// end punctuation or other white space around it is the same line, and its answer keeps what the
// person typed around the words.
#pragma once

#include <string>
#include <string_view>

namespace service::corrections {

// What two lines that are the same line have in common: `utf8_line` without the white space
// around it, the Spanish opening marks (¿ ¡) before it, the end punctuation after it
// (. ! ? … ‽ and the like, also ¿ ¡ and the full-width ones, in any number) and with its first
// letter in lower case.
std::string MatchKey(std::string_view utf8_line);

// The answer to `utf8_line` by `translation`: the line's white space around it, and the line's
// own end punctuation when `translation` ends without any.
std::string ShapeAnswer(std::string_view utf8_line, std::string_view translation);

}  // namespace service::corrections
