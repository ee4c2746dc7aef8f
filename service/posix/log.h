// One line at a time to standard error, whole even when threads log at once.
#pragma once

#include <chrono>
#include <string>

namespace service {

void LogLine(const std::string& line);

// "1500 ms", as log lines give a bound.
inline std::string DurationText(std::chrono::milliseconds duration) {
  return std::to_string(duration.count()) + " ms";
}

}  // namespace service
