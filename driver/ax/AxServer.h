// The server state of an in-process ActiveX server: one set per loaded module. The name, the
// module, the type library and the factories are set once, at the first call that needs them,
// and only read after until the module is unloaded; the two counts change atomically from any
// apartment.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "WinHolders.h"

class TAxClassEntry;
class TAxRegistry;

class TAxServer {
public:
    static TAxServer& Instance();
    TAxServer(const TAxServer&) = delete;
    TAxServer& operator=(const TAxServer&) = delete;

    // Starts the server of module once: names it, loads the module's own type library (resource
    // TYPELIB 1), which it keeps until Stop, and has addFactories enter the module's factories.
    // The name comes first: it is fixed once a type library is loaded. Threads that call at once
    // wait for the one that starts it. Returns S_OK once started; the loader's failure when the
    // type library cannot be loaded, E_OUTOFMEMORY, or E_UNEXPECTED when addFactories raised
    // (a class that its type information does not describe). A start that failed leaves
    // nothing behind, and the next call tries again.
    HRESULT Start(HMODULE module, const char* serverName, void (*addFactories)());
    // At unload: the factories go and the type library is released. When the process is
    // terminating the type library is left to the system, whose loader may be gone already.
    void Stop(bool processTerminating);

    // The module's full path as the system reports it for the loaded module.
    const std::wstring& ModulePath() const { return modulePath_; }
    const std::string& ServerName() const { return serverName_; }
    // Null before start-up.
    ITypeLib* TypeLib() const { return typeLib_.Get(); }
    // The type information of guid in the type library, or null when it holds none.
    TComPtr<ITypeInfo> TypeInfoOf(REFGUID guid) const;

    // Live objects plus outstanding server locks.
    void ObjectCreated() { InterlockedIncrement(&objectCount_); }
    void ObjectDestroyed() { InterlockedDecrement(&objectCount_); }
    // A server lock counts as an object. Unlock takes back one outstanding lock and answers
    // whether there was one: an unlock without a lock must not count the objects down.
    void Lock();
    bool Unlock();
    // Outstanding references to the factories.
    LONG FactoryAddRef() { return InterlockedIncrement(&factoryRefCount_); }
    LONG FactoryRelease() { return InterlockedDecrement(&factoryRefCount_); }

    // Enters a class's factory at the front of the list; the server owns it from then on.
    void AddFactory(std::unique_ptr<TAxClassEntry> factory);
    // The factory of classId, or null.
    TAxClassEntry* FactoryOf(REFCLSID classId);

    // The exports' bodies, for a started server. Registration and unregistration give
    // E_OUTOFMEMORY when the memory runs out on the way.
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out);
    HRESULT CanUnloadNow() const;
    // Registers the type library with the system, then its path under language 0 as well (what
    // the marshaller of other apartments reads), then each factory's entries.
    HRESULT RegisterServer(TAxRegistry& registry);
    // The reverse: the language-0 entry, the type library, each factory's entries. E_FAIL when
    // an entry could not be deleted; entries already gone are no failure.
    HRESULT UnregisterServer(TAxRegistry& registry);

private:
    TAxServer();
    ~TAxServer();
    static TAxServer instance_;
    static BOOL CALLBACK StartOnce(INIT_ONCE* once, void* request, void** context);
    HRESULT StartNow(HMODULE module, const char* serverName, void (*addFactories)());
    HRESULT RegisterNow(TAxRegistry& registry);
    HRESULT UnregisterNow(TAxRegistry& registry);

    INIT_ONCE started_ = INIT_ONCE_STATIC_INIT;
    std::wstring modulePath_;
    std::string serverName_;
    TComPtr<ITypeLib> typeLib_;
    volatile LONG objectCount_ = 0;
    volatile LONG lockCount_ = 0;
    volatile LONG factoryRefCount_ = 0;
    SRWLOCK factoriesLock_ = SRWLOCK_INIT;
    std::vector<std::unique_ptr<TAxClassEntry>> factories_;
};
