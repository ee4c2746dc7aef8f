// One owner per child process.
#pragma once

#include "unique_fd.h"

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace service {

// How long a child may take to leave after its input closes, and after SIGTERM.
inline constexpr std::chrono::milliseconds kExitGrace{500};
inline constexpr std::chrono::milliseconds kTerminateGrace{500};

class ChildProcess {
 public:
  // Starts argv[0] (looked up in PATH) with the given descriptors as its standard input,
  // output and error; no other descriptor of ours reaches it, and it starts with default
  // signal handling. `input`, when given, is the write end feeding its standard input: the
  // owner closes it first when stopping. Throws std::system_error when it cannot start.
  static ChildProcess Spawn(const std::vector<std::string>& argv, int stdin_fd, int stdout_fd,
                            int stderr_fd, UniqueFd input = UniqueFd());

  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Stop(): the child never outlives its owner and is always reaped.
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  int input() const { return input_.get(); }

  // Closes the input, waits up to kExitGrace, sends SIGTERM and waits up to kTerminateGrace,
  // then SIGKILL and reaps. Returns the wait status, or -1 when there was no child.
  int Stop();
  // SIGKILL at once and reap: for a child that is known to be broken.
  void Kill();
  // Waits until the child has exited, at most until the deadline; true when it has.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
  UniqueFd input_;
};

}  // namespace service
