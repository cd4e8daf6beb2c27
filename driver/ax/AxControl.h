// The control base: the identity of a control object and the standard side that containers use.
// IUnknown with an inner unknown, so the object can be aggregated; IDispatch through the type
// information of the control's dual interface, so late-bound calls land in the very members the
// vtable reaches; and the OLE parts (embedding, view, persistence, connection points, what the
// object tells about itself), which share the object's identity and its window control.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "AxConnection.h"
#include "AxEmbedding.h"
#include "WinHolders.h"
#include "AxInfo.h"
#include "AxPersist.h"
#include "AxView.h"
#include "AxWindow.h"

class TAxControl : public TAxPartOwner {
public:
    TAxControl(const TAxControl&) = delete;
    TAxControl& operator=(const TAxControl&) = delete;

    // The object's own IUnknown, which owns its lifetime; an aggregating object holds this one.
    IUnknown* InnerUnknown() { return &inner_; }

    // TAxPartOwner: what the OLE parts share.
    IUnknown* ControllingUnknown() const override { return controlling_; }
    const CLSID& ClassId() const override { return classId_; }
    const IID& DualIid() const override { return dualIid_; }
    ITypeInfo* DualTypeInfo() const override { return dualTypeInfo_.Get(); }
    DWORD MiscStatus() const override;
    DWORD SafetyOptions() const override { return safetyOptions_; }
    TAxWindowControl& Window() override { return *window_; }
    IViewObject* ViewObject() override { return &view_; }
    IConnectionPoint* PropertyNotifyPoint() override { return &connections_.PropertyNotify(); }
    bool Modified() const override { return modified_; }
    void SetModified(bool modified) override { modified_ = modified; }
    HRESULT GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT SetExtent(DWORD aspect, const SIZEL* size) override;
    void ViewChanged() override { view_.SendViewChange(); }
    // IDispatch::Invoke of the dual interface.
    HRESULT DispatchInvoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError) override;

protected:
    // outer: the aggregating object, or null. classId: the object's class. dualIid: the dual
    // interface the control serves. window: the control's window control, owned from here on.
    // safetyOptions: what the object tells containers it is safe for (IObjectSafety); the
    // control decides, the framework claims nothing by itself.
    // Raises std::runtime_error when the server's type library does not describe dualIid.
    TAxControl(IUnknown* outer, REFCLSID classId, REFIID dualIid,
               std::unique_ptr<TAxWindowControl> window, DWORD safetyOptions);
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

    // Puts a fresh error object on the calling thread that describes failure (the dual
    // interface, the class's ProgID, the system's text for the code) and returns failure. A
    // member of the dual interface that fails says so through this, so a client that reads the
    // error information never reads one an earlier call left behind.
    HRESULT ReportFailure(HRESULT failure) const noexcept;

    // IDispatch of the dual interface.
    HRESULT DispatchTypeInfoCount(UINT* count);
    HRESULT DispatchTypeInfo(UINT index, ITypeInfo** info);
    HRESULT DispatchIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);

private:
    // A new error object that describes failure; null when the system cannot make one.
    TComPtr<IErrorInfo> ErrorInfoOf(HRESULT failure) const;
    // How many values the put of id takes; UINT_MAX when id has no put.
    UINT PutParameterCount(DISPID id) const;

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
    CLSID classId_;
    IID dualIid_;
    TComPtr<ITypeInfo> dualTypeInfo_;
    std::unique_ptr<TAxWindowControl> window_;
    DWORD safetyOptions_;
    bool modified_ = false;
    // The parts go before the window control does.
    TAxInfo info_{*this};
    TAxConnections connections_{*this};
    TAxView view_{*this};
    TAxPersistence persistence_{*this};
    TAxEmbedding embedding_{*this};
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
    TAxDualControl(IUnknown* outer, REFCLSID classId, std::unique_ptr<TAxWindowControl> window,
                   DWORD safetyOptions)
        : TAxControl(outer, classId, __uuidof(Itf), std::move(window), safetyOptions) {}

    IUnknown* FindInterface(REFIID iid) override {
        if (IsEqualIID(iid, __uuidof(Itf)) || IsEqualIID(iid, IID_IDispatch))
            return static_cast<Itf*>(this);
        return TAxControl::FindInterface(iid);
    }
    IDispatch* DualInterface() override { return static_cast<Itf*>(this); }
};

// Counts a control object that was constructed; the object's last Release counts it down once
// it is gone.
void AxObjectCreated();

// Constructs one T (aggregated when outer is given) and asks it for iid; when that fails the
// object is destroyed again and the failure returned. Construction failures propagate, and
// leave nothing counted.
template <class T> HRESULT AxCreateControl(IUnknown* outer, REFIID iid, void** out) {
    T* object = new T(outer);
    AxObjectCreated();
    IUnknown* inner = object->InnerUnknown();
    HRESULT hr = inner->QueryInterface(iid, out);
    inner->Release();
    return hr;
}
