#include "router.h"

#include <algorithm>
#include <chrono>

namespace service {

namespace {

bool Offers(const Engine& engine, std::string_view code) {
  std::vector<Offer> offers = engine.Offers();
  return std::any_of(offers.begin(), offers.end(),
                     [&](const Offer& offer) { return offer.code == code; });
}

std::chrono::milliseconds BoundFor(const std::vector<Piece>& pieces) {
  std::size_t bytes = 0;
  for (const Piece& piece : pieces) bytes += piece.text.size();
  return kTranslationBoundBase + kTranslationBoundPerKiB * static_cast<long>((bytes + 1023) / 1024);
}

}  // namespace

Router::Router(std::vector<std::unique_ptr<Engine>> engines, std::vector<std::string> only)
    : engines_(std::move(engines)), only_(std::move(only)) {}

bool Router::Allowed(std::string_view code) const {
  return only_.empty() || std::find(only_.begin(), only_.end(), code) != only_.end();
}

Engine* Router::Find(std::string_view code) const {
  if (!Allowed(code)) return nullptr;
  Engine* first = nullptr;
  for (const auto& engine : engines_) {
    if (!Offers(*engine, code)) continue;
    if (engine->Health().ready) return engine.get();
    if (!first) first = engine.get();
  }
  return first;
}

Translation Router::Translate(std::string_view code, const std::vector<Piece>& pieces,
                              std::string* asked_last) const {
  auto deadline = std::chrono::steady_clock::now() + BoundFor(pieces);
  Translation last{false, "", "no engine that serves " + std::string(code) + " is ready"};
  if (!Allowed(code)) return last;
  bool asked = false;
  for (const auto& engine : engines_) {
    if (!Offers(*engine, code) || !engine->Health().ready) continue;
    if (asked && std::chrono::steady_clock::now() >= deadline) break;
    last = engine->Translate(code, pieces);
    if (asked_last) *asked_last = engine->Name();
    asked = true;
    if (last.ok) return last;
  }
  return last;
}

std::map<std::string, Router::Serving> Router::ServingNow() const {
  std::map<std::string, Serving> serving;
  std::vector<bool> ready;
  for (const auto& engine : engines_) ready.push_back(engine->Health().ready);
  for (bool asked_ready : {true, false}) {
    for (std::size_t i = 0; i < engines_.size(); ++i) {
      if (ready[i] != asked_ready) continue;
      for (Offer& offer : engines_[i]->Offers()) {
        if (!Allowed(offer.code)) continue;
        auto taken = serving.find(offer.code);
        if (taken == serving.end()) {
          std::string code = offer.code;
          serving.emplace(std::move(code), Serving{i, std::move(offer), {i}});
        } else {
          taken->second.order.push_back(i);
        }
      }
    }
  }
  return serving;
}

std::vector<Route> Router::Routes() const {
  std::vector<Route> routes;
  for (auto& [code, serving] : ServingNow()) {
    std::vector<std::string> order;
    for (std::size_t i : serving.order) order.push_back(engines_[i]->Name());
    routes.push_back({code, std::move(serving.offer.description), engines_[serving.engine]->Name(),
                      std::move(order)});
  }
  return routes;
}

std::vector<EngineState> Router::States() const {
  std::vector<EngineState> states;
  for (const auto& engine : engines_) states.push_back({engine->Name(), engine->Health(), {}});
  // Engines may share a name (two upstreams of one kind), so a code is matched by position.
  for (const auto& [code, serving] : ServingNow()) states[serving.engine].codes.push_back(code);
  return states;
}

}  // namespace service
