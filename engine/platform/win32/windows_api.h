// The Windows API for the engine's Win32 files. windows.h names some of its
// functions by macros (CreateDirectory, DeleteFile) that would rename the
// Os calls of the same names; they are undone here.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#undef CreateDirectory
#undef DeleteFile
