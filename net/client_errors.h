// The client's error model: a failure is raised as a pointer to one of these constant texts and
// caught by the public operation that owns the step; the text itself is never shown.
#pragma once

#include "platform/win32.h"

namespace client_error {

inline constexpr const char* OPEN_INTERNET_FAILED = "open internet failed...";
inline constexpr const char* CONNECT_FAILED = "connect failed...";
inline constexpr const char* HANDLE_NOT_OPENED = "handle not opened...";
inline constexpr const char* REQUEST_FAILED = "request failed...";
inline constexpr const char* ADDITIONAL_HEADER_FAILED = "additional header failed...";
inline constexpr const char* ADD_COOKIE_FAILED = "add cookie failed...";
inline constexpr const char* CONNECTION_FAILED = "connection failed...";
inline constexpr const char* RESPONSE_FAILED = "response failed...";
// The send sequence of the multipart POST reports without dots.
inline constexpr const char* SEND_FAILED = "request failed";
inline constexpr const char* BODY_ALLOCATION_FAILED = "body allocation failed...";

[[noreturn]] inline void Raise(const char* message) { throw message; }

inline bool IsMissingHandle(HINTERNET handle) {
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

inline void RaiseIfMissingHandle(HINTERNET handle, const char* message) {
  if (IsMissingHandle(handle)) Raise(message);
}

inline void RaiseIfFalse(BOOL result, const char* message) {
  if (!result) Raise(message);
}

}  // namespace client_error
