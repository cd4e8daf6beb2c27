// The module of Korvex.dll: its start-up under the loader.
#include <windows.h>

#include <exception>

#include "oleMain.h"

// Start-up names the server and loads the module's own type library; a library that cannot do
// so refuses to load.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    DisableThreadLibraryCalls(instance);
    try {
        StartKorvexServer(instance);
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}
