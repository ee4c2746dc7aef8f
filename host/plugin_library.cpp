#include "plugin_library.h"

namespace {

// Through void(*)(), the one function pointer type GCC lets FARPROC be cast to without warning.
template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function, std::string& error) {
  const FARPROC address = GetProcAddress(module, name);
  if (!address) {
    error = std::string("missing export ") + name;
    return false;
  }
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  return true;
}

}  // namespace

PluginLibrary::~PluginLibrary() {
  if (module_) FreeLibrary(module_);
}

bool PluginLibrary::Load(const char* path, std::string& error) {
  module_ = LoadLibraryA(path);
  if (!module_) {
    error = "cannot load " + std::string(path) + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  return Resolve(module_, "Configure", configure, error) &&
         Resolve(module_, "_DisplayToast@16", displayToast, error) &&
         Resolve(module_, "_DisplayToastW@16", displayToastW, error) &&
         Resolve(module_, "Initialize", initialize, error) &&
         Resolve(module_, "ParseCommand", parseCommand, error) &&
         Resolve(module_, "ParseTag", parseTag, error) &&
         Resolve(module_, "PublishInfo", publishInfo, error) &&
         Resolve(module_, "ReceiveNotify", receiveNotify, error) &&
         Resolve(module_, "Uninitialize", uninitialize, error);
}
