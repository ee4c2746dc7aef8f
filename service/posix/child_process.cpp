#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>

extern char** environ;

namespace service {

Pipe MakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

namespace {

void ThrowIfFailed(int error, const char* what) {
  if (error != 0) throw std::system_error(error, std::generic_category(), what);
}

struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    ThrowIfFailed(posix_spawn_file_actions_init(&actions), "posix_spawn_file_actions_init");
    int error = posix_spawnattr_init(&attributes);
    if (error != 0) posix_spawn_file_actions_destroy(&actions);
    ThrowIfFailed(error, "posix_spawnattr_init");
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ChildProcess ChildProcess::Spawn(const std::vector<std::string>& argv, int stdin_fd, int stdout_fd,
                                 int stderr_fd, UniqueFd input) {
  if (argv.empty()) throw std::system_error(EINVAL, std::generic_category(), "empty command");
  SpawnSetup setup;
  ThrowIfFailed(posix_spawn_file_actions_adddup2(&setup.actions, stdin_fd, 0), "adddup2");
  ThrowIfFailed(posix_spawn_file_actions_adddup2(&setup.actions, stdout_fd, 1), "adddup2");
  ThrowIfFailed(posix_spawn_file_actions_adddup2(&setup.actions, stderr_fd, 2), "adddup2");
  // The server's sockets carry no close-on-exec flag; a child holding one would keep a
  // client's connection or the listening port open.
  ThrowIfFailed(posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3), "addclosefrom");

  // The service blocks or ignores some signals for itself; a child must not inherit that,
  // or a program whose reader died would spin on EPIPE instead of ending.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal_number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal_number);
  ThrowIfFailed(posix_spawnattr_setsigmask(&setup.attributes, &none), "setsigmask");
  ThrowIfFailed(posix_spawnattr_setsigdefault(&setup.attributes, &defaults), "setsigdefault");
  ThrowIfFailed(
      posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
      "setflags");

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  ChildProcess child;
  ThrowIfFailed(
      posix_spawnp(&child.pid_, args[0], &setup.actions, &setup.attributes, args.data(), environ),
      argv[0].c_str());
  child.input_ = std::move(input);
  return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      status_(other.status_),
      reaped_(other.reaped_),
      input_(std::move(other.input_)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Stop();
    pid_ = std::exchange(other.pid_, -1);
    status_ = other.status_;
    reaped_ = other.reaped_;
    input_ = std::move(other.input_);
  }
  return *this;
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::WaitUntil(std::chrono::steady_clock::time_point deadline) {
  if (pid_ < 0 || reaped_) return true;
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    int status = 0;
    pid_t result = ::waitpid(pid_, &status, WNOHANG);
    if (result == pid_ || (result < 0 && errno != EINTR)) {
      reaped_ = true;
      status_ = result == pid_ ? status : -1;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
  }
}

int ChildProcess::Stop() {
  input_.reset();
  if (pid_ < 0) return -1;
  using Clock = std::chrono::steady_clock;
  if (!WaitUntil(Clock::now() + kExitGrace)) {
    ::kill(pid_, SIGTERM);
    if (!WaitUntil(Clock::now() + kTerminateGrace)) {
      ::kill(pid_, SIGKILL);
      WaitUntil(Clock::time_point::max());
    }
  }
  pid_ = -1;
  return status_;
}

void ChildProcess::Kill() {
  input_.reset();
  if (pid_ < 0) return;
  if (!reaped_) ::kill(pid_, SIGKILL);
  WaitUntil(std::chrono::steady_clock::time_point::max());
  pid_ = -1;
}

}  // namespace service
