#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace raw_http {

namespace {

using Clock = std::chrono::steady_clock;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

int RemainingMilliseconds(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<long long>(left.count(), 0));
}

// The status line and headers of `head` (without its blank line); nothing when malformed.
std::optional<Response> ParseHead(std::string_view head) {
  Response response;
  std::size_t line_end = head.find("\r\n");
  std::string_view status_line = head.substr(0, line_end);
  if (status_line.substr(0, 5) != "HTTP/" || status_line.size() < 12) return std::nullopt;
  response.status = std::atoi(std::string(status_line.substr(9, 3)).c_str());
  while (line_end != std::string_view::npos) {
    std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    std::string_view line = head.substr(start, line_end - start);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    response.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
  }
  return response;
}

}  // namespace

std::string Response::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameName(key, name)) return value;
  }
  return "";
}

Connection::Connection(int port, const char* source) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool bound = !source || (inet_pton(AF_INET, source, &from.sin_addr) == 1 &&
                           ::bind(socket_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0);
  if (socket_ >= 0 &&
      (!bound || ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)) {
    ::close(socket_);
    socket_ = -1;
  }
}

Connection::Connection(Connection&& other) noexcept
    : socket_(std::exchange(other.socket_, -1)),
      buffer_(std::move(other.buffer_)),
      ended_(other.ended_) {}

Connection::~Connection() {
  if (socket_ >= 0) ::close(socket_);
}

bool Connection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool Connection::Fill(Clock::time_point deadline) {
  if (ended_) return false;
  pollfd entry{socket_, POLLIN, 0};
  if (::poll(&entry, 1, RemainingMilliseconds(deadline)) <= 0) return false;
  char chunk[65536];
  ssize_t count = ::recv(socket_, chunk, sizeof chunk, 0);
  if (count <= 0) {
    ended_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<std::size_t>(count));
  return true;
}

std::optional<Response> Connection::Read(std::chrono::milliseconds timeout, bool answers_head) {
  auto deadline = Clock::now() + timeout;
  std::size_t head_end;
  while ((head_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill(deadline)) return std::nullopt;
  }
  auto response = ParseHead(std::string_view(buffer_).substr(0, head_end));
  if (!response) return std::nullopt;
  buffer_.erase(0, head_end + 4);
  if (answers_head) return response;
  std::string length = response->Header("Content-Length");
  if (length.empty()) {
    while (Fill(deadline)) {
    }
    if (!ended_) return std::nullopt;
    response->body = std::move(buffer_);
    buffer_.clear();
    return response;
  }
  auto size = static_cast<std::size_t>(std::strtoull(length.c_str(), nullptr, 10));
  while (buffer_.size() < size) {
    if (!Fill(deadline)) return std::nullopt;
  }
  response->body = buffer_.substr(0, size);
  buffer_.erase(0, size);
  return response;
}

bool Connection::ClosedByServer(std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  while (buffer_.empty() && Fill(deadline)) {
  }
  return ended_ && buffer_.empty();
}

std::string PercentEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 && std::isalnum(byte)) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

std::optional<Response> Get(int port, std::string_view target, std::string_view headers,
                            const char* source) {
  Connection connection(port, source);
  if (!connection.Send("GET " + std::string(target) + " HTTP/1.0\r\nHost: localhost\r\n" +
                       std::string(headers) + "\r\n")) {
    return std::nullopt;
  }
  return connection.Read();
}

}  // namespace raw_http
