#include "apertium_engine.h"

#include "service/engine/language_names.h"
#include "service/posix/log.h"
#include "service/text/protected_spans.h"
#include "service/text/span_markers.h"
#include "stream_format.h"

#include <algorithm>
#include <csignal>
#include <set>

namespace service {

namespace {

// Apertium's codes outside the known names stand as they are.
std::string NameOf(const std::string& code) { return LanguageName(code).value_or(code); }

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::vector<LanguagePair> PlanPairs(const std::vector<Mode>& modes, std::string_view pivot) {
  std::map<std::string, LanguagePair> pairs;
  for (const Mode& mode : modes) {
    std::string code = mode.source + "_" + mode.target;
    pairs[code] = LanguagePair{
        code, {mode.name}, NameOf(mode.source) + " to " + Lowercase(NameOf(mode.target))};
  }
  for (const Mode& first : modes) {
    if (first.target != pivot) continue;
    for (const Mode& second : modes) {
      if (second.source != pivot || second.target == first.source) continue;
      std::string code = first.source + "_" + second.target;
      if (pairs.count(code) != 0) continue;
      pairs[code] = LanguagePair{code,
                                 {first.name, second.name},
                                 NameOf(first.source) + " to " + Lowercase(NameOf(second.target)) +
                                     " (through " + NameOf(std::string(pivot)) + ")"};
    }
  }
  std::vector<LanguagePair> planned;
  for (auto& entry : pairs) planned.push_back(std::move(entry.second));
  return planned;
}

ApertiumEngine::ApertiumEngine(ApertiumOptions options) : options_(std::move(options)) {
  // A write to a pipeline whose programs died must fail with EPIPE, not end the service.
  std::signal(SIGPIPE, SIG_IGN);

  std::vector<Mode> modes = DiscoverModes(options_.modes_dir);
  source_words_ = std::make_unique<SourceWords>(modes);
  std::vector<LanguagePair> planned = PlanPairs(modes);
  if (!options_.codes.empty()) {
    for (const std::string& code : options_.codes) {
      if (std::none_of(planned.begin(), planned.end(),
                       [&](const LanguagePair& pair) { return pair.code == code; })) {
        LogLine("pair " + code + " is not reachable with the installed modes");
      }
    }
    planned.erase(std::remove_if(planned.begin(), planned.end(),
                                 [&](const LanguagePair& pair) {
                                   return std::find(options_.codes.begin(), options_.codes.end(),
                                                    pair.code) == options_.codes.end();
                                 }),
                  planned.end());
  }

  std::set<std::string> needed;
  for (const LanguagePair& pair : planned) needed.insert(pair.modes.begin(), pair.modes.end());
  PipelinePool::Settings settings{std::max<std::size_t>(options_.pipelines_per_mode, 1),
                                  options_.startup_timeout, options_.spare_idle};
  // Every pool starts its first pipeline before any is waited for: they load their
  // dictionaries side by side.
  for (Mode& mode : modes) {
    if (needed.count(mode.name) == 0) continue;
    std::string name = mode.name;
    pools_.emplace(name, std::make_unique<PipelinePool>(std::move(mode), settings));
  }
  std::set<std::string> ready;
  for (auto it = pools_.begin(); it != pools_.end();) {
    if (it->second->WaitUntilStarted()) {
      ready.insert(it->first);
      ++it;
    } else {
      it = pools_.erase(it);
    }
  }

  for (LanguagePair& pair : planned) {
    bool servable = std::all_of(pair.modes.begin(), pair.modes.end(),
                                [&](const std::string& mode) { return ready.count(mode) != 0; });
    if (servable) {
      pairs_.push_back(std::move(pair));
    } else {
      LogLine("pair " + pair.code + " left out: its pipeline is not ready");
    }
  }
}

ApertiumEngine::~ApertiumEngine() = default;

std::vector<Offer> ApertiumEngine::Offers() const {
  std::vector<Offer> offers;
  for (const LanguagePair& pair : pairs_) offers.push_back({pair.code, pair.description});
  return offers;
}

Translation ApertiumEngine::Translate(std::string_view code, const std::vector<Piece>& pieces) {
  const LanguagePair* pair = Find(code);
  if (!pair) return Translation{false, "", "apertium has no pair " + std::string(code)};
  return TranslatePair(*pair, pieces);
}

EngineHealth ApertiumEngine::Health() const {
  EngineHealth health;
  health.ready = true;
  return health;
}

const LanguagePair* ApertiumEngine::Find(std::string_view code) const {
  auto found = std::find_if(pairs_.begin(), pairs_.end(),
                            [&](const LanguagePair& pair) { return pair.code == code; });
  return found == pairs_.end() ? nullptr : &*found;
}

std::vector<pid_t> ApertiumEngine::PipelinePids(const std::string& mode) const {
  auto found = pools_.find(mode);
  return found == pools_.end() ? std::vector<pid_t>() : found->second->Pids();
}

std::size_t ApertiumEngine::PipelinesRunning() const {
  std::size_t running = 0;
  for (const auto& [mode, pool] : pools_) running += pool->Running();
  return running;
}

Translation ApertiumEngine::TranslatePair(const LanguagePair& pair, std::string_view text) {
  Translation result = TranslateStream(pair, Deformat(text));
  if (result.ok) result.text = Reformat(result.text);
  return result;
}

Translation ApertiumEngine::TranslatePair(const LanguagePair& pair,
                                          const std::vector<Piece>& marked) {
  std::vector<Piece> pieces = TranslateKnownAddressees(marked, [&](const std::string& word) {
    return source_words_->HasCommonWord(pair.modes.front(), word);
  });
  if (std::all_of(pieces.begin(), pieces.end(), [](const Piece& piece) { return piece.keep; })) {
    return Translation{true, JoinPieces(pieces), {}};
  }
  Translation result = TranslateStream(pair, Deformat(pieces));
  if (!result.ok) return result;
  if (auto text = Reformat(result.text, pieces)) {
    result.text = LowerCaseAfterAddressee(pieces, std::move(*text));
    return result;
  }
  LogLine("mode " + pair.modes.front() + " lost a kept span; translating piece by piece");
  auto text = TranslatePieceByPiece(pieces, [&](std::string_view words) {
    Translation part = TranslatePair(pair, words);
    if (!part.ok) result.problem = part.problem;
    return part.ok ? std::optional<std::string>(std::move(part.text)) : std::nullopt;
  });
  result.ok = text.has_value();
  result.text = text.value_or("");
  return result;
}

Translation ApertiumEngine::TranslateStream(const LanguagePair& pair, std::string stream) {
  Translation result;
  for (const std::string& mode : pair.modes) {
    auto found = pools_.find(mode);
    std::string output;
    if (found == pools_.end()) {
      result.problem = "mode " + mode + " is not running";
      return result;
    }
    if (!Exchange(*found->second, stream, output, result.problem)) return result;
    stream = std::move(output);
  }
  result.ok = true;
  result.text = std::move(stream);
  return result;
}

bool ApertiumEngine::Exchange(PipelinePool& pool, std::string_view stream, std::string& output,
                              std::string& problem) {
  const std::string& name = pool.mode().name;
  const auto timeout = options_.exchange_timeout + kExchangeTimeoutPerKiB * (stream.size() / 1024);
  // A death is noticed at once; every pipeline that existed may have died, not just this one.
  for (std::size_t attempt = 0; attempt <= pool.max_pipelines(); ++attempt) {
    PipelinePool::Lease lease = pool.Acquire(Pipeline::Clock::now() + options_.startup_timeout);
    if (!lease) {
      problem = "no pipeline of " + name + " could take the request";
      return false;
    }
    switch (lease->Exchange(stream, output, Pipeline::Clock::now() + timeout)) {
      case Pipeline::Outcome::kDone: return true;
      case Pipeline::Outcome::kTimedOut:
        LogLine("mode " + name + " gave no answer within " + DurationText(timeout) +
                "; replacing it");
        lease.Discard();
        problem = "the translation took too long";
        return false;
      case Pipeline::Outcome::kDied:
        LogLine("mode " + name + " ended unexpectedly; replacing it");
        lease.Discard();
        break;
    }
  }
  problem = "the translation programs ended unexpectedly";
  return false;
}

}  // namespace service
