// Query strings read as a browser's form submission is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace service {

// '+' is a space and %XX the byte XX. A '%' not followed by two hex digits stays as it is,
// as browsers keep it: "100% sure" arrives whole.
std::string FormDecode(std::string_view encoded);

// The decoded value of the first field named `name` ("name=value" between '&'s); a field
// without '=' has an empty value. Nothing when no field has that name.
std::optional<std::string> FormField(std::string_view query, std::string_view name);

// The query of a request target: everything after the first '?'.
std::string_view TargetQuery(std::string_view target);

// The path of a request target, before any '?'; an absolute-form target ("http://host/tr?...")
// has its scheme and authority taken off, so it routes as its path does.
std::string_view TargetPath(std::string_view target);

}  // namespace service
