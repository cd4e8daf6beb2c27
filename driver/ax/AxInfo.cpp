#include "AxInfo.h"

#include "AxServer.h"
#include "WinHolders.h"

HRESULT TAxInfo::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualIID(iid, control_.DualIid()) ? S_OK : S_FALSE;
}

HRESULT TAxInfo::GetClassInfo(ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    *out = TAxServer::Instance().TypeInfoOf(control_.ClassId()).Detach();
    return *out ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TAxInfo::Offers(REFIID iid) {
    TComPtr<IUnknown> itf;
    return QueryInterface(iid, itf.PutVoid());
}

HRESULT TAxInfo::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled)
        return E_POINTER;
    *supported = *enabled = 0;
    HRESULT hr = Offers(iid);
    if (FAILED(hr))
        return hr;
    *supported = control_.SafetyOptions();
    *enabled = enabledSafety_;
    return S_OK;
}

HRESULT TAxInfo::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
    HRESULT hr = Offers(iid);
    if (FAILED(hr))
        return hr;
    // Asking for an option the object does not claim fails, so the container refuses or asks.
    if (mask & ~control_.SafetyOptions())
        return E_FAIL;
    enabledSafety_ = (enabledSafety_ & ~mask) | (enabled & mask);
    return S_OK;
}

HRESULT TAxInfo::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}

HRESULT TAxInfo::GetDisplayString(DISPID, BSTR* text) {
    if (!text)
        return E_POINTER;
    *text = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxInfo::MapPropertyToPage(DISPID, CLSID* page) {
    if (!page)
        return E_POINTER;
    *page = CLSID_NULL;
    return PERPROP_E_NOPAGEAVAILABLE;
}

HRESULT TAxInfo::GetPredefinedStrings(DISPID, CALPOLESTR* strings, CADWORD* cookies) {
    if (!strings || !cookies)
        return E_POINTER;
    *strings = {0, nullptr};
    *cookies = {0, nullptr};
    return E_NOTIMPL;
}

HRESULT TAxInfo::GetPredefinedValue(DISPID, DWORD, VARIANT* value) {
    if (!value)
        return E_POINTER;
    return E_NOTIMPL;
}
