// The stand-in's scripting and recording; each DLL's functions live in a file of their own.
#include "stand_in_state.h"

namespace standin {
namespace {

constexpr std::uintptr_t kHandleBase = 0x10000;
const char* const kNull = "<null>";

}  // namespace

State& state() {
  static State s;
  return s;
}

std::string Str(const char* text) { return text ? std::string(text) : std::string(kNull); }
std::string Num(std::uint64_t value) { return std::to_string(value); }
std::string Ptr(const void* p) { return p ? std::string("<ptr>") : std::string(kNull); }

const FailureRule* Record(const char* function, std::vector<std::string> args) {
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

void* NewHandle() { return reinterpret_cast<void*>(kHandleBase + state().nextHandle++); }

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
