// libretranslate-stand-in PORT: the tests' LibreTranslate stand-in as a program of its own, for
// the end-to-end suites, answering every translation; prints "listening" once it does and
// serves until SIGTERM or SIGINT. PORT 0 takes a free one, which the line names.
#include "service/upstream/libretranslate_stand_in.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: libretranslate-stand-in PORT\n");
    return 2;
  }
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  try {
    upstream_test::LibreTranslateStandIn stand_in(std::atoi(argv[1]));
    std::printf("listening on %s\n", stand_in.url().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&stop, &received);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "libretranslate-stand-in: %s\n", failure.what());
    return 1;
  }
  return 0;
}
