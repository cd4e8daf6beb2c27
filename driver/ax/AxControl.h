// The control base: identity of a control object. IUnknown with an inner unknown, so the object
// can be aggregated; IDispatch through the type information of the control's dual interface,
// so late-bound calls land in the very members the vtable reaches.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "AxHolders.h"

class TAxControl {
public:
    TAxControl(const TAxControl&) = delete;
    TAxControl& operator=(const TAxControl&) = delete;

    // The object's own IUnknown, which owns its lifetime; an aggregating object holds this one.
    IUnknown* InnerUnknown() { return &inner_; }

protected:
    // outer: the aggregating object, or null. dualIid: the dual interface the control serves.
    // Raises std::runtime_error when the server's type library does not describe dualIid.
    TAxControl(IUnknown* outer, REFIID dualIid);
    virtual ~TAxControl();

    // The object's interface for iid, without a reference, or null. Derived classes answer
    // their own and ask the base for the rest.
    virtual IUnknown* FindInterface(REFIID iid);
    // The dual interface, the instance ITypeInfo::Invoke calls into.
    virtual IDispatch* DualInterface() = 0;

    // IUnknown of every interface the object offers: through the controlling unknown.
    HRESULT OuterQueryInterface(REFIID iid, void** out) {
        return controlling_->QueryInterface(iid, out);
    }
    ULONG OuterAddRef() { return controlling_->AddRef(); }
    ULONG OuterRelease() { return controlling_->Release(); }

    // IDispatch of the dual interface.
    HRESULT DispatchTypeInfoCount(UINT* count);
    HRESULT DispatchTypeInfo(UINT index, ITypeInfo** info);
    HRESULT DispatchIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
    HRESULT DispatchInvoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError);

private:
    // The non-delegating unknown: the object's identity and reference count.
    class TInnerUnknown final : public IUnknown {
    public:
        explicit TInnerUnknown(TAxControl& owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        TAxControl& owner_;
    };

    TInnerUnknown inner_{*this};
    IUnknown* controlling_;
    volatile LONG refCount_ = 1;
    TComPtr<ITypeInfo> dualTypeInfo_;
};

// A control that serves the dual interface Itf: Itf's IUnknown and IDispatch slots go to the
// base, the derived class implements Itf's own members.
template <class Itf> class TAxDualControl : public Itf, public TAxControl {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return OuterQueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return DispatchTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return DispatchTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return DispatchIDsOfNames(riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        return DispatchInvoke(id, riid, flags, params, result, exception, argError);
    }

protected:
    explicit TAxDualControl(IUnknown* outer) : TAxControl(outer, __uuidof(Itf)) {}

    IUnknown* FindInterface(REFIID iid) override {
        if (IsEqualIID(iid, __uuidof(Itf)) || IsEqualIID(iid, IID_IDispatch))
            return static_cast<Itf*>(this);
        return TAxControl::FindInterface(iid);
    }
    IDispatch* DualInterface() override { return static_cast<Itf*>(this); }
};

// Constructs one T (aggregated when outer is given) and asks it for iid; when that fails the
// object is destroyed again and the failure returned. Construction failures propagate.
template <class T> HRESULT AxCreateControl(IUnknown* outer, REFIID iid, void** out) {
    T* object = new T(outer);
    IUnknown* inner = object->InnerUnknown();
    HRESULT hr = inner->QueryInterface(iid, out);
    inner->Release();
    return hr;
}
