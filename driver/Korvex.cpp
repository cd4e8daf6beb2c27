// The module of Korvex.dll: what it keeps from the loader, the four exports of an in-process
// server, and DllInstall for registration without administrator rights.
#include <windows.h>

#include "AxRegistry.h"
#include "AxServer.h"
#include "oleMain.h"

namespace {

HMODULE korvexModule = nullptr;

// The started server's answer to call, or the start's failure. The server starts at the first
// export that needs it rather than under the loader, which allows nothing there that calls into
// other libraries (the type library's loader, the registry).
template <class Call> HRESULT WithServer(Call&& call) {
    HRESULT hr = StartKorvexServer(korvexModule);
    return FAILED(hr) ? hr : call(TAxServer::Instance());
}

} // namespace

// Keeps the module handle when the library is loaded, and stops the server when it is unloaded:
// reserved is null for FreeLibrary, and not null when the process is terminating.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH)
        korvexModule = instance;
    else if (reason == DLL_PROCESS_DETACH)
        TAxServer::Instance().Stop(reserved != nullptr);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (out)
        *out = nullptr;
    return WithServer([&](TAxServer& server) { return server.GetClassObject(classId, iid, out); });
}

STDAPI DllCanUnloadNow() {
    return TAxServer::Instance().CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return WithServer([](TAxServer& server) { return server.RegisterServer(SystemRegistry()); });
}

STDAPI DllUnregisterServer() {
    return WithServer([](TAxServer& server) { return server.UnregisterServer(SystemRegistry()); });
}

// regsvr32 /n /i:user registers for the current user only (and /u /n /i:user removes that);
// regsvr32 /n /i with no command line does what DllRegisterServer does.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    TAxRegistry* registry = RegistryNamed(commandLine);
    if (!registry)
        return E_INVALIDARG;
    return WithServer([&](TAxServer& server) {
        return install ? server.RegisterServer(*registry) : server.UnregisterServer(*registry);
    });
}
