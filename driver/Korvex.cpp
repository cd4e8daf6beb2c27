// The module of Korvex.dll: its start-up under the loader, the four exports of an in-process
// server, and DllInstall for registration without administrator rights.
#include <windows.h>

#include <exception>

#include "AxRegistry.h"
#include "AxServer.h"
#include "oleMain.h"

// Start-up names the server, loads the module's own type library and builds the factory; a
// library whose type library and control class do not agree refuses to load.
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

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    return TAxServer::Instance().GetClassObject(classId, iid, out);
}

STDAPI DllCanUnloadNow() {
    return TAxServer::Instance().CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return TAxServer::Instance().RegisterServer(SystemRegistry());
}

STDAPI DllUnregisterServer() {
    return TAxServer::Instance().UnregisterServer(SystemRegistry());
}

// regsvr32 /n /i:user registers for the current user only (and /u /n /i:user removes that);
// regsvr32 /n /i with no command line does what DllRegisterServer does.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    TAxRegistry* registry = RegistryNamed(commandLine);
    if (!registry)
        return E_INVALIDARG;
    TAxServer& server = TAxServer::Instance();
    return install ? server.RegisterServer(*registry) : server.UnregisterServer(*registry);
}
