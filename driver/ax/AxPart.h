// A part of a control object: a group of interfaces that serve one concern (embedding, view,
// persistence, ...). A part has no identity of its own: its IUnknown is the object's
// controlling unknown, so every interface of every part leads to the same object. The parts
// know the object only through TAxPartOwner, which the control base implements.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>
#include <oleidl.h>

#include "AxQuery.h"

class TAxWindowControl;

// The control object as its parts see it.
class TAxPartOwner {
public:
    // The object itself, or the object that aggregates it.
    virtual IUnknown* ControllingUnknown() const = 0;
    virtual const CLSID& ClassId() const = 0;
    virtual const IID& DualIid() const = 0;
    virtual ITypeInfo* DualTypeInfo() const = 0;
    // The misc status registered for the class.
    virtual DWORD MiscStatus() const = 0;
    // The IObjectSafety options the object supports: none, or AX_SAFETY_OPTIONS.
    virtual DWORD SafetyOptions() const = 0;
    virtual TAxWindowControl& Window() = 0;
    // The object's view, and its IPropertyNotifySink connection point: where quick activation
    // hands the container's sinks.
    virtual IViewObject* ViewObject() = 0;
    virtual IConnectionPoint* PropertyNotifyPoint() = 0;
    // Whether the saved state differs from the current one.
    virtual bool Modified() const = 0;
    virtual void SetModified(bool modified) = 0;
    // The window control's extent in HIMETRIC, for DVASPECT_CONTENT only.
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT SetExtent(DWORD aspect, const SIZEL* size) = 0;
    // Tells the container that the picture changed.
    virtual void ViewChanged() = 0;
    // IDispatch::Invoke of the dual interface.
    virtual HRESULT DispatchInvoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;

protected:
    ~TAxPartOwner() = default;
};

template <class... Itfs> class TAxPart : public Itfs... {
public:
    explicit TAxPart(TAxPartOwner& control) : control_(control) {}
    TAxPart(const TAxPart&) = delete;
    TAxPart& operator=(const TAxPart&) = delete;
    virtual ~TAxPart() = default;

    // The part's interface for iid, without a reference, or null: each of Itfs answers for its
    // own id. A part that answers for a base interface too says so in a Find of its own.
    IUnknown* Find(REFIID iid) {
        const struct {
            const IID& iid;
            IUnknown* itf;
        } table[] = {{AxIidOf<Itfs>(), static_cast<Itfs*>(this)}...};
        for (const auto& row : table)
            if (IsEqualIID(iid, row.iid))
                return row.itf;
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return control_.ControllingUnknown()->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return control_.ControllingUnknown()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return control_.ControllingUnknown()->Release(); }

protected:
    TAxPartOwner& control_;
};
