#include "lru_cache.h"

namespace service::cache {

LruCache::LruCache(std::size_t capacity) : capacity_(capacity) {}

std::size_t LruCache::Cost(const Entry& entry) {
  return entry.key.size() + entry.value.size() + kEntryOverhead;
}

void LruCache::Erase(Entries::iterator entry) {
  bytes_ -= Cost(*entry);
  index_.erase(entry->key);
  entries_.erase(entry);
}

std::optional<std::string> LruCache::Find(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = index_.find(key);
  if (found == index_.end()) return std::nullopt;
  entries_.splice(entries_.begin(), entries_, found->second);
  return found->second->value;
}

bool LruCache::Holds(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return index_.count(key) != 0;
}

void LruCache::Put(const std::string& key, std::string value) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = index_.find(key);
  if (found != index_.end()) Erase(found->second);
  Entry entry{key, std::move(value)};
  std::size_t cost = Cost(entry);
  if (cost > capacity_) return;
  while (bytes_ + cost > capacity_) Erase(std::prev(entries_.end()));
  entries_.push_front(std::move(entry));
  index_.emplace(key, entries_.begin());
  bytes_ += cost;
}

std::size_t LruCache::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

}  // namespace service::cache
