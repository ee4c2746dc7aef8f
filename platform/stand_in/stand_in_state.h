// What the stand-in's DLL files share: the process-wide state, the recording of each call and
// the formatting of its arguments. Not for tests: they see win32_stand_in.h.
#pragma once

#include "win32_stand_in.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace standin {

struct FailureRule {
  int nth;
  DWORD lastError;
  bool invalidHandle;
};

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

struct OpenFile {
  std::string path;
  std::size_t position;
};

// Everything a test can script or observe; Reset() replaces it whole, which frees the heap
// blocks still live.
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
  std::map<void*, std::unique_ptr<void, FreeBlock>> heapBlocks;
  std::map<std::string, UINT> registeredMessages;
  DWORD lastError = 0;
};

State& state();

std::string Str(const char* text);
std::string Num(std::uint64_t value);
std::string Ptr(const void* p);

// Records the call and tells which scripted failure hits it, if any (setting the last error).
const FailureRule* Record(const char* function, std::vector<std::string> args);

// BOOL functions: FALSE under a scripted failure, else what succeed() answers.
template <typename Succeed>
BOOL RecordBool(const char* function, std::vector<std::string> args, Succeed succeed) {
  return Record(function, std::move(args)) ? FALSE : succeed();
}

// Handle functions: null, or INVALID_HANDLE_VALUE when scripted so, under a scripted failure,
// else what succeed() answers.
template <typename Succeed>
HANDLE RecordHandle(const char* function, std::vector<std::string> args, Succeed succeed) {
  if (const FailureRule* rule = Record(function, std::move(args)))
    return rule->invalidHandle ? INVALID_HANDLE_VALUE : nullptr;
  return succeed();
}

void* NewHandle();

}  // namespace standin
