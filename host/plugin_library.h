// The plug-in as the host sees it: a DLL loaded by path and its exports looked up by name. The
// signatures are the host's own declarations of the interface, not the plug-in's headers.
#pragma once

#include <windows.h>

#include <string>

using ConfigureFunction = int(WINAPI*)();
using DisplayToastFunction = LRESULT(WINAPI*)(const char* message, const char* title, DWORD param,
                                              BOOL flag);
using DisplayToastWFunction = LRESULT(WINAPI*)(const wchar_t* message, const wchar_t* title,
                                               DWORD param, BOOL flag);
using InitializeFunction = int(WINAPI*)(DWORD, DWORD, DWORD);
using ParseCommandFunction = int(WINAPI*)(const char* command, const char* parameters, DWORD,
                                          char* result);
using ParseTagFunction = int(WINAPI*)(DWORD, DWORD, char* result);
using PublishInfoFunction = int(WINAPI*)(void* pluginInfo, void* commandTable, void* thirdRecord);
using ReceiveNotifyFunction = int(WINAPI*)(DWORD, DWORD, DWORD, char* result);
using UninitializeFunction = void(WINAPI*)();

class PluginLibrary {
 public:
  PluginLibrary() = default;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;
  ~PluginLibrary();

  // False, with the reason in error, when the DLL does not load or lacks an export; the host
  // takes no plug-in that is missing part of the interface.
  bool Load(const char* path, std::string& error);

  ConfigureFunction configure = nullptr;
  DisplayToastFunction displayToast = nullptr;
  DisplayToastWFunction displayToastW = nullptr;
  InitializeFunction initialize = nullptr;
  ParseCommandFunction parseCommand = nullptr;
  ParseTagFunction parseTag = nullptr;
  PublishInfoFunction publishInfo = nullptr;
  ReceiveNotifyFunction receiveNotify = nullptr;
  UninitializeFunction uninitialize = nullptr;

 private:
  HMODULE module_ = nullptr;
};
