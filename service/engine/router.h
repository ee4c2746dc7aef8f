// Which engine serves each code: the engines in priority order, the first that offers a code
// and is ready serves it; while none of them is ready, the first that offers it does (and is
// answered as down).
#pragma once

#include "engine.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace service {

struct Route {
  std::string code;
  std::string description;  // as the serving engine describes it
  std::string engine;       // the serving engine's Name()
  // The Name() of each engine that offers the code, in the order they are asked: those ready in
  // priority order, then those down; the first is `engine`.
  std::vector<std::string> order;
};

// What /health tells of one engine.
struct EngineState {
  std::string name;
  EngineHealth health;
  std::vector<std::string> codes;  // those it serves, sorted: not the ones an earlier one has
};

class Router {
 public:
  // `engines` in priority order. `only`, when not empty, limits every engine to those codes.
  explicit Router(std::vector<std::unique_ptr<Engine>> engines, std::vector<std::string> only = {});
  Router(const Router&) = delete;
  Router& operator=(const Router&) = delete;

  // The engine that serves `code` now; nothing when no engine offers it. Asks the engines each
  // time: an engine's codes and health may change while the service runs.
  Engine* Find(std::string_view code) const;

  // Translates with the engines that offer `code` and are ready, in priority order: when one
  // fails, the next is asked while the text's bound has not passed. The last problem when none
  // answers. `asked_last`, when given, gets the Name() of the engine that answered, or failed last.
  Translation Translate(std::string_view code, const std::vector<Piece>& pieces,
                        std::string* asked_last = nullptr) const;

  // Every code offered now, sorted by code, with the engine that serves it.
  std::vector<Route> Routes() const;

  // Each engine's state, in priority order.
  std::vector<EngineState> States() const;

  const std::vector<std::unique_ptr<Engine>>& engines() const { return engines_; }

 private:
  bool Allowed(std::string_view code) const;
  struct Serving {
    std::size_t engine;  // the position of the engine that serves the code, as Find says
    Offer offer;         // that engine's
    std::vector<std::size_t> order;  // the positions of those that offer it, as Route::order
  };
  // Each code offered now, sorted, as it is served; the engines are asked once each.
  std::map<std::string, Serving> ServingNow() const;

  const std::vector<std::unique_ptr<Engine>> engines_;
  const std::vector<std::string> only_;
};

}  // namespace service
