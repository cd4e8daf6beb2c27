// A part of a control object: a group of interfaces that serve one concern (embedding, view,
// persistence, ...). A part has no identity of its own: its IUnknown is the object's
// controlling unknown, so every interface of every part leads to the same object.
#pragma once

#include <windows.h>

#include <unknwn.h>

class TAxControl;

// The controlling unknown of control: the object itself, or the object that aggregates it.
IUnknown* AxControllingUnknown(TAxControl& control);

template <class... Itfs> class TAxPart : public Itfs... {
public:
    explicit TAxPart(TAxControl& control) : control_(control) {}
    TAxPart(const TAxPart&) = delete;
    TAxPart& operator=(const TAxPart&) = delete;
    virtual ~TAxPart() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return AxControllingUnknown(control_)->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AxControllingUnknown(control_)->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return AxControllingUnknown(control_)->Release(); }

protected:
    TAxControl& control_;
};
