// The warm pipelines of one mode: one at rest, more started in the background while requests
// overlap, up to a limit; each serves one request at a time.
#pragma once

#include "apertium_mode.h"
#include "pipeline.h"

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace service {

class PipelinePool {
  struct Member;

 public:
  struct Settings {
    std::size_t max_pipelines = 1;
    // How long a new pipeline may take to answer its first request.
    std::chrono::milliseconds startup_timeout{0};
    // Pipelines beyond the first are stopped after this long unused.
    std::chrono::milliseconds spare_idle{0};
  };

  // Starts the first pipeline in the background; WaitUntilStarted tells how that went.
  PipelinePool(Mode mode, Settings settings);
  PipelinePool(const PipelinePool&) = delete;
  PipelinePool& operator=(const PipelinePool&) = delete;
  // Stops the background thread (after the start it may be waiting for) and every pipeline.
  // No lease may outlive the pool.
  ~PipelinePool();

  // True once the first pipeline has answered its first request, false when it failed to.
  bool WaitUntilStarted();

  // One pipeline, for one caller, until the lease ends: it goes back to the pool, or, after
  // Discard, is killed and replaced in the background.
  class Lease {
   public:
    Lease() = default;
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&& other) noexcept;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease();

    explicit operator bool() const { return member_ != nullptr; }
    Pipeline& operator*() const;
    Pipeline* operator->() const { return &**this; }
    // For a pipeline that died or stopped answering: it never serves another request.
    void Discard();

   private:
    friend class PipelinePool;
    Lease(PipelinePool* pool, Member* member) : pool_(pool), member_(member) {}
    void Return();
    PipelinePool* pool_ = nullptr;
    Member* member_ = nullptr;
    bool broken_ = false;
  };

  // A free pipeline, starting another when all are busy and the limit allows; requests that
  // wait are served in the order they came. Nothing when none is free by the deadline, or
  // when the pool is empty and a start has just failed.
  Lease Acquire(Pipeline::Clock::time_point deadline);

  const Mode& mode() const { return mode_; }
  std::size_t max_pipelines() const { return settings_.max_pipelines; }
  // The process ids of every pipeline, busy or free, in pipeline order each.
  std::vector<pid_t> Pids() const;
  // How many pipelines run now, busy or free.
  std::size_t Running() const;

 private:
  struct Member {
    std::unique_ptr<Pipeline> pipeline;
    std::vector<pid_t> pids;
    bool busy = false;
    Pipeline::Clock::time_point idle_since;
  };
  struct Waiter {
    std::condition_variable woken;
    Member* given = nullptr;
    bool refused = false;
  };

  void Run();
  std::unique_ptr<Pipeline> StartOne() const;
  // Takes out the spare members unused for too long; when the next one is due otherwise.
  Pipeline::Clock::time_point TakeIdleSpares(std::vector<std::unique_ptr<Member>>& out);
  void Release(Member* member, bool broken);
  // Gives free pipelines to the longest waiting requests. Called with the lock held.
  void HandOut();
  void RefuseWaiters();

  const Mode mode_;
  const Settings settings_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;  // for the starter thread and WaitUntilStarted
  std::vector<std::unique_ptr<Member>> members_;
  std::deque<Waiter*> waiting_;
  std::size_t starts_pending_ = 0;  // asked for or under way
  bool started_once_ = false;       // the first start has ended, well or not
  bool stopping_ = false;
  std::thread starter_;  // last: it runs on everything above
};

}  // namespace service
