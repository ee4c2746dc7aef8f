// Sends the POST requests that a case file lists through InternetClient over the system's
// WinINet and prints how each went, so that the suite can set it against what its server saw.
//
// Case file, one item a line, texts in hex so that any byte can pass:
//   request <kind> <path>     starts a request of RequestKind <kind>
//   cookie <name> <value>     adds a cookie to the current request
//   field <isFile> <name> <value>
//   send                      connects, sends the current request, reads the answer, closes
// Output, one line per request: "request <n> sent <hex answer>" or "request <n> refused".
#include "net/internet_client.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const SERVER_URL = "http://localhost";
const char* const USER_AGENT = "Mirelskan POST test";
constexpr DWORD READ_BLOCK = 4096;

bool FromHex(const std::string& hex, std::string& bytes) {
  if (hex == "-") {  // the empty text
    bytes.clear();
    return true;
  }
  if (hex.size() % 2) return false;
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(hex.c_str() + i, "%2x", &value) != 1) return false;
    bytes += static_cast<char>(value);
  }
  return true;
}

std::string ToHex(const std::string& bytes) {
  static const char DIGITS[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += DIGITS[byte >> 4];
    hex += DIGITS[byte & 15];
  }
  return hex.empty() ? "-" : hex;
}

struct Pending {
  RequestKind kind = REQUEST_GET;
  std::string path;
  std::vector<std::pair<std::string, std::string>> cookies;
  struct Field {
    bool isFile;
    std::string name, value;
  };
  std::vector<Field> fields;
};

// True when the request went out; the answer's bytes land in answer.
bool Send(const Pending& request, std::string& answer) {
  InternetClient client;
  if (!client.Connect(SERVER_URL, nullptr, nullptr, USER_AGENT)) return false;
  for (const auto& cookie : request.cookies)
    client.AddCookie(cookie.first.c_str(), cookie.second.c_str());
  for (const auto& field : request.fields)
    client.AddFormField(field.name.c_str(), field.value.c_str(), field.isFile);
  const bool sent = client.Request(request.path.c_str(), request.kind, nullptr);
  if (sent) {
    char buffer[READ_BLOCK];
    while (DWORD count = client.Response(buffer, READ_BLOCK)) answer.append(buffer, count);
  }
  client.Close();
  return sent;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: post_client <case file>\n");
    return 2;
  }
  std::ifstream cases(argv[1]);
  if (!cases) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  Pending request;
  int number = 0;
  bool allSent = true;
  std::string line;
  while (std::getline(cases, line)) {
    std::istringstream words(line);
    std::string word, a, b;
    words >> word;
    bool ok = true;
    if (word == "request") {
      int kind = 0;
      request = Pending();
      ok = static_cast<bool>(words >> kind >> a) && FromHex(a, request.path);
      request.kind = static_cast<RequestKind>(kind);
    } else if (word == "cookie") {
      std::string name, value;
      ok = static_cast<bool>(words >> a >> b) && FromHex(a, name) && FromHex(b, value);
      request.cookies.emplace_back(name, value);
    } else if (word == "field") {
      Pending::Field field{};
      int isFile = 0;
      ok = static_cast<bool>(words >> isFile >> a >> b) && FromHex(a, field.name) &&
           FromHex(b, field.value);
      field.isFile = isFile != 0;
      request.fields.push_back(field);
    } else if (word == "send") {
      std::string answer;
      const bool sent = Send(request, answer);
      allSent = allSent && sent;
      if (sent)
        std::printf("request %d sent %s\n", ++number, ToHex(answer).c_str());
      else
        std::printf("request %d refused\n", ++number);
      std::fflush(stdout);
    } else if (!word.empty()) {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "bad case line: %s\n", line.c_str());
      return 2;
    }
  }
  return allSent ? 0 : 1;
}
