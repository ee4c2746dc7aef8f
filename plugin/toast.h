#pragma once

#include "platform/win32.h"

#include <cstddef>

// Window message by which the host learns of a toast; wParam carries a ToastRecord.
inline constexpr const char* TOAST_MESSAGE_NAME = "MessengerPlus_DisplayToast";
// Characters in the message copy, terminator included.
inline constexpr std::size_t TOAST_MESSAGE_CAPACITY = 256;
// lParam of the toast message: which form sent the record.
inline constexpr LPARAM TOAST_FROM_ANSI = 0;
inline constexpr LPARAM TOAST_FROM_WIDE = 1;

// Read by the host while the broadcast is delivered. Pointer-sized addresses, so 20 bytes on
// the 32-bit build.
struct ToastRecord {
  const void* title;
  const void* message;
  DWORD param;
  DWORD flag;  // 0xFFFFFFFF or 0
  DWORD reserved;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ToastRecord) == 20, "the host reads a 20-byte record");
static_assert(offsetof(ToastRecord, title) == 0 && offsetof(ToastRecord, message) == 4 &&
                  offsetof(ToastRecord, param) == 8 && offsetof(ToastRecord, flag) == 12 &&
                  offsetof(ToastRecord, reserved) == 16,
              "field offsets the host relies on");
#elif defined(_WIN64)
static_assert(offsetof(ToastRecord, message) == 8 && offsetof(ToastRecord, param) == 16 &&
                  offsetof(ToastRecord, flag) == 20 && offsetof(ToastRecord, reserved) == 24,
              "field offsets the 64-bit host stand-in relies on");
#endif

// Broadcast a toast and return what SendMessageA returned. The message is copied, cut to 255
// characters; a null message is sent as the empty string.
LRESULT DisplayToast(const char* message, const char* title, DWORD param, BOOL flag);
LRESULT DisplayToastW(const WCHAR* message, const WCHAR* title, DWORD param, BOOL flag);
