#include "AxServer.h"

#include <stdexcept>

TAxServer& TAxServer::Instance() {
    static TAxServer server;
    return server;
}

namespace {

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
