// What a mode needs installed before its pipeline can start, named as the person installing it
// needs to hear it: the program or file, and the Debian package that brings it.
#pragma once

#include "apertium_mode.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service {

// The Debian package of an Apertium program ("lt-proc" -> "lttoolbox") or of a pair's data
// file (".../apertium-eng-spa/eng-spa.prob" -> "apertium-eng-spa"); "" when not known.
std::string DebianPackageFor(std::string_view program_or_path);

// The first program (looked up on PATH) or absolute file argument of the stages that is not
// there, as "program lt-proc is not installed (Debian package lttoolbox)"; nothing when the
// mode has all it needs.
std::optional<std::string> MissingRequirement(const std::vector<Command>& stages);

}  // namespace service
