// The two encodings the service answers in: UTF-8, and Windows-1252 for text that is not
// valid UTF-8 (the plug-in's host sends its ANSI code page).
#pragma once

#include <string>
#include <string_view>

namespace service {

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Every byte maps; the five bytes Windows-1252 leaves undefined become U+0081, U+008D, ...
// as Windows converts them, so they come back unchanged.
std::string Windows1252ToUtf8(std::string_view bytes);

// Characters that Windows-1252 cannot hold become '?'. Expects valid UTF-8.
std::string Utf8ToWindows1252(std::string_view text);

}  // namespace service
