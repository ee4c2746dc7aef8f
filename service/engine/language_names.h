// The languages engines describe their codes with, so every engine words them alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace service {

// English name of a two-letter code ("zt" is "Chinese (traditional)"), or nothing.
std::optional<std::string> LanguageName(std::string_view code);

// Whether the plug-in's help box offers a code with this language on either side.
bool IsPluginLanguage(std::string_view code);

}  // namespace service
