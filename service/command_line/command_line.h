// The service's command line: every option, its help and its checks in one place, read into the
// settings the service runs with.
#pragma once

#include "service/cache/cache_options.h"
#include "service/engine/apertium/apertium_engine.h"
#include "service/engine/upstream/upstream_option.h"
#include "service/http/api_options.h"
#include "service/http/listen_socket.h"
#include "service/limits/client_limits.h"

#include <optional>
#include <string>
#include <vector>

namespace service::command_line {

struct Settings {
  ListenAddress listen;  // kDefaultListen unless --listen
  ApertiumOptions apertium;
  // In the order given: for a code, the first that offers it serves it, those marked first
  // before Apertium and the others after it.
  std::vector<upstream::UpstreamOption> upstreams;
  limits::LimitSettings limits;
  cache::CacheOptions cache;
  bool detect = true;
  // The file whose first line /metrics asks for, a credential's full path; empty: none asked.
  std::string metrics_token_file;
  ApiOptions api;
  // The operator's corrections, "CODE<TAB>LINE<TAB>TRANSLATION" a line; empty: none.
  std::string corrections_file;
  // LibreTranslate's POST /suggest keeps suggestions pending beside the corrections file.
  bool suggestions = false;
  // What the program does: serve, or one command on the pending suggestions and exit.
  enum class Command { kServe, kListSuggestions, kAcceptSuggestion };
  Command command = Command::kServe;
  std::size_t accept_number = 0;  // for kAcceptSuggestion, from 1
};

// What a command line comes to: the settings to run with, or the status to exit with at once
// after printing `message` (the help or the version on standard output for 0, one line naming
// the option at fault on standard error for 2).
struct Parsed {
  std::optional<Settings> settings;
  int exit_status = 0;
  std::string message;
};

// `arguments` without the program's name. Reads the upstreams' key files and resolves the
// credentials named, which are faults of the command line when missing. A mistake comes back as
// a Parsed with status 2, never as an exception.
Parsed ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace service::command_line
