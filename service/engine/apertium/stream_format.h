// Plain text to Apertium's stream format and back, as apertium-destxt and apertium-retxt do,
// but in-process: those two programs have no null-flush mode, so they cannot stay warm.
#pragma once

#include <string>
#include <string_view>

namespace service {

// Escapes the stream's special characters, puts every run of blanks other than one space
// (and every "~", which would trigger post-generation) into a superblank, and marks
// paragraph ends and the end of the text with ".[]" so sentences end there. NUL bytes are
// left out: they delimit requests on the pipeline.
std::string Deformat(std::string_view text);

// The inverse: unescapes, unwraps superblanks, and drops each ".[]" mark with the period
// that Deformat put in front of it.
std::string Reformat(std::string_view stream);

}  // namespace service
