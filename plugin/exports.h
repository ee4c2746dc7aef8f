// The functions the host calls. Each is __stdcall on Windows, checks its arguments, calls one
// internal function and lets no exception out.
#pragma once

#include "platform/win32.h"

#define PLUGIN_EXPORT extern "C"

PLUGIN_EXPORT int WINAPI Configure();
PLUGIN_EXPORT LRESULT WINAPI DisplayToastExport(const char* message, const char* title, DWORD param,
                                                BOOL flag);
PLUGIN_EXPORT LRESULT WINAPI DisplayToastWExport(const WCHAR* message, const WCHAR* title,
                                                 DWORD param, BOOL flag);
PLUGIN_EXPORT int WINAPI Initialize(DWORD, DWORD, DWORD);
PLUGIN_EXPORT int WINAPI ParseCommand(const char* command, const char* parameters, DWORD,
                                      char* result);
PLUGIN_EXPORT int WINAPI ParseTag(DWORD, DWORD, char* result);
PLUGIN_EXPORT int WINAPI PublishInfo(void* pluginInfo, void* commandTable, void* thirdRecord);
PLUGIN_EXPORT int WINAPI ReceiveNotify(DWORD, DWORD, DWORD, char* result);
PLUGIN_EXPORT void WINAPI Uninitialize();
