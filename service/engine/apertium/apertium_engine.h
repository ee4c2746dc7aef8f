// The engine on the installed Apertium modes: the language pairs they reach and the warm
// pipelines that translate them.
#pragma once

#include "apertium_config.h"
#include "apertium_mode.h"
#include "pipeline_pool.h"
#include "service/engine/engine.h"
#include "source_words.h"

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace service {

struct LanguagePair {
  std::string code;                // as the plug-in writes it, e.g. "fr_en"
  std::vector<std::string> modes;  // one mode, or two through the pivot language
  std::string description;         // e.g. "French to English (through Spanish)"
};

// Every code the modes reach: each mode directly, and through the pivot language where no
// direct mode exists. Sorted by code.
std::vector<LanguagePair> PlanPairs(const std::vector<Mode>& modes,
                                    std::string_view pivot = kPivotLanguage);

struct ApertiumOptions {
  std::string modes_dir = kDefaultModesDir;
  // Codes to offer; empty offers every code the installed modes reach.
  std::vector<std::string> codes;
  // Plus kExchangeTimeoutPerKiB for each KiB of a request.
  std::chrono::milliseconds exchange_timeout = kExchangeTimeoutBase;
  std::chrono::milliseconds startup_timeout = kStartupTimeout;
  // The most pipelines a busy mode runs at once, and how long the ones beyond the first stay
  // unused before they stop.
  std::size_t pipelines_per_mode = kPipelinesPerMode;
  std::chrono::milliseconds spare_idle = kSparePipelineIdle;
};

class ApertiumEngine : public Engine {
 public:
  // Finds the installed modes, starts the pipelines of the offered pairs and returns once
  // each has answered a first request. Pairs whose pipelines do not start are left out.
  explicit ApertiumEngine(ApertiumOptions options = {});
  ApertiumEngine(const ApertiumEngine&) = delete;
  ApertiumEngine& operator=(const ApertiumEngine&) = delete;
  ~ApertiumEngine() override;

  std::string Name() const override { return "apertium"; }
  std::vector<Offer> Offers() const override;
  // Kept pieces pass as superblanks, so they stay in their place in the sentence.
  Translation Translate(std::string_view code, const std::vector<Piece>& pieces) override;
  // Ready from the start on: a pair whose pipelines did not start is not offered, and a
  // pipeline that breaks is replaced.
  EngineHealth Health() const override;

  const std::vector<LanguagePair>& Pairs() const { return pairs_; }
  const LanguagePair* Find(std::string_view code) const;

  // Translates UTF-8 text. Each of a mode's pipelines serves one request at a time; requests
  // for a mode wait for a free one in the order they came. A pipeline that dies is replaced
  // and the request tried again on another, until one started after the death has had it: the
  // others may have died too. One that stops answering is replaced and the request fails. Each
  // mode of the pair takes at most pipelines_per_mode + 1 waits for a pipeline (each at most the
  // startup timeout, the time a replacement takes) and as many exchanges, of which at most one
  // runs to its timeout.
  Translation TranslatePair(const LanguagePair& pair, std::string_view text);

  // The same for a text cut into pieces: the kept ones come back byte for byte and in place
  // (as superblanks; should Apertium lose one, the pieces between are translated one by one),
  // the white space at both ends as typed. A leading addressee that is a word of the source
  // language ("Nota: ") is translated with the sentence it opens.
  Translation TranslatePair(const LanguagePair& pair, const std::vector<Piece>& pieces);

  // How many pipelines run now over every mode, busy or free.
  std::size_t PipelinesRunning() const;

  // The process ids of a mode's pipelines, for tests that break them.
  std::vector<pid_t> PipelinePids(const std::string& mode) const;

 private:
  // Runs an Apertium stream through the pair's modes, in order.
  Translation TranslateStream(const LanguagePair& pair, std::string stream);
  bool Exchange(PipelinePool& pool, std::string_view stream, std::string& output,
                std::string& problem);

  ApertiumOptions options_;
  std::map<std::string, std::unique_ptr<PipelinePool>, std::less<>> pools_;
  std::vector<LanguagePair> pairs_;
  std::unique_ptr<SourceWords> source_words_;
};

}  // namespace service
