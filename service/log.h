// One line at a time to standard error, whole even when threads log at once.
#pragma once

#include <string>
#include <string_view>

namespace service {

void LogLine(const std::string& line);

// The log line of one answered request: its route, the target's length and a pair code that
// looks like one, but never the text.
std::string RequestSummary(std::string_view method, std::string_view target, int status,
                           double milliseconds);

}  // namespace service
