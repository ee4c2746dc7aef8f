#include "translation_cache.h"

namespace service::cache {

namespace {

// The code and every piece with its length and whether it is kept (and ends a sentence), so
// that no two different requests share a key ("a b" kept whole is not "a" and " b").
std::string Key(std::string_view code, const std::vector<Piece>& pieces) {
  std::string key = "mirelskan:tr:";
  key.append(code);
  for (const Piece& piece : pieces) {
    key += !piece.keep ? "|t" : piece.ends_sentence ? "|e" : "|k";
    key += std::to_string(piece.text.size());
    key += ':';
    key += piece.text;
  }
  return key;
}

}  // namespace

TranslationCache::TranslationCache(std::size_t capacity, SharedState* shared,
                                   std::chrono::seconds shared_ttl)
    : memory_(capacity),
      in_memory_(capacity > 0),
      shared_(shared_ttl.count() > 0 ? shared : nullptr),
      shared_ttl_(shared_ttl) {}

bool TranslationCache::Keeps() const { return in_memory_ || shared_ != nullptr; }

std::optional<std::string> TranslationCache::Recall(std::string_view code,
                                                    const std::vector<Piece>& pieces) {
  if (!Keeps()) return std::nullopt;
  std::string key = Key(code, pieces);
  std::optional<std::string> found = memory_.Find(key);
  if (!found && shared_) {
    found = shared_->Get(key);
    if (found) {
      ++shared_hits_;
      memory_.Put(key, *found);
    }
  }
  ++(found ? hits_ : misses_);
  return found;
}

bool TranslationCache::HoldsInMemory(std::string_view code,
                                     const std::vector<Piece>& pieces) const {
  return in_memory_ && memory_.Holds(Key(code, pieces));
}

void TranslationCache::Remember(std::string_view code, const std::vector<Piece>& pieces,
                                const std::string& translation) {
  if (!Keeps()) return;
  std::string key = Key(code, pieces);
  memory_.Put(key, translation);
  if (shared_) shared_->Set(key, translation, shared_ttl_);
}

CacheStats TranslationCache::Stats() const {
  return {hits_.load(), misses_.load(), memory_.Bytes(), shared_hits_.load()};
}

}  // namespace service::cache
