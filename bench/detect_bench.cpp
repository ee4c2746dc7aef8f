// The detection's accuracy on bench/detect-corpus.tsv, per language and overall, and on the lines
// of at most three words, with CLD2 alone on the same lines beside it; then the same figures for
// the two halves a fixed hash of each line puts it in (the weights are tuned on the first, the
// second is held out), and the time one detection takes. Tables on stdout; --misses lists the
// lines it got wrong.
//
// usage: detect-bench [--corpus FILE] [--misses]
#include "service/detect/cld2_scores.h"
#include "service/detect/language_detector.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Line {
  std::string language;
  std::string text;
  bool short_line = false;  // at most three words
  bool held_out = false;    // in the half no weight was tuned on
};

// FNV-1a of the language and the line: the same half on every machine, whatever the order of
// the corpus, and unrelated to what the detector makes of the line.
bool HeldOut(const std::string& language, const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (char c : language + "\t" + text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return (hash & 1) != 0;
}

struct Tally {
  int lines = 0, detected = 0, cld2 = 0;
  void Add(bool ours, bool theirs) {
    ++lines;
    detected += ours;
    cld2 += theirs;
  }
};

std::vector<Line> ReadCorpus(const std::string& path) {
  std::ifstream file(path);
  std::vector<Line> lines;
  std::string row;
  while (std::getline(file, row)) {
    std::size_t tab = row.find('\t');
    if (row.empty() || row[0] == '#' || tab == std::string::npos) continue;
    Line line{row.substr(0, tab), row.substr(tab + 1)};
    std::istringstream words(line.text);
    std::string word;
    int count = 0;
    while (words >> word) ++count;
    line.short_line = count <= 3;
    line.held_out = HeldOut(line.language, line.text);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string Percent(int part, int whole) {
  if (whole == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%% (%d/%d)", 100.0 * part / whole, part, whole);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus = MIRELSKAN_DETECT_CORPUS;
  bool misses = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--corpus" && i + 1 < argc) {
      corpus = argv[++i];
    } else if (argument == "--misses") {
      misses = true;
    } else {
      std::fprintf(stderr, "usage: detect-bench [--corpus FILE] [--misses]\n");
      return 2;
    }
  }
  std::vector<Line> lines = ReadCorpus(corpus);
  if (lines.empty()) {
    std::fprintf(stderr, "detect-bench: no lines in %s\n", corpus.c_str());
    return 1;
  }
  service::detect::LanguageDetector detector;
  std::map<std::string, Tally> all, short_lines;
  Tally total, total_short;
  // By half (0 tuning, 1 held out): every line, the short ones, the short ones per language.
  Tally half[2], half_short[2];
  std::map<std::string, Tally> half_short_by_language[2];
  std::vector<double> times;
  for (const Line& line : lines) {
    auto start = std::chrono::steady_clock::now();
    service::detect::Detection detection = detector.Detect(line.text);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    bool ours = detection.language.value_or("") == line.language;
    // CLD2 as a new user calls it: the whole line, its first language.
    bool theirs = service::detect::Cld2FirstLanguage(line.text) == line.language;
    all[line.language].Add(ours, theirs);
    total.Add(ours, theirs);
    half[line.held_out].Add(ours, theirs);
    if (line.short_line) {
      short_lines[line.language].Add(ours, theirs);
      total_short.Add(ours, theirs);
      half_short[line.held_out].Add(ours, theirs);
      half_short_by_language[line.held_out][line.language].Add(ours, theirs);
    }
    if (misses && !ours) {
      std::string said;
      for (const auto& [language, share] : service::detect::ScoreWithCld2(line.text, true).share) {
        said += " " + language + "=" + std::to_string(static_cast<int>(share * 100));
      }
      std::printf("%s %s -> %s (CLD2 best effort:%s): %s\n",
                  line.held_out ? "held-out miss" : "miss", line.language.c_str(),
                  detection.language.value_or("(none)").c_str(), said.c_str(), line.text.c_str());
    }
  }
  std::printf("corpus: %s, %zu lines; analysers: ", corpus.c_str(), lines.size());
  for (const std::string& language : detector.AnalysedLanguages()) {
    std::printf("%s ", language.c_str());
  }
  std::printf(
      "\n\n| language | detection | CLD2 alone | at most 3 words: detection | CLD2 alone |\n");
  std::printf("| --- | --- | --- | --- | --- |\n");
  for (const std::string& language : service::detect::LanguageDetector::Languages()) {
    const Tally& a = all[language];
    const Tally& s = short_lines[language];
    std::printf("| %s | %s | %s | %s | %s |\n", language.c_str(),
                Percent(a.detected, a.lines).c_str(), Percent(a.cld2, a.lines).c_str(),
                Percent(s.detected, s.lines).c_str(), Percent(s.cld2, s.lines).c_str());
  }
  std::printf("| all | %s | %s | %s | %s |\n", Percent(total.detected, total.lines).c_str(),
              Percent(total.cld2, total.lines).c_str(),
              Percent(total_short.detected, total_short.lines).c_str(),
              Percent(total_short.cld2, total_short.lines).c_str());
  static const char* const kShortTargets[] = {"en", "es", "fr", "it", "pt"};
  std::printf("\n| half | detection | at most 3 words |");
  for (const char* language : kShortTargets) std::printf(" 3 words %s |", language);
  std::printf("\n| --- | --- | --- | --- | --- | --- | --- | --- |\n");
  for (int held_out = 0; held_out < 2; ++held_out) {
    std::printf("| %s | %s | %s |", held_out ? "held out" : "tuning",
                Percent(half[held_out].detected, half[held_out].lines).c_str(),
                Percent(half_short[held_out].detected, half_short[held_out].lines).c_str());
    for (const char* language : kShortTargets) {
      const Tally& s = half_short_by_language[held_out][language];
      std::printf(" %s |", Percent(s.detected, s.lines).c_str());
    }
    std::printf("\n");
  }
  std::sort(times.begin(), times.end());
  std::printf("\none detection (all 13 candidates): median %.3f ms, p99 %.3f ms\n",
              times[times.size() / 2], times[times.size() * 99 / 100]);
  return 0;
}
