#include "mode_requirements.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace service {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool ProgramInstalled(const std::string& program) {
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string_view directories = path ? path : "/usr/bin:/bin";
  while (!directories.empty()) {
    std::size_t colon = directories.find(':');
    std::string directory(directories.substr(0, colon));
    if (!directory.empty() && ::access((directory + "/" + program).c_str(), X_OK) == 0) {
      return true;
    }
    directories.remove_prefix(colon == std::string_view::npos ? directories.size() : colon + 1);
  }
  return false;
}

std::string Naming(std::string_view what, std::string_view package) {
  std::string named(what);
  if (!package.empty()) named += " (Debian package " + std::string(package) + ")";
  return named;
}

}  // namespace

std::string DebianPackageFor(std::string_view program_or_path) {
  if (StartsWith(program_or_path, "/")) {
    for (const auto& part : std::filesystem::path(program_or_path)) {
      std::string name = part.string();
      if (StartsWith(name, "apertium-")) return name;
    }
    return "";
  }
  std::string_view program = program_or_path;
  if (StartsWith(program, "lt-")) return "lttoolbox";
  if (StartsWith(program, "cg-") || program == "vislcg3") return "cg3";
  if (StartsWith(program, "lrx-")) return "apertium-lex-tools";
  if (StartsWith(program, "lsx-")) return "apertium-separable";
  if (StartsWith(program, "rtx-")) return "apertium-recursive";
  if (StartsWith(program, "hfst-")) return "hfst";
  if (program == "apertium-anaphora") return "apertium-anaphora";
  if (StartsWith(program, "apertium")) return "apertium";
  return "";
}

std::optional<std::string> MissingRequirement(const std::vector<Command>& stages) {
  for (const Command& stage : stages) {
    if (!ProgramInstalled(stage.front())) {
      return Naming("program " + stage.front() + " is not installed",
                    DebianPackageFor(stage.front()));
    }
    for (std::size_t i = 1; i < stage.size(); ++i) {
      std::error_code error;
      if (StartsWith(stage[i], "/") && !std::filesystem::exists(stage[i], error)) {
        return Naming("file " + stage[i] + " is missing", DebianPackageFor(stage[i]));
      }
    }
  }
  return std::nullopt;
}

}  // namespace service
