#include "win32_stand_in.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace standin {
namespace {

struct FailureRule {
  int nth;
  DWORD lastError;
  bool invalidHandle;
};

struct OpenFile {
  std::string path;
  std::size_t position;
};

struct State {
  std::vector<Call> calls;
  std::map<std::string, int> callCounts;
  std::multimap<std::string, FailureRule> failures;
  std::vector<std::string> queuedResponses;
  std::function<std::string(const std::string&)> responder;
  DWORD readPieceSize = 0;
  std::map<std::string, std::string> files;
  std::function<void(const std::string&)> createFileHook;
  int messageBoxResult = IDOK;
  std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> sendMessageHandler;
  std::vector<MessageBoxShown> messageBoxes;
  std::vector<std::string> sentBodies;
  std::vector<std::string> writtenBodies;
  std::vector<INTERNET_BUFFERSA> sendRecords;
  std::uintptr_t nextHandle = 1;
  std::set<std::uintptr_t> internetHandles;
  std::map<std::uintptr_t, std::string> requestBodies;  // request handle -> unread body
  std::map<std::uintptr_t, OpenFile> fileHandles;
  std::set<void*> heapBlocks;
  DWORD lastError = 0;
};

State& state() {
  static State s;
  return s;
}

constexpr std::uintptr_t kHandleBase = 0x10000;
const char* const kNull = "<null>";

std::string Str(const char* text) { return text ? std::string(text) : std::string(kNull); }
std::string Num(std::uint64_t value) { return std::to_string(value); }
std::string Ptr(const void* p) { return p ? std::string("<ptr>") : std::string(kNull); }

// Counts the call and tells whether a scripted failure hits it.
const FailureRule* Record(const std::string& function, std::vector<std::string> args) {
  State& s = state();
  s.calls.push_back({function, std::move(args)});
  const int count = ++s.callCounts[function];
  auto range = s.failures.equal_range(function);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second.nth == 0 || it->second.nth == count) {
      s.lastError = it->second.lastError;
      return &it->second;
    }
  }
  return nullptr;
}

void* NewHandle() {
  return reinterpret_cast<void*>(kHandleBase + state().nextHandle++);
}

HINTERNET FailedHandle(const FailureRule* rule) {
  return rule->invalidHandle ? INVALID_HANDLE_VALUE : nullptr;
}

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
  if (!types) return kNull;
  std::string joined = "[";
  for (LPCSTR* t = types; *t; ++t) joined += (t == types ? "" : ",") + std::string(*t);
  return joined + "]";
}

}  // namespace

void Reset() { state() = State(); }

void FailCall(const std::string& function, int nth, DWORD lastError) {
  state().failures.insert({function, {nth, lastError, false}});
}

void FailCallWithInvalidHandle(const std::string& function, int nth) {
  state().failures.insert({function, {nth, 0, true}});
}

void QueueResponse(const std::string& body) { state().queuedResponses.push_back(body); }

void SetResponder(std::function<std::string(const std::string&)> responder) {
  state().responder = std::move(responder);
}

void SetReadPieceSize(DWORD bytes) { state().readPieceSize = bytes; }

void AddFile(const std::string& path, const std::string& contents) {
  state().files[path] = contents;
}

void RemoveFile(const std::string& path) { state().files.erase(path); }

void SetCreateFileHook(std::function<void(const std::string&)> hook) {
  state().createFileHook = std::move(hook);
}

void SetMessageBoxResult(int result) { state().messageBoxResult = result; }

void SetSendMessageHandler(std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> handler) {
  state().sendMessageHandler = std::move(handler);
}

const std::vector<Call>& Calls() { return state().calls; }

std::vector<std::string> CallNames() {
  std::vector<std::string> names;
  for (const Call& c : state().calls) names.push_back(c.function);
  return names;
}

std::vector<Call> CallsTo(const std::string& function) {
  std::vector<Call> matching;
  for (const Call& c : state().calls)
    if (c.function == function) matching.push_back(c);
  return matching;
}

const std::vector<MessageBoxShown>& MessageBoxes() { return state().messageBoxes; }
const std::vector<std::string>& SentBodies() { return state().sentBodies; }
const std::vector<std::string>& WrittenBodies() { return state().writtenBodies; }
const std::vector<INTERNET_BUFFERSA>& SendRecords() { return state().sendRecords; }

int OpenInternetHandles() { return static_cast<int>(state().internetHandles.size()); }
int OpenFileHandles() { return static_cast<int>(state().fileHandles.size()); }
int LiveHeapBlocks() { return static_cast<int>(state().heapBlocks.size()); }

std::string HandleName(const void* handle) {
  if (!handle) return kNull;
  if (handle == INVALID_HANDLE_VALUE) return "<invalid>";
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value == reinterpret_cast<std::uintptr_t>(HWND_BROADCAST)) return "<broadcast>";
  if (value > kHandleBase) return "h" + Num(value - kHandleBase);
  return "<foreign>";
}

}  // namespace standin

using standin::HandleName;
using standin::Num;
using standin::Ptr;
using standin::Str;

// ---------------------------------------------------------------- WININET

HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                               DWORD flags) {
  auto rule = standin::Record("InternetOpenA",
                              {Str(agent), Num(accessType), Str(proxy), Str(proxyBypass), Num(flags)});
  if (rule) return standin::FailedHandle(rule);
  return standin::NewInternetHandle();
}

HINTERNET WINAPI InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                                  LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context) {
  auto rule = standin::Record("InternetConnectA",
                              {HandleName(internet), Str(serverName), Num(serverPort), Str(userName),
                               Str(password), Num(service), Num(flags), Num(context)});
  if (rule) return standin::FailedHandle(rule);
  if (!standin::IsOpenInternetHandle(internet)) return nullptr;
  return standin::NewInternetHandle();
}

DWORD WINAPI InternetAttemptConnect(DWORD reserved) {
  if (auto rule = standin::Record("InternetAttemptConnect", {Num(reserved)}))
    return rule->lastError ? rule->lastError : ERROR_INTERNET_CANNOT_CONNECT;
  return 0;
}

HINTERNET WINAPI HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR objectName,
                                  LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes,
                                  DWORD flags, DWORD_PTR context) {
  auto rule = standin::Record("HttpOpenRequestA",
                              {HandleName(connection), Str(verb), Str(objectName), Str(version),
                               Str(referrer), standin::AcceptTypes(acceptTypes), Num(flags),
                               Num(context)});
  if (rule) return standin::FailedHandle(rule);
  if (!standin::IsOpenInternetHandle(connection)) return nullptr;
  // The responder may throw; no handle exists until it has answered.
  std::string body = standin::NextResponse(objectName ? objectName : "");
  HINTERNET request = standin::NewInternetHandle();
  standin::state().requestBodies[reinterpret_cast<std::uintptr_t>(request)] = std::move(body);
  return request;
}

BOOL WINAPI HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                                   DWORD modifiers) {
  const std::string text = headers ? std::string(headers, headersLength) : std::string("<null>");
  if (standin::Record("HttpAddRequestHeadersA",
                      {HandleName(request), text, Num(headersLength), Num(modifiers)}))
    return FALSE;
  return TRUE;
}

BOOL WINAPI InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR cookieData) {
  if (standin::Record("InternetSetCookieA", {Str(url), Str(cookieName), Str(cookieData)}))
    return FALSE;
  return TRUE;
}

BOOL WINAPI HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength) {
  const std::string headerText =
      headers ? std::string(headers, headersLength) : std::string("<null>");
  auto rule = standin::Record("HttpSendRequestA",
                              {HandleName(request), headerText, Num(headersLength), Ptr(optional),
                               Num(optionalLength)});
  if (optional)
    standin::state().sentBodies.emplace_back(static_cast<const char*>(optional), optionalLength);
  return rule ? FALSE : TRUE;
}

BOOL WINAPI HttpSendRequestExA(HINTERNET request, LPINTERNET_BUFFERSA buffersIn,
                               LPINTERNET_BUFFERSA buffersOut, DWORD flags, DWORD_PTR context) {
  std::string in = buffersIn ? "size=" + Num(buffersIn->dwStructSize) +
                                   (buffersIn->Next ? " next" : " next=null")
                             : std::string("<null>");
  if (buffersIn) standin::state().sendRecords.push_back(*buffersIn);
  if (standin::Record("HttpSendRequestExA",
                      {HandleName(request), in, Ptr(buffersOut), Num(flags), Num(context)}))
    return FALSE;
  return TRUE;
}

BOOL WINAPI InternetWriteFile(HINTERNET file, LPCVOID buffer, DWORD numberOfBytesToWrite,
                              LPDWORD numberOfBytesWritten) {
  auto rule = standin::Record("InternetWriteFile",
                              {HandleName(file), Ptr(buffer), Num(numberOfBytesToWrite),
                               Ptr(numberOfBytesWritten)});
  if (rule) return FALSE;
  standin::state().writtenBodies.emplace_back(static_cast<const char*>(buffer),
                                              numberOfBytesToWrite);
  if (numberOfBytesWritten) *numberOfBytesWritten = numberOfBytesToWrite;
  return TRUE;
}

BOOL WINAPI HttpEndRequestA(HINTERNET request, LPINTERNET_BUFFERSA buffersOut, DWORD flags,
                            DWORD_PTR context) {
  if (standin::Record("HttpEndRequestA",
                      {HandleName(request), Ptr(buffersOut), Num(flags), Num(context)}))
    return FALSE;
  return TRUE;
}

BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD numberOfBytesToRead,
                             LPDWORD numberOfBytesRead) {
  auto rule = standin::Record("InternetReadFile",
                              {HandleName(file), Ptr(buffer), Num(numberOfBytesToRead),
                               Ptr(numberOfBytesRead)});
  if (numberOfBytesRead) *numberOfBytesRead = 0;
  if (rule) return FALSE;
  auto& bodies = standin::state().requestBodies;
  auto it = bodies.find(reinterpret_cast<std::uintptr_t>(file));
  if (it == bodies.end() || !standin::IsOpenInternetHandle(file)) return FALSE;
  DWORD n = std::min<DWORD>(numberOfBytesToRead, static_cast<DWORD>(it->second.size()));
  if (standin::state().readPieceSize) n = std::min(n, standin::state().readPieceSize);
  std::memcpy(buffer, it->second.data(), n);
  it->second.erase(0, n);
  if (numberOfBytesRead) *numberOfBytesRead = n;
  return TRUE;
}

BOOL WINAPI InternetCloseHandle(HINTERNET internet) {
  standin::Record("InternetCloseHandle", {HandleName(internet)});
  const auto value = reinterpret_cast<std::uintptr_t>(internet);
  standin::state().requestBodies.erase(value);
  return standin::state().internetHandles.erase(value) ? TRUE : FALSE;
}

// ---------------------------------------------------------------- USER32

namespace {
constexpr UINT kFirstRegisteredMessage = 0xC000;
std::map<std::string, UINT>& RegisteredMessages() {
  static std::map<std::string, UINT> messages;
  return messages;
}
}  // namespace

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
  standin::Record("RegisterWindowMessageA", {Str(name)});
  auto& messages = RegisteredMessages();
  auto inserted =
      messages.insert({Str(name), kFirstRegisteredMessage + static_cast<UINT>(messages.size())});
  return inserted.first->second;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  standin::Record("SendMessageA", {HandleName(window), Num(message), Ptr(reinterpret_cast<void*>(wParam)),
                                   std::to_string(lParam)});
  auto& handler = standin::state().sendMessageHandler;
  return handler ? handler(window, message, wParam, lParam) : 0;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  standin::Record("MessageBoxA", {HandleName(owner), Str(text), Str(caption), Num(type)});
  standin::state().messageBoxes.push_back({HandleName(owner), Str(text), Str(caption), type});
  return standin::state().messageBoxResult;
}

HWND WINAPI GetActiveWindow() {
  standin::Record("GetActiveWindow", {});
  static int activeWindow;
  return &activeWindow;
}

// ---------------------------------------------------------------- KERNEL32

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
  auto rule = standin::Record("CreateFileA",
                              {Str(fileName), Num(desiredAccess), Num(shareMode),
                               Ptr(securityAttributes), Num(creationDisposition),
                               Num(flagsAndAttributes), Ptr(templateFile)});
  auto& s = standin::state();
  if (s.createFileHook) s.createFileHook(Str(fileName));
  if (rule) return INVALID_HANDLE_VALUE;
  if (!fileName || !s.files.count(fileName)) {
    s.lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  void* h = standin::NewHandle();
  s.fileHandles[reinterpret_cast<std::uintptr_t>(h)] = {fileName, 0};
  return h;
}

namespace {
standin::OpenFile* FindFile(HANDLE file) {
  auto& handles = standin::state().fileHandles;
  auto it = handles.find(reinterpret_cast<std::uintptr_t>(file));
  return it == handles.end() ? nullptr : &it->second;
}

const std::string* FileContents(const standin::OpenFile& open) {
  auto& files = standin::state().files;
  auto it = files.find(open.path);
  return it == files.end() ? nullptr : &it->second;
}
}  // namespace

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  auto rule = standin::Record("GetFileSize", {HandleName(file), Ptr(fileSizeHigh)});
  standin::OpenFile* open = FindFile(file);
  const std::string* contents = open ? FileContents(*open) : nullptr;
  if (rule || !contents) return INVALID_FILE_SIZE;
  if (fileSizeHigh) *fileSizeHigh = 0;
  return static_cast<DWORD>(contents->size());
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead,
                     LPDWORD numberOfBytesRead, LPOVERLAPPED overlapped) {
  auto rule = standin::Record("ReadFile", {HandleName(file), Ptr(buffer), Num(numberOfBytesToRead),
                                           Ptr(numberOfBytesRead), Ptr(overlapped)});
  if (numberOfBytesRead) *numberOfBytesRead = 0;
  standin::OpenFile* open = FindFile(file);
  const std::string* contents = open ? FileContents(*open) : nullptr;
  if (rule || !contents) return FALSE;
  const std::size_t available =
      open->position < contents->size() ? contents->size() - open->position : 0;
  const DWORD n = static_cast<DWORD>(std::min<std::size_t>(numberOfBytesToRead, available));
  std::memcpy(buffer, contents->data() + open->position, n);
  open->position += n;
  if (numberOfBytesRead) *numberOfBytesRead = n;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
  standin::Record("CloseHandle", {HandleName(object)});
  return standin::state().fileHandles.erase(reinterpret_cast<std::uintptr_t>(object)) ? TRUE
                                                                                      : FALSE;
}

HANDLE WINAPI GetProcessHeap() {
  static int processHeap;
  return &processHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  auto rule = standin::Record("HeapAlloc", {Ptr(heap), Num(flags), Num(bytes)});
  if (rule || heap != GetProcessHeap()) return nullptr;
  void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(bytes ? bytes : 1, 1)
                                           : std::malloc(bytes ? bytes : 1);
  if (block) standin::state().heapBlocks.insert(block);
  return block;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID memory) {
  standin::Record("HeapFree", {Ptr(heap), Num(flags), Ptr(memory)});
  if (heap != GetProcessHeap() || !standin::state().heapBlocks.erase(memory)) return FALSE;
  std::free(memory);
  return TRUE;
}

DWORD WINAPI GetLastError() { return standin::state().lastError; }

void WINAPI SetLastError(DWORD errorCode) { standin::state().lastError = errorCode; }
