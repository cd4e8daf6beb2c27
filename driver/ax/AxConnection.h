// The control's connection points: one, for IPropertyNotifySink. The control declares no event
// interface, so there is no event connection point.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "WinHolders.h"
#include "AxPart.h"

// The connection point for IPropertyNotifySink. It is a COM object of its own identity, but it
// lives inside the control object and keeps that object alive while it is referenced.
class TAxPropertyNotifyPoint final : public IConnectionPoint {
public:
    explicit TAxPropertyNotifyPoint(TAxPartOwner& control) : control_(control) {}
    TAxPropertyNotifyPoint(const TAxPropertyNotifyPoint&) = delete;
    TAxPropertyNotifyPoint& operator=(const TAxPropertyNotifyPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    // E_OUTOFMEMORY when there is no memory for one more connection.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

private:
    struct TConnection {
        DWORD cookie;
        TComPtr<IPropertyNotifySink> sink;
    };
    TAxPartOwner& control_;
    std::vector<TConnection> connections_;
    DWORD nextCookie_ = 1;
};

class TAxConnections final : public TAxPart<IConnectionPointContainer> {
public:
    explicit TAxConnections(TAxPartOwner& control) : TAxPart(control), propertyNotify_(control) {}

    TAxPropertyNotifyPoint& PropertyNotify() { return propertyNotify_; }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

private:
    TAxPropertyNotifyPoint propertyNotify_;
};
