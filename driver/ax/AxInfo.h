// What a control object tells about itself: its class's type information, which interface
// reports errors, its safety for scripting, and that it has no property pages.
#pragma once

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include "AxPart.h"

class TAxInfo final : public TAxPart<ISupportErrorInfo, IProvideClassInfo, IObjectSafety,
                                     ISpecifyPropertyPages, IPerPropertyBrowsing> {
public:
    using TAxPart::TAxPart;

    // ISupportErrorInfo: the dual interface does; no other.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;
    // IProvideClassInfo: the coclass's type information.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
    // IObjectSafety: on every interface the object has, the options its control chose to claim
    // (none, or safe for untrusted callers and data).
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                        DWORD* enabled) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                        DWORD enabled) override;
    // ISpecifyPropertyPages: none.
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
    // IPerPropertyBrowsing: no display strings, pages or predefined values; the container
    // shows the values itself.
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID id, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID id, CLSID* page) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings,
                                                   CADWORD* cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override;

private:
    // Whether the object offers iid; the query's failure code when it does not.
    HRESULT Offers(REFIID iid);

    DWORD enabledSafety_ = 0;
};

// The safety options a control may claim.
constexpr DWORD AX_SAFETY_OPTIONS =
    INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
