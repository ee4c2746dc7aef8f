// The API keys an operator hands out: read from a file, one key a line, each optionally with
// translations per minute of its own. Held so that the file can be read again while requests
// are being answered.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace service::limits {

struct ApiKey {
  // What the limits count the key's requests under: derived from the key, never the key, so a
  // count kept in a shared store shows no key.
  std::string counter;
  long long per_minute = 0;  // 0: the service's own limit per client
};

class ApiKeys {
 public:
  // The keys of `text`, the file's contents: "KEY" or "KEY N" a line, N translations per minute
  // (1 to 1000000000); blank lines and what follows "#" are left out. Nothing, with *problem
  // naming the line (never its key), when a line is malformed.
  static std::optional<ApiKeys> Parse(std::string_view text, std::string* problem);

  const ApiKey* Find(std::string_view key) const;
  std::size_t size() const { return keys_.size(); }

 private:
  std::unordered_map<std::string, ApiKey> keys_;
};

// The keys in force, replaced whole when the file is read again; safe from many threads.
class ApiKeyRing {
 public:
  // Reads `path`; throws std::runtime_error naming the path (and the line) when it cannot.
  explicit ApiKeyRing(std::string path);

  // Reads the file again; on failure keeps the keys in force and returns why, else "".
  std::string Reload();

  std::shared_ptr<const ApiKeys> Current() const;
  const std::string& path() const { return path_; }

 private:
  std::optional<ApiKeys> Read(std::string* problem) const;

  const std::string path_;
  mutable std::mutex mutex_;
  std::shared_ptr<const ApiKeys> keys_;
};

}  // namespace service::limits
