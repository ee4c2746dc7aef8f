#include "source_words.h"

#include "service/detect/word_analyser.h"
#include "service/posix/log.h"

#include <exception>

namespace service {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

SourceWords::SourceWords(const std::vector<Mode>& modes) {
  for (const Mode& mode : modes) {
    if (mode.stages.empty()) continue;
    for (const std::string& word : mode.stages.front()) {
      if (EndsWith(word, ".automorf.bin")) paths_[mode.name] = word;
    }
  }
}

SourceWords::~SourceWords() = default;

bool SourceWords::HasCommonWord(const std::string& mode, const std::string& word) {
  const detect::WordAnalyser* analyser = AnalyserOf(mode);
  return analyser && analyser->HasCommonWord(word);
}

const detect::WordAnalyser* SourceWords::AnalyserOf(const std::string& mode) {
  auto path = paths_.find(mode);
  if (path == paths_.end()) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = analysers_.find(mode);
  if (found == analysers_.end()) {
    std::unique_ptr<detect::WordAnalyser> analyser;
    try {
      analyser = std::make_unique<detect::WordAnalyser>(path->second);
    } catch (const std::exception& failure) {
      LogLine("mode " + mode + ": " + failure.what() + "; addressees stay as typed");
    }
    found = analysers_.emplace(mode, std::move(analyser)).first;
  }
  return found->second.get();
}

}  // namespace service
