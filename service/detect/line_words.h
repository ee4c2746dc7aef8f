// The words of a chat line that speak for its language: what the chat-safe spans leave, cut at
// everything that is not a letter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace service::detect {

// The runs of letters (with their combining marks, and an apostrophe between two letters, as
// in "l'homme") of valid UTF-8 text, outside the spans ProtectSpans keeps: a link, an @name or
// an emoticon is no evidence of a language. Digits and punctuation separate words.
std::vector<std::string> LineWords(std::string_view utf8_text);

}  // namespace service::detect
