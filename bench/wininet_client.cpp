// The plug-in's WinINet calls for a list of translation requests, with nothing around them:
// the floor that the plug-in's own time under Wine is set against.
//   wininet-client.exe PATHS-FILE
// PATHS-FILE holds one request path a line. For each line of standard input, every path is
// fetched in order, each on a connection of its own as the plug-in fetches a chunk, and
// "done <requests> <bytes>" is printed.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The same calls, flags and read size as InternetClient and FetchTranslation.
unsigned long Fetch(const std::string& path) {
  static LPCSTR accept[] = {"*/*", nullptr};
  static const char header[] = "Accept: */*\r\n";
  unsigned long total = 0;
  HINTERNET internet = InternetOpenA("Mozilla/4.0 (compatible; )", INTERNET_OPEN_TYPE_PRECONFIG,
                                     nullptr, nullptr, 0);
  HINTERNET connection = internet ? InternetConnectA(internet, "localhost", 80, nullptr, nullptr,
                                                     INTERNET_SERVICE_HTTP, 0, 0)
                                  : nullptr;
  if (connection && InternetAttemptConnect(0) == 0) {
    HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.0", nullptr,
                                         accept, INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request &&
        HttpAddRequestHeadersA(request, header, sizeof header - 1, HTTP_ADDREQ_FLAG_REPLACE) &&
        HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
      char buffer[2048];
      DWORD count = 0;
      while (InternetReadFile(request, buffer, sizeof buffer, &count) && count > 0) total += count;
    }
    if (request) InternetCloseHandle(request);
  }
  if (connection) InternetCloseHandle(connection);
  if (internet) InternetCloseHandle(internet);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wininet-client.exe PATHS-FILE\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  std::vector<std::string> paths;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) paths.push_back(line);
  }
  if (paths.empty()) {
    std::fprintf(stderr, "wininet-client: no paths in %s\n", argv[1]);
    return 2;
  }
  char go[64];
  while (std::fgets(go, sizeof go, stdin)) {
    unsigned long bytes = 0;
    for (const std::string& path : paths) bytes += Fetch(path);
    std::printf("done %zu %lu\n", paths.size(), bytes);
    std::fflush(stdout);
  }
  return 0;
}
