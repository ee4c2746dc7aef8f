#include "pipeline.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <system_error>

namespace service {

namespace {

void SetNonBlocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    throw std::system_error(errno, std::generic_category(), "fcntl");
  }
}

int MillisecondsUntil(Pipeline::Clock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Pipeline::Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count() + 1, 0));
}

}  // namespace

Pipeline::Pipeline(const std::vector<Command>& stages) {
  if (stages.empty()) throw std::system_error(EINVAL, std::generic_category(), "empty pipeline");
  UniqueFd discard(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  if (!discard) throw std::system_error(errno, std::generic_category(), "/dev/null");
  Pipe input = MakePipe();
  SetNonBlocking(input.write.get());
  UniqueFd upstream = std::move(input.read);
  children_.reserve(stages.size());
  for (std::size_t i = 0; i < stages.size(); ++i) {
    Pipe next = MakePipe();
    children_.push_back(ChildProcess::Spawn(stages[i], upstream.get(), next.write.get(),
                                            discard.get(),
                                            i == 0 ? std::move(input.write) : UniqueFd()));
    upstream = std::move(next.read);
  }
  output_ = std::move(upstream);
  SetNonBlocking(output_.get());
}

Pipeline::~Pipeline() {
  output_.reset();
  for (ChildProcess& child : children_) child.Stop();
}

void Pipeline::Kill() {
  output_.reset();
  for (ChildProcess& child : children_) child.Kill();
}

std::vector<pid_t> Pipeline::Pids() const {
  std::vector<pid_t> pids;
  for (const ChildProcess& child : children_) pids.push_back(child.pid());
  return pids;
}

Pipeline::Outcome Pipeline::Exchange(std::string_view stream, std::string& output,
                                     Clock::time_point deadline) {
  if (!output_ || children_.empty() || children_.front().input() < 0) return Outcome::kDied;
  // A superblank: the programs pass it through untouched, and text from a user cannot
  // produce it because Deformat escapes every bracket.
  const std::string mark = "[mirelskan-end-" + std::to_string(++sequence_) + "]";
  std::string request;
  request.reserve(stream.size() + mark.size() + 1);
  request.append(stream).append(mark).push_back('\0');

  const int input = children_.front().input();
  std::size_t written = 0;
  std::string received;
  char buffer[16384];
  for (;;) {
    for (std::size_t end; (end = received.find('\0')) != std::string::npos;) {
      std::string segment = received.substr(0, end);
      received.erase(0, end + 1);
      std::size_t at = segment.rfind(mark);
      if (at == std::string::npos) continue;  // the answer to an earlier request
      output = segment.substr(0, at) + segment.substr(at + mark.size());
      return Outcome::kDone;
    }
    if (Clock::now() >= deadline) return Outcome::kTimedOut;

    pollfd entries[2] = {{output_.get(), POLLIN, 0}, {input, POLLOUT, 0}};
    nfds_t count = written < request.size() ? 2 : 1;
    int ready = ::poll(entries, count, MillisecondsUntil(deadline));
    if (ready < 0 && errno != EINTR) return Outcome::kDied;
    if (ready <= 0) continue;

    if (count == 2 && entries[1].revents != 0) {
      ssize_t sent = ::write(input, request.data() + written, request.size() - written);
      if (sent > 0) {
        written += static_cast<std::size_t>(sent);
      } else if (errno != EAGAIN && errno != EINTR) {
        return Outcome::kDied;
      }
    }
    if (entries[0].revents != 0) {
      ssize_t got = ::read(output_.get(), buffer, sizeof buffer);
      if (got > 0) {
        received.append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        return Outcome::kDied;
      }
    }
  }
}

}  // namespace service
