#include "service/upstream/libretranslate_stand_in.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace upstream_test {
namespace {

using nlohmann::json;

std::string LanguagesBody(const std::vector<std::string>& codes) {
  json languages = json::array();
  for (const std::string& code : codes) {
    json targets = json::array();
    for (const std::string& target : codes) {
      if (code != target) targets.push_back(target);
    }
    languages.push_back({{"code", code}, {"name", code}, {"targets", targets}});
  }
  return languages.dump();
}

MHD_Result Queue(MHD_Connection* connection, unsigned status, const std::string& body,
                 const char* retry_after = nullptr) {
  struct Destroy {
    void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
  };
  std::unique_ptr<MHD_Response, Destroy> response(MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY));
  if (!response) return MHD_NO;
  MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
  if (retry_after) MHD_add_response_header(response.get(), "Retry-After", retry_after);
  return MHD_queue_response(connection, status, response.get());
}

std::string Capitals(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

}  // namespace

LibreTranslateStandIn::LibreTranslateStandIn(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(
      MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ITC,
      0, nullptr, nullptr, &Access, this, MHD_OPTION_SOCK_ADDR, &address,
      MHD_OPTION_NOTIFY_COMPLETED, &Completed, this, MHD_OPTION_NOTIFY_CONNECTION, &Notify, this,
      MHD_OPTION_END);
  if (!daemon_) throw std::runtime_error("the LibreTranslate stand-in could not start");
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : 0;
}

LibreTranslateStandIn::~LibreTranslateStandIn() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopping_changed_.notify_all();
  MHD_stop_daemon(daemon_);
}

void LibreTranslateStandIn::ListOnly(std::vector<std::string> languages) {
  std::lock_guard<std::mutex> lock(mutex_);
  languages_ = std::move(languages);
}

void LibreTranslateStandIn::Script(Behaviour behaviour) {
  std::lock_guard<std::mutex> lock(mutex_);
  behaviour_ = behaviour;
}

std::vector<nlohmann::json> LibreTranslateStandIn::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

int LibreTranslateStandIn::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

void LibreTranslateStandIn::Notify(void* self, MHD_Connection*, void**,
                                   MHD_ConnectionNotificationCode code) {
  auto* stand_in = static_cast<LibreTranslateStandIn*>(self);
  if (code != MHD_CONNECTION_NOTIFY_STARTED) return;
  std::lock_guard<std::mutex> lock(stand_in->mutex_);
  ++stand_in->connections_;
}

MHD_Result LibreTranslateStandIn::Access(void* self, MHD_Connection* connection, const char* url,
                                         const char*, const char*, const char* upload_data,
                                         size_t* upload_data_size, void** request_context) {
  // The body arrives over several calls; the request's own string gathers it.
  if (*request_context == nullptr) {
    *request_context = new std::string();
    return MHD_YES;
  }
  auto* body = static_cast<std::string*>(*request_context);
  if (*upload_data_size != 0) {
    body->append(upload_data, *upload_data_size);
    *upload_data_size = 0;
    return MHD_YES;
  }
  return static_cast<LibreTranslateStandIn*>(self)->Answer(connection, url, *body);
}

void LibreTranslateStandIn::Completed(void*, MHD_Connection*, void** request_context,
                                      MHD_RequestTerminationCode) {
  delete static_cast<std::string*>(*request_context);
  *request_context = nullptr;
}

MHD_Result LibreTranslateStandIn::Answer(MHD_Connection* connection, const std::string& url,
                                         const std::string& body) {
  if (url == "/languages") {
    std::lock_guard<std::mutex> lock(mutex_);
    return Queue(connection, MHD_HTTP_OK, LanguagesBody(languages_));
  }
  if (url == "/calls") {
    // For suites that run it as a program: how many translations reached it.
    std::lock_guard<std::mutex> lock(mutex_);
    return Queue(connection, MHD_HTTP_OK, json{{"translate", received_.size()}}.dump());
  }
  if (url != "/translate") return Queue(connection, MHD_HTTP_NOT_FOUND, R"({"error":"?"})");

  json request = json::parse(body, nullptr, false);
  std::unique_lock<std::mutex> lock(mutex_);
  received_.push_back(request);
  const std::string error = R"({"error":"Fehler"})";  // translated, as LibreTranslate does
  switch (behaviour_) {
    case Behaviour::kAnswer: {
      lock.unlock();
      if (request.is_discarded()) return Queue(connection, MHD_HTTP_BAD_REQUEST, error);
      std::string text =
          Capitals(request.value("q", "")) + " [" + request.value("target", "") + "]";
      return Queue(connection, MHD_HTTP_OK, json{{"translatedText", text}}.dump());
    }
    case Behaviour::kBadRequest: return Queue(connection, MHD_HTTP_BAD_REQUEST, error);
    case Behaviour::kForbidden: return Queue(connection, MHD_HTTP_FORBIDDEN, error);
    case Behaviour::kRateLimited: return Queue(connection, MHD_HTTP_TOO_MANY_REQUESTS, error);
    case Behaviour::kRetryAfter7: return Queue(connection, MHD_HTTP_TOO_MANY_REQUESTS, error, "7");
    case Behaviour::kServerError: return Queue(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, error);
    case Behaviour::kStall:
      stopping_changed_.wait_for(lock, std::chrono::seconds(60), [this] { return stopping_; });
      return MHD_NO;
    case Behaviour::kTruncated: return Queue(connection, MHD_HTTP_OK, R"({"translatedText": "HEL)");
  }
  return MHD_NO;
}

}  // namespace upstream_test
