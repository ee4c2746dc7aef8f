// Answers kept in this process up to a number of bytes; when a new one does not fit, the least
// recently used go first. Safe to use from many threads at once.
#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace service::cache {

// What an entry costs besides its key and value: the list and map nodes and the strings'
// own headers, so that many short chat lines do not hold far more than the bound says.
inline constexpr std::size_t kEntryOverhead = 128;

class LruCache {
 public:
  // Holds at most `capacity` bytes, each entry counted as key + value + kEntryOverhead; 0
  // holds nothing.
  explicit LruCache(std::size_t capacity);
  LruCache(const LruCache&) = delete;
  LruCache& operator=(const LruCache&) = delete;

  // The value kept under `key`, which becomes the most recently used.
  std::optional<std::string> Find(const std::string& key);

  // Whether a value is kept under `key`; what is used most recently stays as it was.
  bool Holds(const std::string& key) const;

  // Keeps `value` under `key` (replacing what was there), dropping the least recently used
  // entries until it fits; an entry larger than the capacity is not kept.
  void Put(const std::string& key, std::string value);

  std::size_t Bytes() const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  using Entries = std::list<Entry>;  // most recently used first

  static std::size_t Cost(const Entry& entry);
  void Erase(Entries::iterator entry);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  Entries entries_;
  std::unordered_map<std::string, Entries::iterator> index_;
  std::size_t bytes_ = 0;
};

}  // namespace service::cache
