// Installed Apertium modes: which pairs exist and the programs each one runs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace service {

using Command = std::vector<std::string>;

struct Mode {
  std::string name;    // the file name without ".mode", e.g. "fr-es" or "spa-eng"
  std::string source;  // two-letter codes as the plug-in writes them, e.g. "fr"
  std::string target;
  std::vector<Command> stages;  // ready to run: -z added where taken, $1 and $2 resolved
};

// The two-letter source and target of a mode name ("spa-eng" -> es, en); nothing for
// variants and special modes ("spa-eng_US", "eco-es-fr", "fr-es-tagger").
std::optional<std::pair<std::string, std::string>> ModeLanguages(std::string_view name);

// Splits a .mode file's shell pipeline into one command per program. $1 becomes "-n" (no
// marks on unknown words) and $2 nothing, as `apertium -u` runs them. Throws
// std::invalid_argument for shell syntax beyond words, quotes and pipes.
std::vector<Command> ParseModePipeline(std::string_view text);

// Splits each `apertium-transfer T1X BIN BILINGUAL` stage into `lt-proc -b BILINGUAL` and
// `apertium-transfer -b T1X BIN`, as `apertium` rewrites modes before it runs them: the
// transfer's own lookup passes on every translation of a word that has several, which the
// generator cannot inflect. Stages with options are left as written, as `apertium` leaves them.
std::vector<Command> WithBilingualLookupApart(std::vector<Command> stages);

// Whether a program's usage text offers null-flush mode (-z).
bool UsageOffersNullFlush(std::string_view usage);

// Asks a program for its usage text and looks for -z in it.
bool ProgramTakesNullFlush(const std::string& program);

// Puts -z right after the program name of every stage whose program takes it.
// `takes_null_flush` is asked once per program.
std::vector<Command> WithNullFlush(std::vector<Command> stages,
                                   const std::function<bool(const std::string&)>& takes_null_flush);

// Every usable mode in `directory`, sorted by name; a mode whose file cannot be read or
// parsed is logged and left out.
std::vector<Mode> DiscoverModes(const std::string& directory);

}  // namespace service
