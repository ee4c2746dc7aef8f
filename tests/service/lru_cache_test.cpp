// The answers kept in memory: least recently used out first, within a number of bytes.
#include "service/cache/lru_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using service::cache::kEntryOverhead;

struct LruCase {
  const char* name;
  std::size_t capacity;
  // key and value to keep, or key and "?" to look it up
  std::vector<std::pair<std::string, std::string>> steps;
  const char* kept;  // what a..e find at the end
  std::size_t bytes;
};

// The rows' byte counts take an entry's cost as key + value + 128.
static_assert(kEntryOverhead == 128);

// A value as the rows write it: itself when short, "#N" for N bytes.
std::string Shown(const std::string& value) {
  return value.size() <= 8 ? value : "#" + std::to_string(value.size());
}

class LruCacheTest : public ::testing::TestWithParam<LruCase> {};

TEST_P(LruCacheTest, KeepsTheMostRecentlyUsedWithinItsBytes) {
  const LruCase& c = GetParam();
  service::cache::LruCache cache(c.capacity);
  for (const auto& [key, value] : c.steps) {
    if (value == "?") {
      cache.Find(key);
    } else {
      cache.Put(key, value);
    }
  }
  EXPECT_EQ(cache.Bytes(), c.bytes);
  std::string kept;
  for (const char* key : {"a", "b", "c", "d", "e"}) {
    if (auto value = cache.Find(key)) {
      kept += std::string(kept.empty() ? "" : " ") + key + "=" + Shown(*value);
    }
  }
  EXPECT_EQ(kept, c.kept);
}

const std::string k100(100, 'y');
const std::string k130(130, 'x');

const LruCase kLruCases[] = {
    {"AllFit", 390, {{"a", "1"}, {"b", "2"}, {"c", "3"}}, "a=1 b=2 c=3", 390},
    {"LeastRecentlyPutGoesFirst",
     390,
     {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}},
     "b=2 c=3 d=4",
     390},
    {"AFindMakesItRecent",
     390,
     {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"a", "?"}, {"d", "4"}},
     "a=1 c=3 d=4",
     390},
    {"AMissChangesNothing",
     390,
     {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"e", "?"}, {"d", "4"}},
     "b=2 c=3 d=4",
     390},
    {"BytesNotEntriesBoundIt", 389, {{"a", "1"}, {"b", k130}, {"c", "3"}}, "b=#130 c=3", 389},
    {"ALongAnswerPushesOutTwo",
     390,
     {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", k100}},
     "c=3 d=#100",
     359},
    {"AReplacedValueCountsOnce", 260, {{"a", "1"}, {"a", "22"}}, "a=22", 131},
    {"LargerThanTheWholeIsNotKept", 200, {{"a", "1"}, {"b", k100}}, "a=1", 130},
    {"ZeroKeepsNothing", 0, {{"a", "1"}}, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, LruCacheTest, ::testing::ValuesIn(kLruCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
