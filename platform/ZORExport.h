#pragma once

// The one export macro of the library: everything a host may call is marked with it, everything
// else stays hidden (the library is built with -fvisibility=hidden).
#if defined(_WIN32)
#define ZORMTK_EXPORT __declspec(dllexport)
#else
#define ZORMTK_EXPORT __attribute__((visibility("default")))
#endif
