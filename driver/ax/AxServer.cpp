#include "AxServer.h"

#include <stdexcept>

#include "AxFactory.h"

TAxServer& TAxServer::Instance() {
    static TAxServer server;
    return server;
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

} // namespace

void TAxServer::Startup(HMODULE module, const std::string& serverName) {
    if (typeLib_)
        throw std::runtime_error("The server is started already");
    serverName_ = serverName;
    module_ = module;
    modulePath_ = ModuleFileName(module);
    // The loader takes the first TYPELIB resource of a module given by its path.
    HRESULT hr = LoadTypeLibEx(modulePath_.c_str(), REGKIND_NONE, typeLib_.Put());
    if (FAILED(hr))
        throw std::runtime_error("The module's type library cannot be loaded");
}

TComPtr<ITypeInfo> TAxServer::TypeInfoOf(REFGUID guid) const {
    TComPtr<ITypeInfo> info;
    if (typeLib_)
        typeLib_->GetTypeInfoOfGuid(guid, info.Put());
    return info;
}

void TAxServer::AddFactory(std::unique_ptr<TAxControlFactory> factory) {
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    factories_.insert(factories_.begin(), std::move(factory));
}

TAxControlFactory* TAxServer::FactoryOf(REFCLSID classId) {
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
    TAxControlFactory* factory = FactoryOf(classId);
    return factory ? factory->QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT TAxServer::CanUnloadNow() const {
    return objectCount_ == 0 && factoryRefCount_ == 0 ? S_OK : S_FALSE;
}

HRESULT TAxServer::RegisterServer(TAxRegistry& registry) {
    if (!typeLib_)
        return E_FAIL;
    // The help folder is the module's folder with its final backslash.
    std::wstring helpDir = modulePath_.substr(0, modulePath_.find_last_of(L'\\') + 1);
    if (FAILED(registry.RegisterTypeLib(typeLib_.Get(), modulePath_, helpDir)))
        return E_FAIL;
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    try {
        for (const auto& factory : factories_)
            factory->Register(registry);
    } catch (const std::exception&) {
        // "Error creating system registry entry": what was written stays.
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TAxServer::UnregisterServer(TAxRegistry& registry) {
    if (!typeLib_ || FAILED(registry.UnRegisterTypeLib(typeLib_.Get())))
        return E_FAIL;
    TLockHold hold(factoriesLock_, TLockHold::Exclusive);
    for (const auto& factory : factories_)
        factory->Unregister(registry);
    return S_OK;
}
