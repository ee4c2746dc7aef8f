#include "memory_engine.h"

#include <algorithm>

namespace service_test {

MemoryEngine::MemoryEngine(std::string name, std::vector<service::Offer> offers)
    : name_(std::move(name)), offers_(std::move(offers)) {
  health_.ready = true;
}

service::Translation MemoryEngine::Translate(std::string_view code,
                                             const std::vector<service::Piece>& pieces) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    calls_.push_back({std::string(code), pieces});
    ++held_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !holding_; });
    --held_;
    if (!problem_.empty()) return {false, "", problem_};
  }
  bool offered = std::any_of(offers_.begin(), offers_.end(),
                             [&](const service::Offer& offer) { return offer.code == code; });
  if (!offered) return {false, "", name_ + " does not offer " + std::string(code)};
  service::Translation translation{true, "", ""};
  for (const service::Piece& piece : pieces) translation.text += piece.text;
  return translation;
}

service::EngineHealth MemoryEngine::Health() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return health_;
}

void MemoryEngine::SetHealth(service::EngineHealth health) {
  std::lock_guard<std::mutex> lock(mutex_);
  health_ = std::move(health);
}

void MemoryEngine::SetProblem(std::string problem) {
  std::lock_guard<std::mutex> lock(mutex_);
  problem_ = std::move(problem);
}

void MemoryEngine::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  holding_ = true;
}

void MemoryEngine::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = false;
  }
  changed_.notify_all();
}

bool MemoryEngine::WaitForHeld(std::size_t count, std::chrono::milliseconds within) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, within, [&] { return held_ >= count; });
}

std::vector<MemoryEngine::Call> MemoryEngine::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

}  // namespace service_test
