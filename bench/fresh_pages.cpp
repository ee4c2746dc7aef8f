// What a page of memory the process has never touched costs on this machine, against one it
// reuses: libmicrohttpd maps each connection's memory afresh when it is above 32 KiB and clears
// half of it, so this price, paid about ten times, is part of every new connection's.
//
//   fresh-pages [ROUNDS]   prints the microseconds per fresh page and per reused page, in a
//                          region the size of the service's connection memory
#include "service/http/http_config.h"

#include <sys/mman.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kRegion = service::kConnectionMemoryLimit;
constexpr std::size_t kTouched = kRegion / 2;

using Clock = std::chrono::steady_clock;

double MicrosecondsPerPage(Clock::time_point start, int rounds) {
  std::chrono::duration<double, std::micro> spent = Clock::now() - start;
  return spent.count() / rounds / (kTouched / kPage);
}

// As libmicrohttpd does: map, clear half, unmap.
double FreshPage(int rounds) {
  auto start = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    void* region =
        mmap(nullptr, kRegion, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) {
      std::perror("mmap");
      std::exit(1);
    }
    std::memset(region, 0, kTouched);
    munmap(region, kRegion);
  }
  return MicrosecondsPerPage(start, rounds);
}

// The same clearing on memory that stays mapped, as a pool of 32 KiB or less gets from malloc.
double ReusedPage(int rounds) {
  std::vector<unsigned char> region(kRegion);
  auto start = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    std::memset(region.data(), round & 0xff, kTouched);
    // Keeps the compiler from dropping the clearing of a region nobody reads.
    asm volatile("" : : "r"(region.data()) : "memory");
  }
  return MicrosecondsPerPage(start, rounds);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 5000;
  if (rounds <= 0) {
    std::fprintf(stderr, "usage: fresh-pages [ROUNDS]\n");
    return 2;
  }
  std::printf("fresh page %.2f us, reused page %.3f us\n", FreshPage(rounds), ReusedPage(rounds));
  return 0;
}
