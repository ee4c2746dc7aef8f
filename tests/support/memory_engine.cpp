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
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({std::string(code), pieces});
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

std::vector<MemoryEngine::Call> MemoryEngine::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

}  // namespace service_test
