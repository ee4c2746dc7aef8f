// Plain text to Apertium's stream format and back, as apertium-destxt and apertium-retxt do,
// but in-process: those two programs have no null-flush mode, so they cannot stay warm.
#pragma once

#include "service/engine/engine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service {

// Escapes the stream's special characters, puts every run of blanks other than one space
// (and every "~", which would trigger post-generation) into a superblank, and marks
// paragraph ends and the end of the text with ".[]" so sentences end there. NUL bytes are
// left out: they delimit requests on the pipeline.
std::string Deformat(std::string_view text);

// The inverse: unescapes, unwraps superblanks, and drops each ".[]" mark with the period
// that Deformat put in front of it.
std::string Reformat(std::string_view stream);

// The same for a text cut into pieces: each kept piece becomes a superblank, which Apertium
// carries through untouched and in its place, as it does the blanks between words; one that
// ends a sentence has a ".[]" mark before it. The white space at both ends stays out: Apertium
// adds a space in front of some sentences.
std::string Deformat(const std::vector<Piece>& pieces);

// The inverse for the stream that Deformat(pieces) made, once translated: the white space at
// both ends as typed, whatever Apertium put there. Nothing when a kept piece did not come back
// whole and in order (less its NUL bytes, as with text).
std::optional<std::string> Reformat(std::string_view stream, const std::vector<Piece>& pieces);

}  // namespace service
