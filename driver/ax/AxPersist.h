// How a control object is saved by its container. A stream or a storage holds the window
// control's state; a property bag holds the dual interface's read-write properties by name.
#pragma once

#include <ocidl.h>

#include <string>
#include <vector>

#include "AxPart.h"

class TAxPersistence final
    : public TAxPart<IPersistStreamInit, IPersistStorage, IPersistPropertyBag> {
public:
    using TAxPart::TAxPart;

    IUnknown* Find(REFIID iid);

    // IPersist, shared by all three and answered for itself too.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
    // IsDirty and InitNew() are shared by the interfaces that have them.
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

    // IPersistStorage
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

    // IPersistPropertyBag; E_OUTOFMEMORY when the memory runs out on the way.
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

private:
    HRESULT LoadBag(IPropertyBag& bag, IErrorLog* log);
    HRESULT SaveBag(IPropertyBag& bag, BOOL clearDirty);
    struct TBagProperty {
        DISPID id;
        std::wstring name;
    };
    // Every property of the dual interface that has both a get and a put, in type-library
    // order.
    std::vector<TBagProperty> BagProperties() const;
};

// The name of the stream that holds the state inside a storage.
constexpr wchar_t AX_CONTROL_STREAM[] = L"CONTROLSAVESTREAM";
