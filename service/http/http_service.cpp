#include "http_service.h"

#include "form_query.h"
#include "http_config.h"
#include "request_body.h"
#include "request_summary.h"
#include "routes.h"
#include "service/limits/client_limits.h"
#include "service/metrics/service_metrics.h"
#include "service/posix/log.h"
#include "worker_pool.h"

#include <microhttpd.h>
#include <strings.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace service {

namespace {

using Clock = std::chrono::steady_clock;

struct PostProcessorDeleter {
  void operator()(MHD_PostProcessor* processor) const { MHD_destroy_post_processor(processor); }
};
using PostProcessorOwner = std::unique_ptr<MHD_PostProcessor, PostProcessorDeleter>;

// What the library does not keep for us between its callbacks: the request line's target as
// sent (the library hands over only a decoded path), when the request began, and its body.
// The library owns it (Callbacks::Connection); while the connection is suspended for a worker,
// the library neither reads the connection nor closes it, so the worker alone touches it then.
struct ConnectionState {
  std::string target;
  Clock::time_point start;
  bool headers_read = false;
  bool reads_body = false;  // a POST, whose body is kept up to kMaxBody
  std::size_t body_size = 0;
  RequestBody body;
  // A form's fields come through the library's post processor; any other body as bytes.
  PostProcessorOwner form;
  bool form_broken = false;  // the post processor could not read the form
  // The headers the routes read, copied for a worker, which may not ask the library for them.
  std::string accept;
  std::string authorization;
  std::string client;
  std::string method;
  // Set while the request is a worker's, from suspending the connection until the library
  // calls Access again after its resumption; `answered` is the worker's answer, or nothing
  // when it failed.
  bool handed_over = false;
  std::optional<Answer> answered;
};

struct ResponseDeleter {
  void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};
using ResponseOwner = std::unique_ptr<MHD_Response, ResponseDeleter>;

// What a page on another origin may do with the translation APIs.
bool AddCorsHeaders(MHD_Response* response, bool preflight) {
  bool added = MHD_add_response_header(response, "Access-Control-Allow-Origin", "*") == MHD_YES;
  if (preflight) {
    added &= MHD_add_response_header(response, "Access-Control-Allow-Methods",
                                     "GET, POST, OPTIONS") == MHD_YES;
    added &= MHD_add_response_header(response, "Access-Control-Allow-Headers",
                                     "Authorization, Content-Type") == MHD_YES;
    added &= MHD_add_response_header(response, "Access-Control-Max-Age", "86400") == MHD_YES;
  }
  return added;
}

MHD_Result Queue(MHD_Connection* connection, const Answer& answer) {
  ResponseOwner response(MHD_create_response_from_buffer(
      answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY));
  if (!response) return MHD_NO;
  std::string type = std::string(answer.type) + "; charset=" + answer.charset;
  bool headers = MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE,
                                         type.c_str()) == MHD_YES;
  if (answer.close) {
    headers &=
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close") == MHD_YES;
  }
  if (answer.allow) {
    headers &=
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ALLOW, answer.allow) == MHD_YES;
  }
  if (!answer.retry_after.empty()) {
    headers &= MHD_add_response_header(response.get(), MHD_HTTP_HEADER_RETRY_AFTER,
                                       answer.retry_after.c_str()) == MHD_YES;
  }
  if (answer.authenticate) {
    headers &= MHD_add_response_header(response.get(), MHD_HTTP_HEADER_WWW_AUTHENTICATE,
                                       answer.authenticate) == MHD_YES;
  }
  if (answer.cors) headers &= AddCorsHeaders(response.get(), answer.preflight);
  if (!headers) return MHD_NO;
  return MHD_queue_response(connection, static_cast<unsigned>(answer.status), response.get());
}

ConnectionState* StateOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info ? static_cast<ConnectionState*>(info->socket_context) : nullptr;
}

std::string_view Header(MHD_Connection* connection, const char* name) {
  const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
  return value ? value : "";
}

MHD_Result JoinForwardedFor(void* joined, MHD_ValueKind, const char* key, const char* value) {
  if (value && strcasecmp(key, "X-Forwarded-For") == 0) {
    auto& text = *static_cast<std::string*>(joined);
    if (!text.empty()) text += ',';
    text += value;
  }
  return MHD_YES;
}

// Who the limits count the request against: every X-Forwarded-For header counts, in order, so
// that one a client sent cannot hide the one its proxy appended.
std::string ClientOf(MHD_Connection* connection, const limits::ClientLimits& limits) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  std::string peer = limits::PeerAddress(info ? info->client_addr : nullptr);
  std::string forwarded_for;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &JoinForwardedFor, &forwarded_for);
  return limits.Client(peer, forwarded_for);
}

void Count(metrics::ServiceMetrics& metrics, std::string_view target, const Answer& answer,
           double milliseconds) {
  metrics.CountRequest(TargetPath(target), answer.status, milliseconds / 1000);
  if (answer.translation) metrics.CountTranslation(answer.engine, answer.translation);
}

bool Answerable(const char* method) {
  return std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 ||
         std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0 ||
         std::strcmp(method, MHD_HTTP_METHOD_OPTIONS) == 0;
}

// A POST carries the fields of the translation APIs; the routes say what it may be.
bool ReadsBody(const char* method) { return std::strcmp(method, MHD_HTTP_METHOD_POST) == 0; }

// Counts `size` more bytes of the body; past the bound the rest is read and dropped, as a
// GET's body is, and the answer says why: a client still sending would miss an answer sent
// before it is done.
bool WithinBound(ConnectionState& state, std::size_t size) {
  if (state.body.too_long) return false;
  state.body_size += size;
  if (state.body_size <= kMaxBody) return true;
  state.body.too_long = true;
  state.body.form.clear();
  state.body.bytes.clear();
  return false;
}

// Each call brings the next bytes of one field's value, from `offset` on.
MHD_Result KeepFormField(void* context, MHD_ValueKind, const char* key, const char*, const char*,
                         const char*, const char* data, uint64_t offset, size_t size) {
  auto& state = *static_cast<ConnectionState*>(context);
  try {
    auto& form = state.body.form;
    if (offset == 0 || form.empty() || form.back().first != key) form.emplace_back(key, "");
    form.back().second.append(data ? data : "", size);
  } catch (...) {
    return MHD_NO;
  }
  return MHD_YES;
}

void StartBody(MHD_Connection* connection, ConnectionState& state) {
  state.body.content_type = Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE);
  // Null for a body of another kind (JSON), which is then kept as bytes.
  state.form.reset(MHD_create_post_processor(connection, 16 * 1024, &KeepFormField, &state));
}

// Takes the next bytes of the body; false when the connection must end.
bool TakeBody(ConnectionState& state, const char* upload, std::size_t size) {
  if (!state.reads_body || !WithinBound(state, size)) return true;
  if (state.form) {
    if (MHD_post_process(state.form.get(), upload, size) != MHD_YES) state.form_broken = true;
    return true;
  }
  try {
    state.body.bytes.append(upload, size);
  } catch (...) {
    return false;
  }
  return true;
}

// The form's last field is complete only once the post processor is done.
void FinishBody(ConnectionState& state) {
  if (!state.form) return;
  if (MHD_destroy_post_processor(state.form.release()) != MHD_YES) state.form_broken = true;
  if (state.body.too_long) state.body.form.clear();
}

}  // namespace

// The library's C callbacks. None lets an exception out: a failure closes the connection.
struct HttpService::Callbacks {
  // Each connection's state lives exactly as long as the connection.
  static void Connection(void*, MHD_Connection*, void** socket_context,
                         MHD_ConnectionNotificationCode code) {
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      *socket_context = new (std::nothrow) ConnectionState;
    } else {
      delete static_cast<ConnectionState*>(*socket_context);
      *socket_context = nullptr;
    }
  }

  // Called once per request with the target as sent; what it returns reaches Access.
  static void* BeginRequest(void*, const char* target, MHD_Connection* connection) {
    ConnectionState* state = StateOf(connection);
    if (!state) return nullptr;
    try {
      state->target = target;
    } catch (...) {
      return nullptr;
    }
    state->start = Clock::now();
    state->headers_read = false;
    state->reads_body = false;
    state->body_size = 0;
    state->body = RequestBody{};
    state->form.reset();
    state->form_broken = false;
    state->answered.reset();
    return state;
  }

  static MHD_Result Access(void* self, MHD_Connection* connection, const char*, const char* method,
                           const char* version, const char* upload, size_t* upload_size,
                           void** request_context) {
    auto* state = static_cast<ConnectionState*>(*request_context);
    if (!state) return MHD_NO;
    HttpService& service = *static_cast<HttpService*>(self);
    if (!state->headers_read) {
      state->headers_read = true;
      // A GET may carry a body: it is read and dropped below before the answer, so that it
      // cannot be taken for the next request. A POST's is read, up to a bound.
      // Other methods are refused at once.
      state->reads_body = ReadsBody(method);
      if (state->reads_body) StartBody(connection, *state);
      if (Answerable(method) || state->reads_body) return MHD_YES;
    }
    if (*upload_size != 0) {
      std::size_t size = *upload_size;
      *upload_size = 0;
      return TakeBody(*state, upload, size) ? MHD_YES : MHD_NO;
    }
    if (state->handed_over) return Deliver(service, connection, *state, version);
    FinishBody(*state);
    try {
      const HttpOptions& options = service.options_;
      state->method = method;
      state->accept = Header(connection, MHD_HTTP_HEADER_ACCEPT);
      state->authorization = Header(connection, MHD_HTTP_HEADER_AUTHORIZATION);
      state->client = options.limits ? ClientOf(connection, *options.limits) : "";
      if (!state->form_broken && MayAskAnEngine(service.router_, options, method, state->target)) {
        return HandOver(service, connection, *state);
      }
      state->answered = Answered(service, *state);
    } catch (...) {
      return MHD_NO;
    }
    return Deliver(service, connection, *state, version);
  }

  static Answer Answered(const HttpService& service, const ConnectionState& state) {
    if (state.form_broken) return FormNotRead();
    RequestHeaders headers;
    headers.accept = state.accept;
    headers.authorization = state.authorization;
    headers.client = state.client;
    return AnswerRequest(service.router_, service.options_, state.method, state.target, headers,
                         state.body);
  }

  // Sets the connection aside until a worker has answered: the thread reading connections
  // goes on with the others meanwhile. A connection must be suspended before its job can run,
  // since only a suspended connection may be resumed.
  static MHD_Result HandOver(HttpService& service, MHD_Connection* connection,
                             ConnectionState& state) {
    state.handed_over = true;
    MHD_suspend_connection(connection);
    bool taken = false;
    try {
      taken = service.workers_.Submit(
          [&service, &state] {
            try {
              state.answered = Answered(service, state);
            } catch (...) {  // no answer: Deliver closes the connection
            }
          },
          // The last touch of the state: once resumed, the connection may end at any time.
          [connection] { MHD_resume_connection(connection); });
      if (!taken) state.answered = WorkersBusy();
    } catch (...) {
    }
    if (!taken) MHD_resume_connection(connection);
    return MHD_YES;
  }

  // Queues the answer made for the request, and logs and counts it.
  static MHD_Result Deliver(const HttpService& service, MHD_Connection* connection,
                            ConnectionState& state, const char* version) {
    state.handed_over = false;
    if (!state.answered) return MHD_NO;
    try {
      Answer answer = std::move(*state.answered);
      state.answered.reset();
      // HTTP/1.0 clients such as WinINet pool a connection that is not plainly closed.
      if (std::strcmp(version, MHD_HTTP_VERSION_1_0) == 0) answer.close = true;
      MHD_Result queued = Queue(connection, answer);
      auto elapsed = std::chrono::duration<double, std::milli>(Clock::now() - state.start);
      LogLine(RequestSummary(state.method, state.target, answer.status, elapsed.count()));
      const HttpOptions& options = service.options_;
      if (options.metrics) Count(*options.metrics, state.target, answer, elapsed.count());
      return queued;
    } catch (...) {
      return MHD_NO;
    }
  }

  static void Log(void*, const char* format, va_list arguments) {
    char message[512];
    std::vsnprintf(message, sizeof message, format, arguments);
    std::size_t length = std::strlen(message);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r')) --length;
    try {
      LogLine("http: " + std::string(message, length));
    } catch (...) {
    }
  }
};

HttpService::HttpService(const Router& router, UniqueFd socket, const ListenAddress& address,
                         HttpOptions options)
    : router_(router),
      options_(std::move(options)),
      socket_(std::move(socket)),
      workers_(options_.workers, options_.waiting) {
  StartListening(socket_.get(), address);
  // Epoll where there is one; suspending and resuming connections needs the inter-thread
  // channel, which MHD_ALLOW_SUSPEND_RESUME brings.
  unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
  if (address.ipv6) flags |= MHD_USE_IPv6;
  daemon_ = MHD_start_daemon(
      flags, 0, nullptr, nullptr, &Callbacks::Access, this, MHD_OPTION_EXTERNAL_LOGGER,
      &Callbacks::Log, nullptr, MHD_OPTION_LISTEN_SOCKET, socket_.get(),
      MHD_OPTION_THREAD_POOL_SIZE, kEventThreads, MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
      MHD_OPTION_CONNECTION_TIMEOUT, kConnectionTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
      kConnectionMemoryLimit, MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::BeginRequest, nullptr,
      MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::Connection, nullptr, MHD_OPTION_END);
  if (!daemon_) {
    throw std::runtime_error("cannot serve HTTP on " + ShowAddress(address));
  }
}

HttpService::~HttpService() { Stop(); }

void HttpService::Stop() {
  if (!daemon_) return;
  // Taking the socket back first keeps its closing here, after the daemon's threads are gone.
  MHD_socket returned = MHD_quiesce_daemon(daemon_);
  // The library must not stop with a connection suspended: the workers finish every job taken,
  // each resuming its connection, and take no more (a request after this is a 503).
  workers_.Stop();
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  if (returned == MHD_INVALID_SOCKET) {
    socket_.release();  // the daemon closed it
  } else {
    socket_.reset();
  }
}

}  // namespace service
