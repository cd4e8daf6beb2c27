#include "AxServer.h"

#include <cwchar>
#include <stdexcept>

#include "AxClassEntry.h"
#include "AxGuard.h"
#include "AxRegistry.h"
#include "AxTypeInfo.h"

// Made with the module, before DllMain runs, not as a static inside a function: the runtime
// guards the first use of such a static with the posix thread library, which then makes data
// for the calling thread (an event and a handle of the thread) that stays until the thread ends,
// however often the module is loaded and unloaded meanwhile.
TAxServer TAxServer::instance_;

TAxServer& TAxServer::Instance() {
    return instance_;
}

TAxServer::TAxServer() = default;
TAxServer::~TAxServer() = default;

namespace {

// Holds an SRWLOCK for one scope: shared for readers, exclusive for writers.
class TLockHold {
public:
    enum Mode { Shared, Exclusive };
    TLockHold(SRWLOCK& lock, Mode mode) : lock_(lock), mode_(mode) {
        mode_ == Shared ? AcquireSRWLockShared(&lock_) : AcquireSRWLockExclusive(&lock_);
    }
    ~TLockHold() {
        mode_ == Shared ? ReleaseSRWLockShared(&lock_) : ReleaseSRWLockExclusive(&lock_);
    }
    TLockHold(const TLockHold&) = delete;
    TLockHold& operator=(const TLockHold&) = delete;

private:
    SRWLOCK& lock_;
    Mode mode_;
};

// Raises std::runtime_error when the system cannot tell.
std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            throw std::runtime_error("GetModuleFileName failed");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The key of the type library's path under language 0, for the system kind it was built for:
// "TypeLib\{library}\1.0\0\win32" (or win64). The system's RegisterTypeLib writes the path
// only under the library's own locale; the marshaller that builds the proxies of dual interfaces
// for other apartments looks under language 0 (Wine only there, Windows as its last fallback),
// so without this entry no apartment but the creating one can call the dual interface early
// bound. Empty when the library's attributes cannot be read.
std::wstring NeutralLanguageKey(ITypeLib* library) {
    TLIBATTR attr;
    if (!AxLibraryAttributes(library, attr))
        return L"";
    wchar_t version[16];
    // The system writes the version in hexadecimal, so this key sits beside its own.
    swprintf(version, 16, L"%x.%x", attr.wMajorVerNum, attr.wMinorVerNum);
    const wchar_t* kind = attr.syskind == SYS_WIN64   ? L"win64"
                          : attr.syskind == SYS_WIN16 ? L"win16"
                                                      : L"win32";
    return L"TypeLib\\" + AxGuidText(attr.guid) + L"\\" + version + L"\\0\\" + kind;
}

// One caller's start: what it asks for, and the result when its own call ran the start.
struct TStartRequest {
    HMODULE module;
    const char* serverName;
    void (*addFactories)();
    HRESULT result;
};

} // namespace

HRESULT TAxServer::Start(HMODULE module, const char* serverName, void (*addFactories)()) {
    TStartRequest request{module, serverName, addFactories, E_UNEXPECTED};
    return InitOnceExecuteOnce(&started_, &StartOnce, &request, nullptr) ? S_OK : request.result;
}

BOOL CALLBACK TAxServer::StartOnce(INIT_ONCE*, void* request, void**) {
    auto& start = *static_cast<TStartRequest*>(request);
    start.result = Instance().StartNow(start.module, start.serverName, start.addFactories);
    // A failed start leaves the once unfinished, so the next caller runs it again.
    return SUCCEEDED(start.result);
}

HRESULT TAxServer::StartNow(HMODULE module, const char* serverName, void (*addFactories)()) {
    HRESULT hr = AxGuard([&] {
        serverName_ = serverName;
        modulePath_ = ModuleFileName(module);
        // The loader takes the first TYPELIB resource of a module given by its path.
        HRESULT loaded = LoadTypeLibEx(modulePath_.c_str(), REGKIND_NONE, typeLib_.Put());
        if (SUCCEEDED(loaded))
            addFactories();
        return loaded;
    });
    if (FAILED(hr))
        Stop(false);
    return hr;
}

void TAxServer::Stop(bool processTerminating) {
    if (processTerminating) {
        typeLib_.Detach();
        return;
    }
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    factories_.clear();
    typeLib_.Reset();
}

TComPtr<ITypeInfo> TAxServer::TypeInfoOf(REFGUID guid) const {
    TComPtr<ITypeInfo> info;
    if (typeLib_)
        typeLib_->GetTypeInfoOfGuid(guid, info.Put());
    return info;
}

void TAxServer::AddFactory(std::unique_ptr<TAxClassEntry> factory) {
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    factories_.insert(factories_.begin(), std::move(factory));
}

TAxClassEntry* TAxServer::FactoryOf(REFCLSID classId) {
    TLockHold hold(factoriesLock_, TLockHold::Shared);
    for (const auto& factory : factories_)
        if (IsEqualCLSID(classId, factory->ClassId()))
            return factory.get();
    return nullptr;
}

HRESULT TAxServer::GetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    // Factories live as long as the module, so the one found stays valid outside the lock.
    TAxClassEntry* factory = FactoryOf(classId);
    return factory ? factory->QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

void TAxServer::Lock() {
    InterlockedIncrement(&lockCount_);
    ObjectCreated();
}

bool TAxServer::Unlock() {
    // Locks may be taken and given back from several apartments at once.
    for (LONG locks = lockCount_; locks > 0; locks = lockCount_)
        if (InterlockedCompareExchange(&lockCount_, locks - 1, locks) == locks) {
            ObjectDestroyed();
            return true;
        }
    return false;
}

HRESULT TAxServer::CanUnloadNow() const {
    return objectCount_ == 0 && factoryRefCount_ == 0 ? S_OK : S_FALSE;
}

HRESULT TAxServer::RegisterServer(TAxRegistry& registry) {
    return AxGuard([&] { return RegisterNow(registry); });
}

HRESULT TAxServer::UnregisterServer(TAxRegistry& registry) {
    return AxGuard([&] { return UnregisterNow(registry); });
}

HRESULT TAxServer::RegisterNow(TAxRegistry& registry) {
    if (!typeLib_)
        return E_FAIL;
    // The help folder is the module's folder with its final backslash.
    std::wstring helpDir = modulePath_.substr(0, modulePath_.find_last_of(L'\\') + 1);
    if (FAILED(registry.RegisterTypeLib(typeLib_.Get(), modulePath_, helpDir)))
        return E_FAIL;
    std::wstring neutral = NeutralLanguageKey(typeLib_.Get());
    if (neutral.empty() || !registry.SetString(neutral, L"", modulePath_))
        return E_FAIL;
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    try {
        for (const auto& factory : factories_)
            factory->Register(registry);
    } catch (const std::runtime_error&) {
        // "Error creating system registry entry": what was written stays.
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TAxServer::UnregisterNow(TAxRegistry& registry) {
    if (!typeLib_)
        return E_FAIL;
    std::wstring neutral = NeutralLanguageKey(typeLib_.Get());
    if (neutral.empty())
        return E_FAIL;
    // The language-0 entry goes first, deepest key first: the system's unregistration removes
    // the library's version key only when nothing but its own entries is left under it. Every
    // step is tried; an entry that could not be deleted makes the whole a failure, one that was
    // not there or that another party still uses does not.
    bool removed = registry.DeleteKey(neutral) != TAxKeyRemoval::Failed;
    removed &=
        registry.DeleteKey(neutral.substr(0, neutral.find_last_of(L'\\'))) != TAxKeyRemoval::Failed;
    const HRESULT typeLib = registry.UnRegisterTypeLib(typeLib_.Get());
    if (typeLib == E_FAIL)
        return E_FAIL;
    removed &= SUCCEEDED(typeLib);
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    for (const auto& factory : factories_)
        removed &= factory->Unregister(registry);
    return removed ? S_OK : E_FAIL;
}
