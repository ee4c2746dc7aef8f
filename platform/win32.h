// The one header through which the code reaches Win32 and WinINet. Windows builds take the
// system's declarations; the native build takes the stand-in's, which carry the same names,
// signatures and constants.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wininet.h>
#else
#include "stand_in/win32_subset.h"
#endif
