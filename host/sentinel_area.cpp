#include "sentinel_area.h"

#include <algorithm>

namespace {

bool Within(const std::vector<ByteRange>& ranges, std::size_t offset) {
  return std::any_of(ranges.begin(), ranges.end(), [offset](const ByteRange& range) {
    return offset >= range.first && offset <= range.last;
  });
}

template <typename Counts>
std::vector<ByteRange> Runs(const std::vector<unsigned char>& bytes, Counts counts) {
  std::vector<ByteRange> runs;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == SENTINEL || !counts(i)) continue;
    if (!runs.empty() && runs.back().last + 1 == i)
      runs.back().last = i;
    else
      runs.push_back({i, i});
  }
  return runs;
}

}  // namespace

std::string FormatRanges(const std::vector<ByteRange>& ranges) {
  if (ranges.empty()) return "none";
  std::string out;
  for (const ByteRange& range : ranges) {
    if (!out.empty()) out += ',';
    out += std::to_string(range.first) + '-' + std::to_string(range.last);
  }
  return out;
}

SentinelArea::SentinelArea(std::size_t size, std::size_t guard)
    : bytes_(size + guard, SENTINEL), size_(size) {}

std::vector<ByteRange> SentinelArea::Changed() const {
  return Runs(bytes_, [](std::size_t) { return true; });
}

std::vector<ByteRange> SentinelArea::ChangedOutside(const std::vector<ByteRange>& allowed) const {
  return Runs(bytes_, [&allowed](std::size_t i) { return !Within(allowed, i); });
}

std::size_t SentinelArea::GuardBytesChanged() const {
  return static_cast<std::size_t>(
      std::count_if(bytes_.begin() + static_cast<std::ptrdiff_t>(size_), bytes_.end(),
                    [](unsigned char byte) { return byte != SENTINEL; }));
}

bool SentinelArea::Unchanged() const {
  return std::all_of(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(size_),
                     [](unsigned char byte) { return byte == SENTINEL; });
}

std::string SentinelArea::StringAt(std::size_t offset, std::size_t limit, bool* terminated) const {
  limit = std::min(limit, size_);
  std::string out;
  std::size_t i = offset;
  for (; i < limit && bytes_[i] != 0; ++i) out += static_cast<char>(bytes_[i]);
  if (terminated) *terminated = i < limit;
  return out;
}

unsigned long SentinelArea::Uint32At(std::size_t offset) const {
  return static_cast<unsigned long>(bytes_[offset]) |
         static_cast<unsigned long>(bytes_[offset + 1]) << 8 |
         static_cast<unsigned long>(bytes_[offset + 2]) << 16 |
         static_cast<unsigned long>(bytes_[offset + 3]) << 24;
}
