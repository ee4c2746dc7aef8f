#include "health.h"

#include <nlohmann/json.hpp>

#include <ctime>

namespace service {

namespace {

std::string UtcTime(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace

std::string HealthJson(const std::vector<EngineState>& states, const std::vector<Route>& routes) {
  nlohmann::json engines = nlohmann::json::array();
  bool all_ready = true;
  for (const EngineState& state : states) {
    all_ready = all_ready && state.health.ready;
    nlohmann::json engine = {{"name", state.name},
                             {"ready", state.health.ready},
                             {"down_since", nullptr},
                             {"reason", nullptr},
                             {"codes", state.codes}};
    if (!state.health.ready) {
      engine["down_since"] = UtcTime(state.health.down_since);
      engine["reason"] = state.health.reason;
    }
    engines.push_back(std::move(engine));
  }
  nlohmann::json order = nlohmann::json::object();
  for (const Route& route : routes) order[route.code] = route.order;
  nlohmann::json health = {
      {"ready", all_ready}, {"engines", std::move(engines)}, {"order", std::move(order)}};
  // Engine names and reasons may hold bytes that are not UTF-8; they must not stop the answer.
  return health.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace service
