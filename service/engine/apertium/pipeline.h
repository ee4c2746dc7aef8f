// A warm chain of Apertium programs in null-flush mode, fed one request at a time.
#pragma once

#include "apertium_mode.h"
#include "service/posix/child_process.h"
#include "service/posix/unique_fd.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace service {

class Pipeline {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Outcome { kDone, kDied, kTimedOut };

  // Starts every stage, each reading the one before; their error output is discarded.
  // Throws std::system_error when a program cannot be started.
  explicit Pipeline(const std::vector<Command>& stages);
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;
  // Closes both ends, then stops the programs in order.
  ~Pipeline();

  // Sends one request's stream and collects the pipeline's output for it. Each request ends
  // with a mark of its own followed by NUL; output that belongs to an earlier request is
  // dropped, so nothing late or partial reaches this one. Not thread-safe: one caller at a
  // time. After kDied or kTimedOut the pipeline is unusable.
  Outcome Exchange(std::string_view stream, std::string& output, Clock::time_point deadline);

  // The programs' process ids, in pipeline order.
  std::vector<pid_t> Pids() const;

  // Kills every program at once.
  void Kill();

 private:
  std::vector<ChildProcess> children_;
  UniqueFd output_;
  std::uint64_t sequence_ = 0;
};

}  // namespace service
