// QueryInterface answered one way for every object of the framework: the interface id of an
// interface type, and the answer once the object has looked up the interface asked for.
#pragma once

#include <windows.h>

#include <objsafe.h>
#include <unknwn.h>

// The interface id of Itf, as the platform's headers declare it for __uuidof.
template <class Itf> const IID& AxIidOf() {
    return __uuidof(Itf);
}
// objsafe.h declares no __uuidof for IObjectSafety.
template <> inline const IID& AxIidOf<IObjectSafety>() {
    return IID_IObjectSafety;
}

// Answers a QueryInterface with found, the interface asked for, or null when the object does not
// offer it: E_POINTER without out; otherwise out receives found with a reference (S_OK), or null
// (E_NOINTERFACE).
inline HRESULT AxAnswerQuery(IUnknown* found, void** out) {
    if (!out)
        return E_POINTER;
    *out = found;
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

// QueryInterface of an object that offers Itf and IUnknown, and nothing else.
template <class Itf> HRESULT AxQuerySingle(Itf* object, REFIID iid, void** out) {
    bool offered = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, AxIidOf<Itf>());
    return AxAnswerQuery(offered ? object : nullptr, out);
}
