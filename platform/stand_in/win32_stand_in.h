// Test-side view of the Win32 stand-in: script what each call answers, read what was called.
// Call Reset() in every fixture's SetUp; all state is process-wide, like the real API's.
#pragma once

#include "win32_subset.h"

#include <functional>
#include <string>
#include <vector>

namespace standin {

// One recorded call. Strings are recorded as they were passed, null pointers as "<null>",
// handles as "h<N>" (N counts from 1 in order of creation), integers in decimal.
struct Call {
  std::string function;
  std::vector<std::string> args;
};

struct MessageBoxShown {
  std::string owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Back to the state before the first call: scripted answers, records, handles and registered
// messages forgotten, heap blocks still live freed.
void Reset();

// The nth call (counted from 1 since Reset) of the named function fails; nth 0 fails every
// call. Handle functions give null (or INVALID_HANDLE_VALUE when asked), BOOL functions FALSE,
// InternetAttemptConnect a nonzero code; the last error is set to lastError.
void FailCall(const std::string& function, int nth = 0, DWORD lastError = 0);
void FailCallWithInvalidHandle(const std::string& function, int nth = 0);

// Response bodies, one per HttpOpenRequestA in order; when none is queued the responder (if
// any) is asked with the request's object name, else the body is empty.
void QueueResponse(const std::string& body);
void SetResponder(std::function<std::string(const std::string& objectName)> responder);
// Largest number of bytes one InternetReadFile delivers (0: as many as asked).
void SetReadPieceSize(DWORD bytes);

// In-memory files for CreateFileA/GetFileSize/ReadFile.
void AddFile(const std::string& path, const std::string& contents);
void RemoveFile(const std::string& path);
// Called on every CreateFileA before it looks the path up; may change the files.
void SetCreateFileHook(std::function<void(const std::string& path)> hook);

void SetMessageBoxResult(int result);
void SetSendMessageHandler(std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> handler);

const std::vector<Call>& Calls();
std::vector<std::string> CallNames();
std::vector<Call> CallsTo(const std::string& function);
const std::vector<MessageBoxShown>& MessageBoxes();
// Bytes handed to HttpSendRequestA as optional data and to InternetWriteFile, per call.
const std::vector<std::string>& SentBodies();
const std::vector<std::string>& WrittenBodies();
// Copies of the buffers record handed to each HttpSendRequestExA as its input.
const std::vector<INTERNET_BUFFERSA>& SendRecords();

int OpenInternetHandles();
int OpenFileHandles();
int LiveHeapBlocks();

std::string HandleName(const void* handle);

}  // namespace standin
