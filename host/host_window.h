// The host's side of the user interface: a real top-level window that receives the plug-in's
// toast message and prints each toast, and a hook on the host's thread that prints each message
// box and closes it at once, so that nothing waits for a person.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr const char* TOAST_MESSAGE_NAME = "MessengerPlus_DisplayToast";

// What the toast message's wParam points to. Addresses are pointer-sized: 20 bytes on a 32-bit
// host; on a 64-bit host title at 0, message at 8, param at 16, flag at 20, reserved at 24.
struct ToastRecord {
  const void* title;
  const void* message;
  std::uint32_t param;
  std::uint32_t flag;
  std::uint32_t reserved;
};

#ifdef _WIN64
static_assert(offsetof(ToastRecord, message) == 8 && offsetof(ToastRecord, param) == 16 &&
                  offsetof(ToastRecord, flag) == 20 && offsetof(ToastRecord, reserved) == 24,
              "64-bit toast record layout");
#else
static_assert(sizeof(ToastRecord) == 20 && offsetof(ToastRecord, message) == 4 &&
                  offsetof(ToastRecord, param) == 8 && offsetof(ToastRecord, flag) == 12 &&
                  offsetof(ToastRecord, reserved) == 16,
              "32-bit toast record layout");
#endif

// lParam of the toast message: which form sent the record.
inline constexpr LPARAM TOAST_FORM_ANSI = 0;
inline constexpr LPARAM TOAST_FORM_WIDE = 1;

// One per process: the window procedure and the hook reach it through a global.
class HostWindow {
 public:
  HostWindow() = default;
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  ~HostWindow();

  bool Create(std::string& error);

 private:
  HWND window_ = nullptr;
  HHOOK hook_ = nullptr;
};
