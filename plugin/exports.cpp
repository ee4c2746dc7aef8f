#include "exports.h"

#include "help_box.h"
#include "registration.h"
#include "toast.h"
#include "translation_command.h"

namespace {

// Runs an export's body so that no exception crosses into the host.
template <typename Result, typename Body>
Result Guarded(Result onException, Body body) {
  try {
    return body();
  } catch (...) {
    return onException;
  }
}

}  // namespace

int WINAPI Configure() {
  return Guarded(0, [] { return ShowHelpBox(); });
}

LRESULT WINAPI DisplayToastExport(const char* message, const char* title, DWORD param, BOOL flag) {
  return Guarded<LRESULT>(0, [&] { return DisplayToast(message, title, param, flag); });
}

LRESULT WINAPI DisplayToastWExport(const WCHAR* message, const WCHAR* title, DWORD param,
                                   BOOL flag) {
  return Guarded<LRESULT>(0, [&] { return DisplayToastW(message, title, param, flag); });
}

int WINAPI Initialize(DWORD, DWORD, DWORD) { return 1; }

int WINAPI ParseCommand(const char* command, const char* parameters, DWORD, char* result) {
  return Guarded(1, [&] { return RunTranslationCommand(command, parameters, result); });
}

int WINAPI ParseTag(DWORD, DWORD, char* result) {
  WriteEmptyResult(result);
  return 0;
}

int WINAPI PublishInfo(void* pluginInfo, void* commandTable, void* thirdRecord) {
  PublishPluginInfo(pluginInfo, commandTable, thirdRecord);
  return 1;
}

int WINAPI ReceiveNotify(DWORD, DWORD, DWORD, char* result) {
  WriteEmptyResult(result);
  return 1;
}

void WINAPI Uninitialize() {}

#ifdef _WIN32
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
