// The words each mode's source language knows, from the analyser its pipeline starts with,
// read the first time a mode is asked: only a line that opens with "name: " asks.
#pragma once

#include "apertium_mode.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace service {

namespace detect {
class WordAnalyser;
}

class SourceWords {
 public:
  explicit SourceWords(const std::vector<Mode>& modes);
  SourceWords(const SourceWords&) = delete;
  SourceWords& operator=(const SourceWords&) = delete;
  ~SourceWords();

  // Whether the mode's source language has `word` (UTF-8) as other than a proper noun; false
  // where the mode has no analyser to ask or it cannot be read.
  bool HasCommonWord(const std::string& mode, const std::string& word);

 private:
  const detect::WordAnalyser* AnalyserOf(const std::string& mode);

  std::map<std::string, std::string> paths_;  // mode -> its .automorf.bin
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<detect::WordAnalyser>> analysers_;  // null: unreadable
};

}  // namespace service
