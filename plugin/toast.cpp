#include "toast.h"

namespace {

template <typename Char>
LRESULT BroadcastToast(const Char* message, const void* title, DWORD param, BOOL flag,
                       LPARAM form) {
  Char copy[TOAST_MESSAGE_CAPACITY] = {};
  for (std::size_t i = 0; message && i + 1 < TOAST_MESSAGE_CAPACITY && message[i]; ++i)
    copy[i] = message[i];

  ToastRecord record = {};
  record.title = title;
  record.message = copy;
  record.param = param;
  record.flag = (static_cast<DWORD>(flag) & 0xFF) ? 0xFFFFFFFF : 0;

  const UINT toastMessage = RegisterWindowMessageA(TOAST_MESSAGE_NAME);
  return SendMessageA(HWND_BROADCAST, toastMessage, reinterpret_cast<WPARAM>(&record), form);
}

}  // namespace

LRESULT DisplayToast(const char* message, const char* title, DWORD param, BOOL flag) {
  return BroadcastToast(message, title, param, flag, TOAST_FROM_ANSI);
}

LRESULT DisplayToastW(const WCHAR* message, const WCHAR* title, DWORD param, BOOL flag) {
  return BroadcastToast(message, title, param, flag, TOAST_FROM_WIDE);
}
