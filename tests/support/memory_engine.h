// An engine in memory, for tests about HTTP and the pages rather than about an engine: each
// text comes back as it was sent, what it was asked is kept, and it is up or down as the test
// says.
#pragma once

#include "service/engine/engine.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace service_test {

class MemoryEngine : public service::Engine {
 public:
  MemoryEngine(std::string name, std::vector<service::Offer> offers);

  std::string Name() const override { return name_; }
  std::vector<service::Offer> Offers() const override { return offers_; }
  // The pieces joined; a code it does not offer is a problem.
  service::Translation Translate(std::string_view code,
                                 const std::vector<service::Piece>& pieces) override;
  service::EngineHealth Health() const override;

  void SetHealth(service::EngineHealth health);
  // While not empty, every translation fails with this problem (the engine stays ready).
  void SetProblem(std::string problem);

  // While held, every translation waits in Translate until Release: a test fills the workers
  // with them. WaitForHeld(n) is true once n wait (false after `within`, a safety net).
  void Hold();
  void Release();
  bool WaitForHeld(std::size_t count, std::chrono::milliseconds within);

  struct Call {
    std::string code;
    std::vector<service::Piece> pieces;
  };
  std::vector<Call> Calls() const;

 private:
  const std::string name_;
  const std::vector<service::Offer> offers_;
  mutable std::mutex mutex_;
  service::EngineHealth health_;
  std::string problem_;
  std::vector<Call> calls_;
  std::condition_variable changed_;
  bool holding_ = false;
  std::size_t held_ = 0;
};

}  // namespace service_test
