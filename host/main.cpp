// plugin-host: stands in for the instant-messaging host. See HOST_USAGE for what it does and
// prints.
#include "host_session.h"
#include "host_window.h"
#include "output.h"
#include "plugin_library.h"
#include "usage.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A line as typed: without its line feed and a carriage return before it.
bool ReadLine(std::string& line) {
  line.clear();
  int c = 0;
  while ((c = std::getchar()) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Bytes pass unchanged both ways: text mode would add carriage returns and stop at ^Z.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);

  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(HOST_USAGE, stdout);
    return 0;
  }
  if (argc < 2) {
    std::fputs(HOST_USAGE, stderr);
    return 2;
  }

  std::string error;
  HostWindow window;
  PluginLibrary plugin;
  if (!window.Create(error) || !plugin.Load(argv[1], error)) {
    std::fprintf(stderr, "plugin-host: %s\n", error.c_str());
    return 2;
  }

  HostSession session(plugin);
  session.Start();
  // A program driving the host through pipes needs to know when each step has ended.
  const bool interactive = argc == 3 && std::strcmp(argv[2], "--interactive") == 0;
  if (interactive) PrintLine("ready");
  if (argc > 2 && !interactive) {
    for (int i = 2; i < argc; ++i) session.Run(argv[i]);
  } else {
    std::string line;
    while (ReadLine(line)) {
      session.Run(line);
      if (interactive) PrintLine("done");
    }
  }
  session.Stop();
  return session.FaultSeen() ? 1 : 0;
}
