#include "target_code.h"

#include <algorithm>

namespace service::detect {

namespace {

constexpr std::string_view kAutoPrefix = "auto_";

bool IsLanguageCode(std::string_view code) {
  return code.size() == 2 &&
         std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// "fr_en" is from "fr" to "en"; a code of another shape names no pair.
bool SplitPair(std::string_view code, std::string_view* source, std::string_view* target) {
  if (code.size() != 5 || code[2] != '_') return false;
  *source = code.substr(0, 2);
  *target = code.substr(3);
  return IsLanguageCode(*source) && IsLanguageCode(*target);
}

}  // namespace

std::optional<std::string> TargetOnly(std::string_view code) {
  if (code.substr(0, kAutoPrefix.size()) == kAutoPrefix) code.remove_prefix(kAutoPrefix.size());
  if (!IsLanguageCode(code)) return std::nullopt;
  return std::string(code);
}

std::vector<std::string> SourcesFor(const Router& router, std::string_view target) {
  std::vector<std::string> sources;
  for (const Route& route : router.Routes()) {
    std::string_view source, to;
    if (SplitPair(route.code, &source, &to) && to == target) sources.emplace_back(source);
  }
  return sources;
}

std::vector<std::string> ServedTargets(const Router& router) {
  std::vector<std::string> targets;
  for (const Route& route : router.Routes()) {
    std::string_view source, target;
    if (!SplitPair(route.code, &source, &target)) continue;
    if (std::find(targets.begin(), targets.end(), target) == targets.end()) {
      targets.emplace_back(target);
    }
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

std::optional<Resolution> ResolveTargetOnly(const Router& router, const LanguageDetector& detector,
                                            std::string_view code, std::string_view text) {
  std::optional<std::string> target = TargetOnly(code);
  if (!target) return std::nullopt;
  std::vector<std::string> candidates = SourcesFor(router, *target);
  if (candidates.empty()) return std::nullopt;
  candidates.push_back(*target);
  Resolution resolution;
  resolution.detection = detector.Detect(text, candidates);
  const std::optional<std::string>& source = resolution.detection.language;
  if (source && *source != *target) resolution.code = *source + "_" + *target;
  return resolution;
}

}  // namespace service::detect
