// The service's --upstream values, and the engine each one names.
#pragma once

#include "service/engine/engine.h"
#include "service/engine/upstream/upstream_engine.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace service::upstream {

struct UpstreamOption {
  enum class Kind { kLibreTranslate, kApy };
  Kind kind = Kind::kLibreTranslate;
  std::string url;       // without a trailing slash
  std::string key_file;  // empty without one; a credential's full path
  std::string api_key;   // the key file's content, white space trimmed; never logged
  // Asked before Apertium for the codes both serve, Apertium then being its failover.
  bool first = false;
};

// Reads "libretranslate=URL", "libretranslate=URL,key-file=PATH", "apy=URL" and the key file, or
// "libretranslate=URL,key-credential=NAME": the key in $CREDENTIALS_DIRECTORY/NAME, where
// systemd's LoadCredential=NAME:PATH puts it for the service alone. Either kind also takes
// ",first", in any place after the URL.
// On a fault, nothing, with *error saying why (naming the key file, never what it holds).
std::optional<UpstreamOption> ParseUpstreamOption(std::string_view value, std::string* error);

// Learns the upstream's pairs before returning; never throws because the upstream is down.
std::unique_ptr<Engine> MakeUpstreamEngine(const UpstreamOption& option,
                                           UpstreamLimits limits = {});

// The router's engines in priority order: the upstreams marked first, `local`, then the other
// upstreams, each group in the order given.
std::vector<std::unique_ptr<Engine>> EnginesInOrder(std::unique_ptr<Engine> local,
                                                    const std::vector<UpstreamOption>& upstreams,
                                                    UpstreamLimits limits = {});

}  // namespace service::upstream
