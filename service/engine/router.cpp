#include "router.h"

#include <algorithm>
#include <map>

namespace service {

Router::Router(std::vector<std::unique_ptr<Engine>> engines, std::vector<std::string> only)
    : engines_(std::move(engines)), only_(std::move(only)) {}

bool Router::Allowed(std::string_view code) const {
  return only_.empty() || std::find(only_.begin(), only_.end(), code) != only_.end();
}

Engine* Router::Find(std::string_view code) const {
  if (!Allowed(code)) return nullptr;
  for (const auto& engine : engines_) {
    std::vector<Offer> offers = engine->Offers();
    bool offered = std::any_of(offers.begin(), offers.end(),
                               [&](const Offer& offer) { return offer.code == code; });
    if (offered) return engine.get();
  }
  return nullptr;
}

std::vector<Route> Router::Routes() const {
  std::map<std::string, Route> routes;
  for (const auto& engine : engines_) {
    std::string name = engine->Name();
    for (Offer& offer : engine->Offers()) {
      if (!Allowed(offer.code) || routes.count(offer.code) != 0) continue;
      std::string code = offer.code;
      routes.emplace(code, Route{std::move(offer.code), std::move(offer.description), name});
    }
  }
  std::vector<Route> sorted;
  for (auto& entry : routes) sorted.push_back(std::move(entry.second));
  return sorted;
}

std::vector<EngineState> Router::States() const {
  std::vector<EngineState> states;
  for (const auto& engine : engines_) states.push_back({engine->Name(), engine->Health(), {}});
  // Engines may share a name (two upstreams of one kind), so a route is matched by position.
  std::vector<std::string> taken;
  for (std::size_t i = 0; i < engines_.size(); ++i) {
    for (const Offer& offer : engines_[i]->Offers()) {
      if (!Allowed(offer.code) ||
          std::find(taken.begin(), taken.end(), offer.code) != taken.end()) {
        continue;
      }
      taken.push_back(offer.code);
      states[i].codes.push_back(offer.code);
    }
    std::sort(states[i].codes.begin(), states[i].codes.end());
  }
  return states;
}

}  // namespace service
