#include "http_service.h"

#include "form_query.h"
#include "log.h"
#include "pages.h"
#include "service_config.h"
#include "text_encoding.h"

#include <httplib.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace service {

namespace {

using Clock = std::chrono::steady_clock;

// What the log line needs that the HTTP library does not keep: set for each request on the
// worker thread that answers it, read by the logger on the same thread.
struct RequestStamp {
  Clock::time_point start;
  std::size_t target_length = 0;
  int status = 0;
};
thread_local RequestStamp current_request;

// The HTTP library (as built by Debian) refuses request lines above this length with 414.
constexpr std::size_t kLibraryLineLimit = CPPHTTPLIB_REQUEST_URI_MAX_LENGTH;
// Whatever a request line holds besides its target: method, version, spaces, CRLF.
constexpr std::size_t kRequestLineOverhead = 64;
// Beyond this, an oversized request line is not read to its end: the connection closes after
// the 414.
constexpr std::size_t kDiscardLimit = 1024 * 1024;

struct PreparedLine {
  bool ok = false;
  bool rewritten = false;
  std::string target;  // the original target, when rewritten
  std::size_t target_length = 0;
};

// A connection's byte stream for the HTTP library, with the next request line read ahead.
// The library refuses targets above its built-in limit and targets with raw spaces (which
// the plug-in may send, as it escapes nothing); such a line reaches it with a short stand-in
// target, and the original is put back into the request before routing.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int socket, timeval read_timeout, timeval write_timeout)
      : socket_(socket), read_timeout_(read_timeout), write_timeout_(write_timeout) {}

  using httplib::Stream::write;

  bool is_readable() const override {
    return begin_ < buffer_.size() || WaitFor(POLLIN, ToMilliseconds(read_timeout_));
  }
  bool is_writable() const override { return WaitFor(POLLOUT, ToMilliseconds(write_timeout_)); }

  ssize_t read(char* destination, size_t size) override {
    if (begin_ == buffer_.size()) {
      buffer_.clear();
      begin_ = 0;
      ssize_t filled = Fill();
      if (filled <= 0) return filled;
    }
    size_t count = std::min(size, buffer_.size() - begin_);
    std::memcpy(destination, buffer_.data() + begin_, count);
    begin_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* source, size_t size) override {
    if (!is_writable()) return -1;
    return ::send(socket_, source, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    Address(::getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    Address(::getsockname, ip, port);
  }
  socket_t socket() const override { return socket_; }

  // Waits up to `seconds` for the next request; gives up early once `stopping` holds.
  bool WaitForRequest(time_t seconds, const std::function<bool()>& stopping) const {
    if (begin_ < buffer_.size()) return true;
    auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!stopping()) {
      if (WaitFor(POLLIN, 50)) return true;
      if (Clock::now() >= deadline) return false;
    }
    return false;
  }

  PreparedLine PrepareRequestLine() {
    buffer_.erase(0, begin_);
    begin_ = 0;
    std::size_t newline;
    while ((newline = buffer_.find('\n')) == std::string::npos) {
      if (buffer_.size() > kMaxTargetLength + kRequestLineOverhead) {
        auto length = DiscardLine();
        return length ? Refuse(*length) : RefuseAndClose();
      }
      if (Fill() <= 0) return {};
    }
    std::string_view line(buffer_.data(), newline);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t first_space = line.find(' ');
    std::size_t last_space = line.rfind(' ');
    PreparedLine prepared;
    prepared.ok = true;
    if (first_space == std::string_view::npos || first_space == last_space) {
      prepared.target_length = line.size();
      return prepared;  // malformed: the library answers 400
    }
    std::string_view target = line.substr(first_space + 1, last_space - first_space - 1);
    prepared.target_length = target.size();
    if (newline + 1 <= kLibraryLineLimit && target.find(' ') == std::string_view::npos) {
      return prepared;
    }

    std::string stand_in;
    for (char c : target.substr(0, target.find('?'))) {
      if (c == ' ') {
        stand_in += "%20";
      } else {
        stand_in += c;
      }
    }
    if (target.size() > kMaxTargetLength ||
        stand_in.size() + kRequestLineOverhead > kLibraryLineLimit) {
      buffer_.erase(0, newline + 1);
      return Refuse(prepared.target_length);
    }
    prepared.rewritten = true;
    prepared.target = std::string(target);
    std::string replacement = std::string(line.substr(0, first_space)) + ' ' + stand_in + ' ' +
                              std::string(line.substr(last_space + 1)) + "\r\n";
    buffer_.replace(0, newline + 1, replacement);
    return prepared;
  }

 private:
  static int ToMilliseconds(timeval duration) {
    return static_cast<int>(duration.tv_sec * 1000 + duration.tv_usec / 1000);
  }

  bool WaitFor(short events, int milliseconds) const {
    pollfd entry{socket_, events, 0};
    int ready;
    do {
      ready = ::poll(&entry, 1, milliseconds);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
  }

  // Appends what the socket has; -1 on timeout or error, 0 at its end.
  ssize_t Fill() {
    if (ended_) return 0;
    if (!WaitFor(POLLIN, ToMilliseconds(read_timeout_))) return -1;
    char chunk[16384];
    ssize_t count;
    do {
      count = ::recv(socket_, chunk, sizeof chunk, 0);
    } while (count < 0 && errno == EINTR);
    if (count > 0) buffer_.append(chunk, static_cast<std::size_t>(count));
    return count;
  }

  // Reads past the end of an oversized line; its length, or nothing when it is too long
  // to be worth reading.
  std::optional<std::size_t> DiscardLine() {
    std::size_t discarded = 0;
    for (;;) {
      std::size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        buffer_.erase(0, newline + 1);
        return discarded + newline;
      }
      discarded += buffer_.size();
      buffer_.clear();
      if (discarded > kDiscardLimit || Fill() <= 0) return std::nullopt;
    }
  }

  // Puts a line in front that the library itself refuses with 414 after reading the headers.
  PreparedLine Refuse(std::size_t target_length) {
    buffer_.insert(0, "GET /" + std::string(kLibraryLineLimit, 'x') + " HTTP/1.1\r\n");
    PreparedLine prepared;
    prepared.ok = true;
    prepared.target_length = target_length;
    return prepared;
  }

  // The same for a line too long to read to its end: the connection ends after the answer.
  PreparedLine RefuseAndClose() {
    buffer_.clear();
    ended_ = true;
    PreparedLine prepared = Refuse(kDiscardLimit);
    buffer_ += "\r\n";  // no headers follow
    return prepared;
  }

  using NameFunction = int (*)(int, sockaddr*, socklen_t*);
  void Address(NameFunction name, std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (name(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, service,
                      sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
      ip = host;
      port = std::atoi(service);
    }
  }

  int socket_;
  timeval read_timeout_;
  timeval write_timeout_;
  std::string buffer_;
  std::size_t begin_ = 0;
  bool ended_ = false;  // nothing more is read from the socket
};

// The language pair for the log: a code as typed only when it looks like one.
std::string LoggedPair(const httplib::Request& request) {
  if (request.path != "/tr") return "-";
  auto code = FormField(TargetQuery(request.target), "lp");
  if (!code) return "(none)";
  bool plain = code->size() <= 16 && std::all_of(code->begin(), code->end(), [](char c) {
                 return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
               });
  return plain ? *code : "(invalid)";
}

std::string LoggedRoute(const httplib::Request& request) {
  static const char* const kMethods[] = {"GET",    "HEAD",    "POST", "PUT",
                                         "DELETE", "OPTIONS", "PATCH"};
  if (std::find(std::begin(kMethods), std::end(kMethods), request.method) == std::end(kMethods)) {
    return "-";
  }
  return request.method + (request.path == "/" || request.path == "/tr" ? " " + request.path
                                                                        : std::string(" (other)"));
}

void SetPage(httplib::Response& response, int status, std::string page,
             const char* charset = "UTF-8") {
  response.status = status;
  response.set_content(std::move(page), (std::string("text/html; charset=") + charset).c_str());
}

}  // namespace

class HttpService::Server final : public httplib::Server {
 private:
  // Replaces the library's connection loop only to read each request line ahead
  // (ConnectionStream); keep-alive follows the library's settings.
  bool process_and_close_socket(socket_t socket) override {
    ConnectionStream stream(socket, timeval{read_timeout_sec_, read_timeout_usec_},
                            timeval{write_timeout_sec_, write_timeout_usec_});
    bool ok = false;
    auto stopping = [this] { return svr_sock_ == INVALID_SOCKET; };
    for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
      if (!stream.WaitForRequest(keep_alive_timeout_sec_, stopping)) break;
      PreparedLine line = stream.PrepareRequestLine();
      if (!line.ok) break;
      current_request = RequestStamp{Clock::now(), line.target_length, 0};
      bool closed = false;
      ok = process_request(stream, left == 1, closed, [&line](httplib::Request& request) {
        if (line.rewritten) request.target = line.target;
      });
      // After a request line it cannot parse, the library has not read the headers: they
      // must not be taken for the next request.
      if (!ok || closed || current_request.status == 400) break;
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return ok;
  }
};

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return {};
  std::string_view port_text = text.substr(colon + 1);
  if (port_text.size() > 5 || !std::all_of(port_text.begin(), port_text.end(),
                                           [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  ListenAddress address;
  address.port = std::stoi(std::string(port_text));
  if (address.port > 65535) return {};
  std::string_view host = text.substr(0, colon);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return {};
    address.host = std::string(host.substr(1, host.size() - 2));
    address.ipv6 = true;
  } else {
    if (host.find(':') != std::string_view::npos) return {};
    address.host = std::string(host);
  }
  return address;
}

HttpService::HttpService(Translator& translator)
    : translator_(translator), server_(std::make_unique<Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };

  server_->Get("/", [this](const httplib::Request&, httplib::Response& response) {
    SetPage(response, 200, IndexPage(translator_.Pairs()));
  });

  server_->Get("/tr", [this](const httplib::Request& request, httplib::Response& response) {
    std::string_view query = TargetQuery(request.target);
    auto text = FormField(query, "trtext");
    auto code = FormField(query, "lp");
    if (!text || !code) {
      SetPage(response, 400,
              MessagePage("Missing parameter",
                          std::string("The request has no ") + (text ? "lp" : "trtext") +
                              " parameter. Send /tr?trtext=TEXT&lp=CODE, for example "
                              "/tr?trtext=Hello&lp=en_es.",
                          translator_.Pairs()));
      return;
    }
    const LanguagePair* pair = translator_.Find(*code);
    if (!pair) {
      SetPage(response, 404,
              MessagePage("Language pair not available",
                          "This service cannot translate the language pair \"" + *code + "\".",
                          translator_.Pairs()));
      return;
    }
    // Non-ASCII text in valid UTF-8 comes from a browser; anything else is read as the
    // host's ANSI code page, which is also the safer answer for plain ASCII.
    bool utf8 = IsValidUtf8(*text) &&
                std::any_of(text->begin(), text->end(), [](char c) { return c & 0x80; });
    Translation translation = translator_.Translate(*pair, utf8 ? *text : Windows1252ToUtf8(*text));
    if (!translation.ok) {
      SetPage(response, 503,
              MessagePage("Translation failed",
                          "The text could not be translated: " + translation.problem +
                              ". Please try again.",
                          {}));
      return;
    }
    std::string result = utf8 ? translation.text : Utf8ToWindows1252(translation.text);
    SetPage(response, 200, ResultPage(EscapeTranslation(result)), utf8 ? "UTF-8" : "windows-1252");
  });

  server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (!response.body.empty()) return;
    const char* title = response.status == 414   ? "Request too long"
                        : response.status == 404 ? "Not found"
                        : response.status == 400 ? "Bad request"
                                                 : "Error";
    std::string message = response.status == 414
                              ? "The request is longer than " +
                                    std::to_string(kMaxTargetLength / 1024) +
                                    " KiB; send the text in smaller pieces."
                              : std::string("The service cannot answer this request.");
    SetPage(response, response.status, MessagePage(title, message, {}));
  });

  server_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        SetPage(response, 500, MessagePage("Internal error", "The request failed.", {}));
      });

  server_->set_logger([](const httplib::Request& request, const httplib::Response& response) {
    current_request.status = response.status;
    auto elapsed = std::chrono::duration<double, std::milli>(Clock::now() - current_request.start);
    char time[32];
    std::snprintf(time, sizeof time, "%.1f", elapsed.count());
    LogLine(LoggedRoute(request) + " length=" + std::to_string(current_request.target_length) +
            " lp=" + LoggedPair(request) + " status=" + std::to_string(response.status) +
            " ms=" + time);
  });
}

HttpService::~HttpService() { Stop(); }

int HttpService::Bind(const ListenAddress& address) {
  server_->set_address_family(address.ipv6 ? AF_INET6 : AF_INET);
  int port = address.port;
  if (port == 0) {
    port = server_->bind_to_any_port(address.host);
  } else if (!server_->bind_to_port(address.host, port)) {
    port = -1;
  }
  if (port < 0) {
    throw std::runtime_error("cannot listen on " + address.host + ":" +
                             std::to_string(address.port));
  }
  return port;
}

void HttpService::Run() { server_->listen_after_bind(); }

void HttpService::Stop() { server_->stop(); }

bool HttpService::Running() const { return server_->is_running(); }

}  // namespace service
