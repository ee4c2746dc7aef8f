// USER32: registered messages, SendMessageA as scripted, message boxes recorded.
#include "stand_in_state.h"

using namespace standin;

namespace {
constexpr UINT kFirstRegisteredMessage = 0xC000;
}  // namespace

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
  Record("RegisterWindowMessageA", {Str(name)});
  auto& messages = state().registeredMessages;
  const UINT next = kFirstRegisteredMessage + static_cast<UINT>(messages.size());
  return messages.insert({Str(name), next}).first->second;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Record("SendMessageA", {HandleName(window), Num(message), Ptr(reinterpret_cast<void*>(wParam)),
                          std::to_string(lParam)});
  auto& handler = state().sendMessageHandler;
  return handler ? handler(window, message, wParam, lParam) : 0;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Record("MessageBoxA", {HandleName(owner), Str(text), Str(caption), Num(type)});
  state().messageBoxes.push_back({HandleName(owner), Str(text), Str(caption), type});
  return state().messageBoxResult;
}

HWND WINAPI GetActiveWindow() {
  Record("GetActiveWindow", {});
  static int activeWindow;
  return &activeWindow;
}
