#include "apertium_mode.h"

#include "apertium_config.h"
#include "mode_requirements.h"
#include "service/posix/child_process.h"
#include "service/posix/log.h"

#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace service {

namespace {

// Apertium names some languages by their three-letter code.
const std::map<std::string, std::string, std::less<>>& ThreeLetterCodes() {
  static const std::map<std::string, std::string, std::less<>> codes = {
      {"cat", "ca"}, {"deu", "de"}, {"ell", "el"}, {"eng", "en"}, {"fra", "fr"}, {"glg", "gl"},
      {"ita", "it"}, {"jpn", "ja"}, {"kor", "ko"}, {"nld", "nl"}, {"oci", "oc"}, {"por", "pt"},
      {"ron", "ro"}, {"rus", "ru"}, {"spa", "es"}, {"zho", "zh"}};
  return codes;
}

std::optional<std::string> TwoLetterCode(std::string_view code) {
  if (code.size() == 2 &&
      std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
    return std::string(code);
  }
  auto found = ThreeLetterCodes().find(code);
  if (found == ThreeLetterCodes().end()) return std::nullopt;
  return found->second;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Reads what a child writes until it closes its end or the deadline passes.
std::string ReadAllUntil(int fd, std::chrono::steady_clock::time_point deadline) {
  std::string text;
  char buffer[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd entry{fd, POLLIN, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    text.append(buffer, static_cast<std::size_t>(count));
  }
  return text;
}

std::string UsageTextOf(const std::string& program, const char* flag) {
  Pipe output = MakePipe();
  UniqueFd nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!nothing) return {};
  ChildProcess child;
  try {
    child =
        ChildProcess::Spawn({program, flag}, nothing.get(), output.write.get(), output.write.get());
  } catch (const std::exception&) {
    return {};
  }
  output.write.reset();
  std::string usage =
      ReadAllUntil(output.read.get(), std::chrono::steady_clock::now() + kProbeTimeout);
  child.Kill();
  return usage;
}

}  // namespace

std::optional<std::pair<std::string, std::string>> ModeLanguages(std::string_view name) {
  auto dash = name.find('-');
  if (dash == std::string_view::npos || name.find('-', dash + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  auto source = TwoLetterCode(name.substr(0, dash));
  auto target = TwoLetterCode(name.substr(dash + 1));
  if (!source || !target || *source == *target) return std::nullopt;
  return std::make_pair(*source, *target);
}

std::vector<Command> ParseModePipeline(std::string_view text) {
  std::vector<Command> stages(1);
  std::string word;
  bool in_word = false;  // a quoted empty string is still a word
  enum class Quote { kNone, kSingle, kDouble } quote = Quote::kNone;

  auto end_word = [&] {
    if (in_word) stages.back().push_back(word);
    word.clear();
    in_word = false;
  };
  auto expand = [&](std::size_t& i) {
    if (i + 1 >= text.size() || (text[i + 1] != '1' && text[i + 1] != '2')) {
      throw std::invalid_argument("unsupported shell expansion in mode");
    }
    if (text[i + 1] == '1') {
      word += "-n";
      in_word = true;
    }
    ++i;
  };

  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (quote) {
      case Quote::kSingle:
        if (c == '\'') {
          quote = Quote::kNone;
        } else {
          word += c;
        }
        continue;
      case Quote::kDouble:
        if (c == '"') {
          quote = Quote::kNone;
        } else if (c == '\\' && i + 1 < text.size() &&
                   std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos) {
          word += text[++i];
        } else if (c == '$') {
          expand(i);
        } else if (c == '`') {
          throw std::invalid_argument("unsupported command substitution in mode");
        } else {
          word += c;
        }
        continue;
      case Quote::kNone: break;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      end_word();
    } else if (c == '|') {
      end_word();
      if (stages.back().empty()) throw std::invalid_argument("empty stage in mode");
      stages.emplace_back();
    } else if (c == '\'' || c == '"') {
      quote = c == '\'' ? Quote::kSingle : Quote::kDouble;
      in_word = true;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
      in_word = true;
    } else if (c == '$') {
      expand(i);
    } else if (std::string_view(";&<>()`").find(c) != std::string_view::npos) {
      throw std::invalid_argument(std::string("unsupported shell operator '") + c + "' in mode");
    } else {
      word += c;
      in_word = true;
    }
  }
  if (quote != Quote::kNone) throw std::invalid_argument("unterminated quote in mode");
  end_word();
  if (stages.back().empty()) throw std::invalid_argument("empty stage in mode");
  return stages;
}

std::vector<Command> WithBilingualLookupApart(std::vector<Command> stages) {
  std::vector<Command> split;
  for (Command& stage : stages) {
    bool transfer_with_lookup =
        std::filesystem::path(stage.front()).filename() == "apertium-transfer" &&
        stage.size() == 4 &&
        std::none_of(stage.begin() + 1, stage.end(),
                     [](const std::string& word) { return word.rfind('-', 0) == 0; });
    if (!transfer_with_lookup) {
      split.push_back(std::move(stage));
      continue;
    }
    split.push_back({"lt-proc", "-b", stage[3]});
    split.push_back({stage[0], "-b", stage[1], stage[2]});
  }
  return split;
}

bool UsageOffersNullFlush(std::string_view usage) {
  static const std::regex flag(R"((^|[\s\[|,(])-z($|[\s\]|,:)=]))");
  static const std::regex long_flag(R"(--null-flush\b)");
  std::string text(usage);
  return std::regex_search(text, flag) || std::regex_search(text, long_flag);
}

bool ProgramTakesNullFlush(const std::string& program) {
  // Some programs print their usage for --help, others only for -h.
  return UsageOffersNullFlush(UsageTextOf(program, "--help")) ||
         UsageOffersNullFlush(UsageTextOf(program, "-h"));
}

std::vector<Command> WithNullFlush(
    std::vector<Command> stages, const std::function<bool(const std::string&)>& takes_null_flush) {
  std::map<std::string, bool> known;
  for (Command& stage : stages) {
    auto found = known.find(stage.front());
    if (found == known.end()) {
      found = known.emplace(stage.front(), takes_null_flush(stage.front())).first;
    }
    if (found->second) stage.insert(stage.begin() + 1, "-z");
  }
  return stages;
}

std::vector<Mode> DiscoverModes(const std::string& directory) {
  std::vector<Mode> modes;
  std::error_code error;
  std::filesystem::directory_iterator entries(directory, error);
  if (error) {
    LogLine("no Apertium modes in " + directory + ": " + error.message() +
            " (Debian package apertium and a language pair, e.g. apertium-eng-spa)");
    return modes;
  }
  // Every pair runs mostly the same programs: ask each one once.
  std::map<std::string, bool> probed;
  auto takes_null_flush = [&probed](const std::string& program) {
    auto found = probed.find(program);
    if (found == probed.end()) {
      found = probed.emplace(program, ProgramTakesNullFlush(program)).first;
      if (!found->second) LogLine("program " + program + " has no null-flush mode");
    }
    return found->second;
  };
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : entries) {
    if (entry.path().extension() == ".mode") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  // One line for each thing missing, however many modes it keeps from starting.
  std::map<std::string, std::string> missing;
  for (const auto& path : paths) {
    std::string name = path.stem().string();
    auto languages = ModeLanguages(name);
    if (!languages) continue;
    auto duplicate = std::find_if(modes.begin(), modes.end(), [&](const Mode& mode) {
      return mode.source == languages->first && mode.target == languages->second;
    });
    if (duplicate != modes.end()) {
      LogLine("mode " + name + " skipped: " + duplicate->name + " serves the same pair");
      continue;
    }
    try {
      std::vector<Command> stages = WithBilingualLookupApart(ParseModePipeline(ReadFile(path)));
      if (auto requirement = MissingRequirement(stages)) {
        std::string& skipped = missing[*requirement];
        skipped += (skipped.empty() ? "" : ", ") + name;
        continue;
      }
      modes.push_back(Mode{name, languages->first, languages->second,
                           WithNullFlush(std::move(stages), takes_null_flush)});
    } catch (const std::exception& failure) {
      LogLine("mode " + name + " skipped: " + failure.what());
    }
  }
  for (const auto& [requirement, skipped] : missing) {
    LogLine(requirement + "; skipped: " + skipped);
  }
  return modes;
}

}  // namespace service
