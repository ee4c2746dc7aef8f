// WININET: handles that nest, scripted response bodies, and what was sent.
#include "stand_in_state.h"

#include <algorithm>
#include <cstring>

using namespace standin;

namespace {

BOOL Succeed() { return TRUE; }

HINTERNET NewInternetHandle() {
  void* h = NewHandle();
  state().internetHandles.insert(reinterpret_cast<std::uintptr_t>(h));
  return h;
}

bool IsOpenInternetHandle(HINTERNET h) {
  return state().internetHandles.count(reinterpret_cast<std::uintptr_t>(h)) != 0;
}

std::string NextResponse(const std::string& objectName) {
  State& s = state();
  if (!s.queuedResponses.empty()) {
    std::string body = s.queuedResponses.front();
    s.queuedResponses.erase(s.queuedResponses.begin());
    return body;
  }
  return s.responder ? s.responder(objectName) : std::string();
}

std::string AcceptTypes(LPCSTR* types) {
  if (!types) return Str(nullptr);
  std::string joined = "[";
  for (LPCSTR* t = types; *t; ++t) joined += (t == types ? "" : ",") + std::string(*t);
  return joined + "]";
}

std::string Headers(LPCSTR headers, DWORD length) {
  return headers ? std::string(headers, length) : Str(nullptr);
}

}  // namespace

HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                               DWORD flags) {
  return RecordHandle("InternetOpenA",
                      {Str(agent), Num(accessType), Str(proxy), Str(proxyBypass), Num(flags)},
                      NewInternetHandle);
}

HINTERNET WINAPI InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                                  LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context) {
  return RecordHandle(
      "InternetConnectA",
      {HandleName(internet), Str(serverName), Num(serverPort), Str(userName), Str(password),
       Num(service), Num(flags), Num(context)},
      [&] { return IsOpenInternetHandle(internet) ? NewInternetHandle() : nullptr; });
}

DWORD WINAPI InternetAttemptConnect(DWORD reserved) {
  if (const FailureRule* rule = Record("InternetAttemptConnect", {Num(reserved)}))
    return rule->lastError ? rule->lastError : ERROR_INTERNET_CANNOT_CONNECT;
  return 0;
}

HINTERNET WINAPI HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR objectName,
                                  LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags,
                                  DWORD_PTR context) {
  return RecordHandle("HttpOpenRequestA",
                      {HandleName(connection), Str(verb), Str(objectName), Str(version),
                       Str(referrer), AcceptTypes(acceptTypes), Num(flags), Num(context)},
                      [&]() -> HINTERNET {
                        if (!IsOpenInternetHandle(connection)) return nullptr;
                        // The responder may throw; no handle exists until it has answered.
                        std::string body = NextResponse(objectName ? objectName : "");
                        HINTERNET request = NewInternetHandle();
                        state().requestBodies[reinterpret_cast<std::uintptr_t>(request)] =
                            std::move(body);
                        return request;
                      });
}

BOOL WINAPI HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                                   DWORD modifiers) {
  return RecordBool(
      "HttpAddRequestHeadersA",
      {HandleName(request), Headers(headers, headersLength), Num(headersLength), Num(modifiers)},
      Succeed);
}

BOOL WINAPI InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR cookieData) {
  return RecordBool("InternetSetCookieA", {Str(url), Str(cookieName), Str(cookieData)}, Succeed);
}

BOOL WINAPI HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength) {
  // Kept even when the call fails: a test sees what would have gone out.
  if (optional) state().sentBodies.emplace_back(static_cast<const char*>(optional), optionalLength);
  return RecordBool("HttpSendRequestA",
                    {HandleName(request), Headers(headers, headersLength), Num(headersLength),
                     Ptr(optional), Num(optionalLength)},
                    Succeed);
}

BOOL WINAPI HttpSendRequestExA(HINTERNET request, LPINTERNET_BUFFERSA buffersIn,
                               LPINTERNET_BUFFERSA buffersOut, DWORD flags, DWORD_PTR context) {
  const std::string in = buffersIn ? "size=" + Num(buffersIn->dwStructSize) +
                                         (buffersIn->Next ? " next" : " next=null")
                                   : Str(nullptr);
  if (buffersIn) state().sendRecords.push_back(*buffersIn);
  return RecordBool("HttpSendRequestExA",
                    {HandleName(request), in, Ptr(buffersOut), Num(flags), Num(context)}, Succeed);
}

BOOL WINAPI InternetWriteFile(HINTERNET file, LPCVOID buffer, DWORD numberOfBytesToWrite,
                              LPDWORD numberOfBytesWritten) {
  return RecordBool(
      "InternetWriteFile",
      {HandleName(file), Ptr(buffer), Num(numberOfBytesToWrite), Ptr(numberOfBytesWritten)}, [&] {
        state().writtenBodies.emplace_back(static_cast<const char*>(buffer), numberOfBytesToWrite);
        if (numberOfBytesWritten) *numberOfBytesWritten = numberOfBytesToWrite;
        return TRUE;
      });
}

BOOL WINAPI HttpEndRequestA(HINTERNET request, LPINTERNET_BUFFERSA buffersOut, DWORD flags,
                            DWORD_PTR context) {
  return RecordBool("HttpEndRequestA",
                    {HandleName(request), Ptr(buffersOut), Num(flags), Num(context)}, Succeed);
}

BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD numberOfBytesToRead,
                             LPDWORD numberOfBytesRead) {
  if (numberOfBytesRead) *numberOfBytesRead = 0;
  return RecordBool(
      "InternetReadFile",
      {HandleName(file), Ptr(buffer), Num(numberOfBytesToRead), Ptr(numberOfBytesRead)}, [&] {
        auto& bodies = state().requestBodies;
        auto it = bodies.find(reinterpret_cast<std::uintptr_t>(file));
        if (it == bodies.end() || !IsOpenInternetHandle(file)) return FALSE;
        DWORD n = std::min<DWORD>(numberOfBytesToRead, static_cast<DWORD>(it->second.size()));
        if (state().readPieceSize) n = std::min(n, state().readPieceSize);
        std::memcpy(buffer, it->second.data(), n);
        it->second.erase(0, n);
        if (numberOfBytesRead) *numberOfBytesRead = n;
        return TRUE;
      });
}

BOOL WINAPI InternetCloseHandle(HINTERNET internet) {
  Record("InternetCloseHandle", {HandleName(internet)});
  const auto value = reinterpret_cast<std::uintptr_t>(internet);
  state().requestBodies.erase(value);
  return state().internetHandles.erase(value) ? TRUE : FALSE;
}
