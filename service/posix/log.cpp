#include "log.h"

#include <cstdio>
#include <mutex>

namespace service {

void LogLine(const std::string& line) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::fprintf(stderr, "translation-service: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace service
