// One line at a time to standard error, whole even when threads log at once.
#pragma once

#include <string>

namespace service {

void LogLine(const std::string& line);

}  // namespace service
