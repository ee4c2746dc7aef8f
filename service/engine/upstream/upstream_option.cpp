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
    "--upstream takes libretranslate=URL[,key-file=PATH|,key-credential=NAME] or apy=URL";

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
             "\" (only key-file=PATH or key-credential=NAME)";
    return false;
  }
  *path = std::string(setting.substr(kKeyFile.size()));
  if (path->empty()) {
    *error = "--upstream: key-file= needs a path";
    return false;
  }
  return true;
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

  std::string_view setting = rest.substr(comma + 1);
  if (option.kind == UpstreamOption::Kind::kApy) {
    *error = "--upstream apy=URL takes nothing after the URL";
    return std::nullopt;
  }
  if (!KeyPath(setting, &option.key_file, error)) return std::nullopt;
  if (!ReadKey(option.key_file, &option.api_key, error)) return std::nullopt;
  return option;
}

std::unique_ptr<Engine> MakeUpstreamEngine(const UpstreamOption& option, UpstreamLimits limits) {
  if (option.kind == UpstreamOption::Kind::kApy) {
    return std::make_unique<ApyEngine>(option.url, limits);
  }
  return std::make_unique<LibreTranslateEngine>(option.url, option.api_key, option.key_file,
                                                limits);
}

}  // namespace service::upstream
