#include "AxControl.h"

#include <stdexcept>

#include "AxServer.h"

TAxControl::TAxControl(IUnknown* outer, REFIID dualIid)
    : controlling_(outer ? outer : &inner_),
      dualTypeInfo_(TAxServer::Instance().TypeInfoOf(dualIid)) {
    if (!dualTypeInfo_)
        throw std::runtime_error("Type information missing for the dual interface");
    TAxServer::Instance().ObjectCreated();
}

TAxControl::~TAxControl() {
    TAxServer::Instance().ObjectDestroyed();
}

IUnknown* TAxControl::FindInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown))
        return &inner_;
    return nullptr;
}

HRESULT STDMETHODCALLTYPE TAxControl::TInnerUnknown::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    IUnknown* found = owner_.FindInterface(iid);
    *out = found;
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TAxControl::TInnerUnknown::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&owner_.refCount_));
}

ULONG STDMETHODCALLTYPE TAxControl::TInnerUnknown::Release() {
    LONG count = InterlockedDecrement(&owner_.refCount_);
    if (count == 0)
        delete &owner_;
    return static_cast<ULONG>(count);
}

HRESULT TAxControl::DispatchTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TAxControl::DispatchTypeInfo(UINT index, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    *info = TComPtr<ITypeInfo>(dualTypeInfo_).Detach();
    return S_OK;
}

HRESULT TAxControl::DispatchIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(dualTypeInfo_.Get(), names, count, ids);
}

HRESULT TAxControl::DispatchInvoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    return dualTypeInfo_->Invoke(DualInterface(), id, flags, params, result, exception, argError);
}
