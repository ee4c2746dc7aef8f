// --cache-mib, --cache-days and --shared-state as the command line gives them.
#include "service/cache/cache_options.h"

#include <gtest/gtest.h>

namespace {

TEST(CacheOptions, ReadsEachOptionOrSaysWhatIsWrong) {
  struct Case {
    const char* name;
    const char* value;
    const char* problem;  // "" when it is read
    const char* read;     // what the options hold after it: "MiB days host port"
  };
  static const Case kCases[] = {
      {"--cache-mib", "0", "", "0 7 - -"},
      {"--cache-mib", "512", "", "512 7 - -"},
      {"--cache-mib", "-1", "--cache-mib: not a whole number from 0 to 999999: -1", "64 7 - -"},
      {"--cache-mib", "1000000", "--cache-mib: not a whole number from 0 to 999999: 1000000",
       "64 7 - -"},
      {"--cache-days", "30", "", "64 30 - -"},
      {"--cache-days", "", "--cache-days: not a whole number from 0 to 999999: ", "64 7 - -"},
      {"--shared-state", "redis://127.0.0.1:6380", "", "64 7 127.0.0.1 6380"},
      {"--shared-state", "redis://cache.lan", "", "64 7 cache.lan 6379"},
      {"--shared-state", "redis://[::1]:7000/", "", "64 7 ::1 7000"},
      {"--shared-state", "http://127.0.0.1:6379",
       "--shared-state: not a redis:// URL: http://127.0.0.1:6379", "64 7 - -"},
      {"--shared-state", "redis://127.0.0.1:", "--shared-state: not a port: ?", "64 7 - -"},
      {"--shared-state", "redis://h:70000", "--shared-state: not a port: 70000", "64 7 - -"},
      {"--shared-state", "redis://user@h:1",
       "--shared-state: no host, or more than a host and a port, in redis://user@h:1", "64 7 - -"},
      {"--shared-state", "redis://[::1",
       "--shared-state: no ] after the IPv6 address: redis://[::1", "64 7 - -"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.value);
    service::cache::CacheOptions options;
    EXPECT_EQ(service::cache::ApplyCacheOption(c.name, c.value, &options), c.problem);
    std::string read = std::to_string(options.mib) + " " +
                       std::to_string(options.ttl.count() / 24) + " " +
                       (options.shared ? options.shared->host : "-") + " " +
                       (options.shared ? std::to_string(options.shared->port) : "-");
    EXPECT_EQ(read, c.read);
  }
}

}  // namespace
