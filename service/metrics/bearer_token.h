// The token an operator may require for /metrics: read once from a file, compared in constant
// time, never written anywhere.
#pragma once

#include <string>
#include <string_view>

namespace service::metrics {

// The file's first line without its line end and surrounding white space. Throws
// std::runtime_error when it cannot be read or holds no token.
std::string ReadTokenFile(const std::string& path);

// Whether an Authorization header's value is "Bearer TOKEN" with this token. The time taken
// depends on the lengths only, not on where the two differ.
bool BearerMatches(std::string_view authorization, std::string_view token);

}  // namespace service::metrics
