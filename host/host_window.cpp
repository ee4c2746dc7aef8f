#include "host_window.h"

#include "output.h"

#include <cstdio>
#include <set>

namespace {

const char WINDOW_CLASS[] = "MirelskanPluginHostWindow";
const char DIALOG_CLASS[] = "#32770";
// A message box's text control.
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;
// Bounds every read of a string the plug-in hands over, so a missing terminator shows as
// garbage in the output rather than a crash.
constexpr std::size_t STRING_READ_LIMIT = 65536;

UINT toastMessage = 0;
std::set<HWND> capturedBoxes;

template <typename Char>
std::size_t BoundedLength(const Char* text) {
  std::size_t length = 0;
  while (length < STRING_READ_LIMIT && text[length]) ++length;
  return length;
}

std::string ToastText(const void* address, LPARAM form) {
  if (!address) return "null";
  if (form == TOAST_FORM_WIDE) {
    const auto* text = static_cast<const wchar_t*>(address);
    return Quote(Utf8FromWide(text, BoundedLength(text)));
  }
  const auto* text = static_cast<const char*>(address);
  return Quote(std::string(text, BoundedLength(text)));
}

void PrintToast(WPARAM wParam, LPARAM lParam) {
  const auto* record = reinterpret_cast<const ToastRecord*>(wParam);
  std::string line = "toast ";
  if (lParam == TOAST_FORM_ANSI)
    line += "form=ansi";
  else if (lParam == TOAST_FORM_WIDE)
    line += "form=wide";
  else
    line += "form=unknown";
  line += " lparam=" + std::to_string(lParam);
  if (!record) {
    PrintLine(line + " record=null");
    return;
  }
  // Strings of an unknown form cannot be read safely.
  if (lParam == TOAST_FORM_ANSI || lParam == TOAST_FORM_WIDE)
    line += " title=" + ToastText(record->title, lParam) +
            " message=" + ToastText(record->message, lParam);
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " param=%lu flag=0x%08lx reserved=0x%08lx",
                static_cast<unsigned long>(record->param), static_cast<unsigned long>(record->flag),
                static_cast<unsigned long>(record->reserved));
  PrintLine(line + numbers);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == toastMessage && toastMessage != 0) {
    PrintToast(wParam, lParam);
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string WindowText(HWND window) {
  if (!window) return {};
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

bool IsDialog(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, DIALOG_CLASS) == 0;
}

// Presses the first button the box has, so that boxes with other buttons than OK close too.
void CloseBox(HWND box) {
  static const int buttons[] = {IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE};
  for (const int id : buttons) {
    if (const HWND button = GetDlgItem(box, id)) {
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
      return;
    }
  }
  PostMessageA(box, WM_CLOSE, 0, 0);
}

// On activation the box has its caption and text set and runs its own modal loop, which picks
// up the posted button press.
void CaptureBox(HWND box) {
  if (!IsDialog(box) || !capturedBoxes.insert(box).second) return;
  PrintLine("messagebox caption=" + Quote(WindowText(box)) +
            " text=" + Quote(WindowText(GetDlgItem(box, MESSAGE_BOX_TEXT_ID))));
  CloseBox(box);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) CaptureBox(reinterpret_cast<HWND>(wParam));
  if (code == HCBT_DESTROYWND) capturedBoxes.erase(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

HostWindow::~HostWindow() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (window_) DestroyWindow(window_);
}

bool HostWindow::Create(std::string& error) {
  toastMessage = RegisterWindowMessageA(TOAST_MESSAGE_NAME);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = WINDOW_CLASS;
  if (!toastMessage || !RegisterClassA(&windowClass)) {
    error = "cannot register the window message or class";
    return false;
  }
  // Top-level and never shown: a broadcast reaches hidden windows too.
  window_ = CreateWindowExA(0, WINDOW_CLASS, "Mirelskan plug-in host", WS_OVERLAPPEDWINDOW, 0, 0,
                            320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
  hook_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
  if (!window_ || !hook_) {
    error = "cannot create the host window or the message box hook";
    return false;
  }
  return true;
}
