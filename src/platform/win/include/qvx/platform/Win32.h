#pragma once
// The system's header as every Windows file of the program takes it: without the min and
// max macros, which break the standard library's, and without the rarely used parts.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
