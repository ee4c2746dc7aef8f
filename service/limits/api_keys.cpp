#include "api_keys.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace service::limits {

namespace {

constexpr std::string_view kBlank = " \t\r";

std::string_view Trimmed(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// FNV-1a: stable across instances and builds, which share counts through the store.
std::string CounterOf(std::string_view key) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : key) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return std::string("key:") + text;
}

std::optional<long long> PerMinute(std::string_view text) {
  long long number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < 1 ||
      number > 1000000000) {
    return std::nullopt;
  }
  return number;
}

}  // namespace

std::optional<ApiKeys> ApiKeys::Parse(std::string_view text, std::string* problem) {
  ApiKeys keys;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::size_t gap = line.find_first_of(kBlank);
    std::string_view key = line.substr(0, gap);
    ApiKey entry{CounterOf(key), 0};
    if (gap != std::string_view::npos) {
      auto limit = PerMinute(Trimmed(line.substr(gap)));
      if (!limit) {
        *problem = "line " + std::to_string(number) +
                   ": after the key, only its translations per minute (1 to 1000000000)";
        return std::nullopt;
      }
      entry.per_minute = *limit;
    }
    keys.keys_[std::string(key)] = std::move(entry);
  }
  return keys;
}

const ApiKey* ApiKeys::Find(std::string_view key) const {
  auto found = keys_.find(std::string(key));
  return found == keys_.end() ? nullptr : &found->second;
}

ApiKeyRing::ApiKeyRing(std::string path) : path_(std::move(path)) {
  std::string problem;
  auto keys = Read(&problem);
  if (!keys) throw std::runtime_error(problem);
  keys_ = std::make_shared<const ApiKeys>(std::move(*keys));
}

std::string ApiKeyRing::Reload() {
  std::string problem;
  auto keys = Read(&problem);
  if (!keys) return problem;
  auto fresh = std::make_shared<const ApiKeys>(std::move(*keys));
  std::lock_guard<std::mutex> lock(mutex_);
  keys_ = std::move(fresh);
  return "";
}

std::shared_ptr<const ApiKeys> ApiKeyRing::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keys_;
}

std::optional<ApiKeys> ApiKeyRing::Read(std::string* problem) const {
  std::ifstream file(path_, std::ios::binary);
  std::stringstream text;
  if (!file || !(text << file.rdbuf())) {
    // An empty file is a ring without keys, not a failure.
    if (file && file.peek() == std::ifstream::traits_type::eof()) return ApiKeys{};
    *problem = "cannot read the API keys file " + path_;
    return std::nullopt;
  }
  auto keys = ApiKeys::Parse(text.str(), problem);
  if (!keys) *problem = "the API keys file " + path_ + ", " + *problem;
  return keys;
}

}  // namespace service::limits
