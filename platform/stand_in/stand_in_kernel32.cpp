// KERNEL32: in-memory files, the process heap with its live blocks counted, the last error.
#include "stand_in_state.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace standin;

namespace {

// The open file and its contents, or null when either is gone.
const std::string* OpenContents(HANDLE file, OpenFile** open) {
  auto& handles = state().fileHandles;
  auto handle = handles.find(reinterpret_cast<std::uintptr_t>(file));
  if (handle == handles.end()) return nullptr;
  auto contents = state().files.find(handle->second.path);
  if (contents == state().files.end()) return nullptr;
  *open = &handle->second;
  return &contents->second;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
  const FailureRule* rule = Record(
      "CreateFileA", {Str(fileName), Num(desiredAccess), Num(shareMode), Ptr(securityAttributes),
                      Num(creationDisposition), Num(flagsAndAttributes), Ptr(templateFile)});
  State& s = state();
  // Before any answer, failing ones included: it stands for a file changing under the open.
  if (s.createFileHook) s.createFileHook(Str(fileName));
  if (rule) return INVALID_HANDLE_VALUE;
  if (!fileName || !s.files.count(fileName)) {
    s.lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  void* h = NewHandle();
  s.fileHandles[reinterpret_cast<std::uintptr_t>(h)] = {fileName, 0};
  return h;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  const FailureRule* rule = Record("GetFileSize", {HandleName(file), Ptr(fileSizeHigh)});
  OpenFile* open = nullptr;
  const std::string* contents = OpenContents(file, &open);
  if (rule || !contents) return INVALID_FILE_SIZE;
  if (fileSizeHigh) *fileSizeHigh = 0;
  return static_cast<DWORD>(contents->size());
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead,
                     LPDWORD numberOfBytesRead, LPOVERLAPPED overlapped) {
  if (numberOfBytesRead) *numberOfBytesRead = 0;
  return RecordBool(
      "ReadFile",
      {HandleName(file), Ptr(buffer), Num(numberOfBytesToRead), Ptr(numberOfBytesRead),
       Ptr(overlapped)},
      [&] {
        OpenFile* open = nullptr;
        const std::string* contents = OpenContents(file, &open);
        if (!contents) return FALSE;
        const std::size_t available = contents->size() - std::min(open->position, contents->size());
        const DWORD n = static_cast<DWORD>(std::min<std::size_t>(numberOfBytesToRead, available));
        std::memcpy(buffer, contents->data() + open->position, n);
        open->position += n;
        if (numberOfBytesRead) *numberOfBytesRead = n;
        return TRUE;
      });
}

BOOL WINAPI CloseHandle(HANDLE object) {
  Record("CloseHandle", {HandleName(object)});
  return state().fileHandles.erase(reinterpret_cast<std::uintptr_t>(object)) ? TRUE : FALSE;
}

HANDLE WINAPI GetProcessHeap() {
  static int processHeap;
  return &processHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  return RecordHandle("HeapAlloc", {Ptr(heap), Num(flags), Num(bytes)}, [&]() -> void* {
    if (heap != GetProcessHeap()) return nullptr;
    const SIZE_T size = bytes ? bytes : 1;
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(size, 1) : std::malloc(size);
    if (block) state().heapBlocks.emplace(block, std::unique_ptr<void, FreeBlock>(block));
    return block;
  });
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID memory) {
  Record("HeapFree", {Ptr(heap), Num(flags), Ptr(memory)});
  return heap == GetProcessHeap() && state().heapBlocks.erase(memory) ? TRUE : FALSE;
}

DWORD WINAPI GetLastError() { return state().lastError; }

void WINAPI SetLastError(DWORD errorCode) { state().lastError = errorCode; }
