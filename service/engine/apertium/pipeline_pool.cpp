#include "pipeline_pool.h"

#include "service/posix/log.h"
#include "stream_format.h"

#include <algorithm>
#include <utility>

namespace service {

namespace {

// A word that every pair's dictionaries load for.
const char kWarmUpText[] = "a";

}  // namespace

PipelinePool::PipelinePool(Mode mode, Settings settings)
    : mode_(std::move(mode)), settings_(settings), starts_pending_(1) {
  starter_ = std::thread(&PipelinePool::Run, this);
}

PipelinePool::~PipelinePool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    RefuseWaiters();
  }
  changed_.notify_all();
  starter_.join();
}

bool PipelinePool::WaitUntilStarted() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return started_once_ || stopping_; });
  return !members_.empty();
}

std::vector<pid_t> PipelinePool::Pids() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<pid_t> pids;
  for (const auto& member : members_)
    pids.insert(pids.end(), member->pids.begin(), member->pids.end());
  return pids;
}

std::size_t PipelinePool::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return members_.size();
}

PipelinePool::Lease PipelinePool::Acquire(Pipeline::Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_) return {};
  if (waiting_.empty()) {
    for (auto& member : members_) {
      if (!member->busy) {
        member->busy = true;
        return Lease(this, member.get());
      }
    }
  }
  Waiter self;
  waiting_.push_back(&self);
  if (members_.size() + starts_pending_ < settings_.max_pipelines) {
    ++starts_pending_;
    changed_.notify_all();
  }
  while (!self.given && !self.refused) {
    if (self.woken.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  if (!self.given) {
    auto found = std::find(waiting_.begin(), waiting_.end(), &self);
    if (found != waiting_.end()) waiting_.erase(found);
    return {};
  }
  return Lease(this, self.given);
}

void PipelinePool::HandOut() {
  for (auto& member : members_) {
    if (waiting_.empty()) return;
    if (member->busy) continue;
    member->busy = true;
    Waiter* first = waiting_.front();
    waiting_.pop_front();
    first->given = member.get();
    first->woken.notify_one();
  }
}

void PipelinePool::RefuseWaiters() {
  for (Waiter* waiter : waiting_) {
    waiter->refused = true;
    waiter->woken.notify_one();
  }
  waiting_.clear();
}

void PipelinePool::Release(Member* member, bool broken) {
  std::unique_ptr<Member> dead;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (broken) {
      auto found = std::find_if(members_.begin(), members_.end(),
                                [member](const auto& owned) { return owned.get() == member; });
      dead = std::move(*found);
      members_.erase(found);
      if (!stopping_ && members_.size() + starts_pending_ < settings_.max_pipelines) {
        ++starts_pending_;
        changed_.notify_all();
      }
    } else {
      member->busy = false;
      member->idle_since = Pipeline::Clock::now();
      HandOut();
    }
  }
  if (dead) dead->pipeline->Kill();
}

void PipelinePool::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    std::vector<std::unique_ptr<Member>> retired;
    auto next_retirement = TakeIdleSpares(retired);
    if (!retired.empty()) {
      if (!stopping_)
        LogLine("mode " + mode_.name + " is back to " + std::to_string(members_.size()) +
                " pipeline(s)");
      lock.unlock();
      retired.clear();  // the programs end as their input closes
      lock.lock();
      continue;
    }
    if (stopping_) return;
    if (starts_pending_ > 0) {
      lock.unlock();
      std::unique_ptr<Pipeline> pipeline = StartOne();
      lock.lock();
      --starts_pending_;
      started_once_ = true;
      if (pipeline) {
        auto member = std::make_unique<Member>();
        member->pids = pipeline->Pids();
        member->pipeline = std::move(pipeline);
        member->idle_since = Pipeline::Clock::now();
        members_.push_back(std::move(member));
        if (members_.size() > 1) {
          LogLine("mode " + mode_.name + " runs " + std::to_string(members_.size()) + " pipelines");
        }
        HandOut();
      } else if (members_.empty() && starts_pending_ == 0) {
        RefuseWaiters();
      }
      changed_.notify_all();
      continue;
    }
    if (next_retirement == Pipeline::Clock::time_point::max()) {
      changed_.wait(lock);
    } else {
      changed_.wait_until(lock, next_retirement);
    }
  }
}

Pipeline::Clock::time_point PipelinePool::TakeIdleSpares(
    std::vector<std::unique_ptr<Member>>& out) {
  auto next = Pipeline::Clock::time_point::max();
  const auto now = Pipeline::Clock::now();
  for (auto it = members_.begin(); it != members_.end() && members_.size() > 1;) {
    Member& member = **it;
    if (member.busy) {
      ++it;
    } else if (stopping_ || member.idle_since + settings_.spare_idle <= now) {
      out.push_back(std::move(*it));
      it = members_.erase(it);
    } else {
      next = std::min(next, member.idle_since + settings_.spare_idle);
      ++it;
    }
  }
  return next;
}

std::unique_ptr<Pipeline> PipelinePool::StartOne() const {
  std::unique_ptr<Pipeline> pipeline;
  try {
    pipeline = std::make_unique<Pipeline>(mode_.stages);
  } catch (const std::exception& failure) {
    LogLine("mode " + mode_.name + " cannot start: " + failure.what());
    return nullptr;
  }
  std::string output;
  auto outcome = pipeline->Exchange(Deformat(kWarmUpText), output,
                                    Pipeline::Clock::now() + settings_.startup_timeout);
  if (outcome == Pipeline::Outcome::kDone) return pipeline;
  LogLine("mode " + mode_.name +
          (outcome == Pipeline::Outcome::kTimedOut
               ? " gave no first answer within " + DurationText(settings_.startup_timeout)
               : std::string(" ended before its first answer")));
  pipeline->Kill();
  return nullptr;
}

PipelinePool::Lease::Lease(Lease&& other) noexcept
    : pool_(other.pool_), member_(std::exchange(other.member_, nullptr)), broken_(other.broken_) {}

PipelinePool::Lease& PipelinePool::Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    Return();
    pool_ = other.pool_;
    member_ = std::exchange(other.member_, nullptr);
    broken_ = other.broken_;
  }
  return *this;
}

PipelinePool::Lease::~Lease() { Return(); }

Pipeline& PipelinePool::Lease::operator*() const { return *member_->pipeline; }

void PipelinePool::Lease::Discard() {
  broken_ = true;
  Return();
}

void PipelinePool::Lease::Return() {
  if (!member_) return;
  pool_->Release(std::exchange(member_, nullptr), broken_);
}

}  // namespace service
