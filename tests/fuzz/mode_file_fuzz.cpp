// The mode-file parser: any text is either refused with std::invalid_argument or split into
// stages of words that, quoted again, parse to the same stages; -z goes right after each
// program that takes it, asking once per program; a mode name gives two different codes.
//
// Input: mode file \0 mode name
#include "fuzz/fuzz_support.h"
#include "service/engine/apertium/apertium_mode.h"

#include <map>
#include <stdexcept>

namespace {

std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Pipeline(const std::vector<service::Command>& stages) {
  std::string text;
  for (const service::Command& stage : stages) {
    if (!text.empty()) text += " | ";
    for (const std::string& word : stage) text += Quoted(word) + " ";
  }
  return text;
}

bool IsCode(const std::string& code) {
  return code.size() == 2 && code[0] >= 'a' && code[0] <= 'z' && code[1] >= 'a' && code[1] <= 'z';
}

void CheckPipeline(const std::string& text) {
  std::vector<service::Command> stages;
  try {
    stages = service::ParseModePipeline(text);
  } catch (const std::invalid_argument&) {
    return;
  }
  Require(!stages.empty(), "a parsed mode has a stage");
  for (const service::Command& stage : stages) Require(!stage.empty(), "no stage is empty");
  Require(service::ParseModePipeline(Pipeline(stages)) == stages, "quoted words parse the same");

  std::map<std::string, int> asked;
  const auto flagged = service::WithNullFlush(stages, [&](const std::string& program) {
    ++asked[program];
    return program.size() % 2 == 0;
  });
  Require(flagged.size() == stages.size(), "one stage per stage");
  for (std::size_t i = 0; i < stages.size(); ++i) {
    service::Command expected = stages[i];
    if (expected.front().size() % 2 == 0) expected.insert(expected.begin() + 1, "-z");
    Require(flagged[i] == expected, "-z right after each program that takes it");
    Require(asked[stages[i].front()] == 1, "each program asked once");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzParts parts(data, size);
  CheckPipeline(parts.Part(0));
  if (const auto languages = service::ModeLanguages(parts.Part(1))) {
    Require(IsCode(languages->first) && IsCode(languages->second), "two-letter codes");
    Require(languages->first != languages->second, "two different languages");
  }
  Require(service::UsageOffersNullFlush(parts.Part(1) + " -z "), "a free-standing -z is seen");
  return 0;
}
