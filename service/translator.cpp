#include "translator.h"

#include "log.h"
#include "stream_format.h"

#include <algorithm>
#include <csignal>
#include <set>

namespace service {

namespace {

std::string LanguageName(const std::string& code) {
  static const std::map<std::string, std::string> names = {
      {"ca", "Catalan"},    {"de", "German"},   {"el", "Greek"},    {"en", "English"},
      {"es", "Spanish"},    {"fr", "French"},   {"gl", "Galician"}, {"it", "Italian"},
      {"ja", "Japanese"},   {"ko", "Korean"},   {"nl", "Dutch"},    {"oc", "Occitan"},
      {"pt", "Portuguese"}, {"ro", "Romanian"}, {"ru", "Russian"},  {"zh", "Chinese"}};
  auto found = names.find(code);
  return found == names.end() ? code : found->second;
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Milliseconds(std::chrono::milliseconds duration) {
  return std::to_string(duration.count()) + " ms";
}

// A word that every pair's dictionaries load for.
const char kWarmUpText[] = "a";

}  // namespace

std::vector<LanguagePair> PlanPairs(const std::vector<Mode>& modes, std::string_view pivot) {
  std::map<std::string, LanguagePair> pairs;
  for (const Mode& mode : modes) {
    std::string code = mode.source + "_" + mode.target;
    pairs[code] =
        LanguagePair{code,
                     {mode.name},
                     LanguageName(mode.source) + " to " + Lowercase(LanguageName(mode.target))};
  }
  for (const Mode& first : modes) {
    if (first.target != pivot) continue;
    for (const Mode& second : modes) {
      if (second.source != pivot || second.target == first.source) continue;
      std::string code = first.source + "_" + second.target;
      if (pairs.count(code) != 0) continue;
      pairs[code] = LanguagePair{code,
                                 {first.name, second.name},
                                 LanguageName(first.source) + " to " +
                                     Lowercase(LanguageName(second.target)) + " (through " +
                                     LanguageName(std::string(pivot)) + ")"};
    }
  }
  std::vector<LanguagePair> planned;
  for (auto& entry : pairs) planned.push_back(std::move(entry.second));
  return planned;
}

Translator::Translator(TranslatorOptions options) : options_(std::move(options)) {
  // A write to a pipeline whose programs died must fail with EPIPE, not end the service.
  std::signal(SIGPIPE, SIG_IGN);

  std::vector<Mode> modes = DiscoverModes(options_.modes_dir);
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
  for (Mode& mode : modes) {
    if (needed.count(mode.name) == 0) continue;
    auto slot = std::make_unique<Slot>();
    slot->mode = std::move(mode);
    slots_.emplace(slot->mode.name, std::move(slot));
  }

  // Start every pipeline before waiting for any: they load their dictionaries side by side.
  for (auto& entry : slots_) {
    try {
      entry.second->pipeline = std::make_unique<Pipeline>(entry.second->mode.stages);
    } catch (const std::exception& failure) {
      LogLine("mode " + entry.first + " cannot start: " + failure.what());
    }
  }
  std::set<std::string> ready;
  for (auto& entry : slots_) {
    if (entry.second->pipeline && WarmUp(*entry.second)) ready.insert(entry.first);
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

Translator::~Translator() = default;

const LanguagePair* Translator::Find(std::string_view code) const {
  auto found = std::find_if(pairs_.begin(), pairs_.end(),
                            [&](const LanguagePair& pair) { return pair.code == code; });
  return found == pairs_.end() ? nullptr : &*found;
}

std::vector<pid_t> Translator::PipelinePids(const std::string& mode) const {
  auto found = slots_.find(mode);
  if (found == slots_.end()) return {};
  std::lock_guard<std::mutex> lock(found->second->mutex);
  return found->second->pipeline ? found->second->pipeline->Pids() : std::vector<pid_t>();
}

Translation Translator::Translate(const LanguagePair& pair, std::string_view text) {
  Translation result;
  std::string stream = Deformat(text);
  for (const std::string& mode : pair.modes) {
    auto found = slots_.find(mode);
    std::string output;
    if (found == slots_.end()) {
      result.problem = "mode " + mode + " is not running";
      return result;
    }
    if (!Exchange(*found->second, stream, output, result.problem)) return result;
    stream = std::move(output);
  }
  result.ok = true;
  result.text = Reformat(stream);
  return result;
}

bool Translator::WarmUp(Slot& slot) {
  std::string output;
  auto outcome = slot.pipeline->Exchange(Deformat(kWarmUpText), output,
                                         Pipeline::Clock::now() + options_.startup_timeout);
  if (outcome == Pipeline::Outcome::kDone) return true;
  LogLine("mode " + slot.mode.name +
          (outcome == Pipeline::Outcome::kTimedOut
               ? " gave no first answer within " + Milliseconds(options_.startup_timeout)
               : std::string(" ended before its first answer")));
  slot.pipeline->Kill();
  slot.pipeline.reset();
  return false;
}

bool Translator::Restart(Slot& slot) {
  if (slot.pipeline) slot.pipeline->Kill();
  slot.pipeline.reset();
  try {
    slot.pipeline = std::make_unique<Pipeline>(slot.mode.stages);
  } catch (const std::exception& failure) {
    LogLine("mode " + slot.mode.name + " cannot restart: " + failure.what());
    return false;
  }
  return WarmUp(slot);
}

bool Translator::Exchange(Slot& slot, std::string_view stream, std::string& output,
                          std::string& problem) {
  std::lock_guard<std::mutex> lock(slot.mutex);
  const auto timeout = options_.exchange_timeout + kExchangeTimeoutPerKiB * (stream.size() / 1024);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!slot.pipeline && !Restart(slot)) {
      problem = "the pipeline of " + slot.mode.name + " cannot start";
      return false;
    }
    switch (slot.pipeline->Exchange(stream, output, Pipeline::Clock::now() + timeout)) {
      case Pipeline::Outcome::kDone:
        return true;
      case Pipeline::Outcome::kTimedOut:
        LogLine("mode " + slot.mode.name + " gave no answer within " + Milliseconds(timeout) +
                "; restarting it");
        Restart(slot);
        problem = "the translation took too long";
        return false;
      case Pipeline::Outcome::kDied:
        LogLine("mode " + slot.mode.name + " ended unexpectedly; restarting it");
        Restart(slot);
        break;
    }
  }
  problem = "the translation programs ended unexpectedly";
  return false;
}

}  // namespace service
