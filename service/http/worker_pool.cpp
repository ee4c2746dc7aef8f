#include "worker_pool.h"

#include <algorithm>
#include <utility>

namespace service {

WorkerPool::WorkerPool(std::size_t threads, std::size_t waiting)
    : bound_(std::max<std::size_t>(threads, 1) + waiting) {
  try {
    for (std::size_t n = 0; n < std::max<std::size_t>(threads, 1); ++n) {
      workers_.emplace_back(&WorkerPool::Work, this);
    }
  } catch (...) {
    Stop();
    throw;
  }
}

WorkerPool::~WorkerPool() { Stop(); }

bool WorkerPool::Submit(std::function<void()> job, std::function<void()> after) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || running_ + jobs_.size() >= bound_) return false;
    jobs_.push_back(Job{std::move(job), std::move(after)});
  }
  wake_.notify_one();
  return true;
}

void WorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

void WorkerPool::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, and nothing left to run
      job = std::move(jobs_.front());
      jobs_.pop_front();
      ++running_;
    }
    job.run();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
    }
    if (job.after) job.after();
  }
}

}  // namespace service
