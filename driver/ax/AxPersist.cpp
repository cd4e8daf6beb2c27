#include "AxPersist.h"

#include <algorithm>

#include "AxGuard.h"
#include "AxTypeInfo.h"
#include "AxWindow.h"
#include "WinHolders.h"

IUnknown* TAxPersistence::Find(REFIID iid) {
    // IPersist is the base of all three; one of them answers for it.
    if (IsEqualIID(iid, IID_IPersist))
        return static_cast<IPersistStreamInit*>(this);
    return TAxPart::Find(iid);
}

HRESULT TAxPersistence::GetClassID(CLSID* classId) {
    if (!classId)
        return E_POINTER;
    *classId = control_.ClassId();
    return S_OK;
}

HRESULT TAxPersistence::IsDirty() {
    return control_.Modified() ? S_OK : S_FALSE;
}

HRESULT TAxPersistence::InitNew() {
    control_.SetModified(false);
    return S_OK;
}

HRESULT TAxPersistence::Load(IStream* stream) {
    HRESULT hr = control_.Window().LoadState(stream);
    if (SUCCEEDED(hr)) {
        control_.SetModified(false);
        control_.ViewChanged();
    }
    return hr;
}

HRESULT TAxPersistence::GetSizeMax(ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

HRESULT TAxPersistence::Save(IStream* stream, BOOL clearDirty) {
    HRESULT hr = control_.Window().SaveState(stream);
    if (SUCCEEDED(hr) && clearDirty)
        control_.SetModified(false);
    return hr;
}

HRESULT TAxPersistence::InitNew(IStorage* storage) {
    if (!storage)
        return E_POINTER;
    return InitNew();
}

HRESULT TAxPersistence::Load(IStorage* storage) {
    if (!storage)
        return E_POINTER;
    TComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(AX_CONTROL_STREAM, nullptr, STGM_SHARE_EXCLUSIVE | STGM_READ,
                                     0, stream.Put());
    return FAILED(hr) ? hr : Load(stream.Get());
}

HRESULT TAxPersistence::Save(IStorage* storage, BOOL) {
    if (!storage)
        return E_POINTER;
    TComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(
        AX_CONTROL_STREAM, STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_WRITE, 0, 0, stream.Put());
    return FAILED(hr) ? hr : control_.Window().SaveState(stream.Get());
}

HRESULT TAxPersistence::SaveCompleted(IStorage*) {
    control_.SetModified(false);
    return S_OK;
}

HRESULT TAxPersistence::HandsOffStorage() {
    return S_OK;
}

std::vector<TAxPersistence::TBagProperty> TAxPersistence::BagProperties() const {
    ITypeInfo* info = control_.DualTypeInfo();
    std::vector<DISPID> getters, putters;
    AxEachFunction(info, [&](const FUNCDESC& function) {
        if (function.invkind == INVOKE_PROPERTYGET)
            getters.push_back(function.memid);
        else if (function.invkind == INVOKE_PROPERTYPUT)
            putters.push_back(function.memid);
    });
    std::vector<TBagProperty> properties;
    for (DISPID id : getters) {
        if (std::find(putters.begin(), putters.end(), id) == putters.end())
            continue;
        BSTR name = nullptr;
        if (SUCCEEDED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr)))
            properties.push_back({id, TBstr(name).Text()});
    }
    return properties;
}

HRESULT TAxPersistence::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag)
        return E_POINTER;
    return AxGuard([&] { return LoadBag(*bag, log); });
}

HRESULT TAxPersistence::LoadBag(IPropertyBag& bag, IErrorLog* log) {
    for (const TBagProperty& property : BagProperties()) {
        TVariant value;
        if (FAILED(bag.Read(property.name.c_str(), value.Get(), log)))
            continue; // not in the bag: left as it is
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{value.Get(), &named, 1, 1};
        // A value the property refuses is skipped; the next one is still tried.
        control_.DispatchInvoke(property.id, IID_NULL, DISPATCH_PROPERTYPUT, &params, nullptr,
                                nullptr, nullptr);
    }
    control_.SetModified(false);
    return S_OK;
}

HRESULT TAxPersistence::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag)
        return E_POINTER;
    return AxGuard([&] { return SaveBag(*bag, clearDirty); });
}

HRESULT TAxPersistence::SaveBag(IPropertyBag& bag, BOOL clearDirty) {
    for (const TBagProperty& property : BagProperties()) {
        TVariant value;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        HRESULT hr = control_.DispatchInvoke(property.id, IID_NULL, DISPATCH_PROPERTYGET, &none,
                                             value.Get(), nullptr, nullptr);
        if (SUCCEEDED(hr))
            hr = bag.Write(property.name.c_str(), value.Get());
        if (FAILED(hr))
            return hr;
    }
    if (clearDirty)
        control_.SetModified(false);
    return S_OK;
}
