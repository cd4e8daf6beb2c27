#include "AxConnection.h"

#include <algorithm>
#include <new>

#include "AxGuard.h"
#include "AxQuery.h"

namespace {

// Enumerates one connection point. It holds a reference to the point, and so to the object.
class TEnumOnePoint final : public IEnumConnectionPoints {
public:
    // Gives out a new enumerator of point that stands at position: E_POINTER without out,
    // E_OUTOFMEMORY when there is no memory for it.
    static HRESULT Make(IConnectionPoint* point, ULONG position, IEnumConnectionPoints** out) {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) TEnumOnePoint(point, position);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return AxQuerySingle<IEnumConnectionPoints>(this, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refCount_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) override {
        if (!points || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        if (count > 0 && position_ == 0) {
            points[given++] = point_.Get();
            point_->AddRef();
            position_ = 1;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        ULONG left = 1 - position_;
        position_ += std::min(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
        return Make(point_.Get(), position_, out);
    }

private:
    TEnumOnePoint(IConnectionPoint* point, ULONG position)
        : point_(TComPtr<IConnectionPoint>::Borrow(point)), position_(position) {}
    ~TEnumOnePoint() = default;

    TComPtr<IConnectionPoint> point_;
    ULONG position_;
    volatile LONG refCount_ = 1;
};

} // namespace

HRESULT TAxPropertyNotifyPoint::QueryInterface(REFIID iid, void** out) {
    return AxQuerySingle<IConnectionPoint>(this, iid, out);
}

ULONG TAxPropertyNotifyPoint::AddRef() {
    return control_.ControllingUnknown()->AddRef();
}

ULONG TAxPropertyNotifyPoint::Release() {
    return control_.ControllingUnknown()->Release();
}

HRESULT TAxPropertyNotifyPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = IID_IPropertyNotifySink;
    return S_OK;
}

HRESULT TAxPropertyNotifyPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out)
        return E_POINTER;
    return control_.ControllingUnknown()->QueryInterface(IID_IConnectionPointContainer,
                                                         reinterpret_cast<void**>(out));
}

HRESULT TAxPropertyNotifyPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    TComPtr<IPropertyNotifySink> notifySink;
    if (FAILED(sink->QueryInterface(IID_IPropertyNotifySink, notifySink.PutVoid())))
        return CONNECT_E_CANNOTCONNECT;
    return AxGuard([&] {
        connections_.push_back({nextCookie_, std::move(notifySink)});
        *cookie = nextCookie_++;
        return S_OK;
    });
}

HRESULT TAxPropertyNotifyPoint::Unadvise(DWORD cookie) {
    auto found = std::find_if(connections_.begin(), connections_.end(),
                              [cookie](const TConnection& c) { return c.cookie == cookie; });
    if (found == connections_.end())
        return CONNECT_E_NOCONNECTION;
    // The sink is released after it has left the list, in case its release calls back.
    TComPtr<IPropertyNotifySink> sink = std::move(found->sink);
    connections_.erase(found);
    return S_OK;
}

HRESULT TAxPropertyNotifyPoint::EnumConnections(IEnumConnections** out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxConnections::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return TEnumOnePoint::Make(&propertyNotify_, 0, out);
}

HRESULT TAxConnections::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IPropertyNotifySink))
        return CONNECT_E_NOCONNECTION;
    *out = &propertyNotify_;
    propertyNotify_.AddRef();
    return S_OK;
}
