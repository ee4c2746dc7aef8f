// Declarations of the Win32 and WinINet subset that the code calls, for the native build.
// Names, argument order and constant values are those of the Windows SDK.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using SIZE_T = std::size_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WCHAR = char16_t;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPCWSTR = const WCHAR*;
using LPDWORD = DWORD*;
using HANDLE = void*;
using HWND = void*;
using HINSTANCE = void*;
using HINTERNET = void*;
using INTERNET_PORT = WORD;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFFF)))

constexpr UINT MB_OK = 0x00000000;
constexpr int IDOK = 1;

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_SERVICE_FTP = 1;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr INTERNET_PORT INTERNET_DEFAULT_FTP_PORT = 21;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;
constexpr DWORD INTERNET_FLAG_PASSIVE = 0x08000000;
constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr DWORD INTERNET_FLAG_FORMS_SUBMIT = 0x00000040;
constexpr DWORD HTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
constexpr DWORD HTTP_ADDREQ_FLAG_REPLACE = 0x80000000;
constexpr DWORD HSR_INITIATE = 0x00000008;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION = 12168;

// Same members, order and 32-bit size (40 bytes) as the SDK's record.
struct INTERNET_BUFFERSA {
  DWORD dwStructSize;
  INTERNET_BUFFERSA* Next;
  LPCSTR lpcszHeader;
  DWORD dwHeadersLength;
  DWORD dwHeadersTotal;
  LPVOID lpvBuffer;
  DWORD dwBufferLength;
  DWORD dwBufferTotal;
  DWORD dwOffsetLow;
  DWORD dwOffsetHigh;
};
using LPINTERNET_BUFFERSA = INTERNET_BUFFERSA*;

// WININET
HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                               DWORD flags);
HINTERNET WINAPI InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                                  LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context);
DWORD WINAPI InternetAttemptConnect(DWORD reserved);
HINTERNET WINAPI HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR objectName,
                                  LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags,
                                  DWORD_PTR context);
BOOL WINAPI HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                                   DWORD modifiers);
BOOL WINAPI InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR cookieData);
BOOL WINAPI HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength);
BOOL WINAPI HttpSendRequestExA(HINTERNET request, LPINTERNET_BUFFERSA buffersIn,
                               LPINTERNET_BUFFERSA buffersOut, DWORD flags, DWORD_PTR context);
BOOL WINAPI InternetWriteFile(HINTERNET file, LPCVOID buffer, DWORD numberOfBytesToWrite,
                              LPDWORD numberOfBytesWritten);
BOOL WINAPI HttpEndRequestA(HINTERNET request, LPINTERNET_BUFFERSA buffersOut, DWORD flags,
                            DWORD_PTR context);
BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD numberOfBytesToRead,
                             LPDWORD numberOfBytesRead);
BOOL WINAPI InternetCloseHandle(HINTERNET internet);

// USER32
UINT WINAPI RegisterWindowMessageA(LPCSTR name);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HWND WINAPI GetActiveWindow();

// KERNEL32
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead,
                     LPDWORD numberOfBytesRead, LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE object);
HANDLE WINAPI GetProcessHeap();
LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID memory);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD errorCode);
