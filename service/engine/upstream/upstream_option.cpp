#include "service/engine/upstream/upstream_option.h"

#include "service/engine/upstream/apy_engine.h"
#include "service/engine/upstream/libretranslate_engine.h"
#include "service/posix/credential.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace service::upstream {
namespace {

constexpr std::string_view kUsage =
    "--upstream takes libretranslate=URL[,key-file=PATH|,key-credential=NAME][,first] or "
    "apy=URL[,first]";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view Trim(std::string_view text) {
  const char* space = " \t\r\n";
  size_t begin = text.find_first_not_of(space);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool ReadKey(const std::string& path, std::string* key, std::string* error) {
  std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  std::string content;
  char buffer[4096];
  while (file) {
    size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    content.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (!file || std::ferror(file.get())) {
    *error = "--upstream: cannot read key-file=" + path + " (" + std::strerror(errno) + ")";
    return false;
  }
  *key = std::string(Trim(content));
  if (key->empty()) {
    *error = "--upstream: key-file=" + path + " holds no key";
    return false;
  }
  return true;
}

// A credential is where systemd's LoadCredential= put it, so the unit and the options name the
// key without a path on the machine that holds it.
bool CredentialPath(std::string_view name, std::string* path, std::string* error) {
  CredentialLookup lookup = FindCredential(name, path);
  if (lookup == CredentialLookup::kFound) return true;
  std::string shown = lookup == CredentialLookup::kNoDirectory ? std::string(name) : "";
  *error = "--upstream: key-credential=" + shown + " " + CredentialProblem(lookup, name);
  return false;
}

// "key-file=PATH" or "key-credential=NAME": where the key is to be read from.
bool KeyPath(std::string_view setting, std::string* path, std::string* error) {
  constexpr std::string_view kKeyFile = "key-file=";
  constexpr std::string_view kKeyCredential = "key-credential=";
  if (StartsWith(setting, kKeyCredential)) {
    return CredentialPath(setting.substr(kKeyCredential.size()), path, error);
  }
  if (!StartsWith(setting, kKeyFile)) {
    *error = "--upstream libretranslate=URL: unknown setting \"" + std::string(setting) +
             "\" (only key-file=PATH, key-credential=NAME or first)";
    return false;
  }
  *path = std::string(setting.substr(kKeyFile.size()));
  if (path->empty()) {
    *error = "--upstream: key-file= needs a path";
    return false;
  }
  return true;
}

// The settings after the URL, comma-separated, each at most once, in any order.
bool ReadSettings(std::string_view settings, UpstreamOption* option, std::string* error) {
  bool apy = option->kind == UpstreamOption::Kind::kApy;
  while (true) {
    size_t comma = settings.find(',');
    std::string_view setting = settings.substr(0, comma);
    if (setting == "first") {
      if (option->first) {
        *error = "--upstream: first is given twice";
        return false;
      }
      option->first = true;
    } else if (apy) {
      *error = "--upstream apy=URL takes only first after the URL";
      return false;
    } else if (!option->key_file.empty()) {
      *error = "--upstream libretranslate=URL: one key-file= or key-credential= only";
      return false;
    } else if (!KeyPath(setting, &option->key_file, error) ||
               !ReadKey(option->key_file, &option->api_key, error)) {
      return false;
    }
    if (comma == std::string_view::npos) return true;
    settings.remove_prefix(comma + 1);
  }
}

}  // namespace

std::optional<UpstreamOption> ParseUpstreamOption(std::string_view value, std::string* error) {
  UpstreamOption option;
  size_t equals = value.find('=');
  if (equals == std::string_view::npos) {
    *error = std::string(kUsage) + ", not \"" + std::string(value) + "\"";
    return std::nullopt;
  }
  std::string_view kind = value.substr(0, equals);
  if (kind == "libretranslate") {
    option.kind = UpstreamOption::Kind::kLibreTranslate;
  } else if (kind == "apy") {
    option.kind = UpstreamOption::Kind::kApy;
  } else {
    *error = "--upstream: unknown kind \"" + std::string(kind) + "\" (" + std::string(kUsage) + ")";
    return std::nullopt;
  }
  std::string_view rest = value.substr(equals + 1);
  size_t comma = rest.find(',');
  std::string_view url = rest.substr(0, comma);
  if (!StartsWith(url, "http://") && !StartsWith(url, "https://")) {
    *error = "--upstream " + std::string(kind) + "= needs a URL starting http:// or https://";
    return std::nullopt;
  }
  size_t host = url.find("//") + 2;
  while (url.size() > host && url.back() == '/') url.remove_suffix(1);
  if (url.find_first_of(" \t\r\n") != std::string_view::npos || url.size() == host ||
      url[host] == '/') {
    *error = "--upstream " + std::string(kind) + "= has no usable URL";
    return std::nullopt;
  }
  option.url = std::string(url);
  if (comma == std::string_view::npos) return option;
  if (!ReadSettings(rest.substr(comma + 1), &option, error)) return std::nullopt;
  return option;
}

std::unique_ptr<Engine> MakeUpstreamEngine(const UpstreamOption& option, UpstreamLimits limits) {
  if (option.kind == UpstreamOption::Kind::kApy) {
    return std::make_unique<ApyEngine>(option.url, limits);
  }
  return std::make_unique<LibreTranslateEngine>(option.url, option.api_key, option.key_file,
                                                limits);
}

std::vector<std::unique_ptr<Engine>> EnginesInOrder(std::unique_ptr<Engine> local,
                                                    const std::vector<UpstreamOption>& upstreams,
                                                    UpstreamLimits limits) {
  std::vector<std::unique_ptr<Engine>> engines;
  for (bool first : {true, false}) {
    if (!first) engines.push_back(std::move(local));
    for (const UpstreamOption& upstream : upstreams) {
      if (upstream.first == first) engines.push_back(MakeUpstreamEngine(upstream, limits));
    }
  }
  return engines;
}

}  // namespace service::upstream
