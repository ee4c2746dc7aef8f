// The threads that answer what may wait on an engine, so that the threads reading the
// connections never do: a fixed number of them, and a bounded queue in front.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace service {

class WorkerPool {
 public:
  // Starts `threads` threads (at least one); besides the jobs they run, at most `waiting` wait
  // for one of them.
  WorkerPool(std::size_t threads, std::size_t waiting);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();

  // Runs `job` on a worker, then `after` once the job's place is free again: what `after`
  // hands back to a client finds the place free when the client comes again at once. False
  // (and neither run) when every worker is busy and `waiting` jobs wait, or the pool stopped.
  // Neither may throw.
  bool Submit(std::function<void()> job, std::function<void()> after = {});

  // Takes no more jobs, runs the ones queued and joins the workers. Safe to call again.
  void Stop();

 private:
  void Work();

  const std::size_t bound_;  // the jobs taken and not done, running or waiting
  std::mutex mutex_;
  std::condition_variable wake_;
  struct Job {
    std::function<void()> run;
    std::function<void()> after;
  };
  std::deque<Job> jobs_;
  std::size_t running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace service
