// Export marker for the classes the tray program offers to other modules.
// The program itself is built with KORVEX_EXPORTS and exports them; the static
// libraries, the tests and the native builds see an empty marker.
#pragma once

#if defined(_WIN32) && defined(KORVEX_EXPORTS)
#define KORVEX_API __declspec(dllexport)
#else
#define KORVEX_API
#endif
