// The server state of an in-process ActiveX server: one set per loaded module. The name, the
// module and the type library are set once at start-up, under the loader, and only read after;
// the two counts change atomically from any apartment.
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

    // Names the server, then loads the module's own type library (resource TYPELIB 1) and keeps
    // it until unload. The name comes first: it is fixed once a type library is loaded.
    // Raises std::runtime_error when the type library cannot be loaded.
    void Startup(HMODULE module, const std::string& serverName);

    HMODULE Module() const { return module_; }
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
    LONG ObjectCount() const { return objectCount_; }
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

    // The four exports' bodies.
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

    HMODULE module_ = nullptr;
    std::wstring modulePath_;
    std::string serverName_;
    TComPtr<ITypeLib> typeLib_;
    volatile LONG objectCount_ = 0;
    volatile LONG lockCount_ = 0;
    volatile LONG factoryRefCount_ = 0;
    SRWLOCK factoriesLock_ = SRWLOCK_INIT;
    std::vector<std::unique_ptr<TAxClassEntry>> factories_;
};
