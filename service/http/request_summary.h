// What the log keeps of one answered request.
#pragma once

#include <string>
#include <string_view>

namespace service {

// Its route, the target's length, a pair code that looks like one, the status and the time,
// but never the text.
std::string RequestSummary(std::string_view method, std::string_view target, int status,
                           double milliseconds);

}  // namespace service
